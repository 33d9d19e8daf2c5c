#!/usr/bin/env bash
# The main job on a fresh machine: installs what is missing, builds the
# plug-in and the palmdb program, writes the sample memo database with the
# project's builder, and lists it through the plug-in.
set -euo pipefail
cd "$(dirname "$0")/.."

PALMDB_SKIP_WINDOWS=1 scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target palmdb_cli palmdb_plugin palmdb-sample >/dev/null

sample=build/native/sample/memo.pdb
mkdir -p "$(dirname "$sample")"
rm -f "$sample"   # the builder never replaces a file
build/native/palmdb-sample "$sample"
echo "\$ palmdb list $sample"
build/native/palmdb list "$sample"
