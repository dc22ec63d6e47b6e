#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds Lumivane with its tests
# (warnings are errors), runs the sanitizer pass and the fuzzers, then the whole
# suite. Each phase prints its wall time ("==> phase build: 312 s").
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/phases.sh"
start=$(date +%s)
export LUMIVANE_CMAKE_OPTIONS="${LUMIVANE_CMAKE_OPTIONS:--DLUMIVANE_WERROR=ON -DLUMIVANE_LINE_TABLES=ON}"

phase setup bash "$root/scripts/setup.sh"
phase format bash "$root/scripts/format.sh" --check
phase build bash "$root/scripts/build.sh"
# Sanitizer build of the suites where memory faults can hide, and a bounded run of
# each fuzzer (its phases are timed inside).
bash "$root/scripts/sanitize.sh"
# The whole suite last, so that its summary closes the run.
phase suites ctest --test-dir "${LUMIVANE_BUILD_DIR:-$root/build}" --output-on-failure -j"$(nproc)" --timeout 600
echo "==> total: $(($(date +%s) - start)) s" >&2
