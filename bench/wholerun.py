#!/usr/bin/env python3
"""Whole-run benchmark: generates meshes and models, runs hydrova_simulation, prints a table and writes CSV files.

Called by bench/run.sh, which builds the programs first. Standard library only.

Measured per run:
  - cell updates per second = cells x time steps / seconds of the time loop, with the seconds from the line
    "simulation finished! (cpu-time = ...s)" and the steps from the Update count of the timing table;
  - the share of each loop in the sum of the loop times of the timing table;
  - peak resident memory (from /usr/bin/time -v) in bytes per cell;
and per model the set-up program's wall time and peak memory.
"""
import argparse
import csv
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from shuffle_2dm import shuffle_2dm  # noqa: E402

# Rectangle of 2000 m x 500 m, cut into 2 NX NY triangles; the dam (material 1 | 2) at x = 1000 m.
LX, LY = 2000.0, 500.0
SIZES = {
    "100k": (448, 112),  # 100 352 triangles, 4.5 m squares
    "1M": (1414, 354),  # 1 001 112 triangles
    "4M": (2828, 707),  # 3 998 792 triangles
}
# Simulated seconds per mesh: the steps shrink with the cells, so finer meshes run shorter spans to keep the
# whole suite within its time budget. On this VM the host slows runs down now and then, by up to a third. The 1M
# runs, on which the targets are read, last 6-12 s of time loop on one thread and 3-7 s on two: short enough that
# five of each fit in the budget and some escape the slow spells, long enough that the one-off costs of the first
# step (execution plans) stay small. The step counts are reported.
SIM_TIME = {"100k": 60.0, "1M": 9.0, "4M": 1.0}
# The mobile bed costs about three times as much per step as the fixed bed: it runs two thirds of the span.
CASE_TIME_FACTOR = {"mobile-bed": 2.0 / 3.0}
# Runs per case and thread count on a mesh, when fewer than --reps: the 4M runs (10-16 s each) three times.
MAX_REPS = {"4M": 3}
# Instruction counts: the cases on the smallest mesh of the suite under valgrind's callgrind, one thread, this
# many simulated seconds (times the case factor): the counts are the same in every run, whatever the machine does.
COUNT_SIM_TIME = {"100k": 10.0, "1M": 1.5, "4M": 0.3}
BED = "slope:0.0002"  # 0.4 m at x = 0 falling to 0 m at x = 2000 m
SHUFFLE_SEED = 20261206

# The cell update runs once per time step; its timing-table name, with or without the wrapper's prefix.
UPDATE_LOOPS = ("Update", "kernel_GLOBAL_Update", "GLOBAL_Update")


def case_dambreak(mesh):
    """1.5 m water surface upstream of the dam, dry bed downstream, no friction, free outflow at x = 2000 m."""
    return {
        "GEOMETRY": {"mesh_file": mesh, "STRINGDEF": [{"name": "right"}]},
        "HYDRAULICS": {
            "PARAMETER": {"CFL": 0.5, "max_time_step": 10.0, "minimum_water_depth": 0.001, "gravity": 9.81,
                          "safe_mode": False},
            "INITIAL": {"type": "index_table",
                        "values": [{"index": [1], "water_surface": 1.5, "discharge": [0.0, 0.0]}]},
            "BOUNDARY": [{"name": "outlet", "type": "free_outflow", "string": "right"}],
        },
    }


def case_inflow(mesh):
    """Wet channel at 1.2 m with Manning friction, 500 m3/s entering at x = 0, water level 1.2 m at x = 2000 m."""
    return {
        "GEOMETRY": {"mesh_file": mesh, "STRINGDEF": [{"name": "left"}, {"name": "right"}]},
        "HYDRAULICS": {
            "PARAMETER": {"CFL": 0.5, "max_time_step": 10.0, "minimum_water_depth": 0.001, "gravity": 9.81,
                          "safe_mode": False},
            "INITIAL": {"type": "water_surface", "value": 1.2},
            "FRICTION": {"type": "manning", "default_friction": 0.03},
            "BOUNDARY": [
                {"name": "upstream", "type": "discharge_inflow", "string": "left",
                 "discharge": [[0, 0.0], [30, 500.0], [100000, 500.0]], "slope": 0.0002},
                {"name": "downstream", "type": "water_level", "string": "right",
                 "water_surface": [[0, 1.2], [100000, 1.2]]},
            ],
        },
    }


