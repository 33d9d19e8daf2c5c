#!/usr/bin/env bash
# The function sizes of the library and the program as clang-tidy counts them from the
# compiler's own parse: every function over 100 lines (opening to closing brace) in the .cpp
# files outside tests/, fuzz/, bench/ and testdata/ and in the headers they include. The
# test Sizes.FilesAndFunctions (tests/check_sizes.cmake) checks the same limits in seconds
# by the braces alone; this takes minutes, and is the second opinion.
#   scripts/check-sizes.sh [LINES]   (LINES: the limit, 100 unless given)
# Needs build/native/compile_commands.json (cmake --preset native) and clang-tidy.
set -euo pipefail
cd "$(dirname "$0")/.."
limit=${1:-100}
tidy=$(command -v clang-tidy-14 || command -v clang-tidy)
# clang-tidy counts the lines between the braces, one fewer than the limit's count.
config="{Checks: '-*,readability-function-size', CheckOptions: [{key: readability-function-size.LineThreshold, value: $((limit - 1))}]}"
mapfile -t sources < <(git ls-files '*.cpp' '*.c' | grep -v -E '^(tests|fuzz|bench|testdata)/' |
  while read -r file; do
    grep -q "\"file\": \"$PWD/$file\"" build/native/compile_commands.json && echo "$file"
  done)
printf '%s\n' "${sources[@]}" |
  xargs -P 2 -n 4 "$tidy" -p build/native --quiet --config="$config" \
    --header-filter="^$PWD/(platform|database|archive|convert|report|folder|plugin|tools)/" 2>/dev/null |
  grep -E 'warning: function|note: [0-9]+ lines' | paste - - |
  sed -E 's/^([^:]+:[0-9]+):[0-9]+: warning: function .([^ ]*). exceeds.*note: ([0-9]+) lines.*/\1: \2 \3/' |
  awk '{ $NF = $NF + 1; print $0 " lines" }' | sort -u > build/native/long-functions.txt || true
if [ -s build/native/long-functions.txt ]; then
  sed "s|^$PWD/||" build/native/long-functions.txt
  echo "functions over $limit lines: $(wc -l < build/native/long-functions.txt)" >&2
  exit 1
fi
echo "no function over $limit lines in ${#sources[@]} sources"
