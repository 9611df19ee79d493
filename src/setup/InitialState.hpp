// Initial water from data: a raster of the water surface or the depth, or the state stored in a results file at a
// given time (a hot start, mapped cell by cell through coordinates when the meshes differ).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "setup/ModelContent.hpp"
#include "setup/mesh/Geometry.hpp"
#include "setup/mesh/Mesh2dm.hpp"

namespace setup {

/// HYDRAULICS/INITIAL of type "raster" (`file`, `quantity` "water_surface" or "depth") or "hot_start" (`file`, a
/// results file, `time` in s, and optionally `model`, the model file that made the results file).
struct InitialData {
    enum class Kind { None, Raster, HotStart };
    Kind kind = Kind::None;
    std::string file;   ///< resolved against the command file's folder
    std::string model;  ///< hot start: the model file of the results file (its cell areas), optional
    bool depth = false;
    double time = 0;
};

/// Reads the block from a command file that passed the schema check; throws SetupError with the JSON pointer.
InitialData readInitialData(const nlohmann::json& doc, const std::string& baseDir);

/// Replaces the initial state (CellsAll/HydState) of `content`. Raster: the value at each cell's centroid
/// (bilinear); no-data pixels leave the cell dry, a cell outside the raster is an error. Hot start: the record of
/// `time` in the results file; on the same mesh the stored state is taken as it is (so the model starts where a
/// re-run of the results file would), on another mesh each stored cell's water volume and momentum go to the cell
/// that holds its centroid when the stored mesh is at least as fine (volume kept), and otherwise each cell takes
/// the depth and discharge of the stored cell at its centroid. Throws SetupError naming the file, time or cell.
void applyInitialData(const InitialData& data, const TriMesh& mesh, const MeshGeometry& geometry,
                      ModelContent& content);

}  // namespace setup
