# The gate of the tests under Wine, with the probe's answer forced each way, and on its own.
#   -DSCRIPTS=scripts folder -DDIR=scratch folder
set(probe ${SCRIPTS}/probe-32bit.sh)

# gate(answer expected-exit output-regex command...): runs the command through the gate with
# PELLIX_RUNS_32BIT=answer.
function(gate answer expected_exit regex)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env PELLIX_RUNS_32BIT=${answer}
                          sh ${probe} --run ${ARGN}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc STREQUAL "${expected_exit}" OR NOT out MATCHES "${regex}")
    message(FATAL_ERROR "answer ${answer}: exit ${rc} (wanted ${expected_exit}), output:\n${out}")
  endif()
endfunction()
# Cannot: the command does not run, and CTest is told to skip (77), with the reason.
gate(no 77 "^Skipped: this machine cannot run 32-bit programs[^\n]*\n$" sh -c "echo ran")
# Can: the command runs, and its failure stays a failure.
gate(yes 3 "^ran\n$" sh -c "echo ran && exit 3")
# A probe that fails is a failure, never a skip.
gate(maybe 1 "^32-bit probe failed: " sh -c "echo ran")

# Unforced, on a machine set up by scripts/install-deps.sh, the probe answers yes or no.
execute_process(COMMAND sh ${probe} RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT (rc STREQUAL "0" OR rc STREQUAL "77"))
  message(FATAL_ERROR "the probe failed (exit ${rc}): ${out}")
endif()
message("this machine: ${out}")

# A ctest run in which the gate skips one test of three and another fails: the runner's
# summary counts each once.
file(REMOVE_RECURSE ${DIR})
file(WRITE ${DIR}/src/CMakeLists.txt "
cmake_minimum_required(VERSION 3.25)
project(gated NONE)
enable_testing()
add_test(NAME under_wine COMMAND sh ${probe} --run sh -c \"exit 0\")
set_tests_properties(under_wine PROPERTIES SKIP_RETURN_CODE 77)
add_test(NAME native COMMAND sh -c \"exit 0\")
add_test(NAME broken COMMAND sh -c \"exit 1\")
")
execute_process(COMMAND ${CMAKE_COMMAND} -S ${DIR}/src -B ${DIR}/build OUTPUT_QUIET
                RESULT_VARIABLE rc)
if(NOT rc STREQUAL "0")
  message(FATAL_ERROR "the scratch project did not configure")
endif()
foreach(answer no yes)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env PELLIX_RUNS_32BIT=${answer}
                          ${CMAKE_CTEST_COMMAND} --test-dir ${DIR}/build
                  OUTPUT_FILE ${DIR}/ctest-${answer}.log)
  execute_process(COMMAND bash ${SCRIPTS}/ctest-counts.sh ${DIR}/ctest-${answer}.log
                  OUTPUT_VARIABLE counts_${answer} OUTPUT_STRIP_TRAILING_WHITESPACE)
endforeach()
if(NOT counts_no STREQUAL "1 1 1" OR NOT counts_yes STREQUAL "2 1 0")
  message(FATAL_ERROR "passed, failed, skipped: '${counts_no}' with the gate closed "
                      "(wanted 1 1 1), '${counts_yes}' open (wanted 2 1 0)")
endif()
