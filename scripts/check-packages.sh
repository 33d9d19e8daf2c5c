#!/usr/bin/env bash
# Checks the packages that scripts/package.sh left in dist/:
#  - the .deb holds exactly its files; unpacked into a scratch root with
#    dpkg -x, its palmdb finds its plug-in in ../lib/palmdb without --plugin
#    and lists a sample database written by palmdb-sample exactly as the
#    build's own palmdb does;
#  - both carry the MIT licence of LICENSE: the .deb in its machine-readable
#    copyright file, the zip as LICENSE.txt;
#  - the Windows zip holds exactly its files, pluginst.inf says what the file
#    manager needs, each plug-in and program is of its own kind, and the
#    unpacked 64-bit palmdb.exe (and the 32-bit one, where 32-bit Wine runs)
#    finds its plug-in one folder up and lists the sample.
# PALMDB_SKIP_WINDOWS=1 checks the .deb only.
set -euo pipefail
cd "$(dirname "$0")/.."

failures=0
successes=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}
passed() {
  echo "ok: $*"
  successes=$((successes + 1))
}

# The version comes from the release build's generated header, so from
# project() in CMakeLists.txt.
version=$(sed -n 's/^#define PALMDB_VERSION_STRING "\(.*\)"$/\1/p' \
  build/release/generated/palmdb_version.h)
[ -n "$version" ] || { echo "no version in build/release: run scripts/package.sh" >&2; exit 1; }
arch=$(dpkg --print-architecture)
deb=dist/palmdb_${version}_${arch}.deb
zip=dist/palmdb-${version}-windows.zip

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
sample="$scratch/memo.pdb"
build/release/palmdb-sample "$sample"
expected_listing=$(build/release/palmdb list "$sample")
case "$expected_listing" in
  *"5 entries"*) ;;
  *) echo "the build's palmdb does not list the sample's 5 entries:"$'\n'"$expected_listing" >&2
     exit 1 ;;
esac

# --- .deb ---
if [ ! -f "$deb" ]; then
  fail "$deb is missing"
else
  files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
  expected_files=$(sort <<'LIST'
./usr/bin/palmdb
./usr/lib/palmdb/palmdb.wcx
./usr/share/doc/palmdb/changelog.gz
./usr/share/doc/palmdb/copyright
./usr/share/doc/palmdb/database.schema.json
./usr/share/lintian/overrides/palmdb
./usr/share/man/man1/palmdb.1.gz
LIST
)
  if [ "$files" = "$expected_files" ]; then
    passed "$deb holds its seven files"
  else
    fail "$deb holds"$'\n'"$files"$'\n'"instead of"$'\n'"$expected_files"
  fi
  depends=$(dpkg-deb -f "$deb" Depends)
  case "$depends" in
    *libc6*) passed "Depends: $depends" ;;
    *) fail "Depends names no libc6 (dpkg-shlibdeps did not run?): '$depends'" ;;
  esac

  root="$scratch/root"
  dpkg -x "$deb" "$root"
  if listing=$("$root/usr/bin/palmdb" list "$sample" 2>&1) && [ "$listing" = "$expected_listing" ]; then
    passed "the installed palmdb lists the sample through /usr/lib/palmdb/palmdb.wcx"
  else
    fail "the installed palmdb list printed"$'\n'"$listing"$'\n'"instead of"$'\n'"$expected_listing"
  fi
  copyright="$root/usr/share/doc/palmdb/copyright"
  if grep -qx "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" \
       "$copyright" && grep -qx "Copyright: 2026 the palmdb authors" "$copyright" &&
     grep -qx "License: Expat" "$copyright" && grep -q "Permission is hereby granted" "$copyright"; then
    passed "the copyright file gives the MIT (Expat) licence"
  else
    fail "the copyright file does not give the MIT licence of 2026 the palmdb authors"
  fi
  if gzip -dc "$root/usr/share/man/man1/palmdb.1.gz" | grep -q "^\.TH PALMDB 1 .*palmdb $version"; then
    passed "palmdb(1) names version $version"
  else
    fail "palmdb(1) does not name version $version"
  fi
