#!/usr/bin/env bash
# The archive reader at scale: lets bench_cmpread build (and time) a zip of
# 70,000 members, a rar set of 100 volumes and 7z archives of 20,000 and
# 50,000 members in VEXMOOR_BENCH_DIR (default /tmp, kept), then lists each
# with `vexmoor ls` and prints its entries, time and peak memory.
#   bench/reader_scale.sh [BUILD_FOLDER]     (default: build/release)
set -euo pipefail

build=${1:-$(dirname "$0")/../build/release}
vexmoor=$build/cli/vexmoor
bench_cmpread=$build/bench/bench_cmpread
. "$(dirname "$0")/common.sh"
require_tools "$vexmoor" "$bench_cmpread" /usr/bin/time 7z

"$bench_cmpread" --benchmark_filter='70000|100Volumes|SevenZipOf' --benchmark_min_time=0.01
dir=${VEXMOOR_BENCH_DIR:-/tmp}/vexmoor-cmpread-bench
printf '\n%-16s %9s %9s %14s\n' archive entries seconds "peak RSS KiB"
measure=$(mktemp)
trap 'rm -f "$measure"' EXIT
for archive in scale70000.zip scale100.rar large.7z scale50000.7z; do
  entries=$(/usr/bin/time -o "$measure" -f '%e %M' "$vexmoor" ls "$dir/$archive" | wc -l)
  read -r seconds peak <"$measure"
  printf '%-16s %9s %9s %14s\n' "$archive" "$entries" "$seconds" "$peak"
done
