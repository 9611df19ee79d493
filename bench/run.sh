#!/usr/bin/env bash
# Whole-run benchmark suite: builds the programs in Release (build-bench), generates the cases, runs them on 1 and
# 2 threads and prints one table; results in bench/results/latest.csv (summary) and latest-runs.csv (every run),
# or quick.csv and quick-runs.csv for --quick.
# Usage: bench/run.sh [--quick] [more options of bench/wholerun.py, e.g. --sizes 100k,1M --reps 5]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${HYDROVA_BENCH_BUILD:-$root/build-bench}"
work="$build/bench-cases"

command -v python3 >/dev/null || { echo "python3 is required" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is required: run scripts/install-deps.sh" >&2; exit 1; }

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DHYDROVA_BUILD_TESTS=OFF
fi
cmake --build "$build" --target hydrova_mesh hydrova_setup hydrova_simulation bench_machine_triad -j "$(nproc)"

# A quick smoke run keeps the full suite's results: it writes quick.csv / quick.md instead of latest.*.
name=latest
for arg in "$@"; do [ "$arg" = "--quick" ] && name=quick; done
echo " -> $(uptime)"
python3 "$root/bench/wholerun.py" --build "$build" --work "$work" \
  --csv "$root/bench/results/$name.csv" --table "$root/bench/results/$name.md" "$@"
