#!/usr/bin/env python3
"""Measures how the CFL number and max_time_step of the set-up decide whether a run stays stable and accurate.

    bench/stability.py BUILD [cfl|dry-start] [--cfl 0.4,0.5,...]

BUILD is the build folder holding src/hydrova_mesh, src/hydrova_setup and src/hydrova_simulation. Every case runs
through the programs with the user's defaults except the parameter under study, on meshes of right-angled
triangles (hydrova_mesh) and, when Debian's gmsh is installed, on unstructured Delaunay meshes of about the same
cell size. Results are read with h5dump (hdf5-tools). Prints one line per case; docs/stability.md holds the
figures of the last measurement.

cfl: for each CFL number
  - lake: a 60 m x 24 m basin (1 m cells) over an irregular bed with two dry islands, 0.5 m of water, walls all
    round, 200 s: the largest change of the water level and the largest discharge (both 0 exactly for a lake at
    rest);
  - ritter: a dam break on a dry bed (1 m of water for x < 50 m of a 100 m x 2 m channel, 0.5 m cells), L1 error of
    the depth per metre width after 6 s against Ritter's solution, and the smallest depth;
  - stoker: the same on a wet bed (1 m / 0.1 m) against Stoker's solution.
dry-start: a dry 50 m x 50 m basin (1 m cells, walls, Manning n = 0.03, the bed rising 2 per mille towards x and
  y) filled by an inflow of 2 m3/s into its 10 m x 10 m corner for 300 s (the first step's 0.04 m3 leave that corner
  below the minimum water depth, so the next step is a dry-domain step), or by rain of 100 mm/h for 1800 s, for max_time_step from 0.5 to 100 s at the default CFL, against a run whose steps are at most 0.01 s: the
  maximum depth and the maximum velocity over the run (flood tracking).
"""
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile

G = 9.81


def run(cmd, cwd):
    p = subprocess.run(cmd, cwd=cwd, capture_output=True, text=True)
    return p.returncode, p.stdout, p.stderr


def h5_values(path, dataset):
    """All numbers of one dataset (or of the attribute t of one), in file order."""
    out = subprocess.run(["h5dump", "-a" if dataset.endswith("/t") else "-d", dataset, "-y", "-w0", "-m", "%.9g", path], capture_output=True,
                         text=True).stdout
    start = out.index("DATA {") + 6
    body = out[start:out.index("}", start)]
    return [float(v) for v in re.findall(r"[-+]?(?:\d+\.?\d*(?:[eE][-+]?\d+)?|nan|inf)", body)]


# ---------------------------------------------------------------------------------------------------- meshes

def write_2dm(path, nodes, triangles, materials, strings=()):
    with open(path, "w") as f:
        f.write("MESH2D\n")
        for i, (a, b, c) in enumerate(triangles):
            f.write("E3T %d %d %d %d %d\n" % (i + 1, a + 1, b + 1, c + 1, materials[i]))
        for i, (x, y, z) in enumerate(nodes):
            f.write("ND %d %.10g %.10g %.10g\n" % (i + 1, x, y, z))
        for name, ids in strings:
            line = " ".join(str(n + 1) for n in ids[:-1]) + " %d %s" % (-(ids[-1] + 1), name)
            f.write("NS %s\n" % line)


def structured(lx, ly, nx, ny):
    """Right-angled triangles: each of nx x ny rectangles cut by a diagonal, as hydrova_mesh does."""
    nodes = [(lx * i / nx, ly * j / ny) for j in range(ny + 1) for i in range(nx + 1)]
    tris = []
    for j in range(ny):
        for i in range(nx):
            a = j * (nx + 1) + i
            b, c, d = a + 1, a + nx + 2, a + nx + 1
            tris += [(a, b, c), (a, c, d)]
    return nodes, tris


