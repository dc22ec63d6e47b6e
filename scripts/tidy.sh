#!/usr/bin/env bash
# Runs clang-tidy with the tree's .clang-tidy over every source file of the build's
# compile_commands.json (./build, configured by scripts/build.sh), or over the
# files given as arguments. Exits non-zero on any finding.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${LUMIVANE_BUILD_DIR:-$root/build}"
[ -f "$build/compile_commands.json" ] || bash "$root/scripts/build.sh" --target help >/dev/null
if [ $# -gt 0 ]; then
  files=("$@")
else
  # Our own sources: not the generated protocol code, the moc output or the fuzzers (clang-only flags).
  mapfile -t files < <(python3 -c '
import json, sys
for entry in json.load(open(sys.argv[1] + "/compile_commands.json")):
    f = entry["file"]
    if f.startswith(sys.argv[2] + "/") and "/build" not in f[len(sys.argv[2]):] and f.endswith(".cpp") and "/tests/fuzz/" not in f:
        print(f)' "$build" "$root" | sort -u)
fi
echo "tidy: ${#files[@]} files" >&2
printf '%s\0' "${files[@]}" | xargs -0 -n 4 -P "$(nproc)" clang-tidy --quiet -p "$build" 2> >(grep -v '^[0-9]* warnings\? generated\.$' >&2)
