#!/usr/bin/env bash
# Installs the Debian packages Lumivane needs to build, test and run. Idempotent:
# only packages that are missing are installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-websockets-dev libqt6svg6 qt6-svg-dev
  qt6-qpa-plugins libgl-dev
  libxcb1-dev libxcb-shm0-dev libxcb-randr0-dev libxcb-xtest0-dev
  libxcb-keysyms1-dev libxcb-xinerama0-dev libxcb-ewmh-dev libxcb-icccm4-dev
  libxcb-xfixes0-dev libxcb-cursor-dev libxcb-xkb-dev libxkbcommon-dev libxkbcommon-x11-dev
  libdeflate-dev libspng-dev libpng-dev libjpeg62-turbo-dev
  pngcrush optipng zlib1g-dev
  nlohmann-json3-dev libglib2.0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-xserver-utils xdotool xclip imagemagick
  fonts-noto-cjk fontconfig
  chromium openbox
  sway xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk grim wl-clipboard wtype pipewire wireplumber qt6-wayland xwayland dbus-daemon dbus-bin libglib2.0-bin libwayland-dev
  libwayland-bin weston  # wayland-scanner for the capture protocols; a compositor without them, for the tests
  dbus-daemon desktop-file-utils appstream shared-mime-info libglib2.0-bin man-db dpkg-dev file lintian
  clang libclang-rt-14-dev clang-format clang-tidy  # sanitizer build, format check, scripts/tidy.sh
  lld  # the linker of the builds
  qt6-translations-l10n
  qt6-image-formats-plugins  # WebP, TIFF and more for 'lumivane edit IMAGE'
  qt6-xdgdesktopportal-platformtheme  # the portal file chooser, for the file dialog tests
  kwin-wayland libkf5service-bin  # the headless KWin session of the KWin capture tests (kbuildsycoca5)
  gnome-shell mutter xdg-desktop-portal-gnome dconf-service gnome-settings-daemon-common fuse3  # the GNOME test desktop
  gjs  # runs GNOME Shell's notification service (org.freedesktop.Notifications), which gnome-shell does not pull in
  libtesseract-dev tesseract-ocr-jpn tesseract-ocr-jpn-vert tesseract-ocr-eng libzxing-dev  # text recognition and codes
  tesseract-ocr  # the engine's command line, compared against in bench_ocr
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
