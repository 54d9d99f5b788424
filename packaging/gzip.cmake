# gzip -9n IN > OUT, as Debian wants compressed documentation.
#   cmake -DIN=... -DOUT=... -P gzip.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND gzip -9n -c "${IN}" OUTPUT_FILE "${OUT}.tmp" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip ${IN} failed (${rc})")
endif()
file(RENAME "${OUT}.tmp" "${OUT}")
