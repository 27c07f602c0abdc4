#!/usr/bin/env bash
# The figures of many small files, re-scans and a large dat, as ratios:
#  1. FILES (default 100,000) loose dumps of 256 bytes, page-cached:
#     `vexmoor audit` (no store) against a bare open/pread/close loop
#     (bench_pread_loop) and `rhash --crc32 -r`;
#  2. a re-scan that recalls every file from the checksum store, with the
#     default workers against one worker, and against a full scan without
#     the store, and a walk that only stats each file (its floor);
#  3. a first scan that fills the store against a scan without it (one
#     worker);
#  2b. the re-scan against the full scan once more, the dumps' bytes
#     dropped from the page cache before each (bench_drop_cache): what a
#     collector meets when the folder was not read lately (wall time);
#     beside the re-scan, the floors of a walk that looks at every file
#     once and reads none (bench_walk_floor: readdir + stat by full path,
#     readdir + fstatat in the open folder, getdents64 + statx), as shares
#     of the full scan;
#  4. a dat of ENTRIES (default 100,000) releases: the peak memory of
#     `vexmoor audit` of an empty folder against `vexmoor info`;
#  5. the native dat loader against a line-splitting floor (bench_datload,
#     CPU time);
#  6. the window's first paint of a 100,000-entry dat against a minimal Qt
#     window showing the same rows, and the window's fill and header click
#     (bench_gui firstpaint and lists, offscreen; skipped when the build has
#     no window).
# Every figure is CPU time (user + system, the steadier figure on a busy
# machine) and the best of RUNS rounds (default 3) taken in turns; wall
# times are printed beside. With STRACE=1 the system calls per file of
# the audit and of the loop are counted too.
#   bench/small_files.sh [BUILD_FOLDER]     (default: build/release)
set -euo pipefail

build=${1:-$(dirname "$0")/../build/release}
vexmoor=$build/cli/vexmoor
loop=$build/bench/bench_pread_loop
walk=$build/bench/bench_walk_floor
datload=$build/bench/bench_datload
drop=$build/bench/bench_drop_cache
gui=$build/bench/bench_gui
runs=${RUNS:-3}
files=${FILES:-100000}
entries=${ENTRIES:-100000}
. "$(dirname "$0")/common.sh"
require_tools "$vexmoor" "$loop" "$datload" "$drop" rhash python3 /usr/bin/time

make_work_folder
export XDG_CACHE_HOME=$work/cache
store=$XDG_CACHE_HOME/vexmoor/checksums.sqlite3

python3 - "$work/small" "$work/small.qdat" "$files" "$work/big.qdat" "$entries" <<'PY'
import os, random, sys, zlib
root, dat, count, bigdat, entries = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], int(sys.argv[5])
rng = random.Random(33)
lines = ["[INFO]", "MASK=*.nds", "[DAT]"]
for i in range(count):
    folder = os.path.join(root, "f%03d" % (i // 1000))
    if i % 1000 == 0:
        os.makedirs(folder, exist_ok=True)
    data = rng.randbytes(256)
    with open(os.path.join(folder, "d%06d.nds" % i), "wb") as out:
        out.write(data)
    if i % 10 == 0:
        lines.append("%d|%08X|Release %d" % (i, zlib.crc32(data), i))
with open(dat, "w", newline="\r\n") as out:
    out.write("\n".join(lines) + "\n")
lines = ["[INFO]", "MASK=*.nds", "[DAT]"]
for i in range(entries):
    lines.append("%d|%08X|Release number %d of the large dat (Europe) (En,Fr,De)" % (i + 1, rng.getrandbits(32), i + 1))
with open(bigdat, "w", newline="\r\n") as out:
    out.write("\n".join(lines) + "\n")
PY
mkdir -p "$work/empty"
find "$work/small" -type f -exec cat {} + >/dev/null
sleep 2  # a store row is written only for a file older than two seconds

# Runs a command; sets CPU (ms), WALL (ms) and RSS (KiB).
measure() {
  local user sys wall rss
  /usr/bin/time -o "$work/time" -f '%U %S %e %M' "$@" >/dev/null 2>&1 || true
  read -r user sys wall rss <"$work/time"
  CPU=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s) * 1000 }')
  WALL=$(awk -v w="$wall" 'BEGIN { printf "%d", w * 1000 }')
  RSS=$rss
}
declare -A cpu wall rss
keep() {  # NAME: keeps the best CPU time of NAME, its wall time and its peak memory
  if [ -z "${cpu[$1]:-}" ] || [ "$CPU" -lt "${cpu[$1]}" ]; then
    cpu[$1]=$CPU wall[$1]=$WALL rss[$1]=$RSS
  fi
}
forget_store() { rm -f "$store" "$store-wal" "$store-shm"; }
audit=("$vexmoor" audit --no-cache)

for ((i = 0; i < runs; i++)); do
  measure "${audit[@]}" --no-checksum-cache "$work/small.qdat" "$work/small"; keep scan
  measure "$loop" "$work/small"; keep loop
  measure "$loop" --stat "$work/small"; keep statloop
  measure rhash --crc32 -r "$work/small"; keep rhash
  measure "${audit[@]}" --no-checksum-cache --workers 1 "$work/small.qdat" "$work/small"; keep scan1
  forget_store
  measure "${audit[@]}" --workers 1 "$work/small.qdat" "$work/small"; keep fill1
  measure "${audit[@]}" "$work/small.qdat" "$work/small"; keep rescan
  measure "${audit[@]}" --workers 1 "$work/small.qdat" "$work/small"; keep rescan1
  if [ -x "$walk" ]; then
    for way in stat fstatat statx; do measure "$walk" "$way" "$work/small"; keep "walk_$way"; done
  fi
  measure "${audit[@]}" --no-checksum-cache "$work/big.qdat" "$work/empty"; keep dat
  measure "$vexmoor" info "$work/big.qdat"; keep info
