#!/usr/bin/env bash
# Writes the fuzz targets' seed corpora again into tests/data/fuzz (they are
# kept in the tree; run this after a change of a format they cover).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KL_BUILD_DIR:-build/test}
cmake --build "$build" --target kl_make_fuzz_seeds
ASAN_OPTIONS=detect_leaks=0 "$build/tests/fuzz/kl_make_fuzz_seeds" tests/data/fuzz
