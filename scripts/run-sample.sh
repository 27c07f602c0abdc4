#!/usr/bin/env bash
# Installs what is needed, builds, writes the sample rom folder and audits it
# against the sample dat: the main job, from the command line.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh release

sample=build/sample
rm -rf "$sample"
mkdir -p "$sample/lists"
python3 scripts/make-sample-roms.py "$sample/roms"
# The dat is copied so that its cache file lands beside the copy, not in
# examples/.
cp examples/sample-ds.qdat "$sample/"
./build/release/cli/vexmoor audit "$sample/sample-ds.qdat" "$sample/roms" \
  --lists "$sample/lists" --fixdat "$sample/sample-fix.dat"
echo
echo "Reports: $sample/lists/*-Have.txt, *-Miss.txt, $sample/sample-fix.dat;" \
  "cache: $sample/sample-ds.qcache"
