# Tests under Wine (win32 build) never use the caller's Wine set-up: each runs in a prefix of the
# build tree that a CTest fixture readies once per run, with Wine's error channel on so that a
# failed start says why. Tests that draw share a second prefix (its desktop is bound to the X
# display of the program that started it) and take turns.
if(WIN32)
  set(PELLIX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(PELLIX_DISPLAY_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix-display)
  set(PELLIX_WINEDEBUG "-all,err+all")
endif()

# pellix_wine_fixtures(): the set-up and clean-up tests of both prefixes. Called once.
function(pellix_wine_fixtures)
  if(NOT WIN32)
    return()
  endif()
  set(script ${PROJECT_SOURCE_DIR}/cmake/wine_prefix.sh)
  # The main prefix keeps one Wine server for the whole run; the drawing prefix's server ends
  # with each drawing test, and its desktop with it.
  foreach(kind wine wine_display)
    if(kind STREQUAL wine)
      set(prefix ${PELLIX_WINEPREFIX})
      set(keep keep)
    else()
      set(prefix ${PELLIX_DISPLAY_WINEPREFIX})
      set(keep)
    endif()
    add_test(NAME ${kind}.start COMMAND sh ${script} start ${prefix} ${keep})
    add_test(NAME ${kind}.stop COMMAND sh ${script} stop ${prefix})
    set_tests_properties(${kind}.start PROPERTIES FIXTURES_SETUP ${kind} TIMEOUT 600
                         ENVIRONMENT "WINEDEBUG=${PELLIX_WINEDEBUG}")
    set_tests_properties(${kind}.stop PROPERTIES FIXTURES_CLEANUP ${kind})
  endforeach()
endfunction()

# pellix_wine_test(name... [DISPLAY]): runs the given tests in the prepared prefix (DISPLAY: the
# drawing prefix, one test at a time; the test brings its own X server). Does nothing natively,
# so a test defined for both builds can call it unconditionally.
function(pellix_wine_test)
  cmake_parse_arguments(ARG "DISPLAY" "" "" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  set(fixture wine)
  set(environment WINEDEBUG=${PELLIX_WINEDEBUG} WINEPREFIX=${PELLIX_WINEPREFIX})
  if(ARG_DISPLAY)
    set(fixture wine_display)
    # Without Direct3D's command-stream thread: when that thread ends during the exit of a
    # process that still holds a device, libglvnd's exit code now and then frees its GL state
    # twice, and the process dies after its report.
    set(environment WINEDEBUG=${PELLIX_WINEDEBUG} WINEPREFIX=${PELLIX_DISPLAY_WINEPREFIX}
                    WINE_D3D_CONFIG=csmt=0x0)
    set_property(TEST ${ARG_UNPARSED_ARGUMENTS} APPEND PROPERTY RESOURCE_LOCK x_display)
  endif()
  set_property(TEST ${ARG_UNPARSED_ARGUMENTS} APPEND PROPERTY FIXTURES_REQUIRED ${fixture})
  set_property(TEST ${ARG_UNPARSED_ARGUMENTS} APPEND PROPERTY ENVIRONMENT ${environment})
endfunction()

# pellix_add_test(NAME sources... [LIBS libs...])
# Natively every GoogleTest case is its own CTest test. Under Wine a process start costs
# seconds, so there the whole binary is one CTest test (its cases still report in the XML).
function(pellix_add_test name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE pellix_core GTest::gtest GTest::gtest_main ${ARG_LIBS})
  pellix_warnings(${name})
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name})
    pellix_wine_test(${name})
  else()
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
