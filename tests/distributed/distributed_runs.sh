#!/usr/bin/env bash
# Distributed runs against the single-process run, as a user starts them (mpirun -np N hydrova_simulation ...):
#   distributed_runs.sh BUILD_DIR CASE
# CASE dam_break | channel | mobile_bed (with a fixed-bed reach): the results (gauges every step in the dam break,
#   every 0.25 s in the channel) of 2, 3 and 4 processes at 1 and 2
#   threads must equal the single-process results, every record byte for byte (h5diff and a binary dump of every
#   dataset).
# CASE rerun: a re-run on 3 processes from a single-process results file: its cell states equal the uninterrupted
#   run's, every record the single-process re-run's.
# CASE errors: a missing model file and an unknown partitioning routine end the run with status 1 and the message,
#   leaving no results file.
set -euo pipefail
build="$(cd "$1" && pwd)"
case="$2"
bin="$build/src"
work="$build/tests/distributed/$case"
rm -rf "$work" && mkdir -p "$work" && cd "$work"
if [ "$(id -u)" -eq 0 ]; then export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1; fi
# Up to 8 threads on 2 cores: threads that wait sleep instead of spinning (timing only; results do not depend on it).
export OMP_WAIT_POLICY=PASSIVE
mpi() { local np="$1"; shift; mpirun --oversubscribe -np "$np" "$@"; }
fail() { echo "FAILED: $*"; exit 1; }

# Every dataset of a results file as bytes, one file per dataset, names listed in $2.
dump_all() {
  local file="$1" dir="$2"
  mkdir -p "$dir"
  h5ls -r "$file" | awk '$2 == "Dataset" {print $1}' > "$dir/list"
  [ -s "$dir/list" ] || fail "no dataset in $file"
  local i=0
  while read -r path; do
    h5dump -d "$path" -b LE -o "$dir/$i.bin" "$file" > /dev/null
    i=$((i + 1))
  done < "$dir/list"
}

