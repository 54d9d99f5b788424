# One way into a unit: sysdatactl reaches a unit's files only through the
# stand-in's root-confined layer (tools/sysdatactl/UnitAccess.cpp, over
# standin/UnitFiles.h). Fails when any other source of the tool
#  - calls a file-system function of the C library by path (open, stat,
#    mkdir, unlink, rename, realpath, opendir...), seen in the object's
#    undefined symbols, so a macro or a wrapper cannot hide it; or
#  - uses C++ file streams or std::filesystem; or
#  - reaches around the unit layer to the stand-in's FileSystem seam or its
#    internal path resolution, seen in the source.
# The one exception is SafeFile.cpp: the files outside every unit (what the
# user names, TMPDIR, the unit's directory itself), each call refusing a
# path beneath the unit's root. There every plain call says on its line why
# it is no way into a unit ("// door-ok: why"), so a new one has to.
#
#   cmake -DNM=nm -DOBJECTS="a.o;b.o" -DSOURCES="a.cpp;b.cpp" -P check_one_door.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var NM OBJECTS SOURCES)
  if(NOT ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

set(allowed "SafeFile")
set(unit_layer "UnitAccess")
set(path_calls
  open openat openat2 creat stat lstat fstatat newfstatat statx opendir unlink unlinkat rmdir mkdir mkdirat
  mkdtemp mkstemp mkostemp mkfifo mkfifoat mknod mknodat rename renameat renameat2 fopen freopen access
  faccessat faccessat2 euidaccess eaccess realpath canonicalize_file_name readlink readlinkat chdir chroot
  chmod fchmodat chown lchown fchownat truncate symlink symlinkat link linkat statvfs statfs utime utimes
  utimensat futimesat scandir scandirat nftw ftw glob remove tmpfile tempnam tmpnam name_to_handle_at
  open_by_handle_at syscall)
list(JOIN path_calls "|" alternatives)
# glibc's names: open64, __open_2, __open64_2, __xstat64, __lxstat...
set(symbol_pattern "^(__)?(${alternatives})(64)?(_2)?$|^__(x|lx|fx)stat(at)?(64)?$")
set(stream_pattern "(14basic_ifstream|14basic_ofstream|13basic_fstream|13basic_filebuf|St10filesystem|NSt10filesystem)")
set(source_pattern "GetFileSystem|PosixFileSystem|standin/FileSystem\\.h|standin/RootedPath\\.h|standin::detail|TqSimPath")

set(failures "")
foreach(object IN LISTS OBJECTS)
  get_filename_component(name "${object}" NAME)
  string(REGEX REPLACE "\\.(cpp|cc)(\\.o|\\.obj)$" "" stem "${name}")
  if(stem STREQUAL allowed)
    continue()
  endif()
  execute_process(COMMAND ${NM} -u "${object}" OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} -u ${object} failed")
  endif()
  string(REPLACE "\n" ";" lines "${out}")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    string(REGEX REPLACE "^U[ \t]+" "" symbol "${line}")
    string(REGEX REPLACE "@.*$" "" symbol "${symbol}")
    if(symbol MATCHES "${symbol_pattern}" OR symbol MATCHES "${stream_pattern}")
      string(APPEND failures "  ${stem}: calls ${symbol}\n")
    endif()
  endforeach()
endforeach()

set(plain_call_pattern "::(${alternatives}|fdopendir|mkdtemp)(64)?\\(")
foreach(source IN LISTS SOURCES)
  get_filename_component(stem "${source}" NAME_WE)
  if(stem STREQUAL allowed)
    file(STRINGS "${source}" calls REGEX "${plain_call_pattern}")
    foreach(call IN LISTS calls)
      if(NOT call MATCHES "// door-ok: ")
        string(STRIP "${call}" call)
        string(APPEND failures "  ${stem}: a plain call without '// door-ok: why': ${call}\n")
      endif()
    endforeach()
  endif()
  if(stem STREQUAL allowed OR stem STREQUAL unit_layer)
    continue()
  endif()
  file(STRINGS "${source}" hits REGEX "${source_pattern}")
  foreach(hit IN LISTS hits)
    string(STRIP "${hit}" hit)
    string(APPEND failures "  ${stem}: ${hit}\n")
  endforeach()
endforeach()

list(LENGTH OBJECTS count)
if(count EQUAL 0)
  message(FATAL_ERROR "no object files of the tool given")
endif()
if(failures)
  message(FATAL_ERROR "a second way into a unit: reach a unit's files through UnitAccess.h "
                      "(files outside every unit: SafeFile.h)\n${failures}")
endif()
message(STATUS "one way into a unit: ${count} objects checked")
