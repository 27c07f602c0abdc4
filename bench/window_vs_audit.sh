#!/usr/bin/env bash
# The window's scan against `vexmoor audit` on the same page-cached 1 GiB
# collection that bench/scan_vs_rhash.sh uses (written by bench_scan into
# VEXMOOR_BENCH_DIR, default /tmp, and kept), with the same number of
# workers, taking turns. The window's time runs from the folder choice to
# " Scanning complete." (offscreen, no process start); the audit's is its
# wall time. Both have the checksum store off, so every run reads every
# file. Also prints the longest gap between two ticks of a 10 ms timer
# during the window's scans.
#   bench/window_vs_audit.sh [BUILD_FOLDER]    (default: build/release)
# RUNS sets the rounds (best kept; default 3), WORKERS the workers (default 2).
set -euo pipefail

build=${1:-$(dirname "$0")/../build/release}
vexmoor=$build/cli/vexmoor
bench_scan=$build/bench/bench_scan
bench_gui=$build/bench/bench_gui
runs=${RUNS:-3}
workers=${WORKERS:-2}
. "$(dirname "$0")/common.sh"
require_tools "$vexmoor" "$bench_scan" "$bench_gui"

make_work_folder
dat=$work/bench.qdat
root=$("$bench_scan" --write-dat "$dat")
find "$root" -type f -exec cat {} + >/dev/null

audit_best=0 window_best=0 gap_worst=0
for ((i = 0; i < runs; i++)); do
  start=$(date +%s%N)
  "$vexmoor" audit --no-cache --no-checksum-cache --workers "$workers" "$dat" "$root" >/dev/null
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  if [ "$audit_best" -eq 0 ] || [ "$ms" -lt "$audit_best" ]; then audit_best=$ms; fi
  line=$("$bench_gui" scan "$dat" "$root" "$workers" 2>/dev/null)
  echo "  $line"
  ms=$(sed -E 's/^window scan ([0-9]+) ms.*/\1/' <<<"$line")
  gap=$(sed -E 's/.*ticks ([0-9.]+) ms.*/\1/' <<<"$line")
  if [ "$window_best" -eq 0 ] || [ "$ms" -lt "$window_best" ]; then window_best=$ms; fi
  gap_worst=$(awk -v a="$gap_worst" -v b="$gap" 'BEGIN { print (b > a ? b : a) }')
done
awk -v a="$audit_best" -v w="$window_best" -v g="$gap_worst" -v n="$runs" -v k="$workers" 'BEGIN {
  printf "best of %d rounds, %d workers: vexmoor audit %d ms, window scan %d ms: %.2f x the audit (target at most 1.1)\n",
         n, k, a, w, w / a
  printf "longest gap between handled events during the window scans: %.1f ms (target under 100)\n", g
}'
