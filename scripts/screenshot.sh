#!/usr/bin/env bash
# Writes docs/moorscan.png: the main window under Xvfb with the sample dat
# loaded and the sample rom folder scanned; and docs/moorscan-other.png: the
# tab of the folder's other files after a scan of the sample folder with a
# second copy of a release and a damaged archive added.
#   scripts/screenshot.sh [BUILD_FOLDER]    (default: build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
cmake --build "$build" --target moorscan-screenshot >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 scripts/make-sample-roms.py "$work/roms" >/dev/null
xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb \
  "$build/shell/moorscan-screenshot" examples/sample-ds.qdat "$work/roms" docs/moorscan.png 760 440
cp "$work/roms/Lanternfish Harbour.nds" "$work/roms/Europe/Lanternfish Harbour (copy).nds"
printf 'half a download' > "$work/roms/Unfinished.zip"
xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb \
  "$build/shell/moorscan-screenshot" examples/sample-ds.qdat "$work/roms" docs/moorscan-other.png 760 300 other
echo "docs/moorscan.png and docs/moorscan-other.png written"
