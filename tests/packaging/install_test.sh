#!/bin/sh
# Installs the build into a temporary prefix and checks that every program
# and desktop file lands in its XDG place, and that the desktop entry names
# an installed program and icon.
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
status=0
for file in bin/vexmoor bin/moorscan bin/moorpurge \
    share/applications/moorscan.desktop \
    share/icons/hicolor/scalable/apps/moorscan.svg \
    share/icons/hicolor/scalable/mimetypes/application-x-quen-dat.svg \
    share/icons/hicolor/scalable/mimetypes/application-x-quen-cache.svg \
    share/mime/packages/vexmoor.xml; do
  [ -f "$prefix/$file" ] || { echo "missing: $file"; status=1; }
done
for program in vexmoor moorscan moorpurge; do
  [ -x "$prefix/bin/$program" ] || { echo "not executable: bin/$program"; status=1; }
done
desktop=$prefix/share/applications/moorscan.desktop
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
[ -x "$prefix/bin/$exec_name" ] || { echo "Exec names no installed program: $exec_name"; status=1; }
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon_name.svg" ] ||
  { echo "Icon names no installed icon: $icon_name"; status=1; }
# The program opens no file from the desktop, so it claims no file type.
if grep -q '^MimeType=' "$desktop"; then echo "the desktop entry claims file types"; status=1; fi
if command -v xmllint >/dev/null; then
  xmllint --noout "$prefix/share/mime/packages/vexmoor.xml" || status=1
fi
exit $status
