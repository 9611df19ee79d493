#!/usr/bin/env python3
"""Distributed runs against shared-memory runs on the whole-run benchmark's dam break (no test: a measurement).

  bench/distributed.py --build BUILD [--work DIR] [--reps 5] [--sizes 1M,4M]

On each mesh: 1 process x 2 threads and 2 processes x 1 thread, interleaved, --reps times each; prints the time
loop's seconds (the "cpu-time" of the closing line: wall clock of the loop), their medians, the time the partition
and distribution took, and every process's peak memory (/usr/bin/time -v) against the single process's.
"""
import argparse
import json
import os
import re
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wholerun import LX, LY, SIZES, SIM_TIME, BED, case_dambreak, setup_text, config_text  # noqa: E402


def run(cmd, cwd, env=None):
    p = subprocess.run(cmd, cwd=cwd, capture_output=True, text=True, env=env)
    if p.returncode != 0:
        sys.exit("failed: %s\n%s\n%s" % (" ".join(cmd), p.stdout[-2000:], p.stderr[-2000:]))
    return p.stdout, p.stderr


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--work", default=None)
    ap.add_argument("--reps", type=int, default=5)
    ap.add_argument("--sizes", default="1M")
    a = ap.parse_args()
    build = os.path.abspath(a.build)
    work = os.path.abspath(a.work or os.path.join(build, "bench-distributed"))
    env = dict(os.environ, OMPI_ALLOW_RUN_AS_ROOT="1", OMPI_ALLOW_RUN_AS_ROOT_CONFIRM="1")
    prog = lambda name: os.path.join(build, "src", name)  # noqa: E731
    for label in a.sizes.split(","):
        nx, ny = SIZES[label]
        d = os.path.join(work, label)
        os.makedirs(d, exist_ok=True)
        if not os.path.exists(os.path.join(d, "model.h5")):
            run([prog("hydrova_mesh"), "--size", str(LX), str(LY), "--cells", str(nx), str(ny), "--bed", BED,
                 "--material", "0:%g:1,%g:%g:2" % (LX / 2, LX / 2, LX), "-o", "mesh.2dm"], d)
            with open(os.path.join(d, "setup.json"), "w") as f:
                f.write(setup_text(case_dambreak("mesh.2dm")))
            run([prog("hydrova_setup"), "-f", "setup.json", "-o", "model.h5"], d)
        with open(os.path.join(d, "config.json"), "w") as f:
            f.write(config_text(SIM_TIME[label]))
        times = {"1x2": [], "2x1": []}
        peaks = {"1x2": [], "2x1": []}
        distribute = []
        timev = ["/usr/bin/time", "-v"]
        sim = [prog("hydrova_simulation"), "-f", "config.json", "-r", "model.h5", "-o", "out.h5"]
        for rep in range(a.reps):
            for kind in ("1x2", "2x1"):
                if kind == "1x2":
                    out, err = run(timev + sim + ["-n", "2"], d, env)
                else:
                    out, err = run(["mpirun", "--oversubscribe", "-np", "2"] + timev + sim + ["-n", "1"], d, env)
                    distribute += [float(x) for x in re.findall(r"distributed over \d+ processes in ([0-9.]+) s", out)]
                times[kind].append(float(re.search(r"cpu-time = ([0-9.e+-]+)s", out).group(1)))
                peaks[kind].append([int(x) for x in re.findall(r"Maximum resident set size \(kbytes\): (\d+)", err)])
                print("%s rep %d %s: loop %.2f s, peak %s MB" % (label, rep, kind, times[kind][-1],
                      [round(p / 1024) for p in peaks[kind][-1]]), flush=True)
        m1, m2 = statistics.median(times["1x2"]), statistics.median(times["2x1"])
        p1 = statistics.median(p[0] for p in peaks["1x2"])
        p2 = statistics.median(max(p) for p in peaks["2x1"])
        print(json.dumps({"mesh": label, "loop_1proc_2threads_median_s": m1, "loop_2procs_1thread_median_s": m2,
                          "ratio_2procs_over_1proc": m2 / m1, "distribute_s": distribute,
                          "peak_1proc_MB": p1 / 1024, "peak_per_process_2procs_MB": p2 / 1024,
                          "peak_ratio": p2 / p1}, indent=1))


if __name__ == "__main__":
    main()
