// Terrain of the set-up from GIS data: node and cell bed elevations from a raster, the coordinate reference
// system of the model, and the cells that limit the explicit time step.
#pragma once

#include <iosfwd>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "setup/mesh/Geometry.hpp"
#include "setup/mesh/Mesh2dm.hpp"

namespace gis {
class Raster;
}

namespace setup {

/// How a cell's bed elevation is made: the mean of its three nodes, or from the raster at its centroid, the mean
/// or the maximum of the pixels inside it.
enum class CellBed { Nodes, Centroid, Mean, Max };

/// GEOMETRY keys "bed_raster", "cell_bed" and "crs".
struct TerrainSpec {
    std::string bedRaster;  ///< resolved against the command file's folder; empty: the 2DM elevations
    CellBed cellBed = CellBed::Nodes;
    std::string crs;  ///< as given ("EPSG:25832"); empty: from the inputs
};

/// Reads the keys from a command file that passed the schema check; throws SetupError with the JSON pointer.
TerrainSpec readTerrain(const nlohmann::json& doc, const std::string& baseDir);

/// The terrain of one set-up: the raster (when given) and the model's coordinate system.
struct Terrain {
    std::unique_ptr<gis::Raster> raster;
    std::string crsWkt;  ///< empty when no input names one
    Terrain();
    Terrain(Terrain&&) noexcept;
    ~Terrain();
};

/// Opens the raster, checks that the coordinate systems of the command file ("crs"), of the mesh (FILE.prj beside
/// FILE.2dm, as hydrova_mesh writes it) and of the raster agree, and samples the node elevations. Throws
/// gis::GisError naming the inputs that disagree, or the first nodes outside the raster or on no-data cells.
Terrain prepareTerrain(const TerrainSpec& spec, const std::string& meshFile, TriMesh& mesh);

/// Replaces the cell bed elevations by the raster's at the centroid, or its mean or maximum over the cell.
void applyCellBed(const TerrainSpec& spec, const Terrain& terrain, const TriMesh& mesh, MeshGeometry& geometry);

/// Prints the cells with the smallest allowed time step at 1 m of still water (CFL times the cell's smallest
/// characteristic size over the wave speed), with their 2DM ids, coordinates, sizes and smallest angles.
void reportTimeStepCells(const TriMesh& mesh, const MeshGeometry& geometry, double cfl, double gravity,
                         std::ostream& out, int count = 3);

}  // namespace setup
