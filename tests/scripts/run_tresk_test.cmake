# Runs `tresk run SCRIPT --no-source-info` with INPUT as standard input and
# checks it against EXPECTED, the file the script driver's output must equal:
# standard output must be its message lines; when it ends in an error line
# ("error: MESSAGE (line L, position P)"), tresk must exit 1 and print
# "error: MESSAGE" to standard error, otherwise exit 0 and print nothing there.
execute_process(COMMAND ${TRESK} run ${SCRIPT} --no-source-info
                INPUT_FILE ${INPUT}
                OUTPUT_VARIABLE actual
                ERROR_VARIABLE errors
                RESULT_VARIABLE status)
file(READ ${EXPECTED} expected)
string(REPLACE "\r\n" "\n" expected "${expected}")
set(expected_status 0)
set(expected_errors "")
if(expected MATCHES "(^|\n)error: ([^\n]*)\n$")
  set(message "${CMAKE_MATCH_2}")
  string(REGEX REPLACE " \\(line [0-9]+, position [0-9]+\\)$" "" message "${message}")
  string(REGEX REPLACE "(^|\n)error: [^\n]*\n$" "\\1" expected "${expected}")
  set(expected_status 1)
  set(expected_errors "error: ${message}\n")
endif()
if(NOT status STREQUAL expected_status)
  message(FATAL_ERROR "tresk exited with ${status}, expected ${expected_status}, on ${SCRIPT}:\n${errors}")
endif()
if(NOT errors STREQUAL expected_errors)
  message(FATAL_ERROR "tresk's standard error on ${SCRIPT}:\n${errors}\nexpected:\n${expected_errors}")
endif()
if(NOT actual STREQUAL expected)
  file(WRITE ${ACTUAL} "${actual}")
  file(WRITE ${ACTUAL}.expected "${expected}")
  execute_process(COMMAND diff -u ${ACTUAL}.expected ${ACTUAL} OUTPUT_VARIABLE difference)
  message(FATAL_ERROR "tresk's output of ${SCRIPT} differs:\n${difference}")
endif()
