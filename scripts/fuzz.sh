#!/usr/bin/env bash
# Runs a fuzz target from its seed corpus (tests/data/fuzz/<target>) with its
# dictionary (tests/data/fuzz/<target>.dict, where the format has one).
#
#   scripts/fuzz.sh <target>|all [seconds] [more libFuzzer options]
#
# The targets come from a clang build with -DKL_FUZZ=ON (see README). New
# inputs go to build/fuzz/corpus/<target> and crashing ones to
# build/fuzz/artifacts/<target>; the seeds in the tree stay as they are.
set -euo pipefail
cd "$(dirname "$0")/.."

target=${1:?"usage: $0 <target>|all [seconds] [libFuzzer options]"}
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))
build=${KL_FUZZ_BUILD_DIR:-build/fuzz}
# Targets that write scratch files (the archive unpacker) run far faster on
# a memory file system: unpacked files are synced to disk.
if [[ -z ${TMPDIR:-} && -d /dev/shm && -w /dev/shm ]]; then
  export TMPDIR=/dev/shm
fi

if [[ $target == all ]]; then
  for dir in tests/data/fuzz/*/; do
    "$0" "$(basename "$dir")" "$seconds" "$@"
  done
  exit 0
fi

bin=$(find "$build/tests" -type f -name "$target" -perm -u+x 2>/dev/null | head -n 1)
if [[ -z $bin ]]; then
  echo "no $target under $build: configure with CC=clang CXX=clang++ -DKL_FUZZ=ON and build it" >&2
  exit 1
fi
seeds=tests/data/fuzz/$target
corpus=$build/corpus/$target
artifacts=$build/artifacts/$target
mkdir -p "$corpus" "$artifacts"
args=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/")
[[ -f $seeds.dict ]] && args+=(-dict="$seeds.dict")
[[ -d $seeds ]] && set -- "$@" "$corpus" "$seeds" || set -- "$@" "$corpus"
echo "== $target: ${seconds}s from $seeds" >&2
"$bin" "${args[@]}" "$@"
