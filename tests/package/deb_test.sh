#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian, installs it with apt-get,
# runs the installed executable and removes the package again.
# Needs root (as in CI); skipped (77) otherwise or when lumivane is already installed.
set -euo pipefail
build="$1"
if [ "$(id -u)" -ne 0 ]; then echo "SKIP: installing the package needs root"; exit 77; fi
if dpkg-query -W -f='${Status}' lumivane 2>/dev/null | grep -q "install ok installed"; then
  echo "SKIP: a lumivane package is installed on this machine already"; exit 77
fi
out="$(mktemp -d)"
installed=0
cleanup() {
  if [ "$installed" = 1 ]; then apt-get purge -y -qq -o DPkg::Lock::Timeout=300 lumivane >/dev/null || true; fi
  rm -rf "$out"
}
trap cleanup EXIT

cpack -G DEB -B "$out" --config "$build/CPackConfig.cmake" >/dev/null
deb="$(ls "$out"/lumivane_*.deb)"
# Library dependencies come from dpkg-shlibdeps.
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for lib in libqt6widgets6 libqt6dbus6 libxcb1 libc6; do
  grep -q "$lib" <<<"$depends" || { echo "missing dependency $lib"; exit 1; }
done
grep -q "fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic" <<<"$depends" || { echo "missing a Japanese font"; exit 1; }
test "$(dpkg-deb -f "$deb" Section)" = graphics

status=0
report="$(lintian --fail-on error,warning "$deb" 2>&1)" || status=$?
grep -v "running with root privileges" <<<"$report" || true
test "$status" = 0 || { echo "lintian reports problems"; exit 1; }

installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 "$deb" >/dev/null
version="$(/usr/bin/lumivane --version 2>/dev/null)"
test "$version" = "lumivane $(dpkg-deb -f "$deb" Version)"
/usr/bin/lumivane --help 2>/dev/null | grep -q "lumivane capture full|area|browser"
desktop-file-validate --no-hints /usr/share/applications/io.github.lumivane.Lumivane.desktop
# Installed without recommendations, a font for the Japanese texts is still there.
test -n "$(fc-list :lang=ja family)" || { echo "no Japanese font installed"; exit 1; }
echo "package OK: $(basename "$deb")"
