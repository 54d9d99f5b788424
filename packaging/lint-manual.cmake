# The manual page as man and the whatis database read it: groff reports no
# warning, and lexgrog finds the NAME line that man -k and whatis show.
#   cmake -DMAN=man -DLEXGROG=lexgrog -DPAGE=.../sysdatactl.1 -P lint-manual.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT EXISTS "${PAGE}")
  message(FATAL_ERROR "no manual page ${PAGE}")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANROFFSEQ= MANWIDTH=80
          ${MAN} --warnings -E UTF-8 -l -Tutf8 -Z "${PAGE}"
  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE warnings)
if(NOT rc EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "man (${rc}):\n${warnings}")
endif()
if(LEXGROG)
  execute_process(COMMAND ${LEXGROG} "${PAGE}" RESULT_VARIABLE rc OUTPUT_VARIABLE whatis ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT whatis MATCHES "\"sysdatactl - [a-z]")
    message(FATAL_ERROR "lexgrog (${rc}): ${whatis}${err}")
  endif()
  message(STATUS "whatis: ${whatis}")
endif()
