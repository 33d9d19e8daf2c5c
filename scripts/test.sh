#!/usr/bin/env bash
# Builds and runs every test: the GCC debug build, the Clang build with
# AddressSanitizer and UndefinedBehaviorSanitizer, and the 32-bit Windows
# build under Wine. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

presets=(native asan)
if [ "${PALMDB_SKIP_WINDOWS:-0}" != 1 ] && [ -f cmake/toolchain-i686-w64-mingw32.cmake ]; then
  presets+=(windows)
fi

for preset in "${presets[@]}"; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
