#!/usr/bin/env bash
# Builds the benchmarks optimised and runs each one; every benchmark runs its
# peer in the same process or run and prints the ratios itself.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/kl-ccache}
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKL_BUILD_TESTS=OFF -DKL_BUILD_BENCH=ON
cmake --build build/bench -j "$(nproc)"

status=0
for exe in $(find build/bench/bench -maxdepth 2 -type f -name 'bench_*' -perm -u+x | sort); do
  echo "== $(basename "$exe")"
  "$exe" "$@" || status=1
done
exit $status
