#!/usr/bin/env bash
# Installs what is missing on a Debian machine (as root), then configures and builds
# the default tree in build/. Safe to run again: it only installs what is absent.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build ccache pkg-config git python3 clang clang-format libclang-rt-14-dev
          libtbb-dev libicu-dev libssl-dev libgtest-dev libgmock-dev libbenchmark-dev libsimdjson-dev nlohmann-json3-dev libtsl-hopscotch-map-dev libstb-dev libosmesa6-dev
          libxml2-utils opencollada-tools libassimp-dev assimp-utils time nodejs npm
          libocct-foundation-dev libocct-modeling-data-dev libocct-modeling-algorithms-dev libosd-dev
          g++-mingw-w64-x86-64-posix wine64 xvfb xauth googletest)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Node.js from another source may provide npm itself.
if command -v npm >/dev/null 2>&1; then
  missing=("${missing[@]/npm}")
  missing=("${missing[@]/nodejs}")
fi
read -r -a missing <<< "${missing[*]:-}"
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

if [ -f tools/package.json ] && [ ! -d tools/node_modules ]; then
  (cd tools && npm ci --no-audit --no-fund --loglevel=error)
fi

scripts/build.sh default
