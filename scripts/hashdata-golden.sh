#!/usr/bin/env bash
# Regenerates tests/data/hashdata/windows-hashdata.txt: the Windows HashData of the
# names tests/windows/hashdata_compare.cpp makes, computed by the system's own function
# (cross-built with MinGW-w64, run under Wine in a private, throw-away prefix; the first
# start of a prefix takes 10-20 s). tests/link/hash_data_test.cpp compares our hashData
# with the file. Usage: scripts/hashdata-golden.sh [OUTPUT]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-tests/data/hashdata/windows-hashdata.txt}
wine=${VANTRO_WINE:-/usr/lib/wine/wine64}
for tool in x86_64-w64-mingw32-g++ xvfb-run "$wine"; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
x86_64-w64-mingw32-g++ -std=c++20 -O2 -Wall -Wextra -Werror -static \
  tests/windows/hashdata_compare.cpp -o "$work/hashdata_compare.exe" -lshlwapi
mkdir -p "$work/prefix"
WINEPREFIX="$work/prefix" WINEDEBUG=-all xvfb-run -a "$wine" "$work/hashdata_compare.exe" >"$work/out.txt" 2>"$work/err.txt" || {
  echo "$0: the program failed under Wine:" >&2; cat "$work/err.txt" >&2; exit 1; }
lines=$(wc -l <"$work/out.txt")
[ "$lines" -gt 1000 ] || { echo "$0: only $lines lines came out" >&2; cat "$work/err.txt" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
mv "$work/out.txt" "$out"
echo "$out: $lines lines"
