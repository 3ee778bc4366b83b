# Tests under Wine (win32 build) never use the caller's Wine set-up: each runs in a prefix of the
# build tree that a CTest fixture readies once per run, with Wine's error channel on so that a
# failed start says why. Tests that draw share a second prefix (its desktop is bound to the X
# display of the program that started it) and take turns.
#
# Every test that starts a 32-bit process goes through scripts/probe-32bit.sh --run: on a
# machine whose kernel cannot run 32-bit programs (Wine's loader among them) it is reported as
# skipped, with the reason; a failed probe, or Wine failing on a machine that can run them,
# stays a failure. Those tests carry the label "wine" (`ctest -L wine` / `-LE wine`).
if(WIN32)
  set(PELLIX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(PELLIX_DISPLAY_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix-display)
  set(PELLIX_WINEDEBUG "-all,err+all")
  set(PELLIX_32BIT_GATE sh ${PROJECT_SOURCE_DIR}/scripts/probe-32bit.sh --run)
  # The binary tracer effect the drawing tests load (the test fixture "effect" writes it).
  set(PELLIX_TEST_EFFECT ${CMAKE_BINARY_DIR}/pellix.fx)
endif()

# pellix_wine_add_test(NAME name [DISPLAY] [EFFECT] COMMAND command...)
# Natively a plain test. In the win32 build the command runs (where 32-bit programs run) in
# the prepared prefix; DISPLAY: the drawing prefix, one test at a time (the command brings its
# own X server); EFFECT: the binary tracer effect is written first.
function(pellix_wine_add_test)
  cmake_parse_arguments(ARG "DISPLAY;EFFECT" "NAME" "COMMAND" ${ARGN})
  if(NOT WIN32)
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_COMMAND})
    return()
  endif()
  add_test(NAME ${ARG_NAME} COMMAND ${PELLIX_32BIT_GATE} ${ARG_COMMAND})
  set(fixtures wine)
  set(environment WINEDEBUG=${PELLIX_WINEDEBUG} WINEPREFIX=${PELLIX_WINEPREFIX})
  if(ARG_DISPLAY)
    set(fixtures wine_display)
    # Without Direct3D's command-stream thread: when that thread ends during the exit of a
    # process that still holds a device, libglvnd's exit code now and then frees its GL state
    # twice, and the process dies after its report.
    set(environment WINEDEBUG=${PELLIX_WINEDEBUG} WINEPREFIX=${PELLIX_DISPLAY_WINEPREFIX}
                    WINE_D3D_CONFIG=csmt=0x0)
    set_property(TEST ${ARG_NAME} APPEND PROPERTY RESOURCE_LOCK x_display)
  endif()
  if(ARG_EFFECT)
    list(APPEND fixtures effect)
  endif()
  set_tests_properties(${ARG_NAME} PROPERTIES SKIP_RETURN_CODE 77 LABELS wine)
  set_property(TEST ${ARG_NAME} APPEND PROPERTY FIXTURES_REQUIRED ${fixtures})
  set_property(TEST ${ARG_NAME} APPEND PROPERTY ENVIRONMENT ${environment})
endfunction()

# pellix_wine_fixtures(): the set-up and clean-up tests of both prefixes, and the binary
# effect. Called once.
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
    foreach(step start stop)
      add_test(NAME ${kind}.${step} COMMAND ${PELLIX_32BIT_GATE} sh ${script} ${step} ${prefix} ${keep})
      set_tests_properties(${kind}.${step} PROPERTIES SKIP_RETURN_CODE 77 LABELS wine
                           ENVIRONMENT "WINEDEBUG=${PELLIX_WINEDEBUG}")
    endforeach()
    set_tests_properties(${kind}.start PROPERTIES FIXTURES_SETUP ${kind} TIMEOUT 600)
    set_tests_properties(${kind}.stop PROPERTIES FIXTURES_CLEANUP ${kind})
  endforeach()

  # The binary effect (Wine's D3DX compiles no text effect), written by a 32-bit program and so
  # by a test, not by the build; copied beside the programs that draw with it.
  if(TARGET effect_builder)
    pellix_wine_add_test(NAME effect.build COMMAND ${CMAKE_COMMAND}
      -DBUILDER=$<TARGET_FILE:effect_builder> -DOUT=${PELLIX_TEST_EFFECT}
      "-DCOPIES=$<TARGET_FILE_DIR:device_drawing_test>|$<TARGET_FILE_DIR:device_bench>"
      -P ${PROJECT_SOURCE_DIR}/tools/effect_builder/write_effect.cmake)
    set_tests_properties(effect.build PROPERTIES FIXTURES_SETUP effect)
    # The same effect with passes that cull, for the drawing test's second picture.
    pellix_wine_add_test(NAME effect.build_culled COMMAND ${CMAKE_COMMAND}
      -DBUILDER=$<TARGET_FILE:effect_builder> -DOUT=${CMAKE_BINARY_DIR}/pellix_culled.fx
      -DVARIANT=culled "-DCOPIES=$<TARGET_FILE_DIR:device_drawing_test>"
      -P ${PROJECT_SOURCE_DIR}/tools/effect_builder/write_effect.cmake)
    set_tests_properties(effect.build_culled PROPERTIES FIXTURES_SETUP effect)
  endif()
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
    pellix_wine_add_test(NAME ${name}
                         COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>)
  else()
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
