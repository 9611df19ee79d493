#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang in build-fuzz/ and runs each for SECONDS (default 60) from its
# committed seed corpus fuzz/corpus/<name>/. A crash, a hang (an input that takes over 20 s), memory beyond 2 GB or
# a leak stops the harness with a non-zero status and leaves the input as build-fuzz/crash-* (or timeout-*,
# oom-*, leak-*); this script then fails. Inputs the fuzzer finds go to a scratch folder, not into the corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
harnesses=(fuzz_mesh2dm fuzz_setup_command fuzz_configuration fuzz_model_file)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHYDROVA_BUILD_TESTS=OFF \
  -DHYDROVA_BUILD_FUZZ=ON > /dev/null
cmake --build build-fuzz -j "$(nproc)" --target "${harnesses[@]}"

status=0
for name in "${harnesses[@]}"; do
  found="$(mktemp -d)"
  echo "fuzzing ${name} for ${seconds} s"
  # Every harness looks for leaks, the model-file one too: a refused model file and a run that the guard stops
  # (seeds guard_*) must leave nothing allocated once the domain is deleted.
  # -close_fd_mask=1: the programs' progress lines on standard output are dropped; reports stay on standard error.
  if ! (cd build-fuzz && ASAN_OPTIONS="detect_leaks=1" "fuzz/${name}" -max_total_time="${seconds}" -timeout=20 -rss_limit_mb=2048 \
        -close_fd_mask=1 -detect_leaks=1 -print_final_stats=1 "${found}" "../fuzz/corpus/${name}" 2> "fuzz-${name}.log"); then
    echo "${name} failed:"
    tail -n 60 "build-fuzz/fuzz-${name}.log"
    status=1
  else
    grep -E "^stat::(number_of_executed_units|peak_rss_mb)" "build-fuzz/fuzz-${name}.log" || true
  fi
  rm -rf "${found}"
done
exit "${status}"
