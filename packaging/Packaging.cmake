# Debian packages (cpack -G DEB in a build directory), the tool's version,
# its manual page and its bash completion.
#
#   libsysdataproduct2      the product library (needs nothing of ours: the
#                           host's platform provides what it imports)
#   libtqplatform1          the stand-in host platform, for desk programs
#   libsysdataproduct-dev   headers, the CMake package, the pkg-config file
#   sysdatactl              the tool, its manual page and bash completion
#
# A cross build (the armhf preset) packages for its target architecture.

set(SYSDATA_PACKAGE_MAINTAINER "sysdata-product maintainers <sysdata-product@example.com>"
    CACHE STRING "Maintainer of the Debian packages (Name <address>)")
set(SYSDATA_DEB_RELEASE 1)
set(SYSDATA_DEB_VERSION ${PROJECT_VERSION}-${SYSDATA_DEB_RELEASE})
set(_sysdata_pkg_dir ${CMAKE_CURRENT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${_sysdata_pkg_dir})

# Debian package names by install component.
set(_sysdata_deb_runtime libsysdataproduct2)
set(_sysdata_deb_platform libtqplatform1)
set(_sysdata_deb_dev libsysdataproduct-dev)
set(_sysdata_deb_tool sysdatactl)

if(TARGET sysdatactl)
  # The one place the tool's version comes from (its sources but main() are
  # the library sysdatactl_core).
  target_compile_definitions(sysdatactl_core PRIVATE SYSDATACTL_VERSION="${PROJECT_VERSION}")
  # On 32-bit ARM GCC notes, for every vector iterator passed by value, that
  # GCC 7.1 changed how such arguments are passed; everything in a package is
  # built by one compiler, so the note says nothing here.
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^arm" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(sysdatactl PRIVATE -Wno-psabi)
    target_compile_options(sysdatactl_core PRIVATE -Wno-psabi)
  endif()

  # The manual page is printed by the tool from its own --help texts. A
  # cross-built tool runs under the emulator, or a native build's tool
  # (SYSDATA_HOST_SYSDATACTL) prints it: the page is the same on every
  # architecture.
  set(SYSDATA_HOST_SYSDATACTL "" CACHE FILEPATH
      "A sysdatactl that runs on the build machine, for the manual page of a cross build")
  set(_sysdata_man_depends sysdatactl)
  if(CMAKE_CROSSCOMPILING AND SYSDATA_HOST_SYSDATACTL)
    set(_sysdata_man_tool "${SYSDATA_HOST_SYSDATACTL}")
    list(APPEND _sysdata_man_depends ${SYSDATA_HOST_SYSDATACTL})
  elseif(CMAKE_CROSSCOMPILING)
    list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " _sysdata_man_tool)
    string(APPEND _sysdata_man_tool " $<TARGET_FILE:sysdatactl>")
  else()
    set(_sysdata_man_tool "$<TARGET_FILE:sysdatactl>")
  endif()
  add_custom_command(
    OUTPUT ${_sysdata_pkg_dir}/sysdatactl.1.gz
    BYPRODUCTS ${_sysdata_pkg_dir}/sysdatactl.1
    COMMAND ${CMAKE_COMMAND} "-DTOOL=${_sysdata_man_tool}" -DOUT=${_sysdata_pkg_dir}/sysdatactl.1.gz
            -P ${CMAKE_CURRENT_SOURCE_DIR}/packaging/manual.cmake
    DEPENDS ${_sysdata_man_depends} ${CMAKE_CURRENT_SOURCE_DIR}/packaging/manual.cmake
    COMMENT "Writing the manual page sysdatactl(1)"
    VERBATIM)
  add_custom_target(sysdatactl_manual ALL DEPENDS ${_sysdata_pkg_dir}/sysdatactl.1.gz)

  install(FILES ${_sysdata_pkg_dir}/sysdatactl.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/sysdatactl.bash-completion
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME sysdatactl COMPONENT tool)

  if(TARGET tool_tests)
    target_compile_definitions(tool_tests PRIVATE SYSDATA_PROJECT_VERSION="${PROJECT_VERSION}")
  endif()
  if(SYSDATA_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING)
    find_program(SYSDATA_BASH bash)
    if(SYSDATA_BASH)
      add_test(NAME tool.bash_completion
        COMMAND ${SYSDATA_BASH} ${CMAKE_CURRENT_SOURCE_DIR}/packaging/test-completion.sh
                ${CMAKE_CURRENT_SOURCE_DIR}/packaging/sysdatactl.bash-completion $<TARGET_FILE:sysdatactl>)
      set_tests_properties(tool.bash_completion PROPERTIES TIMEOUT 120)
    endif()
    find_program(SYSDATA_MAN man)
    find_program(SYSDATA_LEXGROG lexgrog)
    if(SYSDATA_MAN)
      add_test(NAME tool.manual_page_lint
        COMMAND ${CMAKE_COMMAND} -DMAN=${SYSDATA_MAN} -DLEXGROG=${SYSDATA_LEXGROG}
                -DPAGE=${_sysdata_pkg_dir}/sysdatactl.1 -P ${CMAKE_CURRENT_SOURCE_DIR}/packaging/lint-manual.cmake)
      set_tests_properties(tool.manual_page_lint PROPERTIES TIMEOUT 120)
    endif()
  endif()
endif()

# Each package's copyright and changelog under /usr/share/doc/<package>.
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/copyright ${_sysdata_pkg_dir}/copyright @ONLY)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog.in ${_sysdata_pkg_dir}/changelog.Debian @ONLY)
add_custom_command(
  OUTPUT ${_sysdata_pkg_dir}/changelog.Debian.gz
  COMMAND ${CMAKE_COMMAND} -DIN=${_sysdata_pkg_dir}/changelog.Debian -DOUT=${_sysdata_pkg_dir}/changelog.Debian.gz
          -P ${CMAKE_CURRENT_SOURCE_DIR}/packaging/gzip.cmake
  DEPENDS ${_sysdata_pkg_dir}/changelog.Debian
  VERBATIM)
