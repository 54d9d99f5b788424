# Removes files of the library built under another SONAME from the build
# directory (a tree built before the SONAME was raised keeps them): what lies
# beside the shipped library is only ever the library as it is now.
#   cmake -DDIR=... -DNAME=libsysdataproduct -DSOVERSION=2 -P RemoveOtherSonames.cmake
file(GLOB candidates LIST_DIRECTORIES false "${DIR}/${NAME}.so.*")
foreach(path IN LISTS candidates)
  get_filename_component(file "${path}" NAME)
  if(NOT file MATCHES "^${NAME}\\.so\\.${SOVERSION}(\\..*)?$")
    file(REMOVE "${path}")
    message(STATUS "removed ${file}: built under another SONAME")
  endif()
endforeach()
