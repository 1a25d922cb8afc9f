#!/usr/bin/env bash
# The same channel from both builds, compared byte for byte: runs the Linux build's
# channel_bytes and the Windows build's channel_bytes.exe (under the given emulator)
# and compares the main mapping and every buffer they dumped.
# Usage: compare_channel_bytes.sh LINUX_PROGRAM WORKDIR EMULATOR... WINDOWS_PROGRAM
# Exit 77 (skipped) when the Linux build is absent.
set -euo pipefail
linux=$1 work=$2
shift 2
if [ ! -x "$linux" ]; then
  echo "no Linux build at $linux: build the default flavour first" >&2
  exit 77
fi
rm -rf "$work"
mkdir -p "$work/linux" "$work/windows"
"$linux" "$work/linux"
"$@" "$(cd "$work/windows" && pwd)"
(cd "$work/linux" && ls) > "$work/linux.list"
(cd "$work/windows" && ls) > "$work/windows.list"
if ! diff -u "$work/linux.list" "$work/windows.list"; then
  echo "the two builds dumped different files" >&2
  exit 1
fi
status=0
while read -r file; do
  if cmp "$work/linux/$file" "$work/windows/$file"; then
    echo "same: $file ($(stat -c %s "$work/linux/$file") bytes)"
  else
    status=1
  fi
done < "$work/linux.list"
[ "$(wc -l < "$work/linux.list")" -ge 2 ] || { echo "too few files dumped" >&2; exit 1; }
exit $status
