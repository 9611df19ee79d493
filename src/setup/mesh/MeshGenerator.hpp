// Rectangular channel meshes: two triangles per rectangle, bed shapes, material ids and boundary node strings.
#pragma once

#include <string>
#include <vector>

#include "setup/mesh/Mesh2dm.hpp"

namespace setup {

/// Bed elevation z(x) of a generated mesh, evaluated at the nodes.
struct BedShape {
    enum class Kind { Flat, Slope, Bump, Step };
    Kind kind = Kind::Flat;
    /// Flat: {z0}. Slope: {S, z0}: z = z0 + S * (xmax - x), falling by S per metre towards +x.
    /// Bump: {a, b, c}: z = max(0, a - b (x - c)^2). Step: {xs, zLeft, zRight}: zLeft for x < xs, else zRight.
    std::vector<double> p;

    double elevation(double x, double xmax) const;
    /// Parses "flat[:z0]", "slope:S[:z0]", "bump:a:b:c" or "step:xs:zl:zr"; throws std::invalid_argument.
    static BedShape parse(const std::string& text);
};

/// Material id `id` for cells whose centroid x lies in [x0, x1).
struct MaterialInterval {
    double x0 = 0, x1 = 0;
    int id = 1;
    /// Parses "x0:x1:id[,x0:x1:id...]"; throws std::invalid_argument.
    static std::vector<MaterialInterval> parseList(const std::string& text);
};

struct RectangleSpec {
    double x0 = 0, y0 = 0;            ///< lower-left corner [m]
    double lengthX = 1, lengthY = 1;  ///< size [m]
    int cellsX = 1, cellsY = 1;       ///< rectangles along x and y; each is cut into two triangles
    BedShape bed;
    std::vector<MaterialInterval> materials;  ///< first matching interval wins
    int defaultMaterial = 1;                  ///< for cells outside every interval
};

/// Builds the mesh: nodes numbered row by row from the lower-left corner (ids from 1), each rectangle cut along
/// its lower-left to upper-right diagonal, and the node strings "left", "right" (walked bottom to top),
/// "bottom" and "top" (walked left to right). Throws std::invalid_argument for non-positive sizes or counts.
TriMesh generateRectangle(const RectangleSpec& spec);

}  // namespace setup
