# Installs the build tree into a prefix under WORK_DIR, then builds and runs a
# program outside the source tree against it, once through find_package and
# once through pkg-config, and runs the installed tool. Removes WORK_DIR
# when everything passed.
#
#   cmake -DBUILD_DIR=... -DCONSUMER_DIR=... -DWORK_DIR=... -DCXX=... -DLIBDIR=lib [-DSANITIZE=...]
#         -P run_consumer.cmake
#
# With -DINSTALLED=PREFIX (no BUILD_DIR) nothing is installed: the program is
# built against what the Debian packages put under PREFIX (/usr), found as a
# user finds it, without CMAKE_PREFIX_PATH or PKG_CONFIG_PATH.
cmake_minimum_required(VERSION 3.25)
set(required CONSUMER_DIR WORK_DIR CXX LIBDIR)
if(NOT INSTALLED)
  list(APPEND required BUILD_DIR)
endif()
foreach(var IN LISTS required)
  if(NOT ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(run_out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
if(INSTALLED)
  set(prefix ${INSTALLED})
  set(search_path "")
else()
  set(prefix ${WORK_DIR}/prefix)
  set(search_path -DCMAKE_PREFIX_PATH=${prefix})
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
endif()
foreach(installed
    include/sysdataproduct/platform/TqSync.h
    include/sysdataproduct/core/SystemRecords.h
    include/sysdataproduct/settings/keys/SxmKeys.h
    include/sysdataproduct/util/SysDataUtilProduct.h
    include/sysdataproduct/accessor/SettingsDataAccessor.h
    include/sysdataproduct/src/customize/CustomizeSysDataProduct.h
    include/sysdataproduct/TqFramework/SharedMemory/TqSharedMemory
    include/sysdataproduct/TqFramework/SharedMemory/TqSharedMemory.h
    ${LIBDIR}/cmake/sysdataproduct/sysdataproductConfig.cmake
    ${LIBDIR}/pkgconfig/sysdataproduct.pc
    bin/sysdatactl)
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

set(flags "")
if(SANITIZE)
  string(REPLACE ";" "," san "${SANITIZE}")
  set(flags "-fsanitize=${san}")
endif()

# find_package
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build
    ${search_path} -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Debug
    "-DCMAKE_CXX_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer ${WORK_DIR}/unit-cmake)
message(STATUS "find_package consumer: ${run_out}")

# pkg-config
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  if(NOT INSTALLED)
    set(ENV{PKG_CONFIG_PATH} "${prefix}/${LIBDIR}/pkgconfig")
  endif()
  run(${PKG_CONFIG} --cflags --libs sysdataproduct)
  string(STRIP "${run_out}" pcflags)
  separate_arguments(pcflags UNIX_COMMAND "${pcflags}")
  set(libdir ${prefix}/${LIBDIR})
  separate_arguments(sanflags UNIX_COMMAND "${flags}")
  set(rpath "")
  if(NOT INSTALLED)
    set(rpath -Wl,-rpath,${libdir})
  endif()
  run(${CXX} -std=c++17 ${sanflags} ${CONSUMER_DIR}/main.cpp ${pcflags} ${rpath}
      -o ${WORK_DIR}/consumer-pc)
  run(${WORK_DIR}/consumer-pc ${WORK_DIR}/unit-pc)
  message(STATUS "pkg-config consumer: ${run_out}")
endif()

# The installed tool finds the installed libraries.
run(${prefix}/bin/sysdatactl variants)
file(REMOVE_RECURSE ${WORK_DIR})
