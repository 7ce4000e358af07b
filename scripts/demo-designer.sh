#!/usr/bin/env bash
# Installs what the build needs, builds KLDesigner, klregsvr and the
# tree-list control, makes a throw-away machine, installs and registers the
# control there as a setup program does, and opens a working copy of the
# sample description in samples/designer/.
# The repository stays as it was: the designer runs in the copy, whose
# source folder ("files") is relative to it.
#   KL_DESIGNER_BUILD=dir  use the programs of this build folder instead of building
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build=${KL_DESIGNER_BUILD:-}
if [[ -z "$build" ]]; then
  source scripts/demo-build.sh
  demo_build KLDesigner klregsvr vinca5
  build=$root/build/demo
fi
build=$(cd "$build" && pwd)
designer=$build/bin/KLDesigner regsvr=$build/tools/klregsvr control=$build/vinca/control/libvinca5.so
for f in "$designer" "$regsvr" "$control"; do
  [[ -f "$f" ]] || { echo "missing $f" >&2; exit 1; }
done

demo=$(mktemp -d "${TMPDIR:-/tmp}/kl-designer.XXXXXX")
trap 'rm -rf "$demo"' EXIT
trap 'exit 130' INT TERM
export KL_MACHINE_ROOT=$demo/machine
mkdir -p "$KL_MACHINE_ROOT/Windows/System32"
# The control goes to the machine's system folder and registers from there.
cp "$control" "$KL_MACHINE_ROOT/Windows/System32/libvinca5.so"
"$regsvr" /s "$KL_MACHINE_ROOT/Windows/System32/libvinca5.so"

cp -r samples/designer "$demo/sample"
# The description records its sources' times; a checkout gives them its own.
touch -d @1704067200 "$demo/sample/files/"*
echo "Working copy: $demo/sample (removed when the designer ends)"
echo "Prepare writes to the folder on the Location tab: /tmp/kl-designer-sample"
status=0
(cd "$demo/sample" && "$designer" "$demo/sample/sample.KLD") || status=$?
echo "KLDesigner exit status: $status"
exit "$status"
