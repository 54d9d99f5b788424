# What the shared libraries export and import.
#
# Every library: nothing of the standard library is exported (see
# cmake/exports.map).
#
# The product library (PRODUCT): its dynamic symbols are exactly those listed
# in abi/libsysdataproduct.exports.<ARCH> (mangled names; the lists differ by
# architecture, e.g. std::size_t is "m" on amd64 and "j" on armhf), and what it
# imports without a C or C++ runtime version is exactly the host's names in
# abi/libsysdataproduct.imports.<ARCH>. A missing or an extra name fails.
# Sanitizer runtimes add names of their own; those are left out.
#
#   cmake -DNM=nm -DLIBS="libsysdataproduct.so;libtqplatform.so"
#         [-DPRODUCT=libsysdataproduct.so -DLISTS=<dir> -DARCH=amd64 [-DUPDATE=ON]]
#         -P check_exports.cmake
#
# With -DUPDATE=ON the two lists are rewritten from the library (after an
# intended change of the interface; review the diff).
cmake_minimum_required(VERSION 3.25)
foreach(var NM LIBS)
  if(NOT ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

# Mangled prefixes of std:: and __gnu_cxx:: entities: functions, data,
# typeinfo, vtables, local statics and their guards.
set(std_pattern "^_Z(N|NK|ZN|ZNK|Z|GVZN|GVZNK|GVZ|TIN|TI|TSN|TS|TVN|TV)?(St|Sa|Ss|9__gnu_cxx)")
# Names a sanitizer's instrumentation adds.
set(sanitizer_pattern "^(__asan|__odr_asan|__tsan|__ubsan|__sanitizer|__lsan)")
# What the C and C++ runtimes provide carries their symbol version.
set(runtime_version_pattern "@(GLIBC|GLIBCXX|CXXABI|GCC)_")
# Weak hooks every shared object refers to.
set(runtime_weak _ITM_deregisterTMCloneTable _ITM_registerTMCloneTable __gmon_start__ __cxa_finalize)

# The symbols of lib: nm_symbols(<out> <lib> <nm option>), the last field of
# each line (name, with its version when it has one).
function(nm_symbols out lib option)
  execute_process(COMMAND ${NM} -D ${option} ${lib} OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${lib}")
  endif()
  string(REGEX MATCHALL "[^\n]+" lines "${text}")
  set(symbols "")
  foreach(line ${lines})
    string(REGEX MATCH "[^ ]+$" symbol "${line}")
    list(APPEND symbols "${symbol}")
  endforeach()
  set(${out} "${symbols}" PARENT_SCOPE)
endfunction()

foreach(lib ${LIBS})
  nm_symbols(symbols ${lib} --defined-only)
  set(leaks "")
  foreach(symbol ${symbols})
    if(symbol MATCHES "${std_pattern}")
      list(APPEND leaks ${symbol})
    endif()
  endforeach()
  list(LENGTH symbols count)
  if(leaks)
    list(JOIN leaks "\n  " text)
    message(FATAL_ERROR "${lib} exports standard library symbols:\n  ${text}")
  endif()
  message(STATUS "${lib}: ${count} symbols exported, none of the standard library")
endforeach()

if(NOT PRODUCT)
  return()
endif()
foreach(var LISTS ARCH)
  if(NOT ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

# Defined: the exported interface.
nm_symbols(defined ${PRODUCT} --defined-only)
set(exports "")
foreach(symbol ${defined})
  string(REGEX REPLACE "@.*$" "" name "${symbol}")
  if(NOT name MATCHES "${sanitizer_pattern}")
    list(APPEND exports ${name})
  endif()
endforeach()
list(REMOVE_DUPLICATES exports)
list(SORT exports)

# Undefined: the host's names, unversioned; the runtime's carry a version.
nm_symbols(undefined ${PRODUCT} --undefined-only)
set(imports "")
foreach(symbol ${undefined})
  if(symbol MATCHES "${runtime_version_pattern}" OR symbol MATCHES "${sanitizer_pattern}")
    continue()
  endif()
  if(symbol IN_LIST runtime_weak)
    continue()
  endif()
  list(APPEND imports ${symbol})
endforeach()
list(REMOVE_DUPLICATES imports)
list(SORT imports)

set(export_list ${LISTS}/libsysdataproduct.exports.${ARCH})
set(import_list ${LISTS}/libsysdataproduct.imports.${ARCH})
if(UPDATE)
  if(NOT EXACT)
    message(FATAL_ERROR "the lists are written from an optimised build without sanitizers (the default or armhf preset)")
  endif()
  list(JOIN exports "\n" text)
  file(WRITE ${export_list} "${text}\n")
  list(JOIN imports "\n" text)
  file(WRITE ${import_list} "${text}\n")
  message(STATUS "wrote ${export_list} and ${import_list}")
  return()
endif()

# compare(<what> <actual list> <file>): fails naming every extra and missing
# name.
function(compare what actual file)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "no list of ${what} for this architecture: ${file} (write it with -DUPDATE=ON)")
  endif()
  file(STRINGS ${file} expected)
  set(extra "")
  foreach(name ${actual})
    if(NOT name IN_LIST expected)
      list(APPEND extra ${name})
    endif()
  endforeach()
  set(missing "")
  foreach(name ${expected})
    if(NOT name IN_LIST actual)
      list(APPEND missing ${name})
    endif()
  endforeach()
  set(report "")
  if(extra)
    list(JOIN extra "\n  " text)
    string(APPEND report "\n${what} not in ${file}:\n  ${text}")
  endif()
  if(missing)
    list(JOIN missing "\n  " text)
    string(APPEND report "\n${what} missing, listed in ${file}:\n  ${text}")
  endif()
  if(report)
    message(FATAL_ERROR "${report}\n(an intended change: rewrite the lists with -DUPDATE=ON, see README)")
  endif()
  list(LENGTH actual count)
  message(STATUS "${PRODUCT}: ${count} ${what} as listed")
endfunction()

if(EXACT)
  compare("exported names" "${exports}" ${export_list})
  compare("names imported from the host" "${imports}" ${import_list})
else()
  file(STRINGS ${export_list} expected)
  set(missing "")
  foreach(name ${expected})
    if(NOT name IN_LIST exports)
      list(APPEND missing ${name})
    endif()
  endforeach()
  if(missing)
    list(JOIN missing "\n  " text)
    message(FATAL_ERROR "exported names missing, listed in ${export_list}:\n  ${text}")
  endif()
  message(STATUS "${PRODUCT}: every listed name exported (exact lists are checked in the optimised builds)")
endif()
