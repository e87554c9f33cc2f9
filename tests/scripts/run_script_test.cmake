# Runs DRIVER on SCRIPT with INPUT as standard input, keeps its standard
# output in ACTUAL and compares it with EXPECTED (line breaks normalised).
execute_process(COMMAND ${DRIVER} ${SCRIPT}
                INPUT_FILE ${INPUT}
                OUTPUT_VARIABLE actual
                ERROR_VARIABLE errors
                RESULT_VARIABLE status)
file(WRITE ${ACTUAL} "${actual}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "script_driver failed (${status}) on ${SCRIPT}:\n${errors}")
endif()
if(NOT EXISTS ${EXPECTED})
  message(FATAL_ERROR "no expected output ${EXPECTED}; the output was:\n${actual}")
endif()
file(READ ${EXPECTED} expected)
string(REPLACE "\r\n" "\n" expected "${expected}")
if(NOT actual STREQUAL expected)
  execute_process(COMMAND diff -u ${EXPECTED} ${ACTUAL} OUTPUT_VARIABLE difference)
  message(FATAL_ERROR "output of ${SCRIPT} differs from ${EXPECTED}:\n${difference}")
endif()
