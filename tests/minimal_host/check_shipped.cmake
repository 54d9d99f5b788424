# The shipped product library as the real host gets it:
#  1. readelf -d: its SONAME is SONAME, and it needs no library of ours (the
#     stand-in platform, the minimal one): the host's platform is whatever
#     the process provides;
#  2. the minimal host loads exactly that file (it prints the file it mapped,
#     found by device and inode in /proc/self/maps) and boots it.
#
#   cmake -DREADELF=readelf -DLIBRARY=... -DSONAME=... -DHOST=... -DBOOT=...
#         [-DEMULATOR="qemu-arm -L ..."] -P check_shipped.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var READELF LIBRARY SONAME HOST BOOT)
  if(NOT ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

execute_process(COMMAND ${READELF} -d ${LIBRARY} RESULT_VARIABLE rc OUTPUT_VARIABLE dynamic ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${READELF} -d ${LIBRARY} failed: ${err}")
endif()
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[[^]\n]+\\]" needed_lines "${dynamic}")
set(needed "")
foreach(line ${needed_lines})
  string(REGEX REPLACE ".*\\[([^]]+)\\]$" "\\1" name "${line}")
  list(APPEND needed ${name})
endforeach()
string(REGEX MATCH "\\(SONAME\\)[^\n]*\\[([^]\n]+)\\]" _ "${dynamic}")
set(soname "${CMAKE_MATCH_1}")
message(STATUS "${LIBRARY}: SONAME ${soname}, NEEDED ${needed}")
if(NOT soname STREQUAL SONAME)
  message(FATAL_ERROR "the shipped library's SONAME is '${soname}', expected ${SONAME}")
endif()
foreach(name ${needed})
  if(name MATCHES "tqplatform|minimal_host|sysdata")
    message(FATAL_ERROR "the shipped library needs ${name}: the host provides the platform, the library must not name it")
  endif()
endforeach()
if(NOT needed MATCHES "libc\\.so")
  message(FATAL_ERROR "unexpected dynamic section (no libc needed):\n${dynamic}")
endif()

separate_arguments(emulator UNIX_COMMAND "${EMULATOR}")
execute_process(COMMAND ${emulator} ${HOST} ${LIBRARY} ${BOOT}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
message(STATUS "minimal host:\n${out}${err}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the minimal host failed (${rc})")
endif()
file(REAL_PATH ${LIBRARY} shipped)
string(FIND "${out}" "minimal host: loaded ${shipped}\n" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the minimal host did not report loading ${shipped}")
endif()
