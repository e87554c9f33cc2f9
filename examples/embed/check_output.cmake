# Runs PROGRAM and fails unless it exits with 0 and prints exactly EXPECTED.
execute_process(COMMAND ${PROGRAM} OUTPUT_VARIABLE output ERROR_VARIABLE errors
                RESULT_VARIABLE status)
file(READ ${EXPECTED} expected)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} exited with ${status}\n${errors}")
endif()
if(NOT output STREQUAL expected)
  message(FATAL_ERROR "output differs\n--- expected\n${expected}--- got\n${output}")
endif()
