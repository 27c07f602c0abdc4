#!/usr/bin/env bash
# What a folder of FILES (default 100,000) unknown dumps costs the scan's
# folder report: `vexmoor audit --unmatched` of FILES loose dumps of 256
# bytes that match no release, against the same audit of FILES/10, each
# page-cached, one worker, no cache file or checksum store. Prints the CPU
# time (user + system) and peak memory of each, the memory per added file,
# and bench_folder_report's account of the bytes per record.
#   bench/unknown_files.sh [BUILD_FOLDER]     (default: build/release)
set -euo pipefail

build=${1:-$(dirname "$0")/../build/release}
vexmoor=$build/cli/vexmoor
files=${FILES:-100000}
small=$((files / 10))
. "$(dirname "$0")/common.sh"
require_tools "$vexmoor" "$build/bench/bench_folder_report" python3 /usr/bin/time

make_work_folder
export XDG_CACHE_HOME=$work/cache

python3 - "$work" "$files" "$small" <<'PY'
import os, random, sys
work, count, small = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(30)
for name, n in (("unknown", count), ("fewer", small)):
    for i in range(n):
        folder = os.path.join(work, name, "f%03d" % (i // 1000))
        if i % 1000 == 0:
            os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "d%06d.nds" % i), "wb") as out:
            out.write(rng.randbytes(256))
with open(os.path.join(work, "none.qdat"), "w", newline="\r\n") as out:
    out.write("[INFO]\nMASK=*.nds\n[DAT]\n1|00000000|Nothing here\n")
PY

# CPU seconds and peak KiB of one audit, after a run that fills the page cache.
measure() {
  "$vexmoor" audit --no-cache --no-checksum-cache --workers 1 "$work/none.qdat" "$1" \
    --unmatched "$work/list.txt" >/dev/null
  /usr/bin/time -f "%U %S %M" -o "$work/time" "$vexmoor" audit --no-cache --no-checksum-cache \
    --workers 1 "$work/none.qdat" "$1" --unmatched "$work/list.txt" >/dev/null
  read -r user sys peak <"$work/time"
  echo "$(python3 -c "print(f'{$user + $sys:.2f}')") $peak"
}
read -r cpuBig peakBig <<<"$(measure "$work/unknown")"
read -r cpuSmall peakSmall <<<"$(measure "$work/fewer")"
echo "audit --unmatched of $files unknown dumps: ${cpuBig} s CPU, peak ${peakBig} KiB"
echo "audit --unmatched of $small unknown dumps: ${cpuSmall} s CPU, peak ${peakSmall} KiB"
python3 -c "print(f'peak memory per added file: {($peakBig - $peakSmall) * 1024 / ($files - $small):.0f} bytes')"
"$build/bench/bench_folder_report" "$files"
