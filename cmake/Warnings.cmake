# Strict warnings on both compilers; errors when CI is set.
function(pellix_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(DEFINED ENV{CI})
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
