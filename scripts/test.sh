#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the style check,
# the GCC debug build, the Clang build with the sanitizers and the fuzzer, the
# 64-bit Windows build under 64-bit Wine, the 32-bit Windows build under
# 32-bit Wine (where this machine runs 32-bit programs; elsewhere only its
# export and import tables are checked), and the packages: built, checked by
# lintian, installed into a scratch folder and run.
#
# PALMDB_SKIP_WINDOWS=1 leaves out the Windows builds, their packages and the
# Windows zip.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
export PALMDB_DEPS_INSTALLED=1

skip_windows=0
if [ "${PALMDB_SKIP_WINDOWS:-0}" = 1 ]; then
  skip_windows=1
fi

echo "=== style (clang-format) ==="
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "clang-format: $(git ls-files '*.cpp' '*.h' | wc -l) files follow .clang-format"

# Configures quietly, but shows everything when configuring fails.
configure() {
  local log
  log=$(mktemp)
  if ! cmake --preset "$@" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
}

run_suite() {
  local preset=$1
  shift
  echo "=== $preset ==="
  configure "$preset" "$@"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
}

run_suite native
run_suite asan

if [ "$skip_windows" = 0 ]; then
  run_suite windows64
  if reason=$(scripts/runs-32bit.sh); then
    run_suite windows -DPALMDB_TESTS_UNDER_WINE=ON
  else
    echo "=== windows (export and import tables only) ==="
    echo "32-bit Windows tests under Wine skipped: this machine cannot run 32-bit programs ($reason)"
    configure windows -DPALMDB_TESTS_UNDER_WINE=OFF
    cmake --build --preset windows
    ctest --preset windows -L tables
  fi
fi

echo "=== packages ==="
scripts/package.sh
scripts/check-packages.sh
