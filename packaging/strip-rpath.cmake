# Run by cpack after the install into its staging directory: the programs
# of a package find the libraries in the system's library directory, so the
# relative run path an ordinary install gives them goes.
set(_staging "${CPACK_TEMPORARY_DIRECTORY}")
if(NOT IS_DIRECTORY "${_staging}")
  message(FATAL_ERROR "no staging directory '${_staging}'")
endif()
file(GLOB_RECURSE _files LIST_DIRECTORIES false "${_staging}/*")
list(FILTER _files INCLUDE REGEX "/usr/bin/[^/]+$")
foreach(_program IN LISTS _files)
  if(NOT IS_SYMLINK "${_program}")
    file(RPATH_REMOVE FILE "${_program}")
    message(STATUS "run path removed: ${_program}")
  endif()
endforeach()
