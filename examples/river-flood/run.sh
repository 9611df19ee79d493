#!/usr/bin/env bash
# A flood in a meandering river: 2 km of valley, the river 40 m wide and 2.5 m deep, its floodplain 200 m wide
# (Manning n = 0.035 in the channel, 0.06 on the floodplain). The river starts with a level water surface, settles
# for an hour at 30 m^3/s, then a flood of 250 m^3/s (hydrograph.txt) enters through the channel section at the
# upstream end, overtops the banks and leaves through the whole valley section downstream (normal outflow). A gauge
# across the valley at x = 1000 m records the discharge; the flood's arrival time and maxima are tracked per cell.
# Usage: examples/river-flood/run.sh [BUILD_DIR] [THREADS]   (default: build, all cores). The run happens in
# BUILD_DIR/examples/river-flood; 4 hours of flood take about half a minute.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
threads=()
if [ -n "${2:-}" ]; then threads=(-n "$2"); fi
work="$build/examples/$(basename "$here")"
mkdir -p "$work"
cp "$here/setup.json" "$here/config.json" "$here/hydrograph.txt" "$work/"
cd "$work"
python3 "$here/make_mesh.py" valley.2dm
"$build/src/hydrova_setup" -f setup.json -o model.h5
"$build/src/hydrova_simulation" -f config.json -r model.h5 -o results.h5 -p "${threads[@]}"
# The depth at the peak, the flood's maximum depth and arrival time, the hydrographs of the three strings.
"$build/src/hydrova_results" -f results.h5 -p water_depth -t 7800 -p flood_max_depth -p flood_arrival_time -g
echo
echo "results:     $work/results.h5"
echo "time series: $work/results.xdmf   (ParaView; in QGIS add it as a dataset of valley.2dm)"
echo "pictures:    $work/results_water_depth_t7800.png, results_flood_max_depth.png, results_flood_arrival_time.png"
echo "hydrograph:  $work/results_discharge.csv, $work/results_discharge.png"
