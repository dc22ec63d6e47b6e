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
# GCC's precompiled headers and GCC-only warning flags mean nothing to clang: a copy of
# the compile commands without them.
db="$build/tidy"
mkdir -p "$db"
python3 - "$build/compile_commands.json" "$db/compile_commands.json" <<'PY'
import json, shlex, sys
entries = json.load(open(sys.argv[1]))
for e in entries:
    args = shlex.split(e.pop("command")) if "command" in e else e.pop("arguments")
    kept, skip = [], False
    for a in args:
        if skip:
            skip = False
        elif a == "-include" :
            skip = True
        elif a in ("-fpch-preprocess", "-Winvalid-pch") or "maybe-uninitialized" in a:
            pass
        else:
            kept.append(a)
    e["arguments"] = kept
json.dump(entries, open(sys.argv[2], "w"))
PY
echo "tidy: ${#files[@]} files" >&2
printf '%s\0' "${files[@]}" | xargs -0 -n 4 -P "$(nproc)" clang-tidy --quiet -p "$db" 2> >(grep -v '^[0-9]* warnings\? generated\.$' >&2)