def delaunay(lx, ly, size, cut=None):
    """gmsh's Delaunay mesh of the rectangle with cells of about `size`; `cut` an x where a line splits it."""
    work = tempfile.mkdtemp()
    xs = [0.0] + ([cut] if cut is not None else []) + [lx]
    geo = ["Mesh.Algorithm = 5;", "Mesh.CharacteristicLengthMin = %g;" % size,
           "Mesh.CharacteristicLengthMax = %g;" % size]
    for k, x in enumerate(xs):
        geo.append("Point(%d) = {%g, 0, 0, %g}; Point(%d) = {%g, %g, 0, %g};" % (2 * k + 1, x, size, 2 * k + 2, x,
                                                                                 ly, size))
    line = 0
    verticals = []
    for k in range(len(xs)):
        line += 1
        geo.append("Line(%d) = {%d, %d};" % (line, 2 * k + 1, 2 * k + 2))
        verticals.append(line)
    for k in range(len(xs) - 1):
        geo.append("Line(%d) = {%d, %d};" % (line + 1, 2 * k + 1, 2 * k + 3))
        geo.append("Line(%d) = {%d, %d};" % (line + 2, 2 * k + 2, 2 * k + 4))
        geo.append("Curve Loop(%d) = {%d, %d, %d, %d};" % (k + 1, line + 1, verticals[k + 1], -(line + 2),
                                                          -verticals[k]))
        geo.append("Plane Surface(%d) = {%d}; Physical Surface(%d) = {%d};" % (k + 1, k + 1, k + 1, k + 1))
        line += 2
    with open(os.path.join(work, "m.geo"), "w") as f:
        f.write("\n".join(geo) + "\n")
    subprocess.run(["gmsh", "-2", "-format", "msh2", "-o", "m.msh", "m.geo"], cwd=work, capture_output=True,
                   check=True)
    lines = open(os.path.join(work, "m.msh")).read().split("\n")
    shutil.rmtree(work)
    n = int(lines[lines.index("$Nodes") + 1])
    start = lines.index("$Nodes") + 2
    ids = {}
    nodes = []
    for k in range(n):
        f = lines[start + k].split()
        ids[int(f[0])] = k
        nodes.append((float(f[1]), float(f[2])))
    start = lines.index("$Elements") + 2
    tris, mats = [], []
    for k in range(int(lines[start - 1])):
        f = [int(v) for v in lines[start + k].split()]
        if f[1] != 2:
            continue
        tags = f[2]
        tris.append(tuple(ids[v] for v in f[3 + tags:6 + tags]))
        mats.append(f[3])
    return nodes, tris, mats


def mesh(kind, lx, ly, size, cut=None):
    if kind == "right-angled":
        nodes, tris = structured(lx, ly, int(round(lx / size)), int(round(ly / size)))
        mats = None
    else:
        nodes, tris, mats = delaunay(lx, ly, size, cut)
    if mats is None or cut is not None:
        mats = [1 if sum(nodes[v][0] for v in t) / 3.0 < (cut if cut is not None else 1e30) else 2 for t in tris]
    return nodes, tris, mats


# ---------------------------------------------------------------------------------------------------- one run

def simulate(work, build, nodes, bed, tris, mats, hydraulics, end, outputs='"water_depth"', extra_setup="", out=None):
    """Writes the mesh (bed z = bed(x, y)), sets up and runs with outputs every `out` seconds; returns (status,
    cells, flood maxima or None, bytes printed, time of the last record) with cells a list of (x, y, area, zb, H,
    qx, qy) at the last record."""
    os.makedirs(work, exist_ok=True)
    write_2dm(os.path.join(work, "m.2dm"), [(x, y, bed(x, y)) for x, y in nodes], tris, mats)
    with open(os.path.join(work, "setup.json"), "w") as f:
        f.write('{"SETUP": {"DOMAIN": {"LAMINA_2D": {"GEOMETRY": {"mesh_file": "m.2dm"%s}, "HYDRAULICS": %s}}}}'
                % (extra_setup, hydraulics))
    with open(os.path.join(work, "config.json"), "w") as f:
        f.write('{"SIMULATION": {"TIME": {"start": 0, "end": %r, "out": %r}, "OUTPUT": [%s]}}' % (end, out or end,
                                                                                                 outputs))
    status, out, err = run([os.path.join(build, "src", "hydrova_setup"), "-f", "setup.json", "-o", "model.h5"], work)
    if status != 0:
        raise RuntimeError(out + err)
    status, out, err = run([os.path.join(build, "src", "hydrova_simulation"), "-f", "config.json", "-r", "model.h5",
                            "-o", "results.h5"], work)
    model, results = os.path.join(work, "model.h5"), os.path.join(work, "results.h5")
    topo = h5_values(model, "CellsAll/Topology")
    xyz = h5_values(model, "NodesAll/Coordnts")
    zb = h5_values(model, "CellsAll/BottomEl")
    area = h5_values(model, "CellsAll/GeomArea")
    n = len(zb)
    # The last record (a run may end without one at its end time when its last step passes over it).
    listing = subprocess.run(["h5ls", results + "/RESULTS/CellsAll/HydState"], capture_output=True, text=True).stdout
    records = sorted(int(line.split()[0]) for line in listing.splitlines() if line.strip())
    try:
        state = h5_values(results, "RESULTS/CellsAll/HydState/%07d" % records[-1])
        t = h5_values(results, "RESULTS/CellsAll/HydState/%07d/t" % records[-1])[0]
    except (ValueError, IndexError):
        state, t = [float("nan")] * (3 * n), float("nan")
    cells = []
    for c in range(n):
        corners = topo[3 * c:3 * c + 3]
        x = sum(xyz[3 * int(v)] for v in corners) / 3.0
        y = sum(xyz[3 * int(v) + 1] for v in corners) / 3.0
        cells.append((x, y, area[c], zb[c], state[3 * c], state[3 * c + 1], state[3 * c + 2]))
    flood = None
    if '"FLOOD"' in hydraulics:
        flood = h5_values(results, "RESULTS/CellsAll/FloodVar/0000000")
    return status, cells, flood, len(out) + len(err), t


