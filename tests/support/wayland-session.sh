#!/usr/bin/env bash
# A private headless Wayland desktop for tests: sway (two outputs, scale 1 and 2,
# Xwayland, swaybar as StatusNotifier host), a private session bus, PipeWire and
# xdg-desktop-portal with the wlr and gtk backends.
#
#   wayland-session.sh start [--owner PID] [--pointer HELPER] [--no-portal]
#                                            prints KEY=VALUE lines for clients;
#                                            --no-portal: no PipeWire, no portal,
#                                            and none activatable on the bus;
#                                            exits 3 when this machine cannot
#                                            run one (not root, tools missing)
#   wayland-session.sh stop DIR              stops the session started in DIR
#
# Works as root with no display, no systemd and no system bus. sway refuses to
# run as root, so it runs as an unprivileged user; everything else runs as the
# caller and reaches the compositor through an absolute WAYLAND_DISPLAY.
# Every session has its own folder, runtime dirs and bus, so sessions can run
# side by side. With --owner, the session stops itself when that process ends
# (a crashed test leaves nothing behind). HELPER is the built
# wl-virtual-pointer: it gives the seat a pointer, without which
# `swaymsg seat seat0 cursor ...` reaches no client.
# The environment is also written to DIR/session.env.
set -euo pipefail

SWAY_USER=${LUMIVANE_WAYLAND_USER:-lumivane-wl}
# Output colours, also read by the rig's own tests.
BG1='#1f6feb'
BG2='#e3a21a'
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"

log() { echo "wayland-session: $*" >&2; }
# LUMIVANE_WAYLAND_TRACE=1 prints how long each start step took.
started_at=$(date +%s%N)
trace() {
  [ -n "${LUMIVANE_WAYLAND_TRACE:-}" ] || return 0
  echo "wayland-session: $(( ($(date +%s%N) - started_at) / 1000000 )) ms $*" >&2
}

# Waits up to $1 tenths of a second for the command that follows to succeed.
wait_for() {
  local tenths=$1; shift
  local i
  for ((i = 0; i < tenths; i++)); do
    if "$@" 2>/dev/null; then return 0; fi
    sleep 0.1
  done
  return 1
}

# Every process that carries the session's marker variable belongs to the
# session: the daemons started here, what sway spawned (swaybar, swaybg,
# Xwayland) and what the bus activated (portal frontend and backends).
session_pids() {
  grep -lxzF "LUMIVANE_WAYLAND_DAEMON=$1" /proc/[0-9]*/environ 2>/dev/null |
    sed -n 's|^/proc/\([0-9]*\)/environ$|\1|p' | grep -vx -e "$$" -e "${BASHPID:-$$}" || true
}

stop_session() {
  local dir=$1
  case "$dir" in
    /tmp/lumivane-wl.*) ;;
    *) log "not a session folder: $dir"; return 2 ;;
  esac
  [ -d "$dir" ] || return 0
  local pids p i
  if [ -f "$dir/watchdog" ]; then
    p=$(cat "$dir/watchdog")
    # Its own process group (setsid): the shell and its tail.
    [ -n "$p" ] && [ "$p" != "$$" ] && kill -TERM -- "-$p" 2>/dev/null || true
  fi
  # The recorded daemons first (sway takes its children with it), then any
  # stragglers found by their environment.
  if [ -f "$dir/pids" ]; then
    while read -r p; do
      [ -n "$p" ] && [ "$p" != "$$" ] && kill -TERM "$p" 2>/dev/null || true
    done <"$dir/pids"
  fi
  for ((i = 0; i < 20; i++)); do
    pids=$(session_pids "$dir")
    [ -z "$pids" ] && break
    if ((i == 0)); then
      # shellcheck disable=SC2086
      kill -TERM $pids 2>/dev/null || true
    fi
    sleep 0.1
  done
  pids=$(session_pids "$dir")
  if [ -n "$pids" ]; then
    # shellcheck disable=SC2086
    kill -KILL $pids 2>/dev/null || true
    sleep 0.1
  fi
  rm -rf "$dir"
}

