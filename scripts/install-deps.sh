#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, skipping what is
# there already. Run as root (or with sudo available).
set -euo pipefail

# nlohmann-json3-dev: the palmdb program's JSON output (header-only, also
# for the Windows build). strace: the test that palmdb list makes as many
# system calls for many entries as for few.
packages=(cmake ninja-build g++ clang libclang-rt-14-dev llvm googletest libgtest-dev
          libbenchmark-dev valgrind python3 nlohmann-json3-dev strace)
windows_packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${PALMDB_SKIP_WINDOWS:-0}" != 1 ]; then
  for p in "${windows_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
fi

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" != 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
