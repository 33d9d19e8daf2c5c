#!/usr/bin/env bash
# Installs what building, testing and packaging need on Debian 12, skipping
# what is there already. Run as root (or with sudo available).
#
#   scripts/install-deps.sh [GROUP...]     (default: every group)
#
#   build     CMake, Ninja and GCC: the Linux programs and the plug-in
#   test      Clang and its sanitizer runtimes, GoogleTest, clang-format and
#             the other tools of the test run
#   windows   MinGW-w64 for 32-bit and 64-bit Windows and 64-bit Wine; 32-bit
#             Wine too, where this machine runs 32-bit programs
#   package   what CPack, the package checks and lintian use
#   bench     the programs palmdb-bench times e-book export against (not in
#             the default groups: the benchmark leaves their rows out when
#             they are missing)
#
# PALMDB_SKIP_WINDOWS=1 leaves out the windows group. PALMDB_DEPS_INSTALLED=1
# (set by scripts/test.sh once it has installed everything) makes this a
# no-op, so that scripts called from the test run do not install again.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${PALMDB_DEPS_INSTALLED:-0}" = 1 ]; then
  exit 0
fi

groups=("$@")
if [ ${#groups[@]} -eq 0 ]; then
  groups=(build test windows package)
fi

packages=()
for group in "${groups[@]}"; do
  case "$group" in
    build)
      # nlohmann-json3-dev: the palmdb program's JSON output, libcli11-dev: its
      # command line (both header-only, also for the Windows builds);
      # zlib1g-dev: PNG for exported bitmaps.
      packages+=(cmake ninja-build g++ nlohmann-json3-dev zlib1g-dev libcli11-dev)
      ;;
    test)
      # strace: the test that palmdb list makes as many system calls for
      # many entries as for few; python3-jsonschema: the manifests unpack
      # writes against their schema.
      packages+=(clang libclang-rt-14-dev llvm googletest libgtest-dev clang-format git
                 libbenchmark-dev valgrind python3 strace python3-jsonschema)
      ;;
    windows)
      if [ "${PALMDB_SKIP_WINDOWS:-0}" != 1 ]; then
        packages+=(g++-mingw-w64-i686 binutils-mingw-w64-i686
                   g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64
                   libz-mingw-w64-dev)
        # 32-bit Wine only runs where the kernel runs 32-bit programs.
        if scripts/runs-32bit.sh >/dev/null; then
          packages+=(wine32:i386)
        fi
      fi
      ;;
    package)
      # dpkg-shlibdeps (dpkg-dev) and file for CPack's DEB generator.
      packages+=(dpkg-dev file lintian zip unzip)
      ;;
    bench)
      # mobitool (libmobi-tools) dumps a Mobipocket book's text, txt2pdbdoc
      # a PalmDOC book's.
      packages+=(libmobi-tools txt2pdbdoc)
      ;;
    *)
      echo "install-deps.sh: unknown group '$group' (build, test, windows, package, bench)" >&2
      exit 2
      ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" != 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
   ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
