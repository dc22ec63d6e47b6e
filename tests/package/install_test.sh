#!/usr/bin/env bash
# Installs the build into a staging folder and checks the desktop integration
# with the desktop's own tools: desktop-file-validate, appstreamcli, man,
# update-mime-database and GIO's content-type detection.
set -euo pipefail
build="$1"
id=io.github.lumivane.Lumivane
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage/usr" >/dev/null
share="$stage/usr/share"

test -x "$stage/usr/bin/lumivane"
desktop-file-validate --no-hints "$share/applications/$id.desktop"
grep -qx 'Categories=Graphics;Utility;' "$share/applications/$id.desktop"
grep -qx 'MimeType=application/x-lumivane-project;image/png;image/jpeg;image/webp;image/bmp;image/gif;image/tiff;' "$share/applications/$id.desktop"
appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml"
appstreamcli validate-tree --no-net "$stage" 

for size in 16 24 32 48 64 128 256; do
  png="$share/icons/hicolor/${size}x${size}/apps/$id.png"
  file "$png" | grep -q "PNG image data, $size x $size"
done
xmllint --noout "$share/icons/hicolor/scalable/apps/$id.svg" "$share/icons/hicolor/symbolic/apps/$id-symbolic.svg"

# The manual page formats without a warning.
warnings="$(MANWIDTH=80 man --warnings -l "$share/man/man1/lumivane.1.gz" 2>&1 >/dev/null)"
test -z "$warnings" || { echo "$warnings"; exit 1; }

# A project file is recognised by its name and, without one, by its content.
update-mime-database "$share/mime" >/dev/null 2>&1
convert -size 16x12 xc:red "$stage/red.png"
"$stage/usr/bin/lumivane" project new "$stage/red.png" -o "$stage/shot.lumivane" 2>/dev/null
cp "$stage/shot.lumivane" "$stage/unnamed"
echo '{"name": "not a project"}' > "$stage/other"
type_of() { XDG_DATA_DIRS="$share:/usr/share" gio info -a standard::content-type "$1" | sed -n 's/.*standard::content-type: //p'; }
test "$(type_of "$stage/shot.lumivane")" = application/x-lumivane-project
test "$(type_of "$stage/unnamed")" = application/x-lumivane-project
test "$(type_of "$stage/other")" != application/x-lumivane-project
# The installed program finds its text recognition module (an image without text reads as nothing).
test -z "$("$stage/usr/bin/lumivane" ocr "$stage/red.png")"
echo "install tree OK"
