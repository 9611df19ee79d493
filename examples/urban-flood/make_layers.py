#!/usr/bin/env python3
"""GIS layers of a small town on a valley floor, as a flood engineer draws them (GeoJSON in ETRS89 / UTM 32N),
and its terrain as an ESRI ASCII grid (run.sh turns it into a GeoTIFF with gdal_translate).

  domain.geojson      the model boundary: 600 m x 300 m
  buildings.geojson   24 houses of 15 m x 12 m (holes: walls in the mesh)
  roads.geojson       a road crown across the town (breakline), and a lane meeting the upper edge at 6 degrees
  refine.geojson      4 m elements around the houses (attribute "size"); 10 m elsewhere
  boundaries.geojson  "inflow" on the middle 100 m of the left edge, "outflow" on the whole right edge
  dem.asc             2 m pixels: falls 2 per mille towards +x, rises 1 % to both sides of the valley axis y = 150 m

Usage: make_layers.py [FOLDER]
"""
import json
import os
import sys

X0, Y0 = 500000.0, 5400000.0  # lower-left corner of the domain
CRS = {"type": "name", "properties": {"name": "urn:ogc:def:crs:EPSG::25832"}}


def pt(x, y):
    return [X0 + x, Y0 + y]


def polygon(ring, **props):
    ring = [pt(*p) for p in ring]
    return {"type": "Feature", "properties": props, "geometry": {"type": "Polygon", "coordinates": [ring + [ring[0]]]}}


def line(points, **props):
    return {"type": "Feature", "properties": props,
            "geometry": {"type": "LineString", "coordinates": [pt(*p) for p in points]}}


def rect(x, y, w, h):
    return [(x, y), (x + w, y), (x + w, y + h), (x, y + h)]


def write(folder, name, features):
    with open(os.path.join(folder, name), "w") as f:
        json.dump({"type": "FeatureCollection", "crs": CRS, "features": features}, f)


def bed(x, y):
    return 10.0 - 0.002 * x + 0.01 * abs(y - 150.0)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "."
    write(folder, "domain.geojson", [polygon(rect(0, 0, 600, 300))])
    houses = [polygon(rect(200 + 32 * i, 60 + 45 * j + (0 if j < 2 else 30), 15, 12))
              for i in range(8) for j in range(3)]
    write(folder, "buildings.geojson", houses)
    write(folder, "roads.geojson", [line([(20, 150), (190, 152), (460, 148), (580, 150)]),
                                    line([(100, 250), (290, 270), (480, 290), (575, 300)])])
    write(folder, "refine.geojson", [polygon(rect(180, 40, 290, 240), size=4.0)])
    write(folder, "boundaries.geojson", [line([(0, 100), (0, 200)], name="inflow"),
                                         line([(600, 0), (600, 300)], name="outflow")])
    # The grid reaches 10 m beyond the domain, so that every node has four pixel centres around it.
    d, nx, ny = 2.0, 310, 160
    xll, yll = -10.0, -10.0
    with open(os.path.join(folder, "dem.asc"), "w") as f:
        f.write(f"ncols {nx}\nnrows {ny}\nxllcorner {X0 + xll}\nyllcorner {Y0 + yll}\ncellsize {d}\n"
                "NODATA_value -9999\n")
        for j in range(ny):
            y = yll + (ny - j - 0.5) * d
            f.write(" ".join(f"{bed(xll + (i + 0.5) * d, y):.4f}" for i in range(nx)) + "\n")


if __name__ == "__main__":
    main()
