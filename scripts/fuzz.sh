#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (the "fuzz" preset) and runs one target, or each
# in turn, for SECONDS seconds, seeded from its corpus under fuzz/corpus/ and
# from the test fixtures that fit it. New inputs that widen the coverage are
# kept in a scratch folder; a crash leaves its input as crash-* in the
# current folder. Minimize what is worth keeping into fuzz/corpus/NAME with
#   build/fuzz/fuzz/fuzz_NAME -merge=1 fuzz/corpus/NAME SCRATCH
# leaving out first every input grown from a fixture (one that shares a run
# of 32 bytes with a file under ../shared/fixtures): the fixtures are other
# programs' files and stay out of the repository.
#
#   scripts/fuzz.sh TARGET|all SECONDS       (TARGET: cache, cmpread, ...)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ne 2 ] || ! [[ $2 =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh TARGET|all SECONDS" >&2
  exit 2
fi
target=$1
seconds=$2
fixtures=../shared/fixtures

cmake --preset fuzz -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
targets=$(sed -n 's/^vexmoor_fuzzer(fuzz_\([a-z0-9_]*\) .*/\1/p' fuzz/CMakeLists.txt)
if [ "$target" != all ] && ! grep -qx "$target" <<<"$targets"; then
  echo "fuzz.sh: no fuzz target \"$target\"; there are:" $targets >&2
  exit 2
fi
[ "$target" = all ] || targets=$target
cmake --build --preset fuzz -j2 --target $(sed 's/^/fuzz_/' <<<"$targets")

# The test fixtures that are inputs of a target, beside its own corpus.
seeds_of() {
  case $1 in
    cmpread) echo "$fixtures/zip $fixtures/rar" ;;
    dattext | dat_timestamp) echo "$fixtures/dat examples" ;;
    *) ;;
  esac
}

status=0
for name in $targets; do
  scratch=$(mktemp -d)
  seeds=()
  for folder in fuzz/corpus/$name $(seeds_of "$name"); do
    [ -d "$folder" ] && seeds+=("$folder")
  done
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
  [ -f "fuzz/$name.dict" ] && options+=(-dict="fuzz/$name.dict")
  echo "== fuzz_$name for ${seconds}s (seeds: ${seeds[*]:-none})"
  if ! "build/fuzz/fuzz/fuzz_$name" "${options[@]}" "$scratch" "${seeds[@]}"; then
    echo "fuzz_$name found a fault; its input is the crash-* file above" >&2
    status=1
  fi
  rm -rf "$scratch"
done
exit $status
