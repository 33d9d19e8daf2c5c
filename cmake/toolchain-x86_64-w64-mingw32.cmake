# Cross-compiling for 64-bit Windows with MinGW-w64 from a Debian host
# (g++-mingw-w64-x86-64). The tests run under 64-bit Wine: the loader and
# server of the wine64 package, in a 64-bit prefix; never /usr/bin/wine, which
# picks the 32-bit loader where wine32 is installed.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PALMDB_MINGW_TRIPLET x86_64-w64-mingw32)
set(PALMDB_WINE_NAMES wine64)
set(PALMDB_WINESERVER_NAMES wineserver64)
set(PALMDB_WINEARCH win64)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
