# The player's archive, as a player gets it, in two steps:
#   -DSTEP=contents -DCPACK=... -DCONFIG=CPackConfig.cmake -DVERSION=... -DDIR=scratch folder
#     made by CPack and unpacked into an empty folder (DIR/game), which holds exactly the
#     files a player gets; needs no 32-bit program;
#   -DSTEP=installed -DVERSION=... -DSTANDIN=standin-host.exe -DWINE=wine -DDIR=...
#     then, under Wine, run there as it is: the stand-in host (not part of the archive) loads
#     the packaged library on the packaged files; the packaged lab lints and shows the folder.
set(expected pellix-guide.txt pellix-lab.exe pellix.dll pellix.fx pellix.ini
             pellix_surface.dat pellix_weapon.dat)
set(zip ${DIR}/cpack/pellix-${VERSION}-win32.zip)
set(game ${DIR}/game)

# run(output-variable exit-code command...): runs in the game folder, prints what it printed.
function(run out_var expected_exit)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${game} RESULT_VARIABLE rc
                  OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 300)
  list(JOIN ARGN " " command)
  message("$ ${command}\n${out}${err}")
  if(NOT rc STREQUAL "${expected_exit}")
    message(FATAL_ERROR "exit code ${rc}, expected ${expected_exit}")
  endif()
  set(${out_var} "${out}" PARENT_SCOPE)
endfunction()
function(expect text regex what)
  if(NOT text MATCHES "${regex}")
    message(FATAL_ERROR "${what}: no match for ${regex}")
  endif()
endfunction()

set(data pellix.ini pellix_weapon.dat pellix_surface.dat pellix.fx)

if(STEP STREQUAL contents)
  file(REMOVE_RECURSE ${DIR})
  file(MAKE_DIRECTORY ${game})
  run(out 0 ${CPACK} -G ZIP --config ${CONFIG} -B ${DIR}/cpack)
  if(NOT EXISTS ${zip})
    message(FATAL_ERROR "CPack wrote no ${zip}")
  endif()
  run(out 0 ${CMAKE_COMMAND} -E tar xf ${zip})
  file(GLOB_RECURSE unpacked RELATIVE ${game} ${game}/*)
  list(SORT unpacked)
  if(NOT unpacked STREQUAL expected)
    message(FATAL_ERROR "the archive holds: ${unpacked}\nexpected: ${expected}")
  endif()
  file(SIZE ${zip} size)
  message("${zip}: ${size} bytes, ${unpacked}")
  return()
endif()

foreach(f IN LISTS data)
  file(SHA256 ${game}/${f} before_${f})
endforeach()

file(COPY ${STANDIN} DESTINATION ${game})
get_filename_component(standin_name ${STANDIN} NAME)
run(out 0 ${WINE} ${standin_name} installed)
expect("${out}" "\nLOG Pellix ${VERSION}\n" "the log's first line names the version")
expect("${out}" "\nLOG started\n" "start-up went through on the packaged files")
expect("${out}" "PASS every weapon row's shot flies" "the shots flew")
expect("${out}" "\n[1-9][0-9]* passed, 0 failed" "the stand-in's checks")
foreach(f IN LISTS data)
  file(SHA256 ${game}/${f} after)
  if(NOT after STREQUAL before_${f})
    message(FATAL_ERROR "${f} was changed by the run")
  endif()
endforeach()

run(out 0 ${WINE} pellix-lab.exe lint .)
expect("${out}" "^clean" "lint finds the packaged files clean")
run(out 0 ${WINE} pellix-lab.exe show .)
expect("${out}" "\"outcome\": \"started\"" "show starts up")
expect("${out}" "\"Pellix ${VERSION}\"" "show's log names the version")
run(out 0 ${WINE} pellix-lab.exe --version)
expect("${out}" "^pellix-lab ${VERSION}" "the lab's version")