same_results() {
  local ref="$1" other="$2"
  h5diff "$ref" "$other" > /dev/null || fail "h5diff finds differences between $ref and $other"
  dump_all "$other" "${other%.h5}.bytes"
  cmp -s "${ref%.h5}.bytes/list" "${other%.h5}.bytes/list" || fail "$other holds other datasets than $ref"
  for f in "${ref%.h5}.bytes"/*.bin; do
    cmp -s "$f" "${other%.h5}.bytes/$(basename "$f")" || fail "$other: dataset $(basename "$f" .bin) differs in its bytes"
  done
}

run_all_counts() {
  "$bin/hydrova_simulation" -f config.json -r model.h5 -o ref.h5 > ref.log || fail "single-process run"
  dump_all ref.h5 ref.bytes
  for np in 2 3 4; do
    for threads in 1 2; do
      # On 3 processes METIS divides groups of 16 cells, as it does on large meshes; on 4 the outputs are gathered
      # in slices of 100 elements, as those of large meshes are in many.
      group="" slice=""
      [ "$np" -eq 3 ] && group=16
      [ "$np" -eq 4 ] && slice=100
      OP_PARTITION_GROUP="$group" OP_GATHER_SLICE="$slice" mpi "$np" "$bin/hydrova_simulation" -f config.json -r model.h5 \
        -o "p$np-t$threads.h5" -n "$threads" > "p$np-t$threads.log" 2>&1 \
        || fail "run on $np processes, $threads threads (see $work/p$np-t$threads.log)"
      same_results ref.h5 "p$np-t$threads.h5"
      echo "$case: $np processes x $threads threads equal to one process"
    done
  done
}

# A channel of 100 m x 10 m, 80 x 8 squares: gauges across (x = 50 m) and along (y = 5 m, two pieces of 40 edges).
channel_mesh() {
  "$bin/hydrova_mesh" --size 100 10 --cells 80 8 --bed slope:0.001 --material 50:100:2 -o channel.2dm > /dev/null
  { printf 'NS'; for j in $(seq 0 8); do printf ' %d' $(( (j == 8 ? -1 : 1) * (j * 81 + 41) )); done; echo ' cross'
    printf 'NS'; for i in $(seq 0 80); do printf ' %d' $(( (i == 80 ? -1 : 1) * (4 * 81 + i + 1) )); done
    echo ' along'; } >> channel.2dm
}

case "$case" in
dam_break)
  "$bin/hydrova_mesh" --size 100 10 --cells 100 10 --material 0:50:1,50:100:2 -o channel.2dm > /dev/null
  cat > setup.json <<'JSON'
{"SETUP": {"DOMAIN": {"LAMINA_2D": {
  "GEOMETRY": {"mesh_file": "channel.2dm", "STRINGDEF": [{"name": "right"}],
    "GAUGEDEF": [{"name": "lake", "x": 20.3, "y": 4.1}, {"name": "gate", "x": 50.2, "y": 5.5},
                 {"name": "front", "x": 80.4, "y": 1.3}]},
  "HYDRAULICS": {"PARAMETER": {"CFL": 0.5},
    "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 1.0}]},
    "FRICTION": {"type": "manning", "default_friction": 0.012},
    "BOUNDARY": [{"name": "outlet", "type": "free_outflow", "string": "right"}], "FLOOD": {}}}}}}
JSON
  cat > config.json <<'JSON'
{"SIMULATION": {"TIME": {"start": 0.0, "end": 10.0, "out": 2.0},
  "OUTPUT": ["water_surface", "water_depth", "flow_velocity", "spec_discharge", "ns_hyd_discharge"]}}
JSON
  "$bin/hydrova_setup" -f setup.json -o model.h5 > /dev/null
  run_all_counts
  ;;
channel)
  channel_mesh
  cat > setup.json <<'JSON'
{"SETUP": {"DOMAIN": {"LAMINA_2D": {
  "GEOMETRY": {"mesh_file": "channel.2dm",
    "STRINGDEF": [{"name": "left"}, {"name": "right"}, {"name": "cross", "upstream_direction": "left"},
                  {"name": "along", "upstream_direction": "left"}],
    "REGIONDEF": [{"name": "east", "index": [2]}],
    "GAUGEDEF": [{"name": "inlet", "x": 0.6, "y": 5.2}, {"name": "middle", "x": 50.3, "y": 4.9},
                 {"name": "rain", "x": 75.1, "y": 9.4}, {"name": "outlet", "x": 99.4, "y": 0.2}]},
  "HYDRAULICS": {"PARAMETER": {"CFL": 0.5},
    "INITIAL": {"type": "water_surface", "value": 0.5},
    "FRICTION": {"type": "manning", "default_friction": 0.03},
    "BOUNDARY": [
      {"name": "in", "type": "discharge_inflow", "string": "left", "discharge": [[0, 0.0], [10, 5.0]], "slope": 0.001},
      {"name": "out", "type": "water_level", "string": "right", "water_surface": [[0, 0.5], [20, 0.6]]}],
    "SOURCE": [{"name": "storm", "type": "rain", "region": "east", "intensity": [[0, 50.0], [20, 0.0]]}],
    "FLOOD": {}}}}}}
JSON
  cat > config.json <<'JSON'
{"SIMULATION": {"TIME": {"start": 0.0, "end": 20.0, "out": 5.0}, "GAUGES": {"interval": 0.25},
  "OUTPUT": ["water_surface", "water_depth", "flow_velocity", "spec_discharge", "ns_hyd_discharge"]}}
JSON
  "$bin/hydrova_setup" -f setup.json -o model.h5 > /dev/null
  run_all_counts
  ;;
mobile_bed)
  "$bin/hydrova_mesh" --size 200 20 --cells 100 10 --bed slope:0.001 --material 80:120:2 -o channel.2dm > /dev/null
  cat > setup.json <<'JSON'
{"SETUP": {"DOMAIN": {"LAMINA_2D": {
  "GEOMETRY": {"mesh_file": "channel.2dm", "STRINGDEF": [{"name": "left"}, {"name": "right"}]},
  "HYDRAULICS": {"PARAMETER": {"CFL": 0.5}, "INITIAL": {"type": "water_surface", "value": 1.0},
    "FRICTION": {"type": "manning", "default_friction": 0.025},
    "BOUNDARY": [
      {"name": "upstream", "type": "discharge_inflow", "string": "left", "discharge": [[0, 0.0], [10, 20.0]], "slope": 0.001},
      {"name": "downstream", "type": "free_outflow", "string": "right"}]},
  "MORPHOLOGY": {"PARAMETER": {"start_time": 10.0, "porosity": 0.4},
    "BEDMATERIAL": {"grain_size": 0.002, "FIXED_BED": {"type": "depth", "regions": [{"index": [2], "value": 0.0}],
                                                      "accuracy": 0.001, "max_iterations": 10}},
    "BEDLOAD": {"formula": "meyer_peter_mueller", "DIRECTION": {"IKEDA": {"factor": 0.45}},
      "BOUNDARY": [{"name": "feed", "type": "sediment_inflow", "string": "left"},
                   {"name": "spill", "type": "bed_level", "string": "right", "limit": "upper"}]},
    "INCIPIENT_MOTION": {"formula": "van_rijn", "repose_angle": 32.0}}}}}}
JSON
  cat > config.json <<'JSON'
{"SIMULATION": {"TIME": {"start": 0.0, "end": 60.0, "out": 15.0},
  "OUTPUT": ["water_depth", "flow_velocity", "bottom_elevation", "delta_z", "ns_hyd_discharge", "ns_mor_discharge"]}}
JSON
  "$bin/hydrova_setup" -f setup.json -o model.h5 > /dev/null
  run_all_counts
  ;;
rerun)
  channel_mesh
  cat > setup.json <<'JSON'
{"SETUP": {"DOMAIN": {"LAMINA_2D": {
  "GEOMETRY": {"mesh_file": "channel.2dm", "STRINGDEF": [{"name": "left"}, {"name": "right"}],
    "GAUGEDEF": [{"name": "upper", "x": 10.2, "y": 2.2}, {"name": "lower", "x": 90.7, "y": 7.6}]},
  "HYDRAULICS": {"PARAMETER": {"CFL": 0.5}, "INITIAL": {"type": "water_surface", "value": 0.5},
    "FRICTION": {"type": "manning", "default_friction": 0.03},
    "BOUNDARY": [
      {"name": "in", "type": "discharge_inflow", "string": "left", "discharge": [[0, 0.0], [60, 5.0]], "slope": 0.001},
      {"name": "out", "type": "free_outflow", "string": "right"}]}}}}}
JSON
  outputs='"GAUGES": {"interval": 2.0}, "OUTPUT": ["water_surface", "water_depth", "spec_discharge", "ns_hyd_discharge"]'
  echo "{\"SIMULATION\": {\"TIME\": {\"start\": 0.0, \"end\": 90.0, \"out\": 30.0}, $outputs}}" > whole.json
  echo "{\"SIMULATION\": {\"TIME\": {\"start\": 0.0, \"end\": 60.0, \"out\": 30.0}, $outputs}}" > first.json
  echo "{\"SIMULATION\": {\"TIME\": {\"start\": 30.0, \"end\": 90.0, \"out\": 30.0}, $outputs}}" > again.json
  "$bin/hydrova_setup" -f setup.json -o model.h5 > /dev/null
  "$bin/hydrova_simulation" -f whole.json -r model.h5 -o whole.h5 > whole.log || fail "uninterrupted run"
  for name in serial rerun; do
    "$bin/hydrova_simulation" -f first.json -r model.h5 -o $name.h5 > $name-first.log || fail "first part"
  done
  "$bin/hydrova_simulation" -f again.json -r model.h5 -o serial.h5 > serial-again.log || fail "re-run on 1 process"
  mpi 3 "$bin/hydrova_simulation" -f again.json -r model.h5 -o rerun.h5 > again.log 2>&1 || fail "re-run on 3 processes"
  same_record() {
    h5diff "$1" "$2" "$3" "$3" > /dev/null || fail "$2: record $3 differs from $1"
    h5dump -d "$3" -b LE -o a.bin "$1" > /dev/null && h5dump -d "$3" -b LE -o b.bin "$2" > /dev/null
    cmp -s a.bin b.bin || fail "$2: record $3 differs from $1 in its bytes"
  }
  # The cell states equal the uninterrupted run's; every record and gauge block equals the single-process re-run's
  # (the string states of the restart record are not part of the restored state: they differ from the uninterrupted
  # run's there).
  for path in $(h5ls -r whole.h5 | awk '$2 == "Dataset" && $1 ~ /^\/(RESULTS|Gauges\/Series)\// {print $1}'); do
    case "$path" in /RESULTS/CellsAll/*) same_record whole.h5 rerun.h5 "$path" ;; esac
    same_record serial.h5 rerun.h5 "$path"
  done
  [ "$(h5ls -r rerun.h5 | grep -c '^/Gauges/Series/')" -eq 4 ] || fail "rerun.h5: not 4 gauge blocks"
  echo "rerun: 3 processes from a one-process results file: the uninterrupted run's cell states"
  ;;
errors)
  "$bin/hydrova_mesh" --size 10 10 --cells 10 10 -o box.2dm > /dev/null
  echo '{"SETUP": {"DOMAIN": {"LAMINA_2D": {"GEOMETRY": {"mesh_file": "box.2dm"},
    "HYDRAULICS": {"INITIAL": {"type": "water_surface", "value": 1.0}}}}}}' > setup.json
  echo '{"SIMULATION": {"TIME": {"start": 0.0, "end": 1.0, "out": 1.0}, "OUTPUT": ["water_depth"]}}' > config.json
  "$bin/hydrova_setup" -f setup.json -o model.h5 > /dev/null
  status=0
  mpi 3 "$bin/hydrova_simulation" -f config.json -r missing.h5 -o out.h5 > missing.log 2>&1 || status=$?
  [ "$status" -eq 1 ] || fail "missing model file: status $status, not 1"
  # Every process names the file; the first abort may end a process before it has reported: at least rank 0's.
  grep -q 'runfile not found: missing.h5' missing.log || fail "missing model file: not named"
  [ ! -e out.h5 ] || fail "missing model file: a results file was left"
  status=0
  HYDROVA_PARTITIONER=SPECTRAL mpi 3 "$bin/hydrova_simulation" -f config.json -r model.h5 -o out.h5 \
    > partition.log 2>&1 || status=$?
  [ "$status" -eq 1 ] || fail "unknown partitioning routine: status $status, not 1"
  grep -q 'METIS has no routine SPECTRAL' partition.log || fail "partitioner error: no message"
  [ ! -e out.h5 ] || fail "partitioner error: a results file was left"
  # A cell's edge list damaged in the file: only the process that owns the cell reads that row; it names the cell in
  # the file's numbering and the whole set's size, as one process does, and every process ends.
  offset=$(h5dump -p -H -d /CellsAll/EdgesAll model.h5 | awk '$1 == "OFFSET" {print $2}')
  printf '\x00\x00\x00\x7f' | dd of=model.h5 bs=1 seek=$((offset + 12 * 97)) conv=notrunc status=none
  expected='element 97 maps to 2130706432, outside its target set of'
  status=0
  "$bin/hydrova_simulation" -f config.json -r model.h5 -o out.h5 > damaged-1.log 2>&1 || status=$?
  [ "$status" -eq 1 ] && grep -q "$expected" damaged-1.log || fail "damaged map on one process: status $status"
  line=$(grep -o "$expected [0-9]* elements" damaged-1.log)
  status=0
  mpi 3 "$bin/hydrova_simulation" -f config.json -r model.h5 -o out.h5 > damaged.log 2>&1 || status=$?
  [ "$status" -eq 1 ] || fail "damaged map on 3 processes: status $status, not 1"
  grep -q "$line" damaged.log || fail "damaged map on 3 processes: not reported as on one process ($line)"
  [ ! -e out.h5 ] || fail "damaged map: a results file was left"
  echo "errors: status 1 and the message ($(grep -c 'runfile not found' missing.log) and \
$(grep -c 'no routine SPECTRAL' partition.log) of 3 processes reported; a damaged row reported by its owner as by one process), no results file"
  ;;
*)
  fail "unknown case $case"
  ;;
esac
