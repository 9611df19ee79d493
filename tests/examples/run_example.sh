#!/usr/bin/env bash
# Runs an example's run.sh from a copy of its folder, so that its outputs land in BUILD_DIR/examples/<name>-test and
# not over a user's own run, then checks that every file the script announced exists.
# Usage: run_example.sh EXAMPLE_DIR BUILD_DIR THREADS
set -euo pipefail
example="$1"
build="$(cd "$2" && pwd)"
threads="$3"
name="$(basename "$example")-test"
copy="$(mktemp -d /tmp/hydrova-example-XXXXXX)"
trap 'rm -rf "$copy"' EXIT
cp -r "$example" "$copy/$name"
log="$copy/run.log"
if ! OMP_NUM_THREADS="$threads" bash "$copy/$name/run.sh" "$build" > "$log" 2>&1; then
  cat "$log"
  echo "FAILED: $example/run.sh"
  exit 1
fi
work="$build/examples/$name"
status=0
for f in results.h5 results.xdmf; do
  [ -s "$work/$f" ] || { echo "FAILED: $work/$f missing"; status=1; }
done
# Pictures and hydrographs the script announced.
for f in $(grep -o '[A-Za-z0-9_./-]*\.\(png\|csv\)' "$log" | sort -u); do
  case "$f" in /*) path="$f" ;; *) path="$work/$(basename "$f")" ;; esac
  [ -s "$path" ] || { echo "FAILED: $path announced but missing"; status=1; }
done
echo "$example: $(grep -c 'picture written' "$log") pictures, exit status of run.sh 0"
exit $status
