# Runs one scenario through the lab and through the stand-in host, both under Wine, in a
# folder of its own; the stand-in compares its result with the lab's and reports.
#   -DLAB=pellix-lab.exe -DEXE=standin-host.exe -DDLL=pellix.dll -DDIR=... -DSCENARIO=...
#   [-DEXPECT=regex]
#   [-DTAMPER_FRAME=n]: first put a 1 before the first damage value of frame n in the lab's
#   result; the stand-in must then fail and name that value.
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR})
file(COPY ${EXE} ${DLL} ${LAB} DESTINATION ${DIR})
get_filename_component(lab_name ${LAB} NAME)
get_filename_component(exe_name ${EXE} NAME)
# Wine's own messages (standard error) pass straight through to the test's output.

execute_process(COMMAND wine ${lab_name} simulate --json ${SCENARIO}
                WORKING_DIRECTORY ${DIR} OUTPUT_FILE ${DIR}/lab.json
                RESULT_VARIABLE rc TIMEOUT 300)
if(NOT rc STREQUAL "0")
  message(FATAL_ERROR "pellix-lab simulate: exit code ${rc}")
endif()

if(DEFINED TAMPER_FRAME)
  file(READ ${DIR}/lab.json text)
  string(FIND "${text}" "\"frame\": ${TAMPER_FRAME}," at)
  string(SUBSTRING "${text}" ${at} -1 tail)
  string(FIND "${tail}" "\"damage\": " offset)
  if(at LESS 0 OR offset LESS 0)
    message(FATAL_ERROR "frame ${TAMPER_FRAME} has no damage value to change")
  endif()
  math(EXPR at "${at} + ${offset} + 10")
  string(SUBSTRING "${text}" 0 ${at} head)
  string(SUBSTRING "${text}" ${at} -1 tail)
  file(WRITE ${DIR}/lab.json "${head}1${tail}")
endif()

set(ENV{PELLIX_CROSSCHECK_SCENARIO} ${SCENARIO})
set(ENV{PELLIX_CROSSCHECK_LAB} ${DIR}/lab.json)
set(ENV{PELLIX_CROSSCHECK_OUT} ${DIR}/standin.json)
execute_process(COMMAND wine ${exe_name} crosscheck
                WORKING_DIRECTORY ${DIR}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out TIMEOUT 300)
message("${out}")
if(DEFINED TAMPER_FRAME)
  if(rc STREQUAL "0" OR NOT out MATCHES "${EXPECT}")
    message(FATAL_ERROR "the changed value went unnoticed or unnamed: ${EXPECT}")
  endif()
  return()
endif()
if(NOT rc STREQUAL "0")
  message(FATAL_ERROR "stand-in host: exit code ${rc} (results in ${DIR})")
endif()
if(NOT out MATCHES "\n[1-9][0-9]* passed, 0 failed" OR out MATCHES "FAIL ")
  message(FATAL_ERROR "the stand-in's report shows a failure (results in ${DIR})")
endif()
if(NOT out MATCHES "PASS lab and library agree frame by frame")
  message(FATAL_ERROR "the comparison did not run")
endif()
if(EXPECT AND NOT out MATCHES "${EXPECT}")
  message(FATAL_ERROR "the scenario does not go through what it should: ${EXPECT}")
endif()
