# The shared libraries export their public classes and nothing of the
# standard library (see cmake/exports.map).
#
#   cmake -DNM=nm -DLIBS="libsysdataproduct.so;libtqplatform.so" -P check_exports.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var NM LIBS)
  if(NOT ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

# Mangled prefixes of std:: and __gnu_cxx:: entities: functions, data,
# typeinfo, vtables, local statics and their guards.
set(std_pattern "^_Z(N|NK|ZN|ZNK|Z|GVZN|GVZNK|GVZ|TIN|TI|TSN|TS|TVN|TV)?(St|Sa|Ss|9__gnu_cxx)")
# A few of the public entry points, which must stay exported.
set(required
  _ZTV18SysDataUtilProduct
  _ZTV23CustomizeSysDataProduct
  _ZN20SettingsDataAccessor16getDataKeyIValueEN16settings_datakey9DataKeyIDE
  _ZN11TqSingletonI17SysDataSxmSettingE5Sync_E
  _ZN9TqStorage8ReadLineEPci
  tq_strcpy)

set(all "")
foreach(lib ${LIBS})
  execute_process(COMMAND ${NM} -D --defined-only ${lib} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${lib}")
  endif()
  string(REGEX MATCHALL "[^\n]+" lines "${out}")
  set(leaks "")
  foreach(line ${lines})
    string(REGEX MATCH "[^ ]+$" symbol "${line}")
    list(APPEND all ${symbol})
    if(symbol MATCHES "${std_pattern}")
      list(APPEND leaks ${symbol})
    endif()
  endforeach()
  list(LENGTH lines count)
  if(leaks)
    list(JOIN leaks "\n  " text)
    message(FATAL_ERROR "${lib} exports standard library symbols:\n  ${text}")
  endif()
  message(STATUS "${lib}: ${count} symbols exported, none of the standard library")
endforeach()
foreach(symbol ${required})
  if(NOT symbol IN_LIST all)
    message(FATAL_ERROR "not exported: ${symbol}")
  endif()
endforeach()
