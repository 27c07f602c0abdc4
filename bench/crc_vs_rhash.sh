#!/usr/bin/env bash
# Times `vexmoor crc` and `rhash --crc32` on the same page-cached 1 GiB file
# in one run, checks they agree, and prints both speeds and their ratio.
#   bench/crc_vs_rhash.sh [VEXMOOR_BINARY]
# VEXMOOR_BENCH_DIR picks the folder for the file (default: /tmp);
# RUNS sets how many timed runs of each (best kept; default 5).
set -euo pipefail

vexmoor=${1:-$(dirname "$0")/../build/release/cli/vexmoor}
folder=${VEXMOOR_BENCH_DIR:-/tmp}
runs=${RUNS:-5}
size=$((1 << 30))
. "$(dirname "$0")/common.sh"
require_tools "$vexmoor" rhash

# A fresh file each run, written through the page cache so all of it is
# there, and removed afterwards so no gigabyte is left behind.
file=$(mktemp "$folder/vexmoor-crc-vs-rhash.XXXXXX")
trap 'rm -f "$file"' EXIT
head -c "$size" /dev/urandom >"$file"

# Wall and processor time (user + system) of one run of the command,
# process start included, as "WALL CPU" in milliseconds. On a busy machine
# the wall time includes waiting for a processor; the processor time does
# not.
times_ms() {
  local TIMEFORMAT='%3R %3U %3S' line wall user system
  line=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  read -r wall user system <<<"$line"
  awk -v r="$wall" -v u="$user" -v s="$system" 'BEGIN { printf "%d %d", r * 1000, (u + s) * 1000 }'
}

keep_best() {  # VARIABLE MS
  if [ "${!1}" -eq 0 ] || [ "$2" -lt "${!1}" ]; then printf -v "$1" '%s' "$2"; fi
}

ours=$("$vexmoor" crc "$file" | cut -c1-8)
theirs=$(rhash --crc32 --printf='%C' "$file")
if [ "$ours" != "$theirs" ]; then
  echo "crc_vs_rhash.sh: the CRCs differ: vexmoor $ours, rhash $theirs" >&2
  exit 1
fi

# The two take turns, best kept for each, so drift in the machine's speed
# falls on both alike.
vexmoor_wall=0 vexmoor_cpu=0 rhash_wall=0 rhash_cpu=0
for ((i = 0; i < runs; i++)); do
  read -r wall cpu <<<"$(times_ms "$vexmoor" crc "$file")"
  keep_best vexmoor_wall "$wall"
  keep_best vexmoor_cpu "$cpu"
  read -r wall cpu <<<"$(times_ms rhash --crc32 "$file")"
  keep_best rhash_wall "$wall"
  keep_best rhash_cpu "$cpu"
done

awk -v size="$size" -v runs="$runs" -v crc="$ours" \
    -v aw="$vexmoor_wall" -v ac="$vexmoor_cpu" -v bw="$rhash_wall" -v bc="$rhash_cpu" '
  function speed(ms) { return ms > 0 ? size / (ms * 1e6) : 0 }
  BEGIN {
    printf "1 GiB page-cached file, CRC %s, best of %d runs each, taking turns\n", crc, runs
    printf "                   wall ms    GB/s    cpu ms    GB/s\n"
    printf "  vexmoor crc     %8d  %6.2f  %8d  %6.2f\n", aw, speed(aw), ac, speed(ac)
    printf "  rhash --crc32   %8d  %6.2f  %8d  %6.2f\n", bw, speed(bw), bc, speed(bc)
    printf "  vexmoor / rhash           %6.2f x          %6.2f x\n", bw / aw, (ac > 0 ? bc / ac : 0)
  }'
