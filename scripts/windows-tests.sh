#!/usr/bin/env bash
# The Windows stage of the suite: cross-builds the windows flavour, makes a fresh Wine
# prefix in its tree and runs its tests under Wine inside xvfb-run (top-level windows
# need a display), as ctest lines. The channel's byte comparison needs the default
# build (scripts/build.sh default) and is skipped without it. Prints the link's write
# ratio (bench/link_write_ratio.cpp) under Wine beside the Linux one, and the stage's time.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
scripts/build.sh windows
tree=build/windows
rm -rf "$tree/wine-prefix" "$tree/wine-prefix.lock"
# One Wine server for the whole run, started with the prefix: the first start of a
# fresh prefix takes 10-20 s, later starts about 1 s. One test at a time: every test
# shares the prefix's one desktop, where a renderer stand-in's windows are visible to
# every other test that looks for a renderer.
status=0
xvfb-run -a -s "-screen 0 1024x768x24" sh -c "
  scripts/wine-run.sh '$PWD/$tree/wine-prefix' cmd /c exit &&
  cd '$tree' && ctest --output-on-failure --timeout 300" || status=$?
# The write ratio needs no display; natively too when the default build is there.
echo "write ratio under Wine: $(scripts/wine-run.sh "$PWD/$tree/wine-prefix" "$tree/link_write_ratio.exe" | tr -d '\r')"
if [ -x build/default/bench/link_write_ratio ]; then
  echo "write ratio on Linux:   $(build/default/bench/link_write_ratio)"
fi
WINEPREFIX="$PWD/$tree/wine-prefix" wineserver -k 2>/dev/null || true
echo "windows stage: $(( $(date +%s) - start )) s"
exit $status
