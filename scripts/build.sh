#!/usr/bin/env bash
# Installs what is needed and builds the optimised programs and library
# into build/release.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/kl-ccache}
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKL_BUILD_TESTS=OFF
cmake --build build/release -j "$(nproc)"
