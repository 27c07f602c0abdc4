#!/usr/bin/env bash
# What verification by SHA-1 costs.
#  1. Loose dumps: `vexmoor audit` at 2 workers over the page-cached loose
#     dumps of bench_scan's collection (about 1 GiB; LOOSE_MIB keeps only
#     that many MiB of it on a loaded machine), with a dat that gives each
#     dump's size, CRC-32 and SHA-1, against the same dat without the SHA-1s.
#  2. Trimmed dumps: the same with every dump trimmed by a quarter, so the
#     padding is summed too.
#  3. Cold: the loose dumps dropped from the page cache before each run,
#     `cat` (a raw read) against the audit with the SHA-1 dat.
#  4. Archives: `vexmoor audit --verify` against `7z t` on the same zip
#     (deflate) and 7z (LZMA2, solid) archives, MB/s of members.
# The checksum store is off in every run. The commands take turns, RUNS
# rounds (default 3), best kept.
#   bench/verify_cost.sh [BUILD_FOLDER]     (default: build/release)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/release}
vexmoor=$build/cli/vexmoor
bench_scan=$build/bench/bench_scan
drop=$build/bench/bench_drop_cache
runs=${RUNS:-3}
. "$(dirname "$0")/common.sh"
require_tools "$vexmoor" "$bench_scan" "$drop" 7z zip python3 /usr/bin/time

make_work_folder
root=$("$bench_scan" --write-dat "$work/unused.qdat")
mkdir -p "$work/loose" "$work/trimmed" "$work/src" "$work/arch"
limit=$(( ${LOOSE_MIB:-1024} * 1048576 ))
total=0
while IFS= read -r -d '' file; do
  size=$(stat -c %s "$file")
  [ $((total + size)) -gt "$limit" ] && break
  total=$((total + size))
  ln -s "$file" "$work/loose/$(basename "$file")"
  # A trimmed dump: three quarters of the image, then 0xFF padding in the dat.
  head -c $((size * 3 / 4)) "$file" > "$work/trimmed/$(basename "$file")"
