#!/usr/bin/env bash
# A private headless GNOME 43 Wayland desktop for tests: gnome-shell with one
# virtual monitor, a private session bus and a stand-in system bus, PipeWire,
# and xdg-desktop-portal with the GNOME backend. HOME is a fresh folder with a
# Pictures folder (where GNOME's screenshot portal saves its files) and its own
# GSettings store (dconf).
#
#   gnome-session.sh start [--owner PID] [--size WxH]
#                                  prints KEY=VALUE lines for clients; exits 3
#                                  when this machine cannot run one (not root,
#                                  tools missing)
#   gnome-session.sh stop DIR      stops the session started in DIR
#
# Runs as root with no GPU, no systemd and no system bus. Every process of the
# session carries LUMIVANE_GNOME_DAEMON=DIR in its environment (the buses pass it
# on to what they activate), which is how stop finds them. With --owner, the
# session stops itself when that process ends. No X server is started
# (--no-x11), so the session takes no X display number.
set -euo pipefail

self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
log() { echo "gnome-session: $*" >&2; }

wait_for() {
  local tenths=$1; shift
  local i
  for ((i = 0; i < tenths; i++)); do
    if "$@" 2>/dev/null; then return 0; fi
    sleep 0.1
  done
  return 1
}

session_pids() {
  grep -lxzF "LUMIVANE_GNOME_DAEMON=$1" /proc/[0-9]*/environ 2>/dev/null |
    sed -n 's|^/proc/\([0-9]*\)/environ$|\1|p' | grep -vx -e "$$" -e "${BASHPID:-$$}" || true
}

stop_session() {
  local dir=$1
  case "$dir" in
    /tmp/lumivane-gnome.*) ;;
    *) log "not a session folder: $dir"; return 2 ;;
  esac
  [ -d "$dir" ] || return 0
  local p pids i
  # The watchdog (its shell and tail) by its own marker, by process id.
  for p in $(grep -lxzF "LUMIVANE_GNOME_WATCHDOG=$dir" /proc/[0-9]*/environ 2>/dev/null |
    sed -n 's|^/proc/\([0-9]*\)/environ$|\1|p'); do
    [ "$p" != "$$" ] && kill -TERM "$p" 2>/dev/null || true
  done
  for ((i = 0; i < 30; i++)); do
    pids=$(session_pids "$dir")
    [ -z "$pids" ] && break
    # shellcheck disable=SC2086
    ((i == 0)) && kill -TERM $pids 2>/dev/null || true
    sleep 0.1
  done
  pids=$(session_pids "$dir")
  # shellcheck disable=SC2086
  [ -n "$pids" ] && kill -KILL $pids 2>/dev/null || true
  fusermount3 -u "$dir/run/doc" 2>/dev/null || true
  # A file written while the folder went (a daemon's last settings flush): once more.
  rm -rf "$dir" 2>/dev/null || { sleep 0.2; rm -rf "$dir" 2>/dev/null; } || true
}

reap_orphans() {
  local d o
  for d in /tmp/lumivane-gnome.*; do
    [ -f "$d/owner" ] || continue
    o=$(cat "$d/owner" 2>/dev/null) || continue
    [ -n "$o" ] && ! kill -0 "$o" 2>/dev/null && stop_session "$d" 2>/dev/null
  done
  return 0
}

