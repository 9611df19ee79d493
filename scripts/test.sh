#!/usr/bin/env bash
# Fresh machine to passing tests: packages, Release build, the whole test suite, the share of test code, then a
# minute of fuzzing per harness.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DHYDROVA_BUILD_TESTS=ON
cmake --build build -j "$(nproc)"
ctest --test-dir build --output-on-failure -j "$(nproc)"
./scripts/test-share.sh || true
./scripts/fuzz.sh 60
