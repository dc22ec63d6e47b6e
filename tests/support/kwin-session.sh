#!/usr/bin/env bash
# A private headless KWin (Plasma 5.27) Wayland session for tests: software
# rendering, a private session bus, no system bus, no Xwayland.
#
#   kwin-session.sh start [--owner PID] [--scale S] [--size WxH]
#                           prints KEY=VALUE lines for clients; exits 3 when
#                           this machine cannot run one (not root, no kwin_wayland)
#   kwin-session.sh services DIR   rebuilds KWin's service cache (after installing
#                                  desktop entries under DIR/usr/share)
#   kwin-session.sh stop DIR
#
# Outputs are WxH logical points (default 1920x1080) at scale S (default 1).
# KWin's XDG_DATA_DIRS starts with DIR/usr/share (printed as
# LUMIVANE_KWIN_PREFIX=DIR/usr): a program installed there with its desktop
# entry is what KWin authorises for org.kde.KWin.ScreenShot2. The desktop
# portal cannot be activated on the session's bus. Animations are off, so a
# window shows its final pixels as soon as it is mapped. With --owner, the
# session stops itself when that process ends.
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
log() { echo "kwin-session: $*" >&2; }

wait_for() {
  local tenths=$1; shift
  local i
  for ((i = 0; i < tenths; i++)); do
    if "$@" 2>/dev/null; then return 0; fi
    sleep 0.1
  done
  return 1
}

stop_session() {
  local dir=$1 p
  case "$dir" in
    /tmp/lumivane-kwin.*) ;;
    *) log "not a session folder: $dir"; return 2 ;;
  esac
  [ -d "$dir" ] || return 0
  if [ -f "$dir/watchdog" ]; then
    p=$(cat "$dir/watchdog")
    [ -n "$p" ] && [ "$p" != "$$" ] && kill -TERM -- "-$p" 2>/dev/null || true
  fi
  # KWin first (its clients go with it), then the bus and what it activated,
  # found by the session's marker variable.
  for p in $(cat "$dir/pids" 2>/dev/null); do kill -TERM "$p" 2>/dev/null || true; done
  local i pids
  for ((i = 0; i < 30; i++)); do
    pids=$(grep -lxzF "LUMIVANE_KWIN_DAEMON=$dir" /proc/[0-9]*/environ 2>/dev/null |
      sed -n 's|^/proc/\([0-9]*\)/environ$|\1|p' | grep -vx -e "$$" -e "${BASHPID:-$$}" || true)
    [ -z "$pids" ] && break
    # shellcheck disable=SC2086
    ((i == 10)) && kill -TERM $pids 2>/dev/null
    # shellcheck disable=SC2086
    ((i == 25)) && kill -KILL $pids 2>/dev/null
    sleep 0.1
  done
  rm -rf "$dir"
}

