#!/usr/bin/env bash
# The whole test suite: sets up, then builds and runs every test four times — the
# default build, AddressSanitizer+UBSan, ThreadSanitizer and the default flavour built
# with clang (optimised, warnings as errors: results must not depend on the compiler)
# — then the Windows build's tests under Wine, then fuzzes. Exits non-zero on the
# first failing flavour. VANTRO_TEST_CLANG=0 leaves the clang flavour out.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan-third-party.supp"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
flavours=(default asan tsan)
[ "${VANTRO_TEST_CLANG:-1}" = 0 ] || flavours+=(clang)
for flavour in "${flavours[@]}"; do
  echo "== $flavour build =="
  scripts/build.sh "$flavour"
  (cd "build/$flavour" && ctest -j "$(nproc)" --output-on-failure --timeout 600)
done
# Windows: cross-built with MinGW-w64, the tests run under Wine in a display of their
# own and a Wine prefix made afresh for this run (scripts/windows-tests.sh).
echo "== windows build =="
scripts/windows-tests.sh
if [ -x scripts/fuzz.sh ]; then scripts/fuzz.sh; fi
echo "all flavours passed"