# ---------------------------------------------------------------------------------------------------- cases

def noise(x, y):
    s = math.sin(12.9898 * x + 78.233 * y) * 43758.5453
    return 2.0 * (s - math.floor(s)) - 1.0


def lake_bed(x, y):
    islands = 0.9 * math.exp(-((x - 15) ** 2 + (y - 12) ** 2) / 20.0) + 0.8 * math.exp(-((x - 42) ** 2 + (y - 8) ** 2)
                                                                                        / 15.0)
    return islands + 0.2 * math.sin(x / 4.0) * math.cos(y / 3.0) + 0.05 * noise(x, y)


def lake(build, work, kind, cfl):
    nodes, tris, mats = mesh(kind, 60.0, 24.0, 1.0)
    hyd = '{"PARAMETER": {"CFL": %r}, "INITIAL": {"type": "water_surface", "value": 0.5}}' % cfl
    status, cells, _, _, t = simulate(work, build, nodes, lake_bed, tris, mats, hyd, 200.0, out=10.0)
    level = max((abs(c[4] - 0.5) for c in cells if c[3] < 0.5), default=float("nan"))
    q = max(max(abs(c[5]), abs(c[6])) for c in cells)
    return "status %d, t = %g s, max |H - 0.5| = %.3g m, max |q| = %.3g m2/s" % (status, t, level, q)


def ritter(x, t, hl=1.0, x0=50.0):
    c = math.sqrt(G * hl)
    xi = (x - x0) / t
    if xi <= -c:
        return hl
    if xi >= 2 * c:
        return 0.0
    return (2 * c - xi) ** 2 / (9 * G)


def stoker_solution(hl, hr):
    cl = math.sqrt(G * hl)
    f = lambda h: 2 * (cl - math.sqrt(G * h)) - (h - hr) * math.sqrt(0.5 * G * (h + hr) / (h * hr))
    lo, hi = hr, hl
    for _ in range(200):
        mid = 0.5 * (lo + hi)
        if f(mid) > 0:
            lo = mid
        else:
            hi = mid
    hm = 0.5 * (lo + hi)
    um = 2 * (cl - math.sqrt(G * hm))
    shock = hm * um / (hm - hr)

    def depth(x, t, x0=50.0):
        xi = (x - x0) / t
        if xi <= -cl:
            return hl
        if xi < um - math.sqrt(G * hm):
            return (2 * cl - xi) ** 2 / (9 * G)
        if xi < shock:
            return hm
        return hr
    return depth


