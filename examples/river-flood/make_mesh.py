#!/usr/bin/env python3
"""Writes valley.2dm: a 2 km stretch of a meandering river in its valley, as a 2DM mesh for hydrova_setup.

The valley runs along x from 0 to 2000 m and is 200 m wide, falling by 0.5 per mille. The main channel (material 1)
meanders about y = 100 m with an amplitude of 35 m and a wavelength of 800 m; it is 2.5 m deep over its 24 m bed
and 40 m wide at the top of its banks. The floodplain (material 2) is level across the valley's middle 120 m and
rises by 2 % towards both valley sides. Cells are right triangles of 20 m x 10 m rectangles (4000 triangles): coarse,
so that the example runs in about a minute; the channel is four cells wide.
Node strings: "upstream" across the channel at x = 0 (the river enters there), "downstream" across the whole valley
at x = 2000 m, and "gauge" across the whole valley at x = 1000 m, walked from y = 0 to y = 200 m.
"""
import math
import sys

LENGTH, WIDTH = 2000.0, 200.0
NX, NY = 100, 20
SLOPE = 0.0005
DEPTH, BED_HALF, TOP_HALF = 2.5, 12.0, 20.0


def centre(x):
    return 100.0 + 35.0 * math.sin(2.0 * math.pi * x / 800.0)


def channel_depth(x, y):
    d = abs(y - centre(x))
    if d <= BED_HALF:
        return DEPTH
    if d >= TOP_HALF:
        return 0.0
    return DEPTH * (TOP_HALF - d) / (TOP_HALF - BED_HALF)


def elevation(x, y):
    side = max(0.0, abs(y - 100.0) - 60.0)
    return SLOPE * (LENGTH - x) + 0.02 * side - channel_depth(x, y)


def main(path):
    dx, dy = LENGTH / NX, WIDTH / NY
    node = lambda i, j: j * (NX + 1) + i + 1
    lines = ["MESH2D", "MESHNAME \"river-flood valley\""]
    xy = {}
    for j in range(NY + 1):
        for i in range(NX + 1):
            x, y = i * dx, j * dy
            xy[node(i, j)] = (x, y)
            lines.append("ND %d %.3f %.3f %.4f" % (node(i, j), x, y, elevation(x, y)))
    element = 0
    for j in range(NY):
        for i in range(NX):
            a, b, c, d = node(i, j), node(i + 1, j), node(i + 1, j + 1), node(i, j + 1)
            # Two triangles per rectangle, cut along the diagonal a-c; material from the centroid.
            for tri in ((a, b, c), (a, c, d)):
                cx = sum(xy[n][0] for n in tri) / 3.0
                cy = sum(xy[n][1] for n in tri) / 3.0
                material = 1 if channel_depth(cx, cy) > 0.0 else 2
                element += 1
                lines.append("E3T %d %d %d %d %d" % (element, tri[0], tri[1], tri[2], material))

    def string(name, nodes):
        ids = list(nodes)
        ids[-1] = -ids[-1]
        lines.append("NS " + " ".join(str(n) for n in ids) + " " + name)

    inlet = [j for j in range(NY + 1) if abs(j * dy - centre(0.0)) <= TOP_HALF]
    string("upstream", (node(0, j) for j in inlet))
    string("downstream", (node(NX, j) for j in range(NY + 1)))
    string("gauge", (node(NX // 2, j) for j in range(NY + 1)))
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")
    print(" -> %s: %d nodes, %d triangles" % (path, (NX + 1) * (NY + 1), element))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "valley.2dm")
