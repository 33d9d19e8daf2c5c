#!/usr/bin/env bash
# Builds the release builds and makes the packages in dist/:
#   palmdb_<version>_<arch>.deb       the Linux program, plug-in and manual page
#   palmdb-<version>-windows.zip      both Windows plug-ins and both programs
# then runs lintian on the .deb (errors fail; its whole output is shown).
# Installs what is missing first. PALMDB_SKIP_WINDOWS=1 makes only the .deb.
set -euo pipefail
cd "$(dirname "$0")/.."

skip_windows=0
if [ "${PALMDB_SKIP_WINDOWS:-0}" = 1 ]; then
  skip_windows=1
fi
groups=(build package)
if [ "$skip_windows" = 0 ]; then
  groups+=(windows)
fi
scripts/install-deps.sh "${groups[@]}"

# Configures quietly, but shows everything when configuring fails.
quietly() {
  local log
  log=$(mktemp)
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
}

presets=(release)
if [ "$skip_windows" = 0 ]; then
  presets+=(windows-release windows64-release)
fi
for preset in "${presets[@]}"; do
  echo "=== $preset ==="
  quietly cmake --preset "$preset"
  cmake --build --preset "$preset"
done

mkdir -p dist
rm -f dist/palmdb_*.deb dist/palmdb-*-windows.zip

echo "=== .deb ==="
rm -rf build/release/packages
quietly cpack --config build/release/CPackConfig.cmake -B build/release/packages
cp build/release/packages/palmdb_*.deb dist/

if [ "$skip_windows" = 0 ]; then
  echo "=== Windows zip ==="
  quietly cmake -S packaging/windows -B build/windows-zip \
    -DPALMDB_WINDOWS32_BUILD="$PWD/build/windows-release" \
    -DPALMDB_WINDOWS64_BUILD="$PWD/build/windows64-release"
  rm -rf build/windows-zip/packages
  quietly cpack --config build/windows-zip/CPackConfig.cmake -B build/windows-zip/packages
  cp build/windows-zip/packages/palmdb-*-windows.zip dist/
fi

echo "=== lintian ==="
deb=$(ls dist/palmdb_*.deb)
lintian --display-info --fail-on error "$deb" || {
  echo "lintian found errors in $deb" >&2
  exit 1
}
echo "lintian: no errors in $deb"

ls -l dist/