# Sessions whose owner died while their watchdog could not act (the machine
# was torn down around them) are stopped by the next start.
reap_orphans() {
  local d o
  for d in /tmp/lumivane-wl.*; do
    [ -f "$d/owner" ] || continue
    o=$(cat "$d/owner" 2>/dev/null) || continue
    [ -n "$o" ] && ! kill -0 "$o" 2>/dev/null && stop_session "$d" 2>/dev/null
  done
  return 0
}

ensure_user() {
  local i
  for ((i = 0; i < 50; i++)); do
    if id -u "$SWAY_USER" >/dev/null 2>&1; then return 0; fi
    # Parallel sessions may race to create it; useradd then fails on the lock.
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
      "$SWAY_USER" >/dev/null 2>&1 || sleep 0.1
  done
  id -u "$SWAY_USER" >/dev/null 2>&1
}

start_session() {
  local owner="" pointer_helper="" portal=1
  while [ $# -gt 0 ]; do
    case "$1" in
      --owner) owner=$2; shift 2 ;;
      --pointer) pointer_helper=$2; shift 2 ;;
      --no-portal) portal=0; shift ;;
      *) log "unknown option $1"; return 2 ;;
    esac
  done
  if [ "$(id -u)" -ne 0 ]; then
    log "must run as root (sway runs as the unprivileged user $SWAY_USER)"
    return 3
  fi
  local tool
  for tool in sway swaymsg swaybar dbus-daemon dbus-update-activation-environment gdbus pipewire \
    wireplumber xhost setpriv /usr/libexec/xdg-desktop-portal /usr/libexec/xdg-desktop-portal-wlr \
    /usr/libexec/xdg-desktop-portal-gtk grim Xwayland; do
    if ! command -v "$tool" >/dev/null; then
      log "missing $tool (run scripts/setup.sh)"
      return 3
    fi
  done
  reap_orphans
  ensure_user || { log "cannot create user $SWAY_USER"; return 1; }
  local uid gid
  uid=$(id -u "$SWAY_USER")
  gid=$(id -g "$SWAY_USER")

  dir=$(mktemp -d /tmp/lumivane-wl.XXXXXX)
  [ -n "$owner" ] && echo "$owner" >"$dir/owner"
  chmod 0711 "$dir"
  local sway_run="$dir/sway-run" run="$dir/run" home="$dir/home" logs="$dir/log"
  mkdir -m 0700 "$run" "$logs" "$dir/services"
  install -d -m 0700 -o "$uid" -g "$gid" "$sway_run" "$home"
  : >"$dir/pids"

  # Private session bus; the sway user (swaybar) may connect too. Without the
  # portal, only this session's own service folder is searched.
  local servicedirs="<standard_session_servicedirs/>"
  [ "$portal" = 1 ] || servicedirs=""
  cat >"$dir/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$dir/bus</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$dir/services</servicedir>
  $servicedirs
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
  # The document portal (a FUSE file system for sandboxed apps) is of no use
  # here and slows the portal's start: its activation fails at once.
  printf '[D-BUS Service]\nName=org.freedesktop.portal.Documents\nExec=/bin/false\n' \
    >"$dir/services/org.freedesktop.portal.Documents.service"
  local bus="unix:path=$dir/bus"
  # --nofork keeps the bus in this session's process list and its log (with
  # what activated services print) in the session folder.
  env -i PATH="$PATH" HOME="$home" XDG_RUNTIME_DIR="$run" LUMIVANE_WAYLAND_DAEMON="$dir" \
    setsid dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile >"$logs/dbus.log" 2>&1 </dev/null &
  echo $! >>"$dir/pids"

  # Environment shared by the daemons started here; the marker variable
  # identifies them and everything they spawn for stop_session.
  local -a common=(env -i PATH="$PATH" LANG=C.UTF-8 LUMIVANE_WAYLAND_DAEMON="$dir"
    DBUS_SESSION_BUS_ADDRESS="$bus" XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=sway
    NO_AT_BRIDGE=1 GTK_A11Y=none)

  # PipeWire must be up before the first portal call, or the wlr backend exits.
  if [ "$portal" = 1 ]; then
    "${common[@]}" HOME="$home" XDG_RUNTIME_DIR="$run" setsid pipewire >"$logs/pipewire.log" 2>&1 &
    echo $! >>"$dir/pids"
  fi

  cat >"$dir/sway.config" <<EOF
