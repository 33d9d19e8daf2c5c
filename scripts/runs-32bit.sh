#!/usr/bin/env bash
# Whether this machine runs 32-bit x86 programs, found out by running one: a
# hand-made static ELF32 of 93 bytes that only calls exit(0) through int 0x80.
# A kernel without 32-bit support refuses it ("Exec format error"); the name
# or kind of the machine says nothing about that.
# Exit status 0 when it ran; otherwise 1, with the reason on standard output.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
# Inside the build folder rather than /tmp, which may forbid running programs.
mkdir -p "$root/build"
dir=$(mktemp -d "$root/build/probe-32bit.XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
probe="$dir/exit0"

# ELF header: 32-bit, little-endian, executable, i386, entry 0x08048054,
# one program header at offset 52.
header='\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'
header+='\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000'
header+='\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000'
# Program header: load the 93 bytes of the file, readable and executable,
# at 0x08048000.
segment='\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010'
segment+='\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000'
# mov eax, 1 (exit); xor ebx, ebx (status 0); int 0x80
code='\270\001\000\000\000\061\333\315\200'
printf "$header$segment$code" >"$probe"
chmod +x "$probe"

if output=$("$probe" 2>&1); then
  exit 0
fi
status=$?
reason=${output##*: }
echo "${reason:-a 32-bit test program exited with status $status}"
exit 1
