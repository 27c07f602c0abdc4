#!/usr/bin/env bash
# The Windows build: installs the cross compilers, wine and NSIS, builds the
# libraries from Debian's sources (once), cross-builds the `windows` preset
# and runs the core and CLI tests through wine, among them the installer's:
# made, installed, run and uninstalled under wine.
#   scripts/test-windows.sh            everything (as root)
#   scripts/test-windows.sh --no-apt   the packages are installed already
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/windows-deps.sh "$@"

# A wine prefix of the build's own, started once and kept running while the
# tests run: wine's services inherit the pipes of the program that starts
# them first, and ctest would wait for them for ever.
export WINEPREFIX=$PWD/build/wine WINEDEBUG=-all WINEARCH=win64  # as the windows presets say
mkdir -p "$WINEPREFIX"
wineserver --persistent
trap 'wineserver --kill || true' EXIT
wineboot --init >/dev/null 2>&1 </dev/null

cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)"
ctest --preset windows -j "$(nproc)"
