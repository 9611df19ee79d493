// Material ids and friction values from GIS data: polygons with an attribute, and land-use rasters with a class
// table. A cell takes the value of the polygon or pixel that holds its centroid.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "setup/ModelContent.hpp"
#include "setup/mesh/Geometry.hpp"
#include "setup/mesh/Mesh2dm.hpp"

namespace setup {

struct LandUseSpec {
    std::string materialPolygons, materialAttribute;  ///< GEOMETRY/material_polygons: file (FILE or FILE:LAYER)
    std::string frictionPolygons, frictionAttribute;  ///< FRICTION/polygons
    std::string frictionRaster;                       ///< FRICTION/raster
    std::vector<std::pair<double, double>> classes;   ///< FRICTION/raster/classes: pixel value, friction
};

/// Reads the keys from a command file that passed the schema check; throws SetupError with the JSON pointer.
LandUseSpec readLandUse(const nlohmann::json& doc, const std::string& baseDir);

/// Material ids from polygons (an integer attribute; later features win), before the geometry is computed.
/// Cells outside every polygon keep the mesh's id. Throws gis::GisError for bad layers or attributes.
void applyMaterialPolygons(const LandUseSpec& spec, TriMesh& mesh);

/// Friction values (CellsAll/Friction) from the raster's classes, then from the polygons, over the values of
/// FRICTION's default and regions. A class missing from the table is an error naming the cell; cells on no-data
/// pixels or outside every polygon keep their value.
void applyFriction(const LandUseSpec& spec, const MeshGeometry& geometry, ModelContent& content);

}  // namespace setup