def case_mobile_bed(mesh):
    """The inflow case over a bed of 2 mm sand moving from the start: Meyer-Peter and Mueller bed load with the
    lateral-slope and curvature corrections of the transport direction, walls for the sediment."""
    c = case_inflow(mesh)
    c["MORPHOLOGY"] = {
        "PARAMETER": {"start_time": 0.0, "porosity": 0.4},
        "BEDMATERIAL": {"grain_size": 0.002},
        "BEDLOAD": {"formula": "meyer_peter_mueller", "DIRECTION": {"IKEDA": {}, "CURVATURE": {}}},
    }
    return c


CASES = {
    "dambreak": case_dambreak,
    "inflow": case_inflow,
    "mobile-bed": case_mobile_bed,
}


def setup_text(domain):
    return json.dumps({"SETUP": {"DOMAIN": {"LAMINA_2D": domain}}}, indent=2) + "\n"


def config_text(sim_time):
    # Outputs only at the start and the end, so that the time loop measures the kernels rather than the file.
    return json.dumps({"SIMULATION": {"TIME": {"start": 0.0, "end": sim_time, "out": sim_time},
                                      "TIMESTEP": {"init": 0.01, "minimum": 0.0001},
                                      "OUTPUT": ["water_depth"]}}, indent=2) + "\n"


def load_average():
    with open("/proc/loadavg") as f:
        return float(f.read().split()[0])


def timed(cmd, cwd, log_path):
    """Runs cmd under /usr/bin/time -v; returns (exit code, output text, wall seconds, peak RSS bytes, CPU seconds)."""
    tv = log_path + ".time"
    with open(log_path, "w") as log:
        p = subprocess.run(["/usr/bin/time", "-v", "-o", tv] + cmd, cwd=cwd, stdout=log, stderr=subprocess.STDOUT)
    with open(log_path) as f:
        out = f.read()
    wall, rss, cpu = float("nan"), float("nan"), 0.0
    with open(tv) as f:
        for line in f:
            line = line.strip()
            if line.startswith("Maximum resident set size (kbytes):"):
                rss = int(line.split(":")[1]) * 1024
            elif line.startswith("User time (seconds):") or line.startswith("System time (seconds):"):
                cpu += float(line.split(":")[1])
            elif line.startswith("Elapsed (wall clock) time"):
                t = line.rsplit(" ", 1)[1].split(":")
                wall = sum(float(v) * 60 ** i for i, v in enumerate(reversed(t)))
    return p.returncode, out, wall, rss, cpu


CPU_TIME = re.compile(r"simulation finished! \(cpu-time = ([0-9.eE+\-]+)s\)")
COLLECTED = re.compile(r"==\d+== Collected : (\d+)")
# The function that holds the time loop, and the one that builds an execution plan, as callgrind names them.
TIME_LOOP_FUNCTION = "*TERRAcommon::run()"
PLAN_FUNCTION = "op_plan_core("


def parse_simulation(out):
    """Loop seconds and the timing table {loop name: (count, seconds)} of a simulation's output."""
    m = CPU_TIME.search(out)
    loop_s = float(m.group(1)) if m else None
    table = {}
    in_table = False
    for line in out.splitlines():
        if "count   plan time" in line:
            in_table = True
            continue
        if not in_table:
            continue
        fields = line.split(";")
        if len(fields) >= 6:
            try:
                count = int(fields[0])
                seconds = float(fields[3].split("(")[0])
            except ValueError:
                continue
            table[fields[-1].strip()] = (count, seconds)
        elif line.startswith("Total plan time"):
            in_table = False
    return loop_s, table


