#!/usr/bin/env bash
# The checksum store's figures, in one run:
#  1. The 1 GiB collection of scan_vs_rhash.sh with its files dropped from
#     the page cache (posix_fadvise DONTNEED, bench_drop_cache) before every
#     timed run: a full scan without the store, `rhash --crc32 -r`, and a
#     first scan that fills the store, taking turns; then the second scan,
#     which recalls every loose dump, and a page-cached full scan.
#  2. SMALL (default 100,000) small loose dumps, page-cached: a full scan
#     without the store, a first scan that fills it, and a re-scan.
# A store row is written only for a file changed at least two seconds before
# it was looked at, so the script lets the files age that long first.
#   bench/checksum_store.sh [BUILD_FOLDER]     (default: build/release)
# RUNS sets the rounds (best kept; default 3).
set -euo pipefail

build=${1:-$(dirname "$0")/../build/release}
vexmoor=$build/cli/vexmoor
bench_scan=$build/bench/bench_scan
drop=$build/bench/bench_drop_cache
runs=${RUNS:-3}
small=${SMALL:-100000}
. "$(dirname "$0")/common.sh"
require_tools "$vexmoor" "$bench_scan" "$drop" rhash python3

make_work_folder
export XDG_CACHE_HOME=$work/cache
store=$XDG_CACHE_HOME/vexmoor/checksums.sqlite3

wall_ms() {
  local TIMEFORMAT='%3R' wall
  wall=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk -v r="$wall" 'BEGIN { printf "%d", r * 1000 }'
}
keep_best() {  # VARIABLE MS
  if [ "${!1}" -eq 0 ] || [ "$2" -lt "${!1}" ]; then printf -v "$1" '%s' "$2"; fi
}
same_results() {  # DAT FOLDER: the store changes nothing in what is reported
  local plain with
  plain=$("$vexmoor" audit --no-cache --no-checksum-cache --json "$1" "$2" | md5sum)
  with=$("$vexmoor" audit --no-cache --json "$1" "$2" | md5sum)
  if [ "$plain" != "$with" ]; then
    echo "checksum_store.sh: the scan with the store reports differently" >&2
    exit 1
  fi
}

# --- 1. the 1 GiB collection, cold -------------------------------------
dat=$work/bench.qdat
root=$("$bench_scan" --write-dat "$dat")
bytes=$(du -sb --exclude=.complete-1 "$root" | cut -f1)
sleep 2
cold() { "$drop" "$root" >/dev/null; wall_ms "$@"; }
nostore=0 rhash=0 first=0 second=0 warm=0
for ((i = 0; i < runs; i++)); do
  keep_best nostore "$(cold "$vexmoor" audit --no-cache --no-checksum-cache "$dat" "$root")"
  keep_best rhash "$(cold rhash --crc32 -r "$root")"
  rm -f "$store" "$store-wal" "$store-shm"
  keep_best first "$(cold "$vexmoor" audit --no-cache "$dat" "$root")"
done
for ((i = 0; i < runs; i++)); do
  keep_best second "$(cold "$vexmoor" audit --no-cache "$dat" "$root")"
done
find "$root" -type f -exec cat {} + >/dev/null
for ((i = 0; i < runs; i++)); do
  keep_best warm "$(wall_ms "$vexmoor" audit --no-cache --no-checksum-cache "$dat" "$root")"
done
same_results "$dat" "$root"

# --- 2. small loose dumps, page-cached ----------------------------------
smalldat=$work/small.qdat
python3 - "$work/small" "$smalldat" "$small" <<'PY'
import os, random, sys, zlib
root, dat, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
rng = random.Random(21)
lines = ["[INFO]", "MASK=*.nds", "[DAT]"]
for i in range(count):
    folder = os.path.join(root, "f%03d" % (i // 1000))
    if i % 1000 == 0:
        os.makedirs(folder, exist_ok=True)
    data = rng.randbytes(rng.randint(1024, 8192))
    with open(os.path.join(folder, "d%06d.nds" % i), "wb") as out:
        out.write(data)
    if i % 10 == 0:
        lines.append("%d|%08X|Release %d" % (i, zlib.crc32(data), i))
with open(dat, "w", newline="\r\n") as out:
    out.write("\n".join(lines) + "\n")
PY
sleep 2
full=0 filling=0 again=0
for ((i = 0; i < runs; i++)); do
  keep_best full "$(wall_ms "$vexmoor" audit --no-cache --no-checksum-cache "$smalldat" "$work/small")"
  rm -f "$store" "$store-wal" "$store-shm"
  keep_best filling "$(wall_ms "$vexmoor" audit --no-cache "$smalldat" "$work/small")"
  keep_best again "$(wall_ms "$vexmoor" audit --no-cache "$smalldat" "$work/small")"
done
same_results "$smalldat" "$work/small"

awk -v bytes="$bytes" -v runs="$runs" -v small="$small" \
    -v ns="$nostore" -v rh="$rhash" -v fi="$first" -v se="$second" -v wa="$warm" \
    -v fu="$full" -v fl="$filling" -v ag="$again" '
  function mbs(ms) { return ms > 0 ? bytes / (ms * 1000) : 0 }
  function pct(a, b) { return b > 0 ? (a - b) * 100 / b : 0 }
  BEGIN {
    printf "collection of %.0f MiB, page cache dropped before each run but the last, best of %d, taking turns\n",
           bytes / 1048576, runs
    printf "                                      wall ms     MB/s\n"
    printf "  full scan, no store (cold)        %8d  %7.1f\n", ns, mbs(ns)
    printf "  rhash --crc32 -r (cold)           %8d  %7.1f\n", rh, mbs(rh)
    printf "  first scan, filling store (cold)  %8d  %7.1f   %+.1f%% against no store (target <= 5%%)\n",
           fi, mbs(fi), pct(fi, ns)
    printf "  second scan, recalled (cold)      %8d\n", se
    printf "  full scan, no store, page-cached  %8d  %7.1f\n", wa, mbs(wa)
    printf "second scan: %.1f x faster than the first (target 20), %.1f x faster than a page-cached full scan (target 5)\n",
           (se > 0 ? fi / se : 0), (se > 0 ? wa / se : 0)
    printf "%d small loose dumps, page-cached, best of %d\n", small, runs
    printf "  full scan, no store               %8d\n", fu
    printf "  first scan, filling store         %8d   %+.1f%% against no store (target <= 5%%)\n", fl, pct(fl, fu)
    printf "  re-scan, recalled                 %8d   (target < 1500)\n", ag
  }'
