#!/usr/bin/env bash
# Configures and builds Lumivane into ./build (Release with debug info).
# LUMIVANE_CMAKE_OPTIONS adds cache options (the CI sets -DLUMIVANE_WERROR=ON).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/phases.sh"
build="${LUMIVANE_BUILD_DIR:-$root/build}"
read -r -a options <<<"${LUMIVANE_CMAKE_OPTIONS:-}"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
elif [ ${#options[@]} -gt 0 ]; then
  cmake "$build" "${options[@]}" >/dev/null
fi
cmake --build "$build" -j"$(nproc)" "$@"
