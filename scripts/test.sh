#!/usr/bin/env bash
# Installs what is needed, configures, builds and runs every test.
# The test build uses AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

build_dir=${KL_BUILD_DIR:-build/test}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/kl-ccache}
# Paths relative to the checkout, so every clone and work tree shares the cache.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKL_SANITIZE=ON
cmake --build "$build_dir" -j "$jobs"
ctest --test-dir "$build_dir" -j "$jobs" --output-on-failure "$@"
