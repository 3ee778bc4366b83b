# Runs pellix-lab with ARGS (separated by "|") and checks its exit status (STATUS) and that its
# standard output matches every regular expression in EXPECT (separated by "|"). EMULATOR runs
# it (wine) when set; its standard error (the lab's messages, Wine's) passes straight through.
string(REPLACE "|" ";" args "${ARGS}")
string(REPLACE "|" ";" EXPECT "${EXPECT}")
execute_process(COMMAND ${EMULATOR} ${LAB} ${args}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc STREQUAL STATUS)
  message(FATAL_ERROR "exit status ${rc}, wanted ${STATUS}\n${out}")
endif()
foreach(pattern IN LISTS EXPECT)
  if(NOT out MATCHES "${pattern}")
    message(FATAL_ERROR "output does not match '${pattern}':\n${out}")
  endif()
endforeach()