done
# The store is full now; the file stamps are those it holds.
for ((i = 0; i < runs; i++)); do
  "$drop" "$work/small" >/dev/null
  measure "${audit[@]}" --no-checksum-cache "$work/small.qdat" "$work/small"; keep coldscan
  "$drop" "$work/small" >/dev/null
  measure "${audit[@]}" "$work/small.qdat" "$work/small"; keep coldrescan
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
row() {  # NAME TEXT
  printf "  %-46s %8d %8d %9d\n" "$2" "${cpu[$1]}" "${wall[$1]}" "${rss[$1]}"
}
echo "best of $runs rounds, taking turns; CPU = user + system"
printf "  %-46s %8s %8s %9s\n" "" "CPU ms" "wall ms" "peak KiB"
row scan "audit, $files files of 256 bytes"
row scan1 "  the same, one worker"
row loop "open/pread/close loop"
row statloop "walk with one stat per file"
row rhash "rhash --crc32 -r"
row fill1 "first scan filling the store, one worker"
row rescan "re-scan from the store"
row rescan1 "  the same, one worker"
if [ -x "$walk" ]; then
  row walk_stat "  floor: readdir + stat by full path"
  row walk_fstatat "  floor: readdir + fstatat in the folder"
  row walk_statx "  floor: getdents64 + statx in the folder"
fi
row coldscan "audit, the bytes not in the page cache"
row coldrescan "re-scan from the store, the same"
row dat "audit of an empty folder, $entries-entry dat"
row info "vexmoor info, the same dat"
echo "ratios (target in brackets)"
echo "  audit / pread loop, CPU                  $(ratio "${cpu[scan]}" "${cpu[loop]}")  (<= 1.5)"
echo "  rhash / audit, CPU                       $(ratio "${cpu[rhash]}" "${cpu[scan]}")  (>= 1.5)"
echo "  re-scan default / one worker, wall       $(ratio "${wall[rescan]}" "${wall[rescan1]}")  (<= 1.0)"
echo "  re-scan default / one worker, CPU        $(ratio "${cpu[rescan]}" "${cpu[rescan1]}")  (<= 1.0)"
echo "  re-scan / full scan without store, CPU   $(ratio "${cpu[rescan]}" "${cpu[scan]}")  (<= 0.2)"
echo "    floor: walk with one stat / full scan  $(ratio "${cpu[statloop]}" "${cpu[scan]}")"
if [ -x "$walk" ]; then
  echo "    floors / full scan, CPU                $(ratio "${cpu[walk_stat]}" "${cpu[scan]}") $(ratio "${cpu[walk_fstatat]}" "${cpu[scan]}") $(ratio "${cpu[walk_statx]}" "${cpu[scan]}")  (stat, fstatat, statx)"
fi
echo "  the same, the bytes not cached, wall     $(ratio "${wall[coldrescan]}" "${wall[coldscan]}")"
echo "  first scan filling / no store, CPU       $(ratio "${cpu[fill1]}" "${cpu[scan1]}")  (<= 1.15)"
echo "  dat audit / info, peak memory            $(ratio "${rss[dat]}" "${rss[info]}")  (<= 1.3)"

# Google Benchmark's CSV: the CPU time of the line whose name is $1.
bench_cpu() { awk -F, -v name="\"$1\"" '$1 == name { print $4 }' "$work/datload.csv"; }
"$datload" --benchmark_format=csv --benchmark_repetitions="$runs" \
  --benchmark_report_aggregates_only=true >"$work/datload.csv" 2>/dev/null
loader=$(bench_cpu NativeLoader_median)
floor=$(bench_cpu LineSplittingFloor_median)
kept=$(bench_cpu LineSplittingKeptFloor_median)
echo "  native dat loader / line-splitting floor $(ratio "$loader" "$floor")  (<= 2.0; $loader / $floor ms CPU, median)"
echo "    the same, floor keeping the fields     $(ratio "$loader" "$kept")  ($kept ms CPU)"

if [ -x "$gui" ]; then
  echo "window (offscreen)"
  "$gui" firstpaint "$entries" 2>/dev/null | sed 's/^/  /'
  "$gui" lists 2>/dev/null | sed 's/^/  /'
fi

if [ "${STRACE:-0}" = 1 ] && command -v strace >/dev/null; then
  calls() {  # the system calls of a command, per file
    strace -f -c -o "$work/strace" "$@" >/dev/null 2>&1 || true
    awk -v n="$files" '$NF == "total" { printf "%.1f", $4 / n }' "$work/strace"
  }
  echo "system calls per file"
  echo "  audit, no store                          $(calls "${audit[@]}" --no-checksum-cache "$work/small.qdat" "$work/small")"
  echo "  open/pread/close loop                    $(calls "$loop" "$work/small")"
  echo "  rhash --crc32 -r                         $(calls rhash --crc32 -r "$work/small")"
  echo "  re-scan from the store                   $(calls "${audit[@]}" "$work/small.qdat" "$work/small")"
fi
