#!/usr/bin/env bash
# The main job: sets up and builds, exports the bundled sample (resources/samples/
# showroom.3dm) as COLLADA with `vantro-host export` (into build/demo/), then tells the
# live link's story: vantro-host opens the sample with the plug-in (libvantro.so),
# velora-peer (the test renderer) pictures what it receives, and the edit script
# resources/samples/showroom-story.txt runs step by step: start the link, move an
# object, recolour a material, hide a layer, orbit the camera, change the units, stop
# and restart the link. It ends by listing the pictures (build/demo/pictures), one per
# step, with the change each shows.
# Runs with a private registry and runtime folder and leaves no shared memory in it.
#
#   scripts/demo.sh                         set up, build build/default, run the demo
#   scripts/demo.sh --skip-setup [BUILD]    run it with programs already built in BUILD
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/default
if [ "${1:-}" = "--skip-setup" ]; then
  build=${2:-$build}
else
  scripts/setup.sh
fi
peer=$build/apps/peer/velora-peer
host=$build/apps/host/vantro-host
module=$build/src/plugin/libvantro.so
sample=resources/samples/showroom.3dm
story=resources/samples/showroom-story.txt
out=build/demo

# Without a build there is nothing to run: say so, and how to get one.
for program in "$peer" "$host" "$module"; do
  if [ ! -e "$program" ]; then
    echo "demo: $program is missing: $build has not been built."
    echo "      Build it first (scripts/build.sh default), or run scripts/demo.sh without --skip-setup."
    exit 1
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VANTRO_REGISTRY_ROOT=$work/registry VANTRO_RUNTIME_DIR=$work/runtime
mkdir -p "$VANTRO_REGISTRY_ROOT" "$VANTRO_RUNTIME_DIR"

# The export answers the save dialog with the folder: the file takes the document's
# name, and its texture copies go beside it.
echo "== COLLADA export: $(basename "$sample") =="
mkdir -p "$out"
"$host" export "$sample" -o "$out/" --plugin "$module" 2>"$work/export.err" || {
  echo "demo: the export failed:"
  sed 's/^/  /' "$work/export.err"
  exit 1
}
dae=$out/$(basename "${sample%.*}").dae
# One geometry per material (the block marker left out).
summary=$(awk '/veloraNode/ { next }
               /<geometry id=/ { g++ }
               /<triangles count=/ { split($0, a, "\""); t += a[2] }
               END { print g + 0 " material geometries, " t + 0 " triangles" }' "$dae")
echo "The model went to $(realpath "$dae") ($summary)."
echo

# The link is named after the document; a copy keeps the sample's folder clean.
cp "$sample" resources/samples/showroom-tiles.bmp "$work/"
rm -rf "$out/pictures"
echo "== live link: the story of $(basename "$story"), in vantro-host with the plug-in, to velora-peer =="
status=0
node scripts/demo-story.mjs --host "$host" --plugin "$module" --peer "$peer" \
  --document "$work/$(basename "$sample")" --story "$story" --pictures "$out/pictures" \
  --pids "$work/pids" || status=$?

if ls "$VANTRO_RUNTIME_DIR/shm" 2>/dev/null | grep -q '^vantro\.'; then
  echo "demo: shared memory left behind in $VANTRO_RUNTIME_DIR/shm"
  status=1
fi
[ "$status" -eq 0 ] && echo "== demo finished: the model is in $dae; the story's pictures are in $out/pictures ==" \
  || echo "demo failed ($status)"
exit "$status"
