#!/usr/bin/env bash
# Builds the Debian packages (lumivane and lumivane-ocr), checks them with lintian,
# installs them with apt-get, runs the installed executable and removes the packages again.
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
  if [ "$installed" = 1 ]; then apt-get purge -y -qq -o DPkg::Lock::Timeout=300 lumivane lumivane-ocr >/dev/null || true; fi
  rm -rf "$out"
}
trap cleanup EXIT

cpack -G DEB -B "$out" --config "$build/CPackConfig.cmake" >/dev/null
deb="$(ls "$out"/lumivane_*.deb)"
ocr_deb="$(ls "$out"/lumivane-ocr_*.deb)"
# Library dependencies come from dpkg-shlibdeps.
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for lib in libqt6widgets6 libqt6dbus6 libxcb1 libc6; do
  grep -q "$lib" <<<"$depends" || { echo "missing dependency $lib"; exit 1; }
done
grep -q "fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic" <<<"$depends" || { echo "missing a Japanese font"; exit 1; }
test "$(dpkg-deb -f "$deb" Section)" = graphics
# The engine library is the text recognition package's dependency, not the program's.
if grep -q libtesseract <<<"$depends"; then echo "the program depends on the engine library"; exit 1; fi
grep -q "lumivane-ocr" <<<"$(dpkg-deb -f "$deb" Recommends)" || { echo "lumivane-ocr is not recommended"; exit 1; }
ocr_depends="$(dpkg-deb -f "$ocr_deb" Depends)"
echo "lumivane-ocr Depends: $ocr_depends"
grep -q "libtesseract5" <<<"$ocr_depends" || { echo "lumivane-ocr misses libtesseract5"; exit 1; }
grep -q "lumivane (= $(dpkg-deb -f "$deb" Version))" <<<"$ocr_depends" || { echo "lumivane-ocr misses lumivane"; exit 1; }
grep -qE "/usr/lib/(.*/)?lumivane/liblumivane_ocr_engine.so" <<<"$(dpkg-deb -c "$ocr_deb")" || { echo "no engine module"; exit 1; }
if grep -q liblumivane_ocr_engine <<<"$(dpkg-deb -c "$deb")"; then echo "the engine module is in lumivane"; exit 1; fi

status=0
report="$(lintian --fail-on error,warning "$deb" "$ocr_deb" 2>&1)" || status=$?
grep -v "running with root privileges" <<<"$report" || true
test "$status" = 0 || { echo "lintian reports problems"; exit 1; }

installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 "$deb" >/dev/null
version="$(/usr/bin/lumivane --version 2>/dev/null)"
test "$version" = "lumivane $(dpkg-deb -f "$deb" Version)"
grep -q "lumivane capture full|area|window|last|browser" <<<"$(/usr/bin/lumivane --help 2>/dev/null)"
desktop-file-validate --no-hints /usr/share/applications/io.github.lumivane.Lumivane.desktop
# Installed without recommendations, a font for the Japanese texts is still there.
test -n "$(fc-list :lang=ja family)" || { echo "no Japanese font installed"; exit 1; }
# Without lumivane-ocr, text recognition names the package to install.
image=/usr/share/icons/hicolor/256x256/apps/io.github.lumivane.Lumivane.png
status=0
message="$(/usr/bin/lumivane ocr "$image" 2>&1 >/dev/null)" || status=$?
test "$status" = 1 || { echo "lumivane ocr without the engine: status $status"; exit 1; }
grep -q "sudo apt install lumivane-ocr" <<<"$message" || { echo "lumivane ocr without the engine: $message"; exit 1; }
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 "$ocr_deb" >/dev/null
/usr/bin/lumivane ocr "$image" >/dev/null || { echo "lumivane ocr with the engine failed"; exit 1; }
echo "packages OK: $(basename "$deb") $(basename "$ocr_deb")"
