#!/usr/bin/env python3
"""Layers of the Monai valley wave tank (1:400 laboratory model, lab metres) for hydrova_mesh, and the inputs in
the forms the programs read, from the benchmark's data folder:

  domain.csv          the basin, 5.488 m x 3.402 m with its lower-left corner at (0, 0)
  boundaries.csv      "offshore": the side x = 0, through which the wave enters (the other sides are walls)
  bathymetry.asc      the benchmark's grid with its origin declared as the centre of the first node: its values
                      are point values at the grid nodes (0, 0.014, ... m), not averages over cells
  incident_wave.txt   the wave at x = 0 (time [s], water surface [m]) without the header line

The layers are CSV files with the geometry as WKT, which OGR reads without a coordinate system: a laboratory tank
has none (GeoJSON would always be taken as longitude and latitude).
Usage: make_layers.py DATA_FOLDER [FOLDER]
"""
import os
import sys

LX, LY = 5.488, 3.402


def write(folder, name, rows):
    with open(os.path.join(folder, name), "w") as f:
        f.write("WKT,name\n")
        for wkt, label in rows:
            f.write('"%s",%s\n' % (wkt, label))


def main():
    data = sys.argv[1]
    folder = sys.argv[2] if len(sys.argv) > 2 else "."
    write(folder, "domain.csv", [("POLYGON ((0 0, %r 0, %r %r, 0 %r, 0 0))" % (LX, LX, LY, LY), "basin")])
    write(folder, "boundaries.csv", [("LINESTRING (0 0, 0 %r)" % LY, "offshore")])
    with open(os.path.join(data, "Benchmark_2_Bathymetry.asc")) as src, \
            open(os.path.join(folder, "bathymetry.asc"), "w") as dst:
        for line in src:
            key = line.split()[0].lower() if line.strip() else ""
            if key in ("xllcorner", "yllcorner"):
                line = line.replace(line.split()[0], key.replace("corner", "center"), 1)
            dst.write(line)
    with open(os.path.join(data, "Benchmark_2_input.txt")) as src, \
            open(os.path.join(folder, "incident_wave.txt"), "w") as dst:
        for line in src.readlines()[1:]:
            dst.write(line)


if __name__ == "__main__":
    main()
