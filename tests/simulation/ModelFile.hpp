// Hand-made model files of a two-triangle mesh for the driver's tests, and small HDF5 readers of results files.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "support/H5Data.hpp"

namespace drivertest {

/// One row of the kernel schedule: kernel identifier and (start offset, increment, end offset) [s].
struct KernelRow {
    int id;
    std::array<double, 3> timing;
};

/// What the two-triangle model file holds. The mesh is the unit square cut along its diagonal: 4 nodes,
/// 2 cells, 5 edges (one internal), 4 wall edges, no node strings.
struct ModelFileSpec {
    /// Archived set-up command text; switches the aggregates on.
    std::string setupText = R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"HYDRAULICS": {}}}}})";
    int wallEdges = 4;                        ///< size of the wall-edge set (0 de-activates the wall kernel)
    std::array<double, 2> surface{2.0, 3.0};  ///< initial water-surface elevation per cell [m]
    std::array<double, 2> bottom{0.5, 1.0};   ///< bed elevation per cell [m]
    std::vector<KernelRow> kernels{{20, {0.0, 0.0, 1.0e9}}};
    bool withWettedFlags = true;  ///< store a (non-zero) "CellsAll/IsWetted" that the simulation must not read
    /// Simulation time at which morphology starts [s]; far beyond every run, as for a purely hydraulic model.
    double morphStart = 1.0e9;
    bool morphologySets = false;  ///< add the morphological edge sets (wall and internal Exner edges)
    /// Rows of the vector parameter "Parameters/BedloadInts" [isIkeda, isCurvature].
    std::vector<std::array<int, 2>> bedloadInts{{3, 4}};
};

/// Writes the model file at `path` (replacing it).
void writeModelFile(const std::string& path, const ModelFileSpec& spec);

// The HDF5 readers shared by the driver's and the whole-run tests.
using testsupport::h5::countObjects;
using testsupport::h5::exists;
using testsupport::h5::overwriteValues;
using testsupport::h5::readAttribute;
using testsupport::h5::readString;
using testsupport::h5::readValues;

/// Path of output record `index` of `item` (e.g. "CellsAll/HydState") in a results file.
inline std::string record(const std::string& item, int index)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%07i", index);
    return "RESULTS/" + item + "/" + buffer;
}

}  // namespace drivertest
