#!/usr/bin/env bash
# The main job: sets up and builds, exports the bundled sample document as COLLADA with
# `vantro-host export` (into build/demo/), then shows the live link between two real
# processes. velora-peer (the renderer's side) publishes its window and waits;
# vantro-link-demo (the plug-in's side) creates a connection named after a sample
# document, writes a batch under the lock, publishes statistics and a camera,
# announces the connection and wakes the peer, which opens it, reads it and prints
# what it saw. Runs with a private registry and window directory and leaves nothing
# in /dev/shm.
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
demo=$build/apps/host/vantro-link-demo
host=$build/apps/host/vantro-host
room=resources/samples/living-room.json
out=build/demo
sample=$(ls ../shared/testdata/3dm/*.3dm 2>/dev/null | head -n 1 || true)
sample=${sample:-/samples/house.3dm}
sample=$(realpath -m "$sample")

work=$(mktemp -d)
peer_pid=""
cleanup() {
  [ -n "$peer_pid" ] && kill "$peer_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export VANTRO_REGISTRY_ROOT=$work/registry VANTRO_RUNTIME_DIR=$work/runtime
mkdir -p "$VANTRO_REGISTRY_ROOT" "$VANTRO_RUNTIME_DIR"

# The export answers the save dialog with the folder: the file takes the document's
# name, and its texture copies go beside it.
echo "== COLLADA export: $(basename "$room") =="
mkdir -p "$out"
"$host" export "$room" -o "$out/" || { echo "demo: the export failed"; exit 1; }
dae=$out/$(basename "${room%.*}").dae
# One geometry per material (the block marker left out).
summary=$(awk '/veloraNode/ { next }
               /<geometry id=/ { g++ }
               /<triangles count=/ { split($0, a, "\""); t += a[2] }
               END { print g + 0 " material geometries, " t + 0 " triangles" }' "$dae")
echo "The model went to $(realpath "$dae") ($summary)."
echo

echo "== live link demo: $(basename "$sample") =="
"$peer" --version 8.3.0 --listen 20000 --exit-after-messages 2 --dump --pretty > "$work/peer.log" &
peer_pid=$!
for _ in $(seq 100); do
  grep -q '^READY' "$work/peer.log" && break
  sleep 0.05
done
grep '^READY' "$work/peer.log" || { echo "demo: the peer did not start"; exit 1; }

status=0
"$demo" --document "$sample" || status=$?
wait "$peer_pid" || status=$?
peer_pid=""

echo "== what velora-peer saw =="
grep -v '^READY' "$work/peer.log"

if ls /dev/shm | grep -q '^vantro\.'; then
  echo "demo: shared memory left behind in /dev/shm"
  status=1
fi
[ "$status" -eq 0 ] && echo "== demo finished: the model is in $dae; the peer took the batch and the camera ==" \
  || echo "demo failed ($status)"
exit "$status"