def dam_break(build, work, kind, cfl, right):
    nodes, tris, mats = mesh(kind, 100.0, 2.0, 0.5, cut=50.0)
    values = '[{"index": [1], "water_surface": 1.0}%s]' % (
        ', {"index": [2], "water_surface": %r}' % right if right > 0 else "")
    hyd = '{"PARAMETER": {"CFL": %r, "minimum_water_depth": 0.0001}, "INITIAL": {"type": "index_table", "values": %s}}' \
        % (cfl, values)
    status, cells, _, printed, t = simulate(work, build, nodes, lambda x, y: 0.0, tris, mats, hyd, 6.0, out=0.5)
    exact = (lambda x: ritter(x, t)) if right == 0 else (lambda x, d=stoker_solution(1.0, right): d(x, t))
    error = sum(c[2] * abs(c[4] - c[3] - exact(c[0])) for c in cells) / 2.0
    water = 50.0 + 50.0 * right
    hmin = min(c[4] - c[3] for c in cells)
    return ("status %d, t = %g s, L1 depth error %.4f m2 per m (%.2f %% of the water), min depth %.3g m, %d bytes "
            "printed" % (status, t, error, 100 * error / water, hmin, printed))


def dry_start(build, work, kind, max_step, source):
    nodes, tris, mats = mesh(kind, 50.0, 50.0, 1.0)
    corner = [i for i, t in enumerate(tris) if all(nodes[v][0] <= 10.0 + 1e-9 and nodes[v][1] <= 10.0 + 1e-9 for v in t)]
    mats = [3 if i in corner else 1 for i in range(len(tris))]
    if source == "inflow":
        entry = '{"name": "q", "type": "inflow", "region": "inlet", "discharge": [[0, 2], [100000, 2]]}'
    else:
        entry = '{"name": "r", "type": "rain", "region": "all", "intensity": [[0, 100], [100000, 100]]}'
    hyd = ('{"PARAMETER": {%s}, "FRICTION": {"type": "manning", "default_friction": 0.03}, "SOURCE": [%s],'
           ' "FLOOD": {}}' % ('"max_time_step": %r' % max_step if max_step else "", entry))
    status, cells, flood, _, _ = simulate(work, build, nodes, lambda x, y: 0.002 * (x + y), tris, mats, hyd,
                                          300.0 if source == "inflow" else 1800.0, '"water_depth"',
                                          ', "REGIONDEF": [{"name": "inlet", "index": [3]}, {"name": "all", '
                                          '"index": [1, 3]}]')
    return status, flood


def main():
    build = os.path.abspath(sys.argv[1])
    what = sys.argv[2] if len(sys.argv) > 2 else "cfl"
    cfls = [0.3, 0.4, 0.5, 0.55, 0.6, 0.7, 0.9]
    if "--cfl" in sys.argv:
        cfls = [float(v) for v in sys.argv[sys.argv.index("--cfl") + 1].split(",")]
    kinds = ["right-angled"] + (["Delaunay"] if shutil.which("gmsh") else [])
    work = tempfile.mkdtemp(prefix="hydrova-stability-")
    try:
        if what == "cfl":
            for kind in kinds:
                for cfl in cfls:
                    for name, f in (("lake", lambda: lake(build, os.path.join(work, "l"), kind, cfl)),
                                    ("ritter", lambda: dam_break(build, os.path.join(work, "r"), kind, cfl, 0.0)),
                                    ("stoker", lambda: dam_break(build, os.path.join(work, "s"), kind, cfl, 0.1))):
                        print("%-12s CFL %-5g %-7s %s" % (kind, cfl, name, f()), flush=True)
        else:
            for kind, source in ((k, s) for s in ("inflow", "rain") for k in kinds):
                kind_source = kind + " " + source
                status, reference = dry_start(build, os.path.join(work, "d"), kind, 0.01 / 0.5, source)
                ref_depth = max(reference[1::4])
                ref_speed = max(reference[2::4])
                print("%-19s max_time_step 0.02: status %d, max depth %.4f m, max velocity %.4f m/s (reference)" % (
                    kind_source, status, ref_depth, ref_speed), flush=True)
                for step in (0.5, 1.0, 2.0, 5.0, 10.0, 100.0, None):
                    status, flood = dry_start(build, os.path.join(work, "d"), kind, step, source)
                    depth, speed = max(flood[1::4]), max(flood[2::4])
                    print("%-19s max_time_step %-7s status %d, max depth %.4f m (%+.1f %%), max velocity %.4f m/s "
                          "(%+.1f %%)" % (kind_source, step or "default", status, depth, 100 * (depth / ref_depth - 1),
                                          speed, 100 * (speed / ref_speed - 1)), flush=True)
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
