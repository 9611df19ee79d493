#!/usr/bin/env bash
# Fresh machine to the bundled example: packages, Release build, then the programs.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)" --target hydrova_simulation hydrova_setup hydrova_mesh hydrova_results
# Dam break in a channel: mesh, model file, simulation, XDMF time series and pictures (see examples/dam-break/).
./examples/dam-break/run.sh build
