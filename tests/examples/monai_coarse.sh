#!/usr/bin/env bash
# The Monai valley example on a coarse mesh (0.05 m elements, about 17 000 triangles), run as a user runs it, and its
# gauges 5, 7 and 9 held against the measured records: RMSE below 0.6 cm, first crest within 0.3 cm and 0.5 s (this
# mesh reaches 0.40-0.49 cm, 0.06-0.17 cm and 0.10-0.35 s; the 0.014 m mesh of the example is closer, see
# docs/verification.md).
# Usage: monai_coarse.sh EXAMPLE_DIR BUILD_DIR DATA_DIR
set -euo pipefail
example="$1"
build="$(cd "$2" && pwd)"
data="$(cd "$3" && pwd)"
copy="$(mktemp -d /tmp/hydrova-monai-XXXXXX)"
trap 'rm -rf "$copy"' EXIT
cp -r "$example" "$copy/monai-coarse-test"
if ! HYDROVA_MONAI_DATA="$data" bash "$copy/monai-coarse-test/run.sh" "$build" 2 0.05 > "$copy/run.log" 2>&1; then
  cat "$copy/run.log"
  echo "FAILED: $example/run.sh"
  exit 1
fi
work="$build/examples/monai-coarse-test"
python3 "$example/compare.py" "$work/results_gauges.csv" "$data/output_ch5-7-9.txt" --check 0.6 0.3 0.5
