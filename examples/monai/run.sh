#!/usr/bin/env bash
# The Monai valley wave tank (Benchmark 2 of the Third International Workshop on Long-Wave Runup Models, 2004: a
# 1:400 model of the valley where the 1993 Okushiri tsunami ran up 31 m): make_layers.py turns the benchmark's
# bathymetry grid, incident wave and tank outline into the inputs of the programs; hydrova_mesh meshes the basin
# (0.014 m elements, the grid's spacing; about 220 000 triangles) with the node elevations from the grid; the wave
# enters through the side x = 0 by the incident-wave boundary; gauges 5, 7 and 9 are sampled every 0.05 s;
# compare.py sets them against the measured records (RMSE, first crest) and reports the run-up in the valley.
# Usage: examples/monai/run.sh [BUILD_DIR] [THREADS] [ELEMENT_SIZE]   (defaults: build, all cores, 0.014 m)
# The benchmark data are read from $HYDROVA_MONAI_DATA, by default ../shared/data/monai beside the checkout.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
threads=()
if [ -n "${2:-}" ]; then threads=(-n "$2"); fi
size="${3:-0.014}"
data="${HYDROVA_MONAI_DATA:-$here/../../../shared/data/monai}"
[ -f "$data/Benchmark_2_Bathymetry.asc" ] || { echo "no Monai benchmark data in <$data> (set HYDROVA_MONAI_DATA)" >&2; exit 1; }
data="$(cd "$data" && pwd)"
work="$build/examples/$(basename "$here")"
mkdir -p "$work"
cp "$here/setup.json" "$here/config.json" "$work/"
cd "$work"
python3 "$here/make_layers.py" "$data" .
"$build/src/hydrova_mesh" --domain domain.csv --boundaries boundaries.csv --dem bathymetry.asc \
  --element-size "$size" -o monai.2dm
"$build/src/hydrova_setup" -f setup.json -o model.h5
"$build/src/hydrova_simulation" -f config.json -r model.h5 -o results.h5 -p -l 1 "${threads[@]}"
"$build/src/hydrova_results" -f results.h5 -p flood_max_depth -s -G
python3 "$here/compare.py" results_gauges.csv "$data/output_ch5-7-9.txt" --results results.h5 --svg gauges.svg
echo
echo "gauges:   $work/results_gauges.csv, $work/results_gauges.png, against the measurement: $work/gauges.svg"
echo "pictures: $work/results_flood_max_depth.png"
