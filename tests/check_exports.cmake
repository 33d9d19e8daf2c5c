# Checks that a plug-in library exports exactly the nine functions of the
# host interface, under undecorated names, and nothing else; and that a DLL
# imports only system libraries, so that it needs no runtime DLL beside it.
#   cmake -DLIBRARY=<file> -DFORMAT=nm|objdump -DTOOL=<program> -P check_exports.cmake
# FORMAT nm reads `nm -D --defined-only` (ELF shared objects), FORMAT objdump
# reads the export name table that `objdump -p` prints for a DLL.
cmake_minimum_required(VERSION 3.25)

set(expected CloseArchive DeleteFiles GetPackerCaps OpenArchive PackFiles ProcessFile
    ReadHeader SetChangeVolProc SetProcessDataProc)
if(EXPECT_NO_EXPORTS)
  # A program: no export table at all.
  set(expected "")
endif()

if(FORMAT STREQUAL "nm")
  set(arguments -D --defined-only)
elseif(FORMAT STREQUAL "objdump")
  set(arguments -p)
else()
  message(FATAL_ERROR "FORMAT must be nm or objdump, not '${FORMAT}'")
endif()
execute_process(COMMAND "${TOOL}" ${arguments} "${LIBRARY}"
                OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOL} failed on ${LIBRARY}: ${errors}")
endif()

set(exported "")
string(REPLACE "\n" ";" lines "${listing}")
if(FORMAT STREQUAL "nm")
  foreach(line IN LISTS lines)
    # "<address> <type> <name>[@version]"
    if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] ([^ @]+)")
      list(APPEND exported "${CMAKE_MATCH_1}")
    endif()
  endforeach()
else()
  # The lines "[   0] Name" that follow "[Ordinal/Name Pointer] Table".
  set(inside FALSE)
  foreach(line IN LISTS lines)
    if(line MATCHES "\\[Ordinal/Name Pointer\\] Table")
      set(inside TRUE)
    elseif(inside AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] ([^ \t]+)")
      list(APPEND exported "${CMAKE_MATCH_1}")
    elseif(inside AND NOT line STREQUAL "")
      set(inside FALSE)
    endif()
  endforeach()
endif()

list(SORT exported)
list(JOIN exported " " shown)
message(STATUS "exports of ${LIBRARY}: ${shown}")
if(NOT exported STREQUAL expected)
  list(JOIN expected " " wanted)
  message(FATAL_ERROR "exports differ\n  found:    ${shown}\n  expected: ${wanted}")
endif()

if(FORMAT STREQUAL "objdump")
  set(system_libraries kernel32.dll msvcrt.dll user32.dll)
  set(imported "")
  foreach(line IN LISTS lines)
    if(line MATCHES "DLL Name: ([^ \t]+)")
      string(TOLOWER "${CMAKE_MATCH_1}" library)
      list(APPEND imported "${library}")
      if(NOT library IN_LIST system_libraries)
        message(FATAL_ERROR "${LIBRARY} imports ${library}, which is not a system library")
      endif()
    endif()
  endforeach()
  list(JOIN imported " " shown)
  message(STATUS "imports of ${LIBRARY}: ${shown}")
endif()