# KWin's environment, for itself and the tools that share its caches.
session_env() {
  local dir=$1
  kwin_env=(env -i PATH="$PATH" LANG=C.UTF-8 LUMIVANE_KWIN_DAEMON="$dir"
    HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/.config" XDG_CACHE_HOME="$dir/home/.cache"
    XDG_RUNTIME_DIR="$dir/run" XDG_DATA_DIRS="$dir/usr/share:/usr/share" DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus")
}

# KWin reads authorised programs from KDE's service cache, which it does not
# rebuild by itself when entries appear (on a desktop, kded does).
refresh_services() {
  local dir=$1
  session_env "$dir"
  "${kwin_env[@]}" kbuildsycoca5 --noincremental >"$dir/log/kbuildsycoca.log" 2>&1 ||
    { log "kbuildsycoca5 failed: $(cat "$dir/log/kbuildsycoca.log")"; return 1; }
}

start_session() {
  local owner="" scale=1 size=1920x1080
  while [ $# -gt 0 ]; do
    case "$1" in
      --owner) owner=$2; shift 2 ;;
      --scale) scale=$2; shift 2 ;;
      --size) size=$2; shift 2 ;;
      *) log "unknown option $1"; return 2 ;;
    esac
  done
  if [ "$(id -u)" -ne 0 ]; then log "must run as root"; return 3; fi
  local tool
  for tool in /usr/bin/kwin_wayland kbuildsycoca5 dbus-daemon gdbus; do
    command -v "$tool" >/dev/null || { log "missing $tool (run scripts/setup.sh)"; return 3; }
  done
  dir=$(mktemp -d /tmp/lumivane-kwin.XXXXXX)
  [ -n "$owner" ] && echo "$owner" >"$dir/owner"
  mkdir -p "$dir/bin" "$dir/home/.config" "$dir/usr/share/applications" "$dir/log"
  install -d -m 0700 "$dir/run"
  : >"$dir/pids"
  # The installed kwin_wayland carries a file capability (CAP_SYS_NICE) that a
  # container refuses to grant; a plain copy runs.
  cp /usr/bin/kwin_wayland "$dir/bin/kwin_wayland"
  printf '[KDE]\nAnimationDurationFactor=0\n' >"$dir/home/.config/kdeglobals"

  local bus="unix:path=$dir/bus"
  session_env "$dir"
  local -a common=("${kwin_env[@]}")
  # The desktop portal is not started on this bus: headless, it answers every
  # screenshot "cancelled", and a test may stand its own portal in its place.
  mkdir -p "$dir/services"
  printf '[D-BUS Service]\nName=org.freedesktop.portal.Desktop\nExec=/bin/false\n' \
    >"$dir/services/org.freedesktop.portal.Desktop.service"
  cat >"$dir/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>$bus</listen>
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
  "${common[@]}" setsid dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile \
    >"$dir/log/dbus.log" 2>&1 </dev/null &
  echo $! >>"$dir/pids"
  wait_for 50 test -S "$dir/bus" || { log "dbus-daemon did not start: $(cat "$dir/log/dbus.log")"; return 1; }

  local width=${size%x*} height=${size#*x}
  "${common[@]}" setsid "$dir/bin/kwin_wayland" --virtual --width "$width" --height "$height" \
    --scale "$scale" --no-lockscreen --no-global-shortcuts --no-kactivities --socket kwin-test \
    >"$dir/log/kwin.log" 2>&1 </dev/null &
  echo $! >>"$dir/pids"
  if ! wait_for 200 sh -c "DBUS_SESSION_BUS_ADDRESS='$bus' gdbus introspect --session -d org.kde.KWin \
      -o /org/kde/KWin/ScreenShot2 | grep -q CaptureArea"; then
    log "KWin did not offer ScreenShot2: $(tail -n 20 "$dir/log/kwin.log")"
    return 1
  fi

  if [ -n "$owner" ]; then
    env -i PATH="$PATH" setsid sh -c 'tail --pid="$1" -f /dev/null; exec "$2" stop "$3"' \
      watchdog "$owner" "$self" "$dir" >/dev/null 2>&1 </dev/null &
    echo $! >"$dir/watchdog"
  fi
  {
    echo "LUMIVANE_KWIN_SESSION=$dir"
    echo "LUMIVANE_KWIN_PREFIX=$dir/usr"
    echo "WAYLAND_DISPLAY=kwin-test"
    echo "XDG_RUNTIME_DIR=$dir/run"
    echo "DBUS_SESSION_BUS_ADDRESS=$bus"
    echo "XDG_DATA_DIRS=$dir/usr/share:/usr/share"
    echo "XDG_SESSION_TYPE=wayland"
    echo "XDG_CURRENT_DESKTOP=KDE"
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
  services)
    [ $# -eq 2 ] || { log "usage: $0 services DIR"; exit 2; }
    refresh_services "$2"
    ;;
  stop)
    [ $# -eq 2 ] || { log "usage: $0 stop DIR"; exit 2; }
    stop_session "$2"
    ;;
  *)
    echo "usage: $0 start [--owner PID] [--scale S] [--size WxH] | services DIR | stop DIR" >&2
    exit 2
    ;;
esac
