#!/usr/bin/env bash
# Dam break in a 100 m x 10 m channel: 1 m of water behind a dam at x = 50 m (material 1), dry bed beyond
# (material 2), walls along the sides and the left end, free outflow at the right end.
# Usage: examples/dam-break/run.sh [BUILD_DIR]   (default: build)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
cd "$here"
"$build/src/hydrova_mesh" --size 100 10 --cells 50 5 --material 0:50:1,50:100:2 -o channel.2dm
"$build/src/hydrova_setup" -f setup.json -o model.h5
"$build/src/hydrova_simulation" -f config.json -r model.h5 -o results.h5 -p