fi

# --- Windows zip ---
if [ "${PALMDB_SKIP_WINDOWS:-0}" = 1 ]; then
  echo "Windows zip not checked (PALMDB_SKIP_WINDOWS=1)"
elif [ ! -f "$zip" ]; then
  fail "$zip is missing"
else
  entries=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
  expected_entries=$(sort <<'LIST'
32bit/palmdb.exe
64bit/palmdb.exe
LICENSE.txt
database.schema.json
palmdb.wcx
palmdb.wcx64
pluginst.inf
readme.txt
LIST
)
  if [ "$entries" = "$expected_entries" ]; then
    passed "$zip holds its seven files"
  else
    fail "$zip holds"$'\n'"$entries"$'\n'"instead of"$'\n'"$expected_entries"
  fi

  inf=$(unzip -p "$zip" pluginst.inf | tr -d '\r')
  expected_inf='[plugininstall]
description=Opens Palm OS databases (.pdb, .prc) as archives: lists and extracts their records and resources.
type=wcx
file=palmdb.wcx
defaultdir=palmdb
defaultextension=pdb'
  if [ "$inf" = "$expected_inf" ]; then
    passed "pluginst.inf"
  else
    fail "pluginst.inf reads"$'\n'"$inf"
  fi
  if unzip -p "$zip" readme.txt | grep -q "palmdb.wcx64"; then
    passed "readme.txt"
  else
    fail "readme.txt does not say where palmdb.wcx64 goes"
  fi

  if [ "$(unzip -p "$zip" LICENSE.txt | tr -d '\r')" = "$(cat LICENSE)" ]; then
    passed "LICENSE.txt is the licence"
  else
    fail "LICENSE.txt in the zip differs from LICENSE"
  fi

  unpacked="$scratch/zip"
  mkdir -p "$unpacked"
  unzip -q "$zip" -d "$unpacked"
  for pair in "palmdb.wcx:PE32 executable (DLL)" "palmdb.wcx64:PE32+ executable (DLL)" \
              "32bit/palmdb.exe:PE32 executable (console)" \
              "64bit/palmdb.exe:PE32+ executable (console)"; do
    file_name=${pair%%:*}
    kind=${pair#*:}
    description=$(file -b "$unpacked/$file_name")
    case "$description" in
      "$kind"*) passed "$file_name: $description" ;;
      *) fail "$file_name is '$description', not '$kind'" ;;
    esac
  done

  # Runs an unpacked palmdb.exe in a Wine prefix of its own (kept in the
  # build folder, so that later runs start quickly) with no --plugin.
  run_under_wine() {
    local bits=$1 wine=$2 wineserver=$3 arch=$4
    local prefix="$PWD/build/package-check/wineprefix$bits"
    mkdir -p "$(dirname "$prefix")"
    local output
    if output=$(env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX="$prefix" WINEARCH="$arch" \
                  WINESERVER="$wineserver" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
                  PALMDB_WINE="$wine" PALMDB_WINESERVER="$wineserver" PALMDB_WINE_LINGER=2 \
                  sh cmake/wine-run.sh "$unpacked/${bits}bit/palmdb.exe" list "Z:$sample" 2>&1) &&
       [[ "$output" == *"#00004.data"* && "$output" == *"5 entries"* ]]; then
      passed "the unpacked ${bits}bit/palmdb.exe lists the sample through its plug-in one folder up"
    else
      fail "the unpacked ${bits}bit/palmdb.exe printed"$'\n'"$output"
    fi
  }
  run_under_wine 64 /usr/lib/wine/wine64 /usr/lib/wine/wineserver64 win64
  if reason=$(scripts/runs-32bit.sh); then
    run_under_wine 32 /usr/lib/wine/wine /usr/lib/wine/wineserver32 win32
  else
    echo "32-bit palmdb.exe not run: this machine cannot run 32-bit programs ($reason)"
  fi
fi

echo "packages: $successes passed, $failures failed"
if [ "$failures" -ne 0 ]; then
  exit 1
fi
