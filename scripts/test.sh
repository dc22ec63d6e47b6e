#!/usr/bin/env bash
# Installs what is missing, builds Lumivane with its tests and runs the whole suite.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
# Sanitizer build of every suite but the package's, and a bounded run of each fuzzer.
bash "$root/scripts/sanitize.sh"
# The whole suite last, so that its summary closes the run.
cd "${LUMIVANE_BUILD_DIR:-$root/build}"
ctest --output-on-failure -j"$(nproc)" --timeout 600