start_session() {
  local owner="" size=1920x1080
  while [ $# -gt 0 ]; do
    case "$1" in
      --owner) owner=$2; shift 2 ;;
      --size) size=$2; shift 2 ;;
      *) log "unknown option $1"; return 2 ;;
    esac
  done
  if [ "$(id -u)" -ne 0 ]; then log "must run as root"; return 3; fi
  local tool
  for tool in gnome-shell dbus-daemon dbus-update-activation-environment gdbus gsettings pipewire wireplumber \
    /usr/libexec/xdg-desktop-portal /usr/libexec/xdg-desktop-portal-gnome /usr/libexec/dconf-service; do
    command -v "$tool" >/dev/null || { log "missing $tool (run scripts/setup.sh)"; return 3; }
  done
  reap_orphans

  dir=$(mktemp -d /tmp/lumivane-gnome.XXXXXX)
  [ -n "$owner" ] && echo "$owner" >"$dir/owner"
  local run="$dir/run" home="$dir/home" logs="$dir/log"
  mkdir -p "$home/Pictures" "$home/.config" "$logs"
  install -d -m 0700 "$run"
  # As xdg-user-dirs writes it on a real desktop: GNOME saves screenshots there.
  printf 'XDG_PICTURES_DIR="$HOME/Pictures"\n' >"$home/.config/user-dirs.dirs"

  local base=(env -i PATH="$PATH" HOME="$home" XDG_RUNTIME_DIR="$run" LUMIVANE_GNOME_DAEMON="$dir"
    XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland XDG_SESSION_DESKTOP=gnome LANG=C.UTF-8)
  # gnome-shell will not start without a system bus: a private stand-in.
  "${base[@]}" setsid dbus-daemon --config-file=/usr/share/dbus-1/session.conf --nofork --nopidfile \
    --address="unix:path=$dir/system-bus" >"$logs/system-bus.log" 2>&1 </dev/null &
  # The session bus, with the document portal (a FUSE file system for sandboxed
  # applications, of no use here and slow to fail) failing at once.
  mkdir "$dir/services"
  printf '[D-BUS Service]\nName=org.freedesktop.portal.Documents\nExec=/bin/false\n' \
    >"$dir/services/org.freedesktop.portal.Documents.service"
  cat >"$dir/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$run/bus</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$dir/services</servicedir>
  <standard_session_servicedirs/>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
  "${base[@]}" setsid dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile \
    >"$logs/bus.log" 2>&1 </dev/null &
  local bus="unix:path=$run/bus"
  wait_for 50 test -S "$run/bus" && wait_for 50 test -S "$dir/system-bus" || { log "no buses"; return 1; }
  local env=("${base[@]}" DBUS_SESSION_BUS_ADDRESS="$bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/system-bus")
  "${env[@]}" dbus-update-activation-environment HOME XDG_RUNTIME_DIR XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
    XDG_SESSION_DESKTOP DBUS_SYSTEM_BUS_ADDRESS LANG

  # PipeWire before the first portal call: the GNOME backend needs it.
  "${env[@]}" setsid pipewire >"$logs/pipewire.log" 2>&1 </dev/null &
  wait_for 50 test -S "$run/pipewire-0" || { log "pipewire did not start"; return 1; }
  "${env[@]}" setsid wireplumber >"$logs/wireplumber.log" 2>&1 </dev/null &

  "${env[@]}" setsid gnome-shell --headless --wayland --no-x11 --virtual-monitor "$size" \
    >"$logs/shell.log" 2>&1 </dev/null &
  local shell=$!
  local client=("${env[@]}" WAYLAND_DISPLAY=wayland-0)
  if ! wait_for 600 sh -c "test -S '$run/wayland-0' && ${client[*]@Q} gdbus call --session -d org.gnome.Shell \
      -o /org/gnome/Shell -m org.freedesktop.DBus.Properties.Get org.gnome.Shell ShellVersion >/dev/null"; then
    log "gnome-shell did not come up: $(tail -n 20 "$logs/shell.log")"
    return 1
  fi
  kill -0 "$shell" 2>/dev/null || { log "gnome-shell exited: $(tail -n 20 "$logs/shell.log")"; return 1; }
  "${client[@]}" dbus-update-activation-environment WAYLAND_DISPLAY
  # GNOME starts in the overview; leave it as a user would with Esc.
  "${client[@]}" gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell -m org.freedesktop.DBus.Properties.Set \
    org.gnome.Shell OverviewActive '<false>' >/dev/null
  # Wake the portal (its start waits for its backends, slow on a loaded machine);
  # fail without its Screenshot interface.
  local i
  for ((i = 0; i < 4; i++)); do
    "${client[@]}" gdbus introspect --session -d org.freedesktop.portal.Desktop -o /org/freedesktop/portal/desktop \
      >"$logs/portal-introspect.txt" 2>&1 && break
  done
  if ! grep -q 'interface org.freedesktop.portal.Screenshot' "$logs/portal-introspect.txt"; then
    log "no Screenshot portal: $(cat "$logs/portal-introspect.txt")"
    return 1
  fi

  if [ -n "$owner" ]; then
    env -i PATH="$PATH" LUMIVANE_GNOME_WATCHDOG="$dir" setsid sh -c \
      'tail --pid="$1" -f /dev/null; exec env -u LUMIVANE_GNOME_WATCHDOG "$2" stop "$3"' \
      watchdog "$owner" "$self" "$dir" >/dev/null 2>&1 </dev/null &
  fi
  {
    echo "LUMIVANE_GNOME_SESSION=$dir"
    echo "HOME=$home"
    echo "XDG_RUNTIME_DIR=$run"
    echo "WAYLAND_DISPLAY=wayland-0"
    echo "DBUS_SESSION_BUS_ADDRESS=$bus"
    echo "DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/system-bus"
    echo "XDG_CURRENT_DESKTOP=GNOME"
    echo "XDG_SESSION_TYPE=wayland"
    echo "XDG_SESSION_DESKTOP=gnome"
  } >"$dir/session.env"
  cat "$dir/session.env"
}

case "${1:-}" in
  start)
    shift
    dir=""
    rc=0
    trap '[ -n "$dir" ] && stop_session "$dir" 2>/dev/null; exit 1' TERM INT HUP
    start_session "$@" || rc=$?
    if [ "$rc" -ne 0 ]; then
      [ -n "$dir" ] && stop_session "$dir" 2>/dev/null
      exit "$rc"
    fi
    ;;
  stop)
    [ $# -eq 2 ] || { log "usage: $0 stop DIR"; exit 2; }
    stop_session "$2"
    ;;
  *)
    echo "usage: $0 start [--owner PID] [--size WxH] | stop DIR" >&2
    exit 2
    ;;
esac