add_custom_target(sysdata_package_docs ALL DEPENDS ${_sysdata_pkg_dir}/changelog.Debian.gz)

set(_sysdata_components runtime platform dev)
if(TARGET sysdatactl)
  list(APPEND _sysdata_components tool)
endif()
foreach(_component IN LISTS _sysdata_components)
  install(FILES ${_sysdata_pkg_dir}/copyright ${_sysdata_pkg_dir}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${_sysdata_deb_${_component}} COMPONENT ${_component})
endforeach()

# A program in a package finds the libraries in the system's directory; the
# relative run path is for an install under any other prefix.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/strip-rpath.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sysdataproduct)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${SYSDATA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
# Only these: a build's other install rules (a GoogleTest built from source)
# stay out of the packages.
set(CPACK_COMPONENTS_ALL ${_sysdata_components})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${SYSDATA_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)

# Dependencies: the C and C++ runtimes from dpkg-shlibdeps, our own packages
# at exactly this version from the components' dependencies, and shlibs
# files so that packages built on ours get theirs computed too. The product
# library depends on no package of ours: its platform names are left to the
# process (the real host's platform, or the stand-in a desk program links).
# The tool holds the product's code and the stand-in itself (it links both
# statically) and depends on no package of ours; where it is a static
# program, on no package at all.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_COMPONENT_DEV_DEPENDS runtime platform)
# Our own libraries, which the packages built alongside provide.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_CURRENT_BINARY_DIR}/standin)

if(CMAKE_CROSSCOMPILING)
  # dpkg would name the build machine's architecture.
  if(CMAKE_LIBRARY_ARCHITECTURE STREQUAL "arm-linux-gnueabihf")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE armhf)
  else()
    message(WARNING "Debian architecture of ${CMAKE_LIBRARY_ARCHITECTURE} unknown: packages get the build machine's")
  endif()
  # The cross toolchain's runtime libraries: dpkg-shlibdeps finds the
  # target's libc and libstdc++ there, and their cross packages name the
  # target's packages in their shlibs files.
  if(CMAKE_FIND_ROOT_PATH)
    foreach(_root IN LISTS CMAKE_FIND_ROOT_PATH)
      list(APPEND CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${_root}/lib)
    endforeach()
  endif()
endif()
if(CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
  set(SYSDATA_DEB_ARCH ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})
else()
  set(SYSDATA_DEB_ARCH "")
endif()
# Runs dpkg-shlibdeps for the packages' architecture and keeps the
# dependencies free of architecture qualifiers.
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/dpkg-shlibdeps.in ${_sysdata_pkg_dir}/dpkg-shlibdeps @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/cpack-project.cmake.in
  ${_sysdata_pkg_dir}/cpack-project.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${_sysdata_pkg_dir}/cpack-project.cmake)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${_sysdata_deb_runtime})
set(CPACK_DEBIAN_PLATFORM_PACKAGE_NAME ${_sysdata_deb_platform})
set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${_sysdata_deb_dev})
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME ${_sysdata_deb_tool})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
# The shared library packages update the loader's cache through libc's
# trigger.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/packaging/triggers)
set(CPACK_DEBIAN_PLATFORM_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/packaging/triggers)

set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "product system data library of the head unit
The product's own system data for the car head unit: its settings files,
the factory defaults by model and destination, the export to and import
from USB media, and dealer customization. Loaded by the head unit's
processes; the host platform it calls is provided by the process that loads
it (on a desk: libtqplatform, which programs link themselves).
.
This package contains the shared library.")
set(CPACK_DEBIAN_PLATFORM_DESCRIPTION "stand-in host platform for the product system data library
A stand-in for the head unit's host platform: the settings file store on
real files with durable atomic writes, POSIX shared memory, open file
description locks and logging. It lets the product system data library run
on a desk; on the head unit the real host platform replaces it.
.
This package contains the shared library.")
set(CPACK_DEBIAN_DEV_DESCRIPTION "product system data library of the head unit - development files
The product's own system data for the car head unit: its settings files,
the factory defaults by model and destination, the export to and import
from USB media, and dealer customization.
.
This package contains the headers of the library and of the stand-in host
platform, the CMake package (find_package(sysdataproduct)) and the
pkg-config file (sysdataproduct).")
set(CPACK_DEBIAN_TOOL_DESCRIPTION "simulated head unit for the product system data
sysdatactl plays the host of a head unit kept in a directory, so that the
product's settings can be seen and changed on a desk: create and boot a
unit of any variant, read and write settings by data key, show settings
files and the factory default table, reset, export and import, check a
unit's files, and lint, import and apply dealer customization files.")

include(CPack)
