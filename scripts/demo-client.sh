#!/usr/bin/env bash
# Installs what the build needs, builds KLClient, makes a throw-away machine
# with a product folder and a server list pointing at the sample update in
# samples/client-update/, and runs the client on it. Without a display (or
# with KL_DEMO_AUTO=1) it runs unattended, offscreen, and prints the log and
# the installed files.
#   KL_CLIENT_BIN=path  use this KLClient instead of building one
#   KEEP=1              keep the throw-away machine afterwards, to look at
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [[ -z "${KL_CLIENT_BIN:-}" ]]; then
  source scripts/demo-build.sh
  demo_build KLClient
  KL_CLIENT_BIN=$root/build/demo/client/ui/KLClient
fi

demo=$(mktemp -d "${TMPDIR:-/tmp}/kl-demo.XXXXXX")
if [[ "${KEEP:-}" == 1 ]]; then
  trap 'echo "demo: kept the machine root in $demo/machine and the product folder in $demo/product"' EXIT
else
  trap 'rm -rf "$demo"' EXIT
fi
mkdir -p "$demo/machine" "$demo/product"
export KL_MACHINE_ROOT=$demo/machine
cat > "$demo/product/KLClient.INI" <<INI
[Information]
Kestrelite demonstration: one product with one small update.

[Server1]
Name=Samples
INFFile=file://$root/samples/client-update/Products.INF
INI

args=()
if [[ "${KL_DEMO_AUTO:-}" == 1 || ( -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ) ]]; then
  args=(AUTO LOG=3)
  echo "demo: running KLClient unattended in $demo/product"
else
  echo "demo: opening the KLClient wizard in $demo/product"
fi
status=0
(cd "$demo/product" && "$KL_CLIENT_BIN" "${args[@]}") || status=$?
echo "KLClient exit status: $status"
echo "--- KLClient.LOG"
cat "$demo/product/KLClient.LOG" 2>/dev/null || true
echo "--- installed files"
(cd "$demo/product" && ls -l)
exit "$status"
