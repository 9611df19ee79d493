#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running HYDROVA need. Does nothing when all are present.
set -euo pipefail

packages=(
  g++ make cmake pkg-config
  libhdf5-dev hdf5-tools
  nlohmann-json3-dev libtclap-dev libabsl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  time  # /usr/bin/time -v: peak memory in the whole-run benchmark (bench/run.sh)
  valgrind  # callgrind: the instruction counts of the whole-run benchmark
  libcairo2-dev libxml2-utils libxml2-dev
  libgdal-dev gdal-bin  # GIS layers and rasters (GDAL/OGR, PROJ); gdal_translate in the GIS example
  libgmsh-dev  # the triangulation of meshes from GIS layers
  openmpi-bin libopenmpi-dev libmetis-dev  # distributed runs: mpirun, MPI, the cell-graph partitioner
  python3  # the river-flood example's mesh script, the example tests, bench/run.sh
  clang libclang-rt-dev  # libFuzzer and AddressSanitizer of the fuzz harnesses (scripts/fuzz.sh)
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
