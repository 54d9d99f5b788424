# Installation: the two libraries, the public headers, the tool, a CMake
# package (find_package(sysdataproduct) -> sysdata::sysdataproduct) and a
# pkg-config file (sysdataproduct.pc).
#
# Headers keep their source layout under <includedir>/sysdataproduct, so the
# one include directory serves "platform/TqSync.h", "core/SystemRecords.h"
# and "TqFramework/SharedMemory/TqSharedMemory" alike.
include(CMakePackageConfigHelpers)

set(SYSDATA_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/sysdataproduct)
set(SYSDATA_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/sysdataproduct)

# Exported symbols: hidden visibility keeps our internals in; the version
# script keeps the standard library's template instantiations in as well.
# Every reference of the stand-in resolves at link time. The product library
# leaves the platform's names to the process that loads it, so it cannot be
# linked with --no-undefined; the minimal host's link check
# (tests/minimal_host) catches a name that nothing would provide. In a
# sanitizer build the sanitizer's runtime is linked into the program only
# (clang leaves its symbols to the executable), so the check is left to the
# uninstrumented builds, which are what ships.
if(UNIX AND NOT APPLE)
  foreach(_lib sysdataproduct tqplatform)
    target_link_options(${_lib} PRIVATE "LINKER:--version-script=${PROJECT_SOURCE_DIR}/cmake/exports.map")
    set_property(TARGET ${_lib} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/exports.map)
  endforeach()
  if(NOT SYSDATA_SANITIZE)
    target_link_options(tqplatform PRIVATE LINKER:--no-undefined)
  endif()
endif()

# The headers use C++17; consumers get it with the target.
target_compile_features(sysdataproduct INTERFACE cxx_std_17)
target_compile_features(tqplatform INTERFACE cxx_std_17)

# Installed programs find the installed libraries beside them (a program
# linked statically loads none, and a static program may carry no run path).
file(RELATIVE_PATH _sysdata_rel_lib ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
if(TARGET sysdatactl AND NOT SYSDATA_STATIC_TOOL)
  set_target_properties(sysdatactl PROPERTIES INSTALL_RPATH "$ORIGIN/${_sysdata_rel_lib}")
endif()

# Install components, one per Debian package (packaging/Packaging.cmake):
# runtime (the product library), platform (the stand-in host library), dev
# (headers, link names, CMake package, pkg-config file) and tool.
install(TARGETS sysdataproduct
  EXPORT sysdataproductTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  INCLUDES DESTINATION ${SYSDATA_INSTALL_INCLUDEDIR})
install(TARGETS tqplatform
  EXPORT sysdataproductTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT platform NAMELINK_COMPONENT dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT platform
  INCLUDES DESTINATION ${SYSDATA_INSTALL_INCLUDEDIR})

if(TARGET sysdatactl)
  install(TARGETS sysdatactl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
endif()

# core/RecordAccess.h is the library's own access to the records' fields:
# not part of what a host includes.
foreach(_dir platform core settings util accessor src/customize)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${_dir}/
    DESTINATION ${SYSDATA_INSTALL_INCLUDEDIR}/${_dir}
    COMPONENT dev
    FILES_MATCHING PATTERN "*.h"
    PATTERN "RecordAccess.h" EXCLUDE)
endforeach()
# The stand-in platform's test hooks: a host on a desk (the tool, a test
# bench) drives the simulated unit through them.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/standin/testing/
  DESTINATION ${SYSDATA_INSTALL_INCLUDEDIR}/standin/testing
  COMPONENT dev
  FILES_MATCHING PATTERN "*.h")
# The framework header is "TqFramework/SharedMemory/TqSharedMemory", without
# an extension; the ".h" beside it includes it.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/TqFramework
  DESTINATION ${SYSDATA_INSTALL_INCLUDEDIR}
  COMPONENT dev)

install(EXPORT sysdataproductTargets
  NAMESPACE sysdata::
  FILE sysdataproductTargets.cmake
  DESTINATION ${SYSDATA_INSTALL_CMAKEDIR}
  COMPONENT dev)

file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/sysdataproductConfig.cmake.in [=[
@PACKAGE_INIT@
include(CMakeFindDependencyMacro)
find_dependency(Threads)
include("${CMAKE_CURRENT_LIST_DIR}/sysdataproductTargets.cmake")
check_required_components(sysdataproduct)
]=])
configure_package_config_file(${CMAKE_CURRENT_BINARY_DIR}/sysdataproductConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/sysdataproductConfig.cmake
  INSTALL_DESTINATION ${SYSDATA_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/sysdataproductConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/sysdataproductConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/sysdataproductConfigVersion.cmake
  DESTINATION ${SYSDATA_INSTALL_CMAKEDIR}
  COMPONENT dev)

# pkg-config. The prefix is taken from where the .pc file lies, so the
# installed tree can be moved.
file(RELATIVE_PATH _sysdata_pc_to_prefix ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig
     ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" _sysdata_pc_to_prefix "${_sysdata_pc_to_prefix}")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/sysdataproduct.pc.in [=[
prefix=${pcfiledir}/@_sysdata_pc_to_prefix@
exec_prefix=${prefix}
libdir=${prefix}/@CMAKE_INSTALL_LIBDIR@
includedir=${prefix}/@SYSDATA_INSTALL_INCLUDEDIR@

Name: sysdataproduct
Description: Product-specific system data of the head unit, with the stand-in host platform
Version: @PROJECT_VERSION@
Cflags: -I${includedir}
Libs: -L${libdir} -lsysdataproduct -ltqplatform
Libs.private: -pthread -lrt
]=])
configure_file(${CMAKE_CURRENT_BINARY_DIR}/sysdataproduct.pc.in ${CMAKE_CURRENT_BINARY_DIR}/sysdataproduct.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/sysdataproduct.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT dev)
