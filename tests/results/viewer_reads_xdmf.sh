#!/usr/bin/env bash
# The dam-break example for 4 s, its XDMF file written by hydrova_results, then opened by a viewer's own reader.
# Usage: viewer_reads_xdmf.sh BUILD_DIR INTERPRETER CHECK_SCRIPT
#   the check script is called as: INTERPRETER CHECK_SCRIPT MESH.2dm FILE.xdmf CELLS TIME [TIME ...]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$1"
interpreter="$2"
check="$3"
work="$(mktemp -d /tmp/hydrova-viewer-XXXXXX)"
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$here/../../examples/dam-break/setup.json" .
sed 's/"end": 20.0/"end": 4.0/' "$here/../../examples/dam-break/config.json" > config.json
"$build/src/hydrova_mesh" --size 100 10 --cells 200 20 --material 0:50:1,50:100:2 -o channel.2dm > mesh.log
"$build/src/hydrova_setup" -f setup.json -o model.h5 > setup.log
"$build/src/hydrova_simulation" -f config.json -r model.h5 -o results.h5 > simulation.log
"$build/src/hydrova_results" -f results.h5 > results.log
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" "$interpreter" "$check" "$work/channel.2dm" "$work/results.xdmf" \
  8000 0 2 4
