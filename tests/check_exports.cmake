# Checks that a plug-in library exports exactly the functions of its export
# list, under undecorated names, and nothing else; and that a DLL imports only
# system libraries, so that it needs no runtime DLL beside it.
#   cmake -DLIBRARY=<file> -DFORMAT=nm|objdump -DTOOL=<program>
#         -DEXPORTS_FILE=<.def or .map> -P check_exports.cmake
#   cmake -DLIBRARY=<file> -DFORMAT=objdump -DTOOL=<program>
#         -DEXPECT_NO_EXPORTS=ON -P check_exports.cmake
# EXPORTS_FILE is the list the build links with: a module-definition file
# (.def) for a DLL, a version script (.map) for an ELF shared object. With
# -DAPI_HEADER=plugin/plugin_api.h the list must also name exactly the
# functions of the header's export tables: PALMDB_BASIC_EXPORTS, and with
# -DWIDE=ON PALMDB_WIDE_EXPORTS too.
# FORMAT nm reads `nm -D --defined-only` (ELF shared objects), FORMAT objdump
# reads the export name table that `objdump -p` prints for a DLL.
cmake_minimum_required(VERSION 3.25)

set(expected "")
if(EXPECT_NO_EXPORTS)
  # A program: no export table at all.
elseif(EXPORTS_FILE MATCHES "\\.def$")
  # The names under EXPORTS, one a line, up to the next section; a name may
  # be followed by "=internal", "@ordinal" or keywords. ";" starts a comment.
  file(READ "${EXPORTS_FILE}" text)
  # Comments go first: their ";" would split CMake's list of lines.
  string(REGEX REPLACE ";[^\n]*" "" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(inside FALSE)
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "")
      continue()
    elseif(line MATCHES "^EXPORTS$")
      set(inside TRUE)
    elseif(line MATCHES "^(LIBRARY|NAME|SECTIONS|HEAPSIZE|STACKSIZE|VERSION|DESCRIPTION)( |$)")
      set(inside FALSE)
    elseif(inside AND line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)")
      list(APPEND expected "${CMAKE_MATCH_1}")
    endif()
  endforeach()
elseif(EXPORTS_FILE MATCHES "\\.map$")
  # The names between "global:" and "local:", with the C comments taken out.
  file(READ "${EXPORTS_FILE}" text)
  string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" "" text "${text}")
  if(NOT text MATCHES "global:([^:]*)local:")
    message(FATAL_ERROR "${EXPORTS_FILE} has no global: part before local:")
  endif()
  string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*" expected "${CMAKE_MATCH_1}")
else()
  message(FATAL_ERROR "EXPORTS_FILE must name a .def or .map file, not '${EXPORTS_FILE}'")
endif()
if(NOT EXPECT_NO_EXPORTS AND expected STREQUAL "")
  message(FATAL_ERROR "no exports found in ${EXPORTS_FILE}")
endif()
list(SORT expected)

# The names of one X-macro table of the header: the second argument of each
# X(...) in its #define, whose lines continue while they end in "\".
function(table_names header table out)
  file(READ "${header}" text)
  # Backslashes would escape CMake's list separators: the continuations go
  # first.
  string(REPLACE "\\\n" " " text "${text}")
  if(NOT text MATCHES "#define ${table}\\(X\\)([^\n]*)")
    message(FATAL_ERROR "no table ${table} in ${header}")
  endif()
  string(REGEX MATCHALL "X\\([^,]+, *[A-Za-z_][A-Za-z0-9_]*," entries "${CMAKE_MATCH_1}")
  set(names "")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^X\\([^,]+, *([A-Za-z_][A-Za-z0-9_]*),$" "\\1" name "${entry}")
    list(APPEND names "${name}")
  endforeach()
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

if(DEFINED API_HEADER AND NOT EXPECT_NO_EXPORTS)
  table_names("${API_HEADER}" PALMDB_BASIC_EXPORTS declared)
  if(WIDE)
    table_names("${API_HEADER}" PALMDB_WIDE_EXPORTS wide)
    list(APPEND declared ${wide})
  endif()
  list(SORT declared)
  if(NOT declared STREQUAL expected)
    list(JOIN declared " " shown_declared)
    list(JOIN expected " " shown_expected)
    message(FATAL_ERROR "${EXPORTS_FILE} and the export table of ${API_HEADER} differ\n"
                        "  list:  ${shown_expected}\n  table: ${shown_declared}")
  endif()
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
  # shell32 splits the program's UTF-16 command line into its arguments.
  set(system_libraries kernel32.dll msvcrt.dll user32.dll shell32.dll)
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
