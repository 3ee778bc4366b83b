# Runs one stand-in host scenario under Wine in a folder of its own, beside copies of the
# program and the library, and judges its report.
#   -DEXE=... -DDLL=... -DDIR=... -DSCENARIO=... [-DEXPECT_EXIT=0] [-DEXPECT=regex] [-DREJECT=regex]
if(NOT DEFINED EXPECT_EXIT)
  set(EXPECT_EXIT 0)
endif()
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR})
file(COPY ${EXE} ${DLL} DESTINATION ${DIR})
if(DEFINED EFFECT)  # the tracer effect, beside the program as the game keeps it
  file(COPY ${EFFECT} DESTINATION ${DIR})
endif()
get_filename_component(exe_name ${EXE} NAME)
# Wine's own messages (standard error) pass straight through to the test's output.
execute_process(COMMAND wine ${exe_name} ${SCENARIO}
                WORKING_DIRECTORY ${DIR}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out TIMEOUT 300)
message("${out}")
if(NOT rc STREQUAL "${EXPECT_EXIT}")
  message(FATAL_ERROR "exit code ${rc}, expected ${EXPECT_EXIT}")
endif()
if(DEFINED EXPECT AND NOT out MATCHES "${EXPECT}")
  message(FATAL_ERROR "the report does not show: ${EXPECT}")
endif()
if(DEFINED REJECT AND out MATCHES "${REJECT}")
  message(FATAL_ERROR "the report shows: ${REJECT}")
endif()
