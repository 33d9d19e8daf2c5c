# Cross-compiling for 32-bit Windows with MinGW-w64 from a Debian host.
# Programs built here run under Wine, which CTest uses as the emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(PALMDB_MINGW_TRIPLET i686-w64-mingw32)
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
# one Wine server running for all of them.
find_program(PALMDB_WINE wine)
find_program(PALMDB_WINESERVER wineserver)
if(PALMDB_WINE AND PALMDB_WINESERVER)
  set(PALMDB_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
  # Without a display the error box returns at once instead of waiting for a
  # click that never comes.
  set(CMAKE_CROSSCOMPILING_EMULATOR
      env -u DISPLAY -u WAYLAND_DISPLAY "WINEPREFIX=${PALMDB_WINEPREFIX}" WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml="
      "PALMDB_WINE=${PALMDB_WINE}" "PALMDB_WINESERVER=${PALMDB_WINESERVER}"
      sh "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh")
endif()
