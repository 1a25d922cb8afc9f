#!/usr/bin/env bash
# The Windows stage of the suite: cross-builds the windows flavour, makes a fresh Wine
# prefix in its tree and runs its tests under Wine inside xvfb-run (top-level windows
# need a display), as ctest lines. The channel's byte comparison needs the default
# build (scripts/build.sh default) and is skipped without it. Prints the stage's time.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
scripts/build.sh windows
tree=build/windows
rm -rf "$tree/wine-prefix" "$tree/wine-prefix.lock"
# One Wine server for the whole run, started with the prefix: the first start of a
# fresh prefix takes 10-20 s, later starts about 1 s.
status=0
xvfb-run -a -s "-screen 0 1024x768x24" sh -c "
  scripts/wine-run.sh '$PWD/$tree/wine-prefix' cmd /c exit &&
  cd '$tree' && ctest -j '$(nproc)' --output-on-failure --timeout 300" || status=$?
WINEPREFIX="$PWD/$tree/wine-prefix" wineserver -k 2>/dev/null || true
echo "windows stage: $(( $(date +%s) - start )) s"
exit $status
