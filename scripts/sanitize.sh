#!/usr/bin/env bash
# Builds the suites where memory faults can hide (decoders and encoders, project
# files, protocol readers, image operations, capture) with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang, in ./build-asan), runs them, then runs each
# libFuzzer target for a bounded time from its seed corpus. Each phase prints its
# wall time.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/phases.sh"
build="${LUMIVANE_ASAN_BUILD_DIR:-$root/build-asan}"
fuzz_seconds="${LUMIVANE_FUZZ_SECONDS:-20}"
fuzzers=(project settings page_info render)
# Test folders (ctest name prefixes) of the sanitizer pass. The widget, settings
# and desktop-session suites drive the same decoding and image code through Qt.
suites=(export editor_model history platform capture browser platform/wayland/wlroots platform/wayland/kwin)

if [ ! -f "$build/build.ninja" ]; then
  # -O1 with line tables: a fraction of an optimised build's compile time, readable reports.
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Sanitize \
    -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only" -DLUMIVANE_SANITIZE=ON -DLUMIVANE_FUZZ=ON >/dev/null
fi
targets=()
names=()
for s in "${suites[@]}"; do
  targets+=("tests_${s//\//_}")
  names+=("${s//\//\\.}")
done
for f in "${fuzzers[@]}"; do targets+=("fuzz_$f"); done
phase "sanitizer build" cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/fuzz/lsan.supp:print_suppressions=0"
# A folder's cases are named "<folder>.<Suite>.<Case>" (suites start upper-case), a
# desktop session's executable is one test named after its folder. Chromium itself is
# not instrumented; our side of its sessions is.
pattern="^($(IFS='|'; echo "${names[*]}"))(\\.[A-Z].*)?\$"
# The search-order comparisons run the same encoder as the export suite hundreds of times
# over: minutes under the sanitizers, for no path the other export cases leave out.
phase "sanitizer suites" ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 900 -R "$pattern" \
  -E '^export\.ImageExportSearchEquality\.'

fuzz() {
  for f in "${fuzzers[@]}"; do
    seeds="$root/tests/fuzz/corpus/$f"
    [ "$f" = render ] && seeds="$root/tests/fuzz/corpus/project"
    work="$(mktemp -d)"
    cp -r "$seeds/." "$work/"
    echo "fuzz_$f: ${fuzz_seconds}s"
    status=0
    "$build/fuzz/fuzz_$f" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -timeout=15 -max_len=65536 \
      -artifact_prefix="$build/fuzz/$f-" "$work" >"$work.log" 2>&1 || status=$?
    tail -n 2 "$work.log"
    if [ "$status" -ne 0 ]; then
      tail -n 60 "$work.log" >&2
      echo "fuzz_$f found a failure; its input is in $build/fuzz/" >&2
    fi
    rm -rf "$work" "$work.log"
    [ "$status" -eq 0 ] || return 1
  done
}
phase fuzzing fuzz
