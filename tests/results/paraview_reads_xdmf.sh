#!/usr/bin/env bash
# The dam-break example for 4 s, its XDMF file written by hydrova_results, then opened by ParaView (pvpython).
# Usage: paraview_reads_xdmf.sh BUILD_DIR PVPYTHON
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$1"
pvpython="$2"
work="$(mktemp -d /tmp/hydrova-paraview-XXXXXX)"
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$here/../../examples/dam-break/setup.json" .
sed 's/"end": 20.0/"end": 4.0/' "$here/../../examples/dam-break/config.json" > config.json
"$build/src/hydrova_mesh" --size 100 10 --cells 200 20 --material 0:50:1,50:100:2 -o channel.2dm > mesh.log
"$build/src/hydrova_setup" -f setup.json -o model.h5 > setup.log
"$build/src/hydrova_simulation" -f config.json -r model.h5 -o results.h5 > simulation.log
"$build/src/hydrova_results" -f results.h5 > results.log
QT_QPA_PLATFORM=offscreen "$pvpython" "$here/paraview_reads_xdmf.py" results.xdmf 8000 0 2 4
