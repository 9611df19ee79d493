// Triangle meshes from GIS layers, made by Gmsh: a domain with holes (walls), breaklines kept as mesh edges,
// refinement polygons with their own element size, and boundary lines that become named node strings.
#pragma once

#include <string>
#include <vector>

#include "gis/Layers.hpp"
#include "setup/mesh/Mesh2dm.hpp"

namespace gis {

struct RefinementRegion {
    PolygonFeature polygon;
    double size = 0;  ///< element size inside [m]
};

struct MeshLayers {
    std::vector<PolygonFeature> domain;  ///< the polygons to mesh (their holes are holes of the mesh)
    std::vector<PolygonFeature> holes;   ///< areas cut out (buildings); their edges are walls
    std::vector<LineFeature> breaklines;
    std::vector<RefinementRegion> refinement;
    std::vector<LineFeature> boundaries;  ///< lines on the domain edge, `text` = node-string name
    std::string boundariesLabel = "boundaries layer";
    double size = 0;     ///< default element size [m]
    double snap = -1;    ///< distance below which lines are merged with the domain edge [m]; < 0: size / 2
    double grading = 0.3;  ///< growth of the element size per metre away from a refinement polygon [-]
    int smoothing = 0;     ///< smoothing passes after meshing
    int threads = 1;
};

struct MeshQuality {
    double minAngle = 0;                ///< smallest interior angle [deg]
    double minAngleX = 0, minAngleY = 0;  ///< centroid of the triangle that has it
    double minEdge = 0, maxEdge = 0;    ///< shortest and longest edge [m]
};

/// The element size asked for at (x, y): the default, and near refinement polygons their size growing by
/// `grading` per metre of distance from the polygon.
class SizeField {
public:
    explicit SizeField(const MeshLayers& layers);
    double operator()(double x, double y) const;

private:
    struct Region {
        std::vector<std::vector<Point>> rings;
        double size, minX, minY, maxX, maxY;
    };
    std::vector<Region> regions_;
    double size_, grading_;
};

/// Meshes the layers. Lines closer than `snap` to the domain edge (a breakline running along it or meeting it at
/// a small angle) are cut where they come that close and joined to the edge at a right angle, so that no thin
/// wedge of triangles forms between them; a breakline is treated so against the breaklines before it, too (lines
/// crossing at a small angle, running side by side or ending just short of one another). Boundary lines must lie on the domain edge to 1/100 of the smallest
/// element size (as lines snapped to it in a GIS do). Throws GisError for a boundary line off the domain edge, an empty
/// domain, or a geometry Gmsh cannot mesh.
setup::TriMesh meshLayers(const MeshLayers& layers, const std::string& source);

/// Smallest angle and edge-length range of a mesh.
MeshQuality meshQuality(const setup::TriMesh& mesh);

}  // namespace gis
