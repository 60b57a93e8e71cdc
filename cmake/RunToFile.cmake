# Runs PROGRAM with ARGS (a ;-list) and writes its standard output to OUTPUT;
# fails the build when the program fails. cmake -DPROGRAM=... -DARGS=...
# -DOUTPUT=... -P RunToFile.cmake
execute_process(COMMAND ${PROGRAM} ${ARGS} OUTPUT_FILE ${OUTPUT}.part RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${OUTPUT}.part)
  message(FATAL_ERROR "${PROGRAM} ${ARGS}: ${status}")
endif()
file(RENAME ${OUTPUT}.part ${OUTPUT})
