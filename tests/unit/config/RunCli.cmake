# Runs panelix-cli once and checks what it did. Called by CTest as
#   cmake -DCLI=exe -DARGS=a|b|c -DEXIT=n [-DSTDOUT_FILE=f] [-DSTDOUT_REGEX=r]
#         [-DSTDERR_REGEX=r] [-DWRITTEN=f -DWRITTEN_EXPECTED=f] -P RunCli.cmake
string(REPLACE "|" ";" args "${ARGS}")
if(WRITTEN)
  file(REMOVE "${WRITTEN}")
endif()
execute_process(COMMAND "${CLI}" ${args}
  RESULT_VARIABLE exit_code OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)

if(NOT exit_code STREQUAL EXIT)
  message(FATAL_ERROR "exit ${exit_code}, expected ${EXIT}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(STDOUT_FILE)
  file(READ "${STDOUT_FILE}" expected)
  if(NOT out STREQUAL expected)
    message(FATAL_ERROR "stdout differs from ${STDOUT_FILE}:\n${out}")
  endif()
endif()
if(DEFINED STDOUT_REGEX AND NOT out MATCHES "${STDOUT_REGEX}")
  message(FATAL_ERROR "stdout does not match '${STDOUT_REGEX}':\n${out}")
endif()
if(DEFINED STDERR_REGEX AND NOT err MATCHES "${STDERR_REGEX}")
  message(FATAL_ERROR "stderr does not match '${STDERR_REGEX}':\n${err}")
endif()
if(WRITTEN)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WRITTEN}" "${WRITTEN_EXPECTED}"
    RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${WRITTEN} differs from ${WRITTEN_EXPECTED}")
  endif()
endif()
