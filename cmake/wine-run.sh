#!/bin/sh
# Runs a Windows program under Wine for CTest: cmake/wine-run.sh PROGRAM ARGS...
#
# A Wine program that finds no Wine server running starts one, and with it
# Wine's background services. Those inherit the program's standard output and
# error, so CTest, which reads them, waits until the services end, seconds
# after every test. Here the server and the services are started first, with
# their output going nowhere, and then serve every program that follows; the
# server ends by itself PALMDB_WINE_LINGER seconds after the last of them.
#
# WINEPREFIX and the rest of Wine's environment come from the caller, as do
# PALMDB_WINE and PALMDB_WINESERVER, the paths of wine and wineserver.
if "${PALMDB_WINESERVER:-wineserver}" -p"${PALMDB_WINE_LINGER:-10}" </dev/null >/dev/null 2>&1
then
  # A new server: start the services through a program that does nothing.
  "${PALMDB_WINE:-wine}" cmd /c exit </dev/null >/dev/null 2>&1
fi
exec "${PALMDB_WINE:-wine}" "$@"
