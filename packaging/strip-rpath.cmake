# Run by cpack after the install into its staging directory: the programs
# of a package find the libraries in the system's library directory, so the
# relative run path an ordinary install gives them goes.
file(GLOB_RECURSE _programs LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
foreach(_program IN LISTS _programs)
  if(NOT IS_SYMLINK "${_program}")
    file(RPATH_REMOVE FILE "${_program}")
  endif()
endforeach()
