#!/usr/bin/env bash
# Fresh machine to the bundled example: packages, Release build, then the programs.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)" --target hydrova_simulation
# The simulation driver has not landed yet: the program can only show its command line.
./build/src/hydrova_simulation --help