done < <(find "$root" -name 'Release *.nds' -print0 | sort -z)
# The trimmed collection's dat lists the full (padded) images.
mkdir -p "$work/padded"
for file in "$work"/trimmed/*.nds; do
  full=$(stat -c %s "$(readlink -f "$work/loose/$(basename "$file")")")
  # Sizes are 8-64 MiB: pad to the next power of two.
  p=1; while [ $p -lt "$full" ]; do p=$((p * 2)); done
  { cat "$file"; head -c $((p - $(stat -c %s "$file"))) /dev/zero | tr '\0' '\377'; } > "$work/padded/$(basename "$file")"
done
# Archives: 256 MiB of half-compressible members.
python3 - "$work/src" <<'PY'
import os, random, sys
random.seed(1)
for i in range(16):
    with open(os.path.join(sys.argv[1], f"Member {i}.nds"), "wb") as f:
        for _ in range(16):
            chunk = random.randbytes(1 << 19)
            f.write(chunk + chunk[::-1])
PY
(cd "$work/src" && zip -q -6 "$work/arch/deflate.zip" ./*.nds && 7z a -bd -m0=lzma2 -mx=1 -ms=on "$work/arch/solid.7z" ./*.nds >/dev/null)
mkdir "$work/zip" "$work/7z"
mv "$work/arch/deflate.zip" "$work/zip/"
mv "$work/arch/solid.7z" "$work/7z/"

python3 "$here/make_digest_dat.py" "$work/loose" "$work/sha1.dat"
python3 "$here/make_digest_dat.py" "$work/loose" "$work/crc.dat" --crc-only
python3 "$here/make_digest_dat.py" "$work/padded" "$work/trimmed-sha1.dat"
python3 "$here/make_digest_dat.py" "$work/padded" "$work/trimmed-crc.dat" --crc-only
python3 "$here/make_digest_dat.py" "$work/src" "$work/members.dat"
rm -rf "$work/padded"

find -L "$work/loose" "$work/trimmed" "$work/zip" "$work/7z" -type f -exec cat {} + >/dev/null

wall_ms() {
  local TIMEFORMAT='%3R' wall
  wall=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk -v r="$wall" 'BEGIN { printf "%d", r * 1000 }'
}
# CPU time (user + system) of one run in milliseconds: on a machine shared
# with other work the wall time stretches with the run's length, the CPU
# time much less.
cpu_ms() {
  /usr/bin/time -f '%U %S' "$@" 2>&1 >/dev/null | tail -n 1 | awk '{ printf "%d", ($1 + $2) * 1000 }'
}
keep_best() {  # VARIABLE MS
  if [ "${!1}" -eq 0 ] || [ "$2" -lt "${!1}" ]; then printf -v "$1" '%s' "$2"; fi
}
audit() { "$vexmoor" audit --no-cache --no-checksum-cache --workers 2 "$@"; }

# Every dump must be found, and proven.
proven=$(audit --json "$work/sha1.dat" "$work/loose" | grep -o '"verified":"sha1"' | wc -l)
echo "loose dumps proven by SHA-1: $proven"

cold() { "$drop" "$work/loose" >/dev/null; wall_ms "$@"; }
rawcold=0 sha1cold=0
ccrc=0 csha1=0 ctcrc=0 ctsha1=0
crc=0 sha1=0 tcrc=0 tsha1=0 zipv=0 zip7=0 szv=0 sz7=0 zipd=0 szd=0
for ((i = 0; i < runs; i++)); do
  keep_best ccrc "$(cpu_ms "$vexmoor" audit --no-cache --no-checksum-cache --workers 2 "$work/crc.dat" "$work/loose")"
  keep_best csha1 "$(cpu_ms "$vexmoor" audit --no-cache --no-checksum-cache --workers 2 "$work/sha1.dat" "$work/loose")"
  keep_best ctcrc "$(cpu_ms "$vexmoor" audit --no-cache --no-checksum-cache --workers 2 "$work/trimmed-crc.dat" "$work/trimmed")"
  keep_best ctsha1 "$(cpu_ms "$vexmoor" audit --no-cache --no-checksum-cache --workers 2 "$work/trimmed-sha1.dat" "$work/trimmed")"
  keep_best crc "$(wall_ms audit "$work/crc.dat" "$work/loose")"
  keep_best sha1 "$(wall_ms audit "$work/sha1.dat" "$work/loose")"
  keep_best tcrc "$(wall_ms audit "$work/trimmed-crc.dat" "$work/trimmed")"
  keep_best tsha1 "$(wall_ms audit "$work/trimmed-sha1.dat" "$work/trimmed")"
  keep_best rawcold "$(cold sh -c 'cat "$1"/*.nds' sh "$work/loose")"
  keep_best sha1cold "$(cold audit "$work/sha1.dat" "$work/loose")"
  keep_best zipd "$(wall_ms audit "$work/members.dat" "$work/zip")"
  keep_best zipv "$(wall_ms audit --verify "$work/members.dat" "$work/zip")"
  keep_best zip7 "$(wall_ms 7z t "$work/zip/deflate.zip")"
  keep_best szd "$(wall_ms audit "$work/members.dat" "$work/7z")"
  keep_best szv "$(wall_ms audit --verify "$work/members.dat" "$work/7z")"
  keep_best sz7 "$(wall_ms 7z t "$work/7z/solid.7z")"
done
members=$(du -sb "$work/src" | cut -f1)
awk -v bytes="$total" -v members="$members" -v runs="$runs" -v c="$crc" -v s="$sha1" \
    -v rc="$rawcold" -v sc="$sha1cold" -v cc="$ccrc" -v cs="$csha1" -v ctc="$ctcrc" -v cts="$ctsha1" \
    -v tc="$tcrc" -v ts="$tsha1" -v zd="$zipd" -v zv="$zipv" -v z7="$zip7" -v sd="$szd" -v sv="$szv" -v s7="$sz7" '
  function mbs(b, ms) { return ms > 0 ? b / (ms * 1000) : 0 }
  BEGIN {
    printf "page-cached, 2 workers, best of %d runs each, taking turns (process start included)\n", runs
    printf "loose dumps, %.0f MiB:\n", bytes / 1048576
    printf "                          wall ms     MB/s   ratio   CPU ms   ratio\n"
    printf "  CRC-only dat             %7d  %7.0f          %7d\n", c, mbs(bytes, c), cc
    printf "  SHA-1 dat                %7d  %7.0f   x%.2f  %7d   x%.2f\n", s, mbs(bytes, s), s / c, cs, cs / (cc > 0 ? cc : 1)
    printf "trimmed loose dumps (a quarter cut off, padded back when summed):\n"
    printf "  CRC-only dat             %7d                   %7d\n", tc, ctc
    printf "  SHA-1 dat                %7d           x%.2f  %7d   x%.2f\n", ts, ts / tc, cts, cts / (ctc > 0 ? ctc : 1)
    printf "cold (page cache dropped before each run):\n"
    printf "  cat (raw read)           %7d  %7.0f\n", rc, mbs(bytes, rc)
    printf "  SHA-1 dat                %7d  %7.0f   x%.2f\n", sc, mbs(bytes, sc), sc / rc
    printf "archive members, %.0f MiB unpacked:\n", members / 1048576
    printf "  zip deflate: directory read %6d ms; --verify %6d ms (%4.0f MB/s); 7z t %6d ms (%4.0f MB/s)\n",
           zd, zv, mbs(members, zv), z7, mbs(members, z7)
    printf "  7z LZMA2 solid: directory   %6d ms; --verify %6d ms (%4.0f MB/s); 7z t %6d ms (%4.0f MB/s)\n",
           sd, sv, mbs(members, sv), s7, mbs(members, s7)
  }'
