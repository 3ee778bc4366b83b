# Checks a built DLL's (or program's) tables: no exported name or address, and imports only
# from the system DLLs it may use (by default those of the plug-in).
# Run as: cmake -DDLL=... -DOBJDUMP=... [-DALLOWED=a.dll;b.dll] -P check_dll_tables.cmake
cmake_minimum_required(VERSION 3.25)
set(allowed kernel32.dll user32.dll msvcrt.dll d3d9.dll d3dx9_40.dll)
if(DEFINED ALLOWED)
  set(allowed ${ALLOWED})
endif()

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

# Exports: either no export directory, or one whose address and name tables are empty.
if(dump MATCHES "The Export Tables")
  string(REGEX MATCH "Number in:[\r\n\t ]+Export Address Table[ \t]+([0-9a-fA-F]+)" m "${dump}")
  set(addresses ${CMAKE_MATCH_1})
  string(REGEX MATCH "\\[Name Pointer/Ordinal\\] Table[ \t]+([0-9a-fA-F]+)" m "${dump}")
  set(names ${CMAKE_MATCH_1})
  if(NOT addresses MATCHES "^0+$" OR NOT names MATCHES "^0+$")
    message(FATAL_ERROR "${DLL} exports something: ${addresses} addresses, ${names} names")
  endif()
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
if(NOT imports)
  message(FATAL_ERROR "no import found in ${DLL}: unexpected objdump output")
endif()
foreach(line IN LISTS imports)
  string(REGEX REPLACE "DLL Name: " "" name "${line}")
  string(STRIP "${name}" name)
  string(TOLOWER "${name}" lower)
  if(NOT lower IN_LIST allowed)
    message(FATAL_ERROR "${DLL} imports ${name}, which is not a system DLL it may use")
  endif()
  message(STATUS "imports ${name}")
endforeach()
message(STATUS "${DLL}: no exports; imports only system DLLs")
