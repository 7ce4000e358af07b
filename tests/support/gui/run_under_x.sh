#!/usr/bin/env bash
# Runs a command on a private Xvfb display of its own: the server picks a free
# display number itself (-displayfd), so test programs may run side by side.
# Usage: run_under_x.sh [-s WxHxD] command args...
set -euo pipefail
screen=1280x1024x24
if [ "${1:-}" = "-s" ]; then screen=$2; shift 2; fi
fifo_dir=$(mktemp -d)
trap 'kill "$xpid" 2>/dev/null || true; wait "$xpid" 2>/dev/null || true; rm -rf "$fifo_dir"' EXIT
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$fifo_dir/display" 2>"$fifo_dir/xvfb.log" &
xpid=$!
for _ in $(seq 1 200); do
  [ -s "$fifo_dir/display" ] && break
  kill -0 "$xpid" 2>/dev/null || { cat "$fifo_dir/xvfb.log" >&2; exit 1; }
  sleep 0.05
done
display=$(head -n1 "$fifo_dir/display")
[ -n "$display" ] || { echo "run_under_x: Xvfb gave no display" >&2; cat "$fifo_dir/xvfb.log" >&2; exit 1; }
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
"$@"
