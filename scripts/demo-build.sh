# Sourced by the demo scripts: installs what the build needs and builds the
# named targets into build/demo, telling what it does as it goes.
#   demo_build target...
# On a failed configure or build the tool's own output is shown.

demo_build() {
  local log=build/demo-configure.log
  echo "demo: checking the Debian packages the build needs (scripts/setup.sh)"
  bash scripts/setup.sh
  export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/kl-ccache}
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
  mkdir -p build
  echo "demo: configuring build/demo (output in $log)"
  if ! cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKL_BUILD_TESTS=OFF \
       -DKL_BUILD_BENCH=OFF >"$log" 2>&1; then
    echo "demo: configuring failed; cmake said:" >&2
    cat "$log" >&2
    return 1
  fi
  echo "demo: building $* with $(nproc) jobs; a first build compiles a few hundred files and" \
       "may take many minutes on a small machine, later ones only what changed"
  # Ninja prints one numbered line per step: the progress is visible.
  if ! cmake --build build/demo --target "$@" -j "$(nproc)"; then
    echo "demo: the build failed (the compiler's messages are above)" >&2
    return 1
  fi
  echo "demo: build done"
}
