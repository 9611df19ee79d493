#!/usr/bin/env python3
"""Compares a Monai valley run with the measured records of the wave tank: for gauges 5, 7 and 9 the root mean
square error over the record (0-22.5 s), the height and time of the first crest (the highest value of the first
interval in which the surface stays above half of the record's maximum, found in the same way in both series), and
the run-up in the valley near x = 5.16 m, y = 1.88 m (the highest bed elevation of a cell that water reached,
more than 1 mm deep, within x > 4.9 m, 1.6 m < y < 2.2 m). The measured records start with an offset of the
gauges (+0.24, +0.06, +0.12 cm, their means over 0-2 s), which is removed before the comparison.

Writes a table (markdown) to standard output and, with --svg FILE, a plot of the three gauges, model against
measurement. With --check RMSE PEAK TIME it exits with status 1 when a gauge's RMSE [cm], the first crest's height
difference [cm] or its time difference [s] exceeds the given bound.
Usage: compare.py RESULTS_gauges.csv output_ch5-7-9.txt [--results RESULTS.h5] [--svg FILE] [--check R P T]
"""
import argparse
import math
import subprocess
import sys
import tempfile

GAUGES = ["ch5", "ch7", "ch9"]
END = 22.5


def read_model(path):
    with open(path) as f:
        header = f.readline().strip().split(",")
        rows = [[float(v) for v in line.split(",")] for line in f if line.strip()]
    series = {}
    for g in GAUGES:
        k = header.index(g + "_surface_m")
        series[g] = ([r[0] for r in rows], [100.0 * r[k] for r in rows])  # cm
    return series


def read_measured(path):
    with open(path) as f:
        f.readline()
        rows = [[float(v) for v in line.split()] for line in f if line.strip()]
    rows = [r for r in rows if r[0] <= END + 1e-9]
    series = {}
    for i, g in enumerate(GAUGES):
        t = [r[0] for r in rows]
        v = [r[1 + i] for r in rows]
        before = [x for s, x in zip(t, v) if s <= 2.0]
        offset = sum(before) / len(before)
        series[g] = (t, [x - offset for x in v])
    return series


def at(t, ts, vs):
    """Linear interpolation of the series (ts, vs) at t."""
    lo, hi = 0, len(ts) - 1
    if t <= ts[0]:
        return vs[0]
    if t >= ts[-1]:
        return vs[-1]
    while hi - lo > 1:
        mid = (lo + hi) // 2
        if ts[mid] <= t:
            lo = mid
        else:
            hi = mid
    f = (t - ts[lo]) / (ts[hi] - ts[lo])
    return vs[lo] + f * (vs[hi] - vs[lo])


def first_crest(ts, vs):
    half = 0.5 * max(vs)
    best = None
    for t, v in zip(ts, vs):
        if v > half:
            if best is None or v > best[1]:
                best = (t, v)
        elif best is not None:
            break
    return best


def column(results, path):
    """The values of a dataset in row order (h5dump writes them as text into a file of their own)."""
    with tempfile.NamedTemporaryFile(suffix=".txt") as values:
        subprocess.run(["h5dump", "-y", "-w", "0", "-o", values.name, "-d", path, results], check=True,
                       stdout=subprocess.DEVNULL)
        with open(values.name) as f:
            return [float(x) for x in f.read().replace(",", " ").split()]


def run_up(results):
    nodes = column(results, "/NodesAll/CoordDbl")
    cells = column(results, "/CellsAll/Topology")
    bed = column(results, "/CellsAll/BottomEl")
    flood = column(results, "/RESULTS/CellsAll/FloodVar/0000000")
    best = None
    for c in range(len(bed)):
        n = [int(cells[3 * c + k]) for k in range(3)]
        x = sum(nodes[3 * k] for k in n) / 3.0
        y = sum(nodes[3 * k + 1] for k in n) / 3.0
        if x > 4.9 and 1.6 < y < 2.2 and flood[4 * c + 1] > 0.001:
            if best is None or bed[c] > best[0]:
                best = (bed[c], x, y)
    return best


def svg(model, measured, path):
    width, height, left, top, panel, gap = 900, 720, 70, 40, 190, 35
    t0, t1, v0, v1 = 10.0, END, -3.0, 5.0
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif" '
           'font-size="12">' % (width, height), '<rect width="100%" height="100%" fill="white"/>']
    for i, g in enumerate(GAUGES):
        y0 = top + i * (panel + gap)
        px = lambda t: left + (t - t0) / (t1 - t0) * (width - left - 30)
        py = lambda v: y0 + (v1 - v) / (v1 - v0) * panel
        out.append('<rect x="%d" y="%d" width="%d" height="%d" fill="none" stroke="black"/>'
                   % (left, y0, width - left - 30, panel))
        for v in range(-3, 6):
            out.append('<text x="%d" y="%.1f" text-anchor="end">%d</text>' % (left - 6, py(v) + 4, v))
            out.append('<line x1="%d" x2="%d" y1="%.1f" y2="%.1f" stroke="#ddd"/>'
                       % (left, width - 30, py(v), py(v)))
        for t in range(10, 23, 2):
            out.append('<text x="%.1f" y="%d" text-anchor="middle">%d</text>' % (px(t), y0 + panel + 14, t))
        for (ts, vs), colour in ((measured[g], "black"), (model[g], "#d62728")):
            pts = " ".join("%.1f,%.1f" % (px(t), py(v)) for t, v in zip(ts, vs) if t0 <= t <= t1)
            out.append('<polyline fill="none" stroke="%s" stroke-width="1.5" points="%s"/>' % (colour, pts))
        out.append('<text x="%d" y="%d" font-size="14">gauge %s: surface [cm] over t [s]; black measured, '
                   'red HYDROVA</text>' % (left + 8, y0 + 16, g[2:]))
    out.append("</svg>")
    with open(path, "w") as f:
        f.write("\n".join(out) + "\n")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("gauges")
    ap.add_argument("measured")
    ap.add_argument("--results")
    ap.add_argument("--svg")
    ap.add_argument("--check", nargs=3, type=float, metavar=("RMSE", "PEAK", "TIME"))
    a = ap.parse_args()
    model, measured = read_model(a.gauges), read_measured(a.measured)
    print("| gauge | RMSE [cm] | first crest measured [cm, s] | first crest model [cm, s] | height error [cm] "
          "| time error [s] |")
    print("|---|---|---|---|---|---|")
    failed = []
    for g in GAUGES:
        ts, vs = measured[g]
        mt, mv = model[g]
        rmse = math.sqrt(sum((at(t, mt, mv) - v) ** 2 for t, v in zip(ts, vs)) / len(ts))
        cm, cs = first_crest(ts, vs)[::-1]
        pm, ps = first_crest(mt, mv)[::-1]
        dh, dt = pm - cm, ps - cs
        print("| %s | %.3f | %.2f at %.2f | %.2f at %.2f | %+.2f | %+.2f |" % (g[2:], rmse, cm, cs, pm, ps, dh, dt))
        if a.check and (rmse > a.check[0] or abs(dh) > a.check[1] or abs(dt) > a.check[2]):
            failed.append(g)
    if a.results:
        r = run_up(a.results)
        print("\nrun-up in the valley: %s" % ("none" if r is None else
                                               "%.4f m (cell at x = %.3f m, y = %.3f m)" % r))
    if a.svg:
        svg(model, measured, a.svg)
    if failed:
        print("outside the bounds %s: %s" % (a.check, ", ".join(failed)), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
