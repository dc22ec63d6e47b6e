#!/usr/bin/env bash
# Installs what is missing, builds Lumivane and runs it. Arguments are passed
# to lumivane. With no X11 display, takes a command-line capture of a private
# virtual screen instead, to show the tool working.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" --target lumivane
bin="${LUMIVANE_BUILD_DIR:-$root/build}/lumivane"

if [ $# -gt 0 ] || [ -n "${DISPLAY:-}" ]; then
  exec "$bin" "$@"
fi

echo "No X11 display: running a command-line capture of a private virtual screen instead."
echo "(In a desktop session, this command starts the tray application.)"
out="$root/lumivane-demo-capture.png"
exec 3< <(true)
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3>"$root/.xvfb-display" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$root/.xvfb-display" ] && break; sleep 0.1; done
display=":$(tr -d '[:space:]' < "$root/.xvfb-display")"
rm -f "$root/.xvfb-display"
DISPLAY="$display" xsetroot -solid '#3465a4' 2>/dev/null || true
DISPLAY="$display" "$bin" capture full -o "$out"
echo "Saved $out"
