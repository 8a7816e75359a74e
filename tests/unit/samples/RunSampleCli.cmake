# Runs panelix-cli once and checks what it did. Called by CTest as
#   cmake -DCLI=exe -DARGS=a|b|c -DEXIT=n [-DCLEAN=dir] [-DSTDOUT_REGEX=r] [-DSTDERR_REGEX=r]
#         [-DWRITTEN=file] [-DCONTAINS=text|text] -P RunSampleCli.cmake
# WRITTEN empty with CONTAINS checks the file whose path the command printed.
string(REPLACE "|" ";" args "${ARGS}")
if(CLEAN)
  file(REMOVE_RECURSE "${CLEAN}")
endif()
execute_process(COMMAND "${CLI}" ${args}
  RESULT_VARIABLE exit_code OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)

if(NOT exit_code STREQUAL EXIT)
  message(FATAL_ERROR "exit ${exit_code}, expected ${EXIT}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(DEFINED STDOUT_REGEX AND NOT out MATCHES "${STDOUT_REGEX}")
  message(FATAL_ERROR "stdout does not match '${STDOUT_REGEX}':\n${out}")
endif()
if(DEFINED STDERR_REGEX AND NOT err MATCHES "${STDERR_REGEX}")
  message(FATAL_ERROR "stderr does not match '${STDERR_REGEX}':\n${err}")
endif()
if(DEFINED CONTAINS)
  if(NOT WRITTEN)
    string(STRIP "${out}" WRITTEN)
  endif()
  file(READ "${WRITTEN}" content)
  string(REPLACE "|" ";" pieces "${CONTAINS}")
  foreach(piece IN LISTS pieces)
    string(FIND "${content}" "${piece}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${WRITTEN} lacks '${piece}':\n${content}")
    endif()
  endforeach()
endif()
