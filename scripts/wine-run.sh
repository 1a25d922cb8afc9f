#!/usr/bin/env bash
# Runs one Windows program under Wine: the CMAKE_CROSSCOMPILING_EMULATOR of the Windows
# build, so that CTest runs the cross-built tests as if they were native.
# Usage: wine-run.sh PREFIX PROGRAM.exe [ARGS...]
# PREFIX is the build's private Wine prefix; the first run makes it (10-20 s), under a
# lock, so that tests started in parallel wait for one another instead of racing.
# Top-level windows need a display: run the tests inside xvfb-run (scripts/test.sh).
set -euo pipefail
prefix=$1
shift
wine=${VANTRO_WINE:-/usr/lib/wine/wine64}
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
# No browser or .NET runtime: Wine would offer to download them on first start.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -e "$prefix/system.reg" ]; then
    "$wine" wineboot --init >/dev/null 2>&1 || true
    wineserver -w 2>/dev/null || true
  fi
) 9>"$prefix.lock"
exec "$wine" "$@"
