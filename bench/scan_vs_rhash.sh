#!/usr/bin/env bash
# Times `vexmoor audit` with one worker and with two, the same with one
# worker and `--no-trimmed`, and `rhash --crc32 -r`, over the same
# page-cached collection of about 1 GiB (written by bench_scan
# into VEXMOOR_BENCH_DIR, default /tmp, and kept), in one run; prints the
# speeds, the ratios, and the peak memory of the scan beyond what loading
# the catalogue takes. The checksum store is off in every run, so each run
# reads every file as a first scan does.
#   bench/scan_vs_rhash.sh [BUILD_FOLDER]     (default: build/release)
# RUNS sets how many timed runs of each (best kept; default 5).
set -euo pipefail

build=${1:-$(dirname "$0")/../build/release}
vexmoor=$build/cli/vexmoor
bench_scan=$build/bench/bench_scan
runs=${RUNS:-5}
. "$(dirname "$0")/common.sh"
require_tools "$vexmoor" "$bench_scan" rhash /usr/bin/time

make_work_folder
dat=$work/bench.qdat
root=$("$bench_scan" --write-dat "$dat")
mkdir "$work/empty"
bytes=$(du -sb --exclude=.complete-1 "$root" | cut -f1)

# Into the page cache.
find "$root" -type f -exec cat {} + >/dev/null

# Wall time of one run in milliseconds, process start included.
wall_ms() {
  local TIMEFORMAT='%3R' wall
  wall=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk -v r="$wall" 'BEGIN { printf "%d", r * 1000 }'
}

# The commands take turns, $runs rounds, best kept for each: on a shared
# machine the speed drifts over seconds, and turns spread the drift over all
# of them instead of favouring whichever ran in a quiet moment.
audit1=0 audit2=0 untrimmed=0 rhash=0
keep_best() {  # VARIABLE MS
  if [ "${!1}" -eq 0 ] || [ "$2" -lt "${!1}" ]; then printf -v "$1" '%s' "$2"; fi
}

# Peak resident memory in KiB.
max_rss() {
  /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -n 1
}

# Both workers settings must find the same.
one=$("$vexmoor" audit --no-cache --no-checksum-cache --json --workers 1 "$dat" "$root" | md5sum)
two=$("$vexmoor" audit --no-cache --no-checksum-cache --json --workers 2 "$dat" "$root" | md5sum)
if [ "$one" != "$two" ]; then
  echo "scan_vs_rhash.sh: one and two workers report differently" >&2
  exit 1
fi

for ((i = 0; i < runs; i++)); do
  keep_best audit1 "$(wall_ms "$vexmoor" audit --no-cache --no-checksum-cache --workers 1 "$dat" "$root")"
  keep_best audit2 "$(wall_ms "$vexmoor" audit --no-cache --no-checksum-cache --workers 2 "$dat" "$root")"
  keep_best untrimmed "$(wall_ms "$vexmoor" audit --no-cache --no-checksum-cache --no-trimmed --workers 1 "$dat" "$root")"
  keep_best rhash "$(wall_ms rhash --crc32 -r "$root")"
done
rss_base=$(max_rss "$vexmoor" audit --no-cache --no-checksum-cache --workers 2 "$dat" "$work/empty")
rss1=$(max_rss "$vexmoor" audit --no-cache --no-checksum-cache --workers 1 "$dat" "$root")
rss2=$(max_rss "$vexmoor" audit --no-cache --no-checksum-cache --workers 2 "$dat" "$root")

awk -v bytes="$bytes" -v runs="$runs" -v a1="$audit1" -v a2="$audit2" -v rh="$rhash" -v u1="$untrimmed" \
    -v base="$rss_base" -v r1="$rss1" -v r2="$rss2" '
  function speed(ms) { return ms > 0 ? bytes / (ms * 1e6) : 0 }
  BEGIN {
    printf "page-cached collection of %.0f MiB, best of %d runs each, taking turns (process start included)\n",
           bytes / 1048576, runs
    printf "                              wall ms   GB/s of collection\n"
    printf "  vexmoor audit, 1 worker   %8d   %6.2f\n", a1, speed(a1)
    printf "  vexmoor audit, 2 workers  %8d   %6.2f\n", a2, speed(a2)
    printf "  ... 1 worker, --no-trimmed %7d   %6.2f\n", u1, speed(u1)
    printf "  rhash --crc32 -r          %8d   %6.2f\n", rh, speed(rh)
    printf "audit (1 worker) / rhash: %.2f x (target 4)\n", rh / a1
    printf "audit (2 workers) / rhash: %.2f x\n", rh / a2
    printf "2 workers / 1 worker: %.2f x (target 1.6)\n", a1 / a2
    printf "trimmed search on / off (1 worker): %.3f x the time (target: no measurable difference)\n", a1 / u1
    printf "peak memory: %.1f MiB with the catalogue only (empty folder); scan adds %.1f MiB with 1 worker, %.1f MiB with 2 (target < 64)\n",
           base / 1024, (r1 > base ? r1 - base : 0) / 1024, (r2 > base ? r2 - base : 0) / 1024
  }'
