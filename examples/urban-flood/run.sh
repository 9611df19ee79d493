#!/usr/bin/env bash
# A flash flood through a small town, from GIS layers to results: make_layers.py draws the model boundary, 24 houses,
# two roads, a refinement area and two boundary lines as GeoJSON layers (ETRS89 / UTM 32N) and the terrain as an ESRI
# ASCII grid, which gdal_translate turns into a GeoTIFF; hydrova_mesh meshes the layers (houses as walls, roads as
# mesh edges, 4 m elements in the town, 10 m elsewhere, node elevations from the GeoTIFF); hydrova_setup takes the
# cell beds as the mean of the terrain over each cell. 40 m^3/s enter through the middle of the left edge within
# 10 minutes and leave across the right edge (normal outflow); half an hour of flood.
# Usage: examples/urban-flood/run.sh [BUILD_DIR] [THREADS]   (default: build, all cores). The run happens in
# BUILD_DIR/examples/urban-flood; it needs gdal_translate (Debian package gdal-bin).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
threads=()
if [ -n "${2:-}" ]; then threads=(-n "$2"); fi
work="$build/examples/$(basename "$here")"
mkdir -p "$work"
cp "$here/setup.json" "$here/config.json" "$work/"
cd "$work"
python3 "$here/make_layers.py" .
gdal_translate -q -of GTiff -a_srs EPSG:25832 dem.asc dem.tif
"$build/src/hydrova_mesh" --domain domain.geojson --holes buildings.geojson --breaklines roads.geojson \
  --refine refine.geojson --boundaries boundaries.geojson --dem dem.tif --element-size 10 -o town.2dm
"$build/src/hydrova_setup" -f setup.json -o model.h5
"$build/src/hydrova_simulation" -f config.json -r model.h5 -o results.h5 -p "${threads[@]}"
"$build/src/hydrova_results" -f results.h5 -p water_depth -p flood_max_depth -g
echo
echo "results:     $work/results.h5 (coordinate system: town.prj, also in the file as .config/crs)"
echo "time series: $work/results.xdmf   (ParaView; in QGIS add it as a dataset of town.2dm)"
echo "pictures:    $work/results_water_depth_t1800.png, $work/results_flood_max_depth.png"
echo "hydrograph:  $work/results_discharge.csv, $work/results_discharge.png"
