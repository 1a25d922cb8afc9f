#!/usr/bin/env bash
# Fuzzes the document reader: builds fuzz/ with clang and libFuzzer (+ ASan/UBSan)
# into build/fuzz and runs it for a bounded time on a copy of the seed corpus.
#   scripts/fuzz.sh [seconds]        (default 60, or $VANTRO_FUZZ_SECONDS)
# Exits non-zero when the fuzzer finds a crash, a sanitizer report or a broken
# read/write promise; the failing input is left in build/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-${VANTRO_FUZZ_SECONDS:-60}}
command -v clang++ >/dev/null || { echo "fuzz: clang++ is needed (scripts/setup.sh installs it)" >&2; exit 1; }
generator=(); command -v ninja >/dev/null && generator=(-G Ninja)
CC=clang CXX=clang++ cmake -S fuzz -B build/fuzz "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz --target document_reader_fuzz -j "$(nproc)"
corpus=build/fuzz/corpus
mkdir -p "$corpus"
cp fuzz/corpus/*.json "$corpus"/
echo "== fuzzing the document reader for ${seconds}s =="
cd build/fuzz
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ./document_reader_fuzz -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -dict=../../fuzz/document.dict -print_final_stats=1 corpus
