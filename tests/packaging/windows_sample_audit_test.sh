#!/bin/sh
# vexmoor.exe under wine audits the sample rom folder against the sample dat
# and prints what the Linux build prints, byte for byte, once the folder's
# Windows spelling is put back as the Linux golden file writes it (ROOT).
#   windows_sample_audit_test.sh BUILD_FOLDER SOURCE_FOLDER
set -eu
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$source/scripts/make-sample-roms.py" "$work/roms" >/dev/null
cp "$source/examples/sample-ds.qdat" "$work/"
root=$(winepath -w "$work")
wine "$build/cli/vexmoor.exe" audit "$root\\sample-ds.qdat" "$root\\roms" >"$work/out.txt"
python3 - "$work/out.txt" "$source/tests/cli/data/audit-sample.txt" "$root\\roms" <<'PY'
import sys
printed = open(sys.argv[1], 'rb').read().replace(sys.argv[3].encode(), b'ROOT/roms')
golden = open(sys.argv[2], 'rb').read()
if printed != golden:
    sys.stdout.write(printed.decode('utf-8', 'replace'))
    sys.exit('vexmoor.exe audit printed other bytes than the Linux build (above)')
PY
