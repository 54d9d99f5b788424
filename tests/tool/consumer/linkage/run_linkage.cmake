# Builds the program of main.cpp in each way a desk program can combine the
# product library, the stand-in platform and the C library, runs each, and
# checks that each either gets the unit's own segment namespace or is
# refused with a message that says how to link. Every build links the
# stand-in itself (a program that uses the stand-in names it).
#
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -DCXX=... -DPRODUCT=<libsysdataproduct.so>
#         -DPLATFORM=<libtqplatform.so> [-DSANITIZE=...] -P run_linkage.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var SOURCE_DIR WORK_DIR CXX PRODUCT PLATFORM)
  if(NOT ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
get_filename_component(product_dir ${PRODUCT} DIRECTORY)
get_filename_component(platform_dir ${PLATFORM} DIRECTORY)
set(main ${SOURCE_DIR}/tests/tool/consumer/linkage/main.cpp)
set(common -std=c++17 -I${SOURCE_DIR} -I${SOURCE_DIR}/include -L${product_dir} -L${platform_dir}
    -Wl,-rpath,${product_dir} -Wl,-rpath,${platform_dir})
if(SANITIZE)
  string(REPLACE ";" "," san "${SANITIZE}")
  list(APPEND common "-fsanitize=${san}")
endif()

function(build name)
  execute_process(COMMAND ${CXX} ${ARGN} -o ${WORK_DIR}/${name}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${name}: cannot build (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
endfunction()

# outcome: OWN (its own namespace), REFUSED (refused, naming the fix), or
# EITHER where the order the linker gives the libraries decides (the driver
# may move the C library named on the line).
set(failures "")
function(check name outcome)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(STRIP "${out}" out)
  set(own FALSE)
  set(refused FALSE)
  if(rc EQUAL 0 AND out MATCHES "^own namespace /")
    set(own TRUE)
  endif()
  if(rc EQUAL 3 AND out MATCHES "^refused: .*link libtqplatform before the C library.*LD_PRELOAD")
    set(refused TRUE)
  endif()
  set(good FALSE)
  if((own AND NOT outcome STREQUAL "REFUSED") OR (refused AND NOT outcome STREQUAL "OWN"))
    set(good TRUE)
  endif()
  if(good)
    message(STATUS "${name}: ${out}")
  else()
    set(failures "${failures}\n${name}: expected ${outcome}, got exit ${rc}: ${out}\n${err}" PARENT_SCOPE)
  endif()
endfunction()

set(unit ${WORK_DIR}/unit)
# The libraries named after the program, in both orders.
build(product-first ${common} ${main} -lsysdataproduct -ltqplatform)
check("product, then stand-in" OWN ${WORK_DIR}/product-first ${unit})
build(standin-first ${common} ${main} -ltqplatform -lsysdataproduct)
check("stand-in, then product" OWN ${WORK_DIR}/standin-first ${unit})
# Only what the program uses is linked.
build(as-needed ${common} -Wl,--as-needed ${main} -lsysdataproduct -ltqplatform)
check("--as-needed" OWN ${WORK_DIR}/as-needed ${unit})
# The C library named first: its shm_open comes before the stand-in's.
build(libc-first ${common} -Wl,--no-as-needed -lc ${main} -lc -lsysdataproduct -ltqplatform)
check("C library first" EITHER ${WORK_DIR}/libc-first ${unit})
# The same program with the stand-in preloaded. In a sanitizer build the
# preloaded stand-in comes before the sanitizer's runtime, which the runtime
# refuses unless told that the order is meant.
set(preload ${CMAKE_COMMAND} -E env LD_PRELOAD=${PLATFORM} ASAN_OPTIONS=verify_asan_link_order=0)
check("C library first, stand-in preloaded" OWN
      ${preload} ${WORK_DIR}/libc-first ${unit})
# The product library loaded RTLD_LOCAL by a program that links the stand-in.
build(dlopen-product ${common} -DLINKAGE_PRODUCT_LOADED ${main} -ltqplatform -ldl)
check("product dlopen RTLD_LOCAL" OWN ${WORK_DIR}/dlopen-product ${unit} ${PRODUCT})
# Both loaded after start, the stand-in RTLD_GLOBAL: it comes after the C
# library in the process's scope.
build(dlopen-both ${common} -DLINKAGE_PRODUCT_LOADED -DLINKAGE_DLOPEN_ONLY ${main} -ldl)
check("stand-in dlopen RTLD_GLOBAL after start" REFUSED ${WORK_DIR}/dlopen-both ${unit} ${PRODUCT} ${PLATFORM})
check("stand-in dlopen RTLD_GLOBAL, preloaded" OWN
      ${preload} ${WORK_DIR}/dlopen-both ${unit} ${PRODUCT} ${PLATFORM})

if(failures)
  message(FATAL_ERROR "set-ups with neither outcome:${failures}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