def steps_of(table):
    """Time steps of a run: the count of the cell update in its timing table (None when it is not there)."""
    update = next((n for n in UPDATE_LOOPS if n in table), None)
    return table[update][0] if update is not None else None


def remove_if_present(path):
    try:
        os.remove(path)
    except FileNotFoundError:
        pass


def short(name):
    return name[len("kernel_"):] if name.startswith("kernel_") else name


def fmt_range(values, scale=1.0, digits=2):
    v = sorted(x / scale for x in values)
    if not v:
        return "-"
    if len(v) == 1:
        return f"{v[0]:.{digits}f}"
    return f"{v[0]:.{digits}f} / {statistics.median(v):.{digits}f} / {v[-1]:.{digits}f}"


class Suite:
    def __init__(self, a):
        self.a = a
        self.bin = os.path.join(a.build, "src")
        self.runs = []  # one dict per simulation run
        self.setups = {}  # (case, mesh) -> list of (seconds, rss bytes)
        self.cells = {}  # mesh label -> triangles
        self.counts = []  # one dict per instruction count
        self.notes = []

    def program(self, name):
        for sub in ("", "setup", "setup/mesh", "../bench"):
            p = os.path.join(self.bin, sub, name)
            if os.path.isfile(p) and os.access(p, os.X_OK):
                return p
        sys.exit(f" -> {name} not found under {self.bin}")

    def log(self, text):
        print(text, flush=True)

    def make_mesh(self, label):
        nx, ny = SIZES[label]
        path = os.path.join(self.a.work, f"mesh-{label}.2dm")
        if not os.path.exists(path):
            cmd = [self.program("hydrova_mesh"), "--size", str(LX), str(LY), "--cells", str(nx), str(ny),
                   "--bed", BED, "--material", f"0:{LX / 2:g}:1", "--default-material", "2", "-o", path + ".tmp"]
            subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
            os.replace(path + ".tmp", path)
        self.cells[label] = 2 * nx * ny
        return path

    def make_shuffled(self, base_label):
        label = base_label + "-shuffled"
        src = self.make_mesh(base_label)
        path = os.path.join(self.a.work, f"mesh-{label}.2dm")
        if not os.path.exists(path):
            shuffle_2dm(src, path + ".tmp", SHUFFLE_SEED)
            os.replace(path + ".tmp", path)
        self.cells[label] = self.cells[base_label]
        return label, path

    def setup(self, case, label, mesh_path, reps):
        """Writes the command file and runs hydrova_setup reps times; returns the case folder or None on failure."""
        d = os.path.join(self.a.work, f"{case}-{label}")
        os.makedirs(d, exist_ok=True)
        with open(os.path.join(d, "setup.json"), "w") as f:
            f.write(setup_text(CASES[case](os.path.relpath(mesh_path, d))))
        for r in range(reps):
            code, out, wall, rss, _ = timed([self.program("hydrova_setup"), "-f", "setup.json", "-o", "model.h5"], d,
                                         os.path.join(d, f"setup-{r}.log"))
            if code != 0:
                first = next((l.strip() for l in out.splitlines() if "->" in l or "Error" in l), out.strip()[:200])
                return None, first
            self.setups.setdefault((case, label), []).append((wall, rss))
            self.log(f"    set-up {case} {label} #{r + 1}: {wall:.2f} s, {rss / 2**20:.0f} MiB")
        return d, None

    def triad(self, threads):
        """The machine's triad bandwidth in GB/s on this many threads, measured for one second."""
        p = subprocess.run([self.program("bench_machine_triad"), str(threads), "1"], capture_output=True, text=True)
        try:
            return float(p.stdout.strip())
        except ValueError:
            return float("nan")

    def simulate(self, case, label, d, sim_time, threads, rep):
        with open(os.path.join(d, "config.json"), "w") as f:
            f.write(config_text(sim_time))
        triad = self.triad(threads)
        load_before = load_average()
        code, out, wall, rss, cpu = timed([self.program("hydrova_simulation"), "-f", "config.json", "-r", "model.h5",
                                      "-o", "results.h5", "-n", str(threads)], d,
                                     os.path.join(d, f"run-{threads}t-{rep}.log"))
        load_after = load_average()
        remove_if_present(os.path.join(d, "results.h5"))
        loop_s, table = parse_simulation(out)
        cells = self.cells[label]
        steps = steps_of(table)
        if code != 0 or loop_s is None or steps is None:
            self.log(f"    FAILED {case} {label} {threads} thread(s): exit {code}; see {d}/run-{threads}t-{rep}.log")
            self.notes.append(f"{case} {label} on {threads} thread(s) failed (exit {code})")
            return
        total = sum(s for _, s in table.values())
        run = {
            "case": case, "mesh": label, "cells": cells, "threads": threads, "rep": rep + 1,
            "sim_time_s": sim_time, "steps": steps, "loop_s": loop_s, "wall_s": wall,
            "cell_updates_per_s": cells * steps / loop_s if loop_s > 0 else float("nan"),
            "peak_rss_bytes": rss, "peak_rss_bytes_per_cell": rss / cells,
            "load_before": load_before, "load_after": load_after, "triad_gbs": triad,
            # Share of the wall time the process had a core for (200 % = both cores all the time).
            "cpu_percent": 100.0 * cpu / wall if wall > 0 else float("nan"),
            "mass_messages": out.count("MASS BALANCE PROBLEM"),
            "kernel_s": {short(k): s for k, (_, s) in table.items()},
            "kernel_share": {short(k): (s / total if total > 0 else 0.0) for k, (_, s) in table.items()},
        }
        self.runs.append(run)
        self.log(f"    {case} {label} {threads} thread(s) #{rep + 1}: {steps} steps in {loop_s:.2f} s, "
                 f"{run['cell_updates_per_s'] / 1e6:.2f} M cell-updates/s, {rss / cells:.0f} B/cell, "
                 f"CPU {run['cpu_percent']:.0f} %, load {load_before:.1f}->{load_after:.1f}, triad {triad:.1f} GB/s")

    def span(self, times, mesh, case):
        """Simulated seconds of a case on a mesh, from a table of spans per mesh (SIM_TIME or COUNT_SIM_TIME)."""
        return self.a.time_scale * times[mesh] * CASE_TIME_FACTOR.get(case, 1.0)

    def count(self, case, label, d, sim_time):
        """Instructions of the time loop and of its planning under callgrind, one thread."""
        with open(os.path.join(d, "config-count.json"), "w") as f:
            f.write(config_text(sim_time))
        out_file = os.path.join(d, "callgrind.out")
        cmd = ["valgrind", "--tool=callgrind", f"--toggle-collect={TIME_LOOP_FUNCTION}",
               f"--callgrind-out-file={out_file}", self.program("hydrova_simulation"), "-f", "config-count.json",
               "-r", "model.h5", "-o", "results-count.h5", "-n", "1"]
        p = subprocess.run(cmd, cwd=d, capture_output=True, text=True)
        remove_if_present(os.path.join(d, "results-count.h5"))
        with open(os.path.join(d, "count.log"), "w") as f:
            f.write(p.stdout + p.stderr)
        m = COLLECTED.search(p.stderr)
        steps = steps_of(parse_simulation(p.stdout)[1])
        if p.returncode != 0 or m is None or steps is None:
            self.log(f"    FAILED instruction count {case} {label}: exit {p.returncode}; see {d}/count.log")
            self.notes.append(f"instruction count of {case} {label} failed (exit {p.returncode})")
            return
        total = int(m.group(1))
        ann = subprocess.run(["callgrind_annotate", "--inclusive=yes", out_file], capture_output=True, text=True)
        planning = 0
        for line in ann.stdout.splitlines():
            if PLAN_FUNCTION in line:
                planning = int(line.split()[0].replace(",", ""))
                break
        cells = self.cells[label]
        c = {"case": case, "mesh": label, "cells": cells, "sim_time_s": sim_time, "steps": steps,
             "instructions": total, "planning": planning,
             "per_cell_update": (total - planning) / (cells * steps)}
        self.counts.append(c)
        self.log(f"    instructions {case} {label}: {steps} steps, {total / 1e9:.3f} G in the time loop, "
                 f"{planning / 1e9:.3f} G of them planning, {c['per_cell_update']:.1f} per cell-update")

    def run(self):
        a = self.a
        os.makedirs(a.work, exist_ok=True)
        meshes = list(a.sizes)
        shuffled_of = a.shuffled
        started = time.time()
        root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
        git = subprocess.run(["git", "-C", root, "describe", "--always", "--dirty"], capture_output=True, text=True)
        self.revision = git.stdout.strip() or "an unknown revision"
        self.log(f" -> load average at start: {open('/proc/loadavg').read().split()[:3]}")
        jobs = []  # (case, label, folder, sim_time)
        for label in meshes:
            path = self.make_mesh(label)
            self.log(f" -> mesh {label}: {self.cells[label]} triangles")
            for case in a.cases:
                d, err = self.setup(case, label, path, a.setup_reps)
                if d is None:
                    self.log(f"    {case} {label}: not run, the set-up program stops: {err}")
                    self.notes.append(f"{case}: not run, hydrova_setup stops with: {err}")
                    continue
                jobs.append((case, label, d, self.span(SIM_TIME, label, case)))
        if shuffled_of:
            label, path = self.make_shuffled(shuffled_of)
            self.log(f" -> mesh {label}: {self.cells[label]} triangles, random numbering (seed {SHUFFLE_SEED})")
            case = a.shuffled_case
            d, err = self.setup(case, label, path, a.setup_reps)
            if d is None:
                self.notes.append(f"{case} {label}: not run, hydrova_setup stops with: {err}")
            else:
                jobs.append((case, label, d, self.span(SIM_TIME, shuffled_of, case)))
        # Repetitions outermost, so that a passing load peak touches one run of each configuration, not all.
        for rep in range(a.reps):
            for case, label, d, sim_time in jobs:
                if rep >= MAX_REPS.get(label, a.reps):
                    continue
                for threads in a.threads:
                    self.simulate(case, label, d, sim_time, threads, rep)
        if a.counts:
            smallest = min(meshes, key=lambda m: SIZES[m][0] * SIZES[m][1])
            for case, label, d, _ in jobs:
                if label == smallest:
                    self.count(case, label, d, self.span(COUNT_SIM_TIME, label, case))
        self.elapsed = time.time() - started
        self.notes = list(dict.fromkeys(self.notes))

    def groups(self):
        keys = []
        for r in self.runs:
            k = (r["case"], r["mesh"], r["threads"])
            if k not in keys:
                keys.append(k)
        return [(k, [r for r in self.runs if (r["case"], r["mesh"], r["threads"]) == k]) for k in keys]

    def runs_text(self):
        """'5 runs', or '5 runs (4M: 3)' when a mesh ran fewer times."""
        per_mesh = {}
        for (_, label, _), rs in self.groups():
            per_mesh[label] = max(per_mesh.get(label, 0), len(rs))
        if not per_mesh:
            return "0 runs"
        most = max(per_mesh.values())
        fewer = ", ".join(f"{m}: {n}" for m, n in per_mesh.items() if n < most)
        return f"{most} run(s)" + (f" ({fewer})" if fewer else "")

    def report(self):
        a = self.a
        lines = []
        lines.append(f"Whole-run benchmark, {time.strftime('%Y-%m-%d %H:%M %Z')}, {os.cpu_count()} cores, "
                     f"sources at {self.revision}; min / median / max of {self.runs_text()}")
        head = ("| case | cells | threads | sim. time [s] | steps | time loop [s] | cell-updates/s [M] "
                "| peak memory [B/cell] | set-up [s] | set-up memory [B/cell] | CPU use | load avg "
                "| machine triad [GB/s] |")
        lines.append(head)
        lines.append("|" + "---|" * (head.count("|") - 1))
        for (case, label, threads), rs in self.groups():
            st = self.setups.get((case, label), [])
            steps = sorted({r["steps"] for r in rs})
            loads = [r["load_before"] for r in rs] + [r["load_after"] for r in rs]
            lines.append(
                f"| {case} | {label} ({rs[0]['cells']}) | {threads} | {rs[0]['sim_time_s']:g} "
                f"| {'/'.join(str(s) for s in steps)} | {fmt_range([r['loop_s'] for r in rs])} "
                f"| {fmt_range([r['cell_updates_per_s'] for r in rs], 1e6)} "
                f"| {fmt_range([r['peak_rss_bytes_per_cell'] for r in rs], digits=0)} "
                f"| {fmt_range([s for s, _ in st])} "
                f"| {fmt_range([m / rs[0]['cells'] for _, m in st], digits=0)} "
                f"| {statistics.median(r['cpu_percent'] for r in rs):.0f} % "
                f"| {min(loads):.1f}-{max(loads):.1f} | {fmt_range([r['triad_gbs'] for r in rs], digits=1)} |")
        lines.append("")
        lines.append("Speed-up of 2 over 1 thread: ratio of the fastest runs' cell-updates/s, ratio of the medians, "
                     "and in brackets the lowest and highest ratio within one round, where the 1- and the 2-thread "
                     "run follow each other:")
        lines.append("")
        for case, label in dict.fromkeys((c, m) for (c, m, _), _ in self.groups()):
            one = [r for r in self.runs if (r["case"], r["mesh"], r["threads"]) == (case, label, 1)]
            two = [r for r in self.runs if (r["case"], r["mesh"], r["threads"]) == (case, label, 2)]
            if not one or not two:
                continue
            best = max(r["cell_updates_per_s"] for r in two) / max(r["cell_updates_per_s"] for r in one)
            med = (statistics.median(r["cell_updates_per_s"] for r in two) /
                   statistics.median(r["cell_updates_per_s"] for r in one))
            pairs = [b["cell_updates_per_s"] / a["cell_updates_per_s"] for a in one for b in two if a["rep"] == b["rep"]]
            spread = f" ({min(pairs):.2f}-{max(pairs):.2f})" if pairs else ""
            lines.append(f"- {case} {label}: fastest {best:.2f}, medians {med:.2f}{spread}")
        lines.append("")
        lines.append("Share of each loop in the summed loop time (median over runs, loops above 1 %):")
        lines.append("")
        for (case, label, threads), rs in self.groups():
            shares = {}
            for r in rs:
                for k, v in r["kernel_share"].items():
                    shares.setdefault(k, []).append(v)
            med = sorted(((statistics.median(v), k) for k, v in shares.items()), reverse=True)
            text = ", ".join(f"{k} {100 * v:.0f}%" for v, k in med if v >= 0.01)
            lines.append(f"- {case} {label}, {threads} thread(s): {text}")
        if self.counts:
            lines.append("")
            lines.append("Instructions (valgrind's callgrind, one thread; identical in every run of the same program "
                         "and model):")
            lines.append("")
            lines.append("| case | cells | sim. time [s] | steps | time loop [G instructions] | of them planning [G] "
                         "| per cell-update, without planning |")
            lines.append("|---|---|---|---|---|---|---|")
            for c in self.counts:
                lines.append(f"| {c['case']} | {c['mesh']} ({c['cells']}) | {c['sim_time_s']:g} | {c['steps']} "
                             f"| {c['instructions'] / 1e9:.3f} | {c['planning'] / 1e9:.3f} "
                             f"| {c['per_cell_update']:.1f} |")
        for (case, label, threads), rs in self.groups():
            msgs = statistics.median(r["mass_messages"] for r in rs)
            if msgs > 0:
                self.notes.append(f"{case} {label}, {threads} thread(s): {msgs:g} lines \"MASS BALANCE PROBLEM\" per "
                                  f"run (negative depths reported by the update; printing them is inside the loop time)")
        if self.notes:
            lines.append("")
            lines.extend(f"Note: {n}" for n in self.notes)
        lines.append("")
        lines.append(f"Suite time: {self.elapsed / 60:.1f} min")
        text = "\n".join(lines)
        print()
        print(text)
        return text

    def write_csv(self):
        a = self.a
        os.makedirs(os.path.dirname(a.csv), exist_ok=True)
        kernels = sorted({k for r in self.runs for k in r["kernel_share"]})
        with open(a.csv, "w", newline="") as f:
            w = csv.writer(f)
            w.writerow(["case", "mesh", "cells", "threads", "runs", "sim_time_s", "steps",
                        "loop_s_min", "loop_s_median", "loop_s_max",
                        "cell_updates_per_s_min", "cell_updates_per_s_median", "cell_updates_per_s_max",
                        "peak_rss_bytes_per_cell_min", "peak_rss_bytes_per_cell_median",
                        "peak_rss_bytes_per_cell_max", "wall_s_median",
                        "setup_runs", "setup_s_min", "setup_s_median", "setup_s_max",
                        "setup_peak_rss_bytes_per_cell_median", "cpu_percent_median", "load_min", "load_max",
                        "mass_balance_messages_median", "triad_gbs_min", "triad_gbs_median", "triad_gbs_max"]
                       + [f"share_{k}" for k in kernels])
            for (case, label, threads), rs in self.groups():
                def mmm(key):
                    v = [r[key] for r in rs]
                    return [min(v), statistics.median(v), max(v)]
                st = self.setups.get((case, label), [])
                loads = [r["load_before"] for r in rs] + [r["load_after"] for r in rs]
                row = [case, label, rs[0]["cells"], threads, len(rs), rs[0]["sim_time_s"],
                       "/".join(str(s) for s in sorted({r["steps"] for r in rs}))]
                row += [f"{x:.4f}" for x in mmm("loop_s")]
                row += [f"{x:.0f}" for x in mmm("cell_updates_per_s")]
                row += [f"{x:.1f}" for x in mmm("peak_rss_bytes_per_cell")]
                row += [f"{statistics.median(r['wall_s'] for r in rs):.2f}", len(st)]
                if st:
                    secs = [s for s, _ in st]
                    row += [f"{min(secs):.2f}", f"{statistics.median(secs):.2f}", f"{max(secs):.2f}",
                            f"{statistics.median(m for _, m in st) / rs[0]['cells']:.1f}"]
                else:
                    row += ["", "", "", ""]
                row += [f"{statistics.median(r['cpu_percent'] for r in rs):.0f}", f"{min(loads):.2f}",
                        f"{max(loads):.2f}", statistics.median(r["mass_messages"] for r in rs)]
                row += [f"{x:.2f}" for x in mmm("triad_gbs")]
                for k in kernels:
                    v = [r["kernel_share"][k] for r in rs if k in r["kernel_share"]]
                    row.append(f"{statistics.median(v):.4f}" if v else "")
                w.writerow(row)
        if self.counts:
            with open(os.path.splitext(a.csv)[0] + "-counts.csv", "w", newline="") as f:
                w = csv.writer(f)
                w.writerow(["case", "mesh", "cells", "sim_time_s", "steps", "instructions", "planning_instructions",
                            "instructions_per_cell_update"])
                for c in self.counts:
                    w.writerow([c["case"], c["mesh"], c["cells"], c["sim_time_s"], c["steps"], c["instructions"],
                                c["planning"], f"{c['per_cell_update']:.2f}"])
        runs_csv = os.path.splitext(a.csv)[0] + "-runs.csv"
        with open(runs_csv, "w", newline="") as f:
            w = csv.writer(f)
            w.writerow(["case", "mesh", "cells", "threads", "rep", "sim_time_s", "steps", "loop_s", "wall_s",
                        "cell_updates_per_s", "peak_rss_bytes", "cpu_percent", "load_before", "load_after",
                        "mass_balance_messages", "triad_gbs"]
                       + [f"time_{k}" for k in kernels])
            for r in self.runs:
                w.writerow([r["case"], r["mesh"], r["cells"], r["threads"], r["rep"], r["sim_time_s"], r["steps"],
                            f"{r['loop_s']:.4f}", f"{r['wall_s']:.2f}", f"{r['cell_updates_per_s']:.0f}",
                            r["peak_rss_bytes"], f"{r['cpu_percent']:.0f}", f"{r['load_before']:.2f}",
                            f"{r['load_after']:.2f}", r["mass_messages"], f"{r['triad_gbs']:.2f}"]
                           + [f"{r['kernel_s'][k]:.4f}" if k in r["kernel_s"] else "" for k in kernels])
        return runs_csv


