#!/usr/bin/env bash
# Vexmoor at scale: each scenario's wall time, peak resident memory and what
# came out, one line each. The inputs are written once by bench/scale_gen.py
# into VEXMOOR_BENCH_DIR/vexmoor-scale-bench (default /tmp, kept):
#   - a dat of 100,000 entries in each format the loaders read (`vexmoor info`)
#   - a folder of 100,000 small dumps (`vexmoor audit`, and the main window's
#     scan offscreen with the longest gap between two ticks of a 10 ms timer)
#   - a folder nested 300 levels deep, past the system's path limit
#   - dump names that are not valid UTF-8, and names of 255 bytes
#   (the last two also through the window's scan)
# then runs bench/reader_scale.sh for the archives (a zip of 70,000 members,
# a rar set of 100 volumes, 7z archives of 20,000 and 50,000 members) and
# scans the folder that holds them.
#   bench/scale.sh [BUILD_FOLDER]     (default: build/release)
# ARCHIVES=0 leaves the archives out.
set -uo pipefail

here=$(dirname "$0")
build=${1:-$here/../build/release}
vexmoor=$build/cli/vexmoor
bench_gui=$build/bench/bench_gui
. "$(dirname "$0")/common.sh"
require_tools "$vexmoor" /usr/bin/time python3

dir=${VEXMOOR_BENCH_DIR:-/tmp}/vexmoor-scale-bench
python3 "$here/scale_gen.py" dats "$dir" 100000
python3 "$here/scale_gen.py" files "$dir" 100000
python3 "$here/scale_gen.py" deep "$dir" 300
python3 "$here/scale_gen.py" names "$dir"

measure=$(mktemp)
out=$(mktemp)
trap 'rm -f "$measure" "$out"' EXIT

# run NAME SIZE COMMAND...: one line: the exit status, time, peak RSS, and
# the command's last two output lines (joined) as its result.
run() {
  local name=$1 size=$2
  shift 2
  /usr/bin/time -o "$measure" -f '%e %M' "$@" >"$out" 2>&1
  local status=$?
  local seconds peak
  read -r seconds peak < <(tail -n 1 "$measure")
  local result
  result=$(grep -av '^\s*$' "$out" | tail -n 2 | tr '\n\t' '  ' | cut -c1-70)
  printf '%-22s %-16s %4s %8s %10s  %s\n' "$name" "$size" "$status" "$seconds" "$peak" "$result"
}

printf '%-22s %-16s %4s %8s %10s  %s\n' scenario size exit seconds "peak KiB" result
for dat in native.qdat romcenter.dat logiqx.xml clrmamepro.dat offlinelist.xml; do
  run "info $dat" "100,000 entries" "$vexmoor" info "$dir/$dat"
done
run "audit folder" "100,000 files" "$vexmoor" audit --no-cache "$dir/files.qdat" "$dir/files"
run "audit deep folder" "300 levels" "$vexmoor" audit --no-cache "$dir/deep.qdat" "$dir/deep"
run "audit odd names" "non-UTF-8, 255 B" "$vexmoor" audit --no-cache "$dir/names.qdat" "$dir/names"

if [ -x "$bench_gui" ]; then
  echo
  echo "main window, offscreen, scanning the 100,000-file folder:"
  # With the checksum store, as the audit above has it.
  /usr/bin/time -o "$measure" -f '%e %M' "$bench_gui" scan "$dir/files.qdat" "$dir/files" 2 store 2>/dev/null
  read -r seconds peak < <(tail -n 1 "$measure")
  echo "  wall ${seconds} s, peak RSS ${peak} KiB (target: longest gap under 100 ms)"
  for folder in deep names; do
    echo "main window, offscreen, scanning the $folder folder:"
    "$bench_gui" scan "$dir/$folder.qdat" "$dir/$folder" 2 2>/dev/null || echo "  failed: exit $?"
  done
else
  echo "scale.sh: $bench_gui not built, the window's scan is left out" >&2
fi

if [ "${ARCHIVES:-1}" != 0 ]; then
  echo
  "$here/reader_scale.sh" "$build"
  # The same archives through the scan (their members match nothing here).
  archives=${VEXMOOR_BENCH_DIR:-/tmp}/vexmoor-cmpread-bench
  echo
  run "audit archives" "zip, rar, 7z" "$vexmoor" audit --no-cache "$dir/files.qdat" "$archives"
  if [ -x "$bench_gui" ]; then
    echo "main window, offscreen, scanning the archives:"
    "$bench_gui" scan "$dir/files.qdat" "$archives" 2 2>/dev/null || echo "  failed: exit $?"
  fi
fi
