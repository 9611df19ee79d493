#!/usr/bin/env bash
# Dam break in a 100 m x 10 m channel: 1 m of water behind a dam at x = 50 m (material 1), dry bed beyond
# (material 2), Manning friction, walls along the sides and the left end, free outflow at the right end.
# Usage: examples/dam-break/run.sh [BUILD_DIR]   (default: build). The run happens in BUILD_DIR/examples/dam-break:
# mesh (regenerated, identical to the committed channel.2dm), model.h5 and results.h5.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
work="$build/examples/$(basename "$here")"
mkdir -p "$work"
cp "$here/setup.json" "$here/config.json" "$work/"
cd "$work"
"$build/src/hydrova_mesh" --size 100 10 --cells 200 20 --material 0:50:1,50:100:2 -o channel.2dm
"$build/src/hydrova_setup" -f setup.json -o model.h5
"$build/src/hydrova_simulation" -f config.json -r model.h5 -o results.h5 -p
# What people look at: a time series for ParaView/QGIS, the final water depth as a picture, the outflow hydrograph.
"$build/src/hydrova_results" -f results.h5 -p water_depth -g
echo
echo "results:     $work/results.h5"
echo "time series: $work/results.xdmf   (open in ParaView or QGIS)"
echo "picture:     $(ls "$work"/results_water_depth*.png | tail -n 1)"
echo "hydrograph:  $work/results_discharge.csv, $work/results_discharge.png"
