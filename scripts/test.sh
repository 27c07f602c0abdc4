#!/usr/bin/env bash
# Installs what is needed, builds and runs every test.
#   scripts/test.sh             the optimised build (warnings are errors)
#   scripts/test.sh sanitize    the same tests under ASan and UBSan
#   scripts/test.sh tsan        the tests of the threaded code under TSan
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-ci}
bash scripts/install-deps.sh
bash scripts/build.sh "$preset"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --preset "$preset" -j "$(nproc)"
