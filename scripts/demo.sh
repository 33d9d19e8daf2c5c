#!/usr/bin/env bash
# The main job on a fresh machine: installs what building needs (CMake, Ninja,
# GCC), builds the plug-in, the palmdb program and the sample writer, writes
# the sample memo database with the project's builder, lists it through
# the plug-in, and says where the program it built is.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build
# Configuring is quiet unless it fails; the compiler's errors always show.
log=$(mktemp)
if ! cmake --preset release >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  exit 1
fi
rm -f "$log"
cmake --build --preset release --target palmdb_cli palmdb_plugin palmdb-sample

sample=build/release/sample/memo.pdb
mkdir -p "$(dirname "$sample")"
rm -f "$sample"   # the builder never replaces a file
build/release/palmdb-sample "$sample"
echo "\$ palmdb list $sample"
build/release/palmdb list "$sample"
echo
echo "The palmdb program: $PWD/build/release/palmdb (the plug-in beside it: palmdb.wcx)."
echo "To install both: cmake --install build/release --prefix ~/.local"
