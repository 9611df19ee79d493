#!/usr/bin/env bash
# Mobile bed: a 200 m x 20 m gravel channel on a slope of 1 per mille, 20 m^3/s entering at the left end, fed with
# sediment at its transport capacity, free outflow at the right end where the bed may not rise above its initial level.
# Between x = 80 m and 120 m (material 2) a non-erodible layer lies 2 cm below the bed. The channel starts with a
# level water surface at 1 m (a dry start would run the inlet supercritical and bury it in the fed sediment); the
# flow settles first, and the bed moves from t = 600 s on (Meyer-Peter and Mueller, lateral-slope deflection, van Rijn
# slope correction).
# Usage: examples/mobile-bed/run.sh [BUILD_DIR]   (default: build). The run happens in BUILD_DIR/examples/mobile-bed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
work="$build/examples/$(basename "$here")"
mkdir -p "$work"
cp "$here/setup.json" "$here/config.json" "$work/"
cd "$work"
"$build/src/hydrova_mesh" --size 200 20 --cells 100 10 --bed slope:0.001 --material 80:120:2 -o channel.2dm
"$build/src/hydrova_setup" -f setup.json -o model.h5
"$build/src/hydrova_simulation" -f config.json -r model.h5 -o results.h5 -p
# The bed change at the end as a picture, the time series for ParaView/QGIS, the sediment hydrographs.
"$build/src/hydrova_results" -f results.h5 -p delta_z -g
echo
echo "results:     $work/results.h5"
echo "time series: $work/results.xdmf   (open in ParaView or QGIS)"
echo "picture:     $(ls "$work"/results_delta_z*.png | tail -n 1)"