output HEADLESS-1 mode 1920x1080 position 0 0 scale 1 bg $BG1 solid_color
output HEADLESS-2 mode 2560x1440 position 1920 0 scale 2 bg $BG2 solid_color
xwayland enable
default_border none
default_floating_border none
focus_follows_mouse no
for_window [app_id=".*"] floating enable
for_window [class=".*"] floating enable
bar {
  mode hide
  modifier none
  tray_output *
}
exec sh -c 'env > "\$XDG_RUNTIME_DIR/sway.env.tmp" && mv "\$XDG_RUNTIME_DIR/sway.env.tmp" "\$XDG_RUNTIME_DIR/sway.env"'
EOF
  chmod 0644 "$dir/sway.config"
  # sway holds a layout change until every client has drawn for it, up to
  # txn-timeout (200 ms). Qt does not draw for a new floating window's first
  # configure, so for 200 ms after a window appears sway routes no pointer
  # buttons to it: a test clicking right away loses its click. 10 ms keeps
  # input as prompt as the test drives it.
  if ! wait_for 50 test -S "$dir/bus"; then
    log "dbus-daemon did not start: $(tail -n 20 "$logs/dbus.log")"
    return 1
  fi
  trace bus
  "${common[@]}" HOME="$home" XDG_RUNTIME_DIR="$sway_run" USER="$SWAY_USER" \
    WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 WLR_HEADLESS_OUTPUTS=2 \
    setsid setpriv --reuid="$uid" --regid="$gid" --clear-groups \
    sway -D txn-timeout=10 --config "$dir/sway.config" >"$logs/sway.log" 2>&1 &
  echo $! >>"$dir/pids"

  if ! wait_for 100 test -s "$sway_run/sway.env"; then
    log "sway did not start: $(tail -n 20 "$logs/sway.log")"
    return 1
  fi
  trace sway
  local wl_display swaysock display
  wl_display=$(sed -n 's/^WAYLAND_DISPLAY=//p' "$sway_run/sway.env")
  swaysock=$(sed -n 's/^SWAYSOCK=//p' "$sway_run/sway.env")
  display=$(sed -n 's/^DISPLAY=//p' "$sway_run/sway.env")
  case "$wl_display" in /*) ;; *) wl_display="$sway_run/$wl_display" ;; esac

  # A keyboard that stays: wtype's own device lives only while it runs, and a
  # key sent while the seat gains its first keyboard is lost before the client
  # has bound one. This one presses Shift once into no window, then sleeps.
  "${common[@]}" XDG_RUNTIME_DIR="$run" WAYLAND_DISPLAY="$wl_display" \
    setsid wtype -k Shift_L -s 2000000 >"$logs/keyboard.log" 2>&1 </dev/null &
  echo $! >>"$dir/pids"

  if [ -n "$pointer_helper" ]; then
    "${common[@]}" XDG_RUNTIME_DIR="$run" WAYLAND_DISPLAY="$wl_display" \
      setsid "$pointer_helper" >"$logs/pointer.log" 2>&1 </dev/null &
    echo $! >>"$dir/pids"
  else
    log "no --pointer helper: the seat has no pointer, cursor commands reach no client"
  fi

  if [ "$portal" = 1 ]; then
    if ! wait_for 50 test -S "$run/pipewire-0"; then
      log "pipewire did not start: $(tail -n 20 "$logs/pipewire.log")"
      return 1
    fi
    "${common[@]}" HOME="$home" XDG_RUNTIME_DIR="$run" setsid wireplumber >"$logs/wireplumber.log" 2>&1 &
    echo $! >>"$dir/pids"
  fi

  local -a client=("${common[@]}" HOME="${HOME:-/root}" XDG_RUNTIME_DIR="$run"
    WAYLAND_DISPLAY="$wl_display" SWAYSOCK="$swaysock" DISPLAY="$display")
  "${client[@]}" dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY SWAYSOCK \
    XDG_CURRENT_DESKTOP XDG_SESSION_TYPE XDG_RUNTIME_DIR LUMIVANE_WAYLAND_DAEMON NO_AT_BRIDGE GTK_A11Y >/dev/null
  trace activation environment

  # X clients run as root on Xwayland (this also starts Xwayland); runs while
  # the portal wakes.
  "${common[@]}" HOME="$home" XDG_RUNTIME_DIR="$sway_run" DISPLAY="$display" \
    setpriv --reuid="$uid" --regid="$gid" --clear-groups xhost +si:localuser:root >"$logs/xhost.log" 2>&1 &
  local xhost_pid=$!

  # Wake the portal and make sure Screenshot is there. Now and then (about one
  # start in six on a loaded machine) the frontend hangs for good right after
  # activating the wlr backend; then the portal processes of this session are
  # killed and activated afresh.
  local introspection="" attempt p
  for ((attempt = 1; attempt <= 3 && portal; attempt++)); do
    introspection=$("${client[@]}" timeout 8 gdbus introspect --session -d org.freedesktop.portal.Desktop \
      -o /org/freedesktop/portal/desktop 2>>"$logs/portal-introspect.log") || true
    grep -q "interface org.freedesktop.portal.Screenshot" <<<"$introspection" && break
    for p in $(session_pids "$dir"); do
      case "$(cat "/proc/$p/comm" 2>/dev/null)" in
        xdg-desktop-por* | xdg-permission-* | xdg-document-p*)
          echo "$p $(tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null) wchan=$(cat "/proc/$p/wchan" 2>/dev/null)" \
            >>"$logs/portal-hang.log"
          kill -KILL "$p" 2>/dev/null || true ;;
      esac
    done
    trace "portal hung, restarting it"
    sleep 0.2
  done
  trace portal
  if [ "$portal" = 1 ] && ! grep -q "interface org.freedesktop.portal.Screenshot" <<<"$introspection"; then
    log "the portal exports no org.freedesktop.portal.Screenshot: $(cat "$logs/portal-introspect.log")"
    log "bus log: $(tail -n 30 "$logs/dbus.log")"
    return 1
  fi
  if ! wait "$xhost_pid"; then
    log "xhost on Xwayland $display failed: $(cat "$logs/xhost.log")"
    return 1
  fi
  trace xhost

  # swaybar's tray registers the StatusNotifier watcher and host on this bus.
  if ! wait_for 50 sh -c "${client[*]@Q} gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
      -m org.freedesktop.DBus.NameHasOwner org.kde.StatusNotifierWatcher | grep -q true"; then
    log "no StatusNotifier watcher on the session bus (swaybar)"
    return 1
  fi
  trace tray
  if ! wait_for 50 sh -c "${client[*]@Q} swaymsg -t get_seats | grep -q virtual_keyboard"; then
    log "no virtual keyboard: $(cat "$logs/keyboard.log")"
    return 1
  fi
  if [ -n "$pointer_helper" ] && ! wait_for 50 grep -q ready "$logs/pointer.log"; then
    log "no virtual pointer: $(cat "$logs/pointer.log")"
    return 1
  fi

  if [ -n "$owner" ]; then
    # Stops the session once the owner has gone, however it ended.
    env -i PATH="$PATH" setsid sh -c 'tail --pid="$1" -f /dev/null; exec "$2" stop "$3"' \
      watchdog "$owner" "$self" "$dir" >/dev/null 2>&1 </dev/null &
    echo $! >"$dir/watchdog"
  fi

  {
    echo "LUMIVANE_WAYLAND_SESSION=$dir"
    echo "WAYLAND_DISPLAY=$wl_display"
    echo "DBUS_SESSION_BUS_ADDRESS=$bus"
    echo "SWAYSOCK=$swaysock"
    echo "DISPLAY=$display"
    echo "XDG_RUNTIME_DIR=$run"
    echo "XDG_SESSION_TYPE=wayland"
    echo "XDG_CURRENT_DESKTOP=sway"
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
    echo "usage: $0 start [--owner PID] | stop DIR" >&2
    exit 2
    ;;
esac
