#!/usr/bin/env bash
# Fuzzes every parser of foreign bytes: builds fuzz/ with clang and libFuzzer
# (+ ASan/UBSan) into build/fuzz, replays each target's regression inputs, then fuzzes
# it for a bounded time on a copy of its seed corpus (fuzz/corpus/<target>).
#   scripts/fuzz.sh [seconds per target] [target ...]
# Seconds default to 25 (or $VANTRO_FUZZ_SECONDS); all ten targets take about 5 min.
# Mutations follow $VANTRO_FUZZ_SEED; under CI they follow seed 1, so that a run of the
# same tree explores the same inputs (long runs by hand keep libFuzzer's random seed).
# Exits non-zero when a target finds a crash, a sanitizer report or a broken
# promise; the failing input is left in build/fuzz/<target>/ — add it to
# fuzz/regressions/<target>/ once the fault is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
seconds=${1:-${VANTRO_FUZZ_SECONDS:-25}}
shift || true
all=(document_reader document_binary channel_peer channel_creator registry_format window_description bitmap_image
     process_maps document_sync hashdata_lines)
targets=("${@:-${all[@]}}")
seed=${VANTRO_FUZZ_SEED:-}
[ -n "$seed" ] || [ "${CI:-}" != true ] || seed=1
command -v clang++ >/dev/null || { echo "fuzz: clang++ is needed (scripts/setup.sh installs it)" >&2; exit 1; }

# Longest input each target reads: a whole document (two for document_sync), a channel
# with its buffers, one 8-slot mapping, one file.
declare -A max_len=([document_reader]=65536 [document_binary]=65536 [channel_peer]=32768 [channel_creator]=18432
                    [registry_format]=8192 [window_description]=8192 [bitmap_image]=65536 [document_sync]=131072
                    [process_maps]=16384 [hashdata_lines]=16384)
declare -A extra=([document_reader]="-dict=$repo/fuzz/document.dict" [document_binary]="-dict=$repo/fuzz/document.dict"
                  [document_sync]="-dict=$repo/fuzz/document.dict")

generator=(); command -v ninja >/dev/null && generator=(-G Ninja)
CC=clang CXX=clang++ cmake -S fuzz -B build/fuzz "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz --target "${targets[@]/%/_fuzz}" -j "$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for target in "${targets[@]}"; do
  [ -n "${max_len[$target]:-}" ] || { echo "fuzz: no target $target (${all[*]})" >&2; exit 2; }
  work=build/fuzz/$target
  rm -rf "$work/corpus"
  mkdir -p "$work/corpus"
  cp fuzz/corpus/"$target"/* "$work/corpus/"
  binary=$repo/build/fuzz/${target}_fuzz
  options=(-max_len="${max_len[$target]}" -timeout=10 -rss_limit_mb=2048 ${extra[$target]:-})
  [ -z "$seed" ] || options+=(-seed="$seed")
  if compgen -G "fuzz/regressions/$target/*" >/dev/null; then
    echo "== $target: replaying $(ls fuzz/regressions/"$target" | wc -l) regression inputs =="
    if ! (cd "$work" && "$binary" "${options[@]}" "$repo"/fuzz/regressions/"$target"/* >replay.log 2>&1); then
      tail -n 60 "$work/replay.log"
      echo "fuzz: $target fails on a regression input again" >&2
      exit 1
    fi
  fi
  echo "== fuzzing $target for ${seconds}s =="
  if ! (cd "$work" && "$binary" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 corpus \
          >log 2>&1); then
    tail -n 60 "$work/log"
    echo "fuzz: $target failed; the input is in $work/" >&2
    exit 1
  fi
  grep -E "^stat::(number_of_executed_units|new_units_added|peak_rss_mb)" "$work/log" | tr '\n' ' '
  echo
done
echo "fuzz: all targets passed"
