# What both Windows toolchains share: MinGW-w64 from a Debian host, with
# programs that run under Wine, which CTest uses as the emulator. The
# toolchain file that includes this one sets CMAKE_SYSTEM_PROCESSOR,
# PALMDB_MINGW_TRIPLET, and the names of the Wine loader and server in
# /usr/lib/wine and the kind of prefix that run its programs.
set(CMAKE_SYSTEM_NAME Windows)

# The POSIX thread model: GoogleTest needs std::mutex, which the Win32 model's
# standard library lacks. With static linking no thread DLL is needed.
set(CMAKE_C_COMPILER ${PALMDB_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PALMDB_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PALMDB_MINGW_TRIPLET}-windres)

# Headers and libraries come from the MinGW sysroot only; programs from the
# host.
set(CMAKE_FIND_ROOT_PATH /usr/${PALMDB_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wine runs the test programs in a prefix of its own inside the build tree,
# quietly, and without offering to install Mono or Gecko; wine-run.sh keeps
# one Wine server running for all of them. PALMDB_TESTS_UNDER_WINE=OFF (which
# scripts/test.sh passes where 32-bit programs cannot run) builds the tests
# without running them; a build without tests looks for no Wine at all.
if((NOT DEFINED PALMDB_BUILD_TESTS OR PALMDB_BUILD_TESTS) AND
   (NOT DEFINED PALMDB_TESTS_UNDER_WINE OR PALMDB_TESTS_UNDER_WINE))
  find_program(PALMDB_WINE NAMES ${PALMDB_WINE_NAMES} PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(PALMDB_WINESERVER NAMES ${PALMDB_WINESERVER_NAMES} PATHS /usr/lib/wine
               NO_DEFAULT_PATH)
  if(PALMDB_WINE AND PALMDB_WINESERVER)
    set(PALMDB_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
    # Without a display the error box returns at once instead of waiting for
    # a click that never comes.
    set(CMAKE_CROSSCOMPILING_EMULATOR
        env -u DISPLAY -u WAYLAND_DISPLAY "WINEPREFIX=${PALMDB_WINEPREFIX}"
        "WINEARCH=${PALMDB_WINEARCH}" "WINESERVER=${PALMDB_WINESERVER}" WINEDEBUG=-all
        "WINEDLLOVERRIDES=mscoree,mshtml=" "PALMDB_WINE=${PALMDB_WINE}"
        "PALMDB_WINESERVER=${PALMDB_WINESERVER}" sh "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh")
  endif()
endif()
