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
# A program that opens a window, such as the plug-in's error box, makes Wine
# start its desktop process, which lives as long as any program of the run
# uses the desktop. So that it cannot hold CTest's pipes either, the program's
# output goes to files first and is copied out once the program has ended.
#
# WINEPREFIX and the rest of Wine's environment come from the caller, as do
# PALMDB_WINE and PALMDB_WINESERVER, the paths of wine and wineserver.
wine="${PALMDB_WINE:-wine}"
if "${PALMDB_WINESERVER:-wineserver}" -p"${PALMDB_WINE_LINGER:-10}" </dev/null >/dev/null 2>&1
then
  # A new server: start the services through a program that does nothing.
  "$wine" cmd /c exit </dev/null >/dev/null 2>&1
fi

out=$(mktemp "${TMPDIR:-/tmp}/palmdb-wine-out.XXXXXX") || exit 1
err=$(mktemp "${TMPDIR:-/tmp}/palmdb-wine-err.XXXXXX") || { rm -f "$out"; exit 1; }
trap 'rm -f "$out" "$err"' EXIT
trap 'exit 143' TERM INT HUP
"$wine" "$@" >"$out" 2>"$err"
status=$?
cat "$out"
cat "$err" >&2
exit "$status"
