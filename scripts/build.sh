#!/usr/bin/env bash
# Configures and builds Lumivane into ./build (Release with debug info).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${LUMIVANE_BUILD_DIR:-$root/build}"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j"$(nproc)" "$@"
