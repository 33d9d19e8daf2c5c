# Cross-compiling for 32-bit Windows with MinGW-w64 from a Debian host
# (g++-mingw-w64-i686). The tests run under 32-bit Wine: the loader and server
# of the wine32 package, in a 32-bit prefix. /usr/bin/wine is not taken:
# without wine32 it starts the 64-bit loader, which cannot run these programs.
# A machine that cannot run 32-bit programs has no 32-bit Wine; the build then
# checks only what needs no Windows to run (see tests/CMakeLists.txt).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PALMDB_MINGW_TRIPLET i686-w64-mingw32)
set(PALMDB_WINE_NAMES wine)
set(PALMDB_WINESERVER_NAMES wineserver32)
set(PALMDB_WINEARCH win32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
