# Writes the binary tracer effect with effect_builder under Wine, then copies it into each
# folder of COPIES (beside the programs that draw: they load "pellix.fx" from their own folder).
# VARIANT, when given, is effect_builder's second argument ("culled").
#   -DBUILDER=effect_builder.exe -DOUT=pellix.fx -DCOPIES=folder|folder... [-DVARIANT=culled]
file(REMOVE ${OUT})
execute_process(COMMAND wine ${BUILDER} ${OUT} ${VARIANT} RESULT_VARIABLE rc TIMEOUT 300)
if(NOT rc STREQUAL "0" OR NOT EXISTS ${OUT})
  message(FATAL_ERROR "effect_builder: exit code ${rc}, no ${OUT}")
endif()
string(REPLACE "|" ";" COPIES "${COPIES}")
foreach(folder IN LISTS COPIES)
  file(COPY ${OUT} DESTINATION ${folder})
endforeach()
message("binary effect written: ${OUT}")
