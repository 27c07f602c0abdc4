#!/bin/sh
# The Windows installer under wine: cpack makes vexmoor-VERSION-setup.exe,
# which installs silently into Program Files\Vexmoor with an uninstaller;
# the installed vexmoor.exe runs and loads the bundled sample dat; the
# uninstaller removes the folder again. Uses the wine prefix in WINEPREFIX.
set -eu
build=$(cd "$1" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
(cd "$build" && cpack -G NSIS >/dev/null)
setup=$build/vexmoor-$version-setup.exe
[ -f "$setup" ] || { echo "no installer: $setup"; exit 1; }

wine_c=$(winepath -u 'C:\' 2>/dev/null)
installed="$wine_c/Program Files/Vexmoor"
rm -rf "$installed"
wine "$setup" /S
status=0
for file in vexmoor.exe Uninstall.exe sample-ds.qdat README.md; do
  [ -f "$installed/$file" ] || { echo "not installed: $file"; status=1; }
done
[ $status -eq 0 ] || exit 1

# The installed program runs: its version, and the bundled dat loads.
printed=$(wine "C:\\Program Files\\Vexmoor\\vexmoor.exe" --version)
[ "$printed" = "$version" ] || [ "${printed#"$version"}" != "$printed" ] ||
  { echo "vexmoor.exe --version printed: $printed"; status=1; }
wine "C:\\Program Files\\Vexmoor\\vexmoor.exe" info "C:\\Program Files\\Vexmoor\\sample-ds.qdat" >"$build/installed-info.txt" ||
  { echo "vexmoor.exe info failed"; status=1; }
grep -q . "$build/installed-info.txt" || { echo "vexmoor.exe info printed nothing"; status=1; }

# The uninstaller copies itself away and removes the folder in the
# background: wait for it (at most 60 s).
wine "C:\\Program Files\\Vexmoor\\Uninstall.exe" /S
for _ in $(seq 1 120); do
  [ -e "$installed/vexmoor.exe" ] || [ -e "$installed/Uninstall.exe" ] || break
  sleep 0.5
done
for file in vexmoor.exe Uninstall.exe sample-ds.qdat; do
  [ ! -e "$installed/$file" ] || { echo "left after uninstalling: $file"; status=1; }
done
[ $status -eq 0 ] && echo "installer: installed, ran and uninstalled vexmoor $version"
exit $status
