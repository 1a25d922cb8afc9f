#!/usr/bin/env bash
# Configures and builds one flavour: default (warnings as errors, benchmarks),
# asan (AddressSanitizer + UBSan), tsan (ThreadSanitizer) or clang (the default
# flavour built with clang, to keep the tree warning-clean with both compilers) or
# windows (cross-built for 64-bit Windows with MinGW-w64; its tests run under Wine).
# Tree: build/<flavour>.
set -euo pipefail
cd "$(dirname "$0")/.."
flavour=${1:-default}
case "$flavour" in
  default) opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTRO_BUILD_BENCH=ON) ;;
  asan)    opts=(-DCMAKE_BUILD_TYPE=Debug -DVANTRO_SANITIZE=address -DVANTRO_BUILD_BENCH=OFF) ;;
  tsan)    opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTRO_SANITIZE=thread -DVANTRO_BUILD_BENCH=OFF) ;;
  clang)   opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTRO_BUILD_BENCH=ON); export CC=clang CXX=clang++ ;;
  windows) opts=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake") ;;
  *) echo "usage: $0 [default|asan|tsan|clang|windows]" >&2; exit 2 ;;
esac
# An unchanged file is not compiled again when ccache is installed, whatever folder the
# tree was cloned into: paths are taken relative to the tree and its folder is not hashed.
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
  opts+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
generator=(); command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S . -B "build/$flavour" "${generator[@]}" -DVANTRO_WERROR=ON "${opts[@]}" >/dev/null
cmake --build "build/$flavour" -j "$(nproc)"
