#!/usr/bin/env bash
# The whole test suite: sets up, then builds and runs every test three times — the
# default build, AddressSanitizer+UBSan and ThreadSanitizer — then the Windows build's
# tests under Wine, then fuzzes. Exits
# non-zero on the first failing flavour. VANTRO_TEST_CLANG=1 also builds the default
# flavour with clang (build only, warnings as errors; about as long as one more build).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan-third-party.supp"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for flavour in default asan tsan; do
  echo "== $flavour build =="
  scripts/build.sh "$flavour"
  (cd "build/$flavour" && ctest -j "$(nproc)" --output-on-failure --timeout 600)
done
if [ "${VANTRO_TEST_CLANG:-0}" = 1 ]; then
  echo "== clang build =="
  scripts/build.sh clang
fi
# Windows: cross-built with MinGW-w64, the tests run under Wine in a display of their
# own and a Wine prefix made afresh for this run (scripts/windows-tests.sh).
echo "== windows build =="
scripts/windows-tests.sh
if [ -x scripts/fuzz.sh ]; then scripts/fuzz.sh; fi
echo "all flavours passed"
