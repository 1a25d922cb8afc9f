#!/usr/bin/env bash
# The main job: sets up and builds, exports the bundled sample document as COLLADA with
# `vantro-host export` (into build/demo/), then links the same document live to the
# renderer's side: velora-peer (the test renderer) shows its window and waits for an
# announced connection; vantro-host opens the sample with the plug-in (libvantro.so)
# and runs "Vantro Start"; the peer opens the link, reads what the plug-in wrote and
# prints it; a second look at the geometry buffers counts the triangles per material.
# Runs with a private registry and window directory and leaves nothing in /dev/shm.
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
room=resources/samples/living-room.json
out=build/demo

work=$(mktemp -d)
peer_pid=""
host_pid=""
cleanup() {
  exec 3>&- 2>/dev/null || true
  [ -n "$peer_pid" ] && kill "$peer_pid" 2>/dev/null || true
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export VANTRO_REGISTRY_ROOT=$work/registry VANTRO_RUNTIME_DIR=$work/runtime
mkdir -p "$VANTRO_REGISTRY_ROOT" "$VANTRO_RUNTIME_DIR"

# Waits up to 20 s for a line matching $2 in file $1.
wait_for() {
  for _ in $(seq 400); do
    grep -q "$2" "$1" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "demo: timed out waiting for \"$2\" in $1"
  return 1
}

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

# The link is named after the document; a copy keeps the sample's folder clean.
doc=$work/living-room.json
cp resources/samples/living-room.json resources/samples/oak.bmp "$work/"
link=${doc%.*}.dae

echo "== live link: $(basename "$room") in vantro-host with the plug-in, to velora-peer =="
"$peer" --version 8.3.0 --wait-connection 20000 --listen 20000 --exit-after-messages 1 --dump \
  > "$work/peer.log" &
peer_pid=$!
wait_for "$work/peer.log" '^READY'

# The host reads its commands from a pipe, so the link stays up while the peer reads.
mkfifo "$work/host.in"
"$host" "$doc" --plugin "$module" --echo < "$work/host.in" > "$work/host.log" 2>&1 &
host_pid=$!
exec 3> "$work/host.in"
echo "Vantro Start" >&3
wait_for "$work/host.log" 'Vantro started\.'
status=0
wait "$peer_pid" || status=$?
peer_pid=""

buffers=$(grep '^{' "$work/peer.log" | tail -n 1 | grep -o '"geometryBuffer":[1-9][0-9]*' | cut -d: -f2 || true)
args=()
for id in $buffers; do args+=(--read-buffer "$id"); done
"$peer" --connection "$link" "${args[@]}" > "$work/buffers.log" || status=$?

echo "Vantro Stop" >&3
echo "Quit" >&3
exec 3>&-
wait "$host_pid" || status=$?
host_pid=""

echo "-- vantro-host --"
cat "$work/host.log"
echo "-- what velora-peer received --"
node scripts/demo-report.mjs "$work/peer.log" "$work/buffers.log" || status=1

if ls /dev/shm | grep -q '^vantro\.'; then
  echo "demo: shared memory left behind in /dev/shm"
  status=1
fi
[ "$status" -eq 0 ] && echo "== demo finished: the model is in $dae; the peer received the linked document ==" \
  || echo "demo failed ($status)"
exit "$status"
