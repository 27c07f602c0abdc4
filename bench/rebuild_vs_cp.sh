#!/usr/bin/env bash
# Times a copy rebuild against `cp -r` of the same files, and a stored-zip
# rebuild (--zip-store) against `zip -0 -r`, on a page-cached collection of
# MIB MiB (default 1024) of loose dumps with a dat listing them all, taking
# turns (each round runs all four); the least wall and the least CPU time
# (user + system) of RUNS rounds each. The rebuilds run after one audit
# that fills the checksum store, as a collector's would, so their scan recalls the loose dumps instead of
# reading them; the copy itself still checks every byte's CRC. Prints the
# times and the ratios.
#   bench/rebuild_vs_cp.sh [BUILD_FOLDER]    (default: build/release)
# MIB sets the collection's size, RUNS the rounds (default 3). BASE names
# another vexmoor (an older build) to time in the same rounds, so that a
# change is measured before and after taking turns. `cp -r && sync` is the
# fair durable baseline: the rebuild's targets are on the disk when it ends,
# cp's only in the page cache (on a shared machine, sync also writes out
# what others wrote meanwhile).
set -euo pipefail

build=${1:-$(dirname "$0")/../build/release}
vexmoor=$build/cli/vexmoor
runs=${RUNS:-3}
mib=${MIB:-1024}
. "$(dirname "$0")/common.sh"
base=${BASE:-}
require_tools "$vexmoor" zip python3 /usr/bin/time ${base:+"$base"}

make_work_folder
export XDG_CACHE_HOME=$work/cache
python3 - "$work" "$mib" <<'PY'
import os, random, sys, zlib
work, mib = sys.argv[1], int(sys.argv[2])
os.makedirs(work + "/roms")
rng = random.Random(31)
with open(work + "/set.dat", "w") as dat:
    dat.write('clrmamepro (\n\tname "Bench"\n)\n\n')
    for i in range(mib // 8):
        data = rng.randbytes(8 << 20)
        open("%s/roms/dump%04d.nds" % (work, i), "wb").write(data)
        dat.write('game (\n\tname "Game %04d"\n\trom ( name "Game %04d.nds" size %d crc %08x )\n)\n\n'
                  % (i, i, len(data), zlib.crc32(data)))
PY
cat "$work"/roms/* >/dev/null
sleep 3  # the store keeps no row of a file changed within the last two seconds
"$vexmoor" audit "$work/set.dat" "$work/roms" --no-cache >/dev/null

# Times one command with a fresh output; "$1" names it, the rest runs.
# Keeps the least wall time and the least CPU time (user + system) of each
# name: on a loaded machine the two rarely fall together.
declare -A wall cpu
timed() {
  local name=$1
  shift
  rm -rf "$work/out" "$work/out.zip"
  sync
  /usr/bin/time -f "%e %U %S" -o "$work/t" "$@" >/dev/null 2>&1
  read -r w user sys <"$work/t"
  local c
  c=$(awk "BEGIN{print $user + $sys}")
  [ -n "${wall[$name]:-}" ] && awk "BEGIN{exit !($w >= ${wall[$name]})}" || wall[$name]=$w
  [ -n "${cpu[$name]:-}" ] && awk "BEGIN{exit !($c >= ${cpu[$name]})}" || cpu[$name]=$c
}

# Taking turns: each round runs all four, so a burst of load elsewhere
# falls on both sides of a comparison alike.
for _ in $(seq "$runs"); do
  timed cp cp -r "$work/roms" "$work/out"
  timed rb "$vexmoor" rebuild "$work/set.dat" "$work/roms" "$work/out"
  timed cps bash -c "cp -r '$work/roms' '$work/out' && sync"
  if [ -n "$base" ]; then timed rb0 "$base" rebuild "$work/set.dat" "$work/roms" "$work/out"; fi
  timed zip bash -c "cd '$work/roms' && zip -q -0 -r '$work/out.zip' ."
  timed rz "$vexmoor" rebuild "$work/set.dat" "$work/roms" "$work/out" --zip-store
  if [ -n "$base" ]; then timed rz0 "$base" rebuild "$work/set.dat" "$work/roms" "$work/out" --zip-store; fi
done
cp_wall=${wall[cp]} cp_cpu=${cpu[cp]} rb_wall=${wall[rb]} rb_cpu=${cpu[rb]}
zip_wall=${wall[zip]} zip_cpu=${cpu[zip]} rz_wall=${wall[rz]} rz_cpu=${cpu[rz]}

echo "collection: $mib MiB, $((mib / 8)) dumps of 8 MiB, page-cached; best of $runs"
printf "%-28s %8s s wall %8s s cpu\n" "cp -r" "$cp_wall" "$cp_cpu" "vexmoor rebuild" "$rb_wall" "$rb_cpu" \
  "cp -r && sync" "${wall[cps]}" "${cpu[cps]}" \
  "zip -0 -r" "$zip_wall" "$zip_cpu" "vexmoor rebuild --zip-store" "$rz_wall" "$rz_cpu"
if [ -n "$base" ]; then
  printf "%-28s %8s s wall %8s s cpu\n" "base rebuild" "${wall[rb0]}" "${cpu[rb0]}" \
    "base rebuild --zip-store" "${wall[rz0]}" "${cpu[rz0]}"
fi
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
awk "BEGIN{printf \"copy: %.2fx cp -r by wall time, %.2fx by cpu time; %.2fx cp -r && sync by wall time\n\",
                  $cp_wall/$rb_wall, $cp_cpu/$rb_cpu, ${wall[cps]}/$rb_wall;
           printf \"zip store: %.2fx zip -0 -r by wall time, %.2fx by cpu time\n\", $zip_wall/$rz_wall, $zip_cpu/$rz_cpu}"
if [ -n "$base" ]; then
  awk "BEGIN{printf \"base copy: %.2fx cp -r by wall time, %.2fx by cpu time\n\", $cp_wall/${wall[rb0]}, $cp_cpu/${cpu[rb0]}}"
fi
