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
file=$folder/vexmoor-crc-vs-rhash-1GiB
size=$((1 << 30))

for tool in "$vexmoor" rhash; do
  if ! command -v "$tool" >/dev/null; then
    echo "crc_vs_rhash.sh: $tool not found" >&2
    exit 1
  fi
done

if [ ! -f "$file" ] || [ "$(stat -c %s "$file")" -ne "$size" ]; then
  echo "making $file ..."
  head -c "$size" /dev/urandom >"$file.tmp"
  mv "$file.tmp" "$file"
fi
cat "$file" >/dev/null  # into the page cache

# Best wall time of $runs runs of the command, process start included, in
# nanoseconds. The clock is the shell's own: starting a `date` process inside
# the timed span would add milliseconds to every run.
best_time() {
  local best=0 start end
  for ((i = 0; i < runs; i++)); do
    start=${EPOCHREALTIME/[.,]/}
    "$@" >/dev/null
    end=${EPOCHREALTIME/[.,]/}
    if [ "$best" -eq 0 ] || [ $((end - start)) -lt "$best" ]; then best=$((end - start)); fi
  done
  echo $((best * 1000))
}

ours=$("$vexmoor" crc "$file" | cut -c1-8)
theirs=$(rhash --crc32 --printf='%C' "$file")
if [ "$ours" != "$theirs" ]; then
  echo "crc_vs_rhash.sh: the CRCs differ: vexmoor $ours, rhash $theirs" >&2
  exit 1
fi

vexmoor_ns=$(best_time "$vexmoor" crc "$file")
rhash_ns=$(best_time rhash --crc32 "$file")

awk -v size="$size" -v a="$vexmoor_ns" -v b="$rhash_ns" -v crc="$ours" 'BEGIN {
  printf "1 GiB page-cached file, CRC %s, best of '"$runs"' runs each\n", crc
  printf "  vexmoor crc     %7.1f ms  %6.2f GB/s\n", a / 1e6, size / a
  printf "  rhash --crc32   %7.1f ms  %6.2f GB/s\n", b / 1e6, size / b
  printf "  vexmoor / rhash %6.2f x\n", b / a
}'