def main():
    ap = argparse.ArgumentParser(description="HYDROVA whole-run benchmark")
    ap.add_argument("--build", required=True, help="build folder holding src/hydrova_* programs")
    ap.add_argument("--work", required=True, help="scratch folder for meshes, models and logs")
    ap.add_argument("--csv", required=True, help="summary CSV to write; the runs go beside it as *-runs.csv")
    ap.add_argument("--table", help="also write the printed table to this file")
    ap.add_argument("--quick", action="store_true", help="100k mesh only, one run, shuffled variant of 100k")
    ap.add_argument("--reps", type=int, default=5, help="runs per case and thread count (the 4M mesh: at most 3)")
    ap.add_argument("--time-scale", type=float, default=1.0, help="factor on every case's simulated time")
    ap.add_argument("--setup-reps", type=int, default=None, help="set-up runs per model (default: --reps, at most 3)")
    ap.add_argument("--sizes", default="100k,1M,4M")
    ap.add_argument("--threads", default="1,2")
    ap.add_argument("--cases", default="dambreak,inflow,mobile-bed")
    ap.add_argument("--shuffled", default="1M", help="mesh whose randomly numbered copy is run too ('' for none)")
    ap.add_argument("--shuffled-case", default="dambreak")
    ap.add_argument("--no-counts", dest="counts", action="store_false",
                    help="skip the instruction counts under valgrind")
    a = ap.parse_args()
    if a.quick:
        a.reps, a.sizes, a.shuffled = 1, "100k", "100k"
    a.sizes = [s for s in a.sizes.split(",") if s]
    a.threads = [int(t) for t in a.threads.split(",") if t]
    a.cases = [c for c in a.cases.split(",") if c]
    if a.setup_reps is None:
        a.setup_reps = min(a.reps, 3)
    for s in a.sizes + ([a.shuffled] if a.shuffled else []):
        if s not in SIZES:
            sys.exit(f"unknown size {s}; known: {', '.join(SIZES)}")
    for c in a.cases + [a.shuffled_case]:
        if c not in CASES:
            sys.exit(f"unknown case {c}; known: {', '.join(CASES)}")
    if a.counts and not (shutil.which("valgrind") and shutil.which("callgrind_annotate")):
        sys.exit("valgrind is missing (Debian package 'valgrind'; scripts/install-deps.sh installs it), "
                 "or run with --no-counts")
    if not shutil.which("/usr/bin/time"):
        sys.exit("/usr/bin/time is missing (Debian package 'time'; scripts/install-deps.sh installs it)")
    a.work = os.path.abspath(a.work)
    a.build = os.path.abspath(a.build)
    suite = Suite(a)
    suite.run()
    text = suite.report()
    runs_csv = suite.write_csv()
    if a.table:
        with open(a.table, "w") as f:
            f.write(text + "\n")
    print(f"\n -> {a.csv}, {runs_csv}" + (f", {a.table}" if a.table else ""))
    return 0 if suite.runs else 1


if __name__ == "__main__":
    sys.exit(main())
