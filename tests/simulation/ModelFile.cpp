#include "simulation/ModelFile.hpp"

#include <utility>

#include "support/H5Data.hpp"

namespace drivertest {

void writeModelFile(const std::string& path, const ModelFileSpec& spec)
{
    auto file = testsupport::H5Output::create(path);
    file.text(".config/model", spec.setupText);

    // Sets: one int per set.
    std::vector<std::pair<std::string, int>> sets{{"NodesAll", 4}, {"CellsAll", 2},       {"EdgesAll", 5},
                                                  {"EdgesSWE", 1}, {"EdgHydWL", spec.wallEdges}, {"NodeStrg", 0}};
    if (spec.morphologySets) sets.insert(sets.end(), {{"EdgMorWL", 4}, {"EdgesEXN", 1}});
    for (const auto& [set, size] : sets) file.ints(set + "/set", 1, 0, {size});

    // Nodes (0,0) (1,0) (1,1) (0,1); cells (0,1,2) and (0,2,3); edges 0-1, 1-2, 2-0 (internal), 2-3, 3-0.
    file.doubles("NodesAll/Coordnts", 4, 3, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
    file.ints("CellsAll/Topology", 2, 3, {0, 1, 2, 0, 2, 3});
    file.ints("CellsAll/EdgesAll", 2, 3, {0, 1, 2, 2, 3, 4});
    file.ints("EdgesAll/CellsAll", 5, 2, {0, 0, 0, 0, 0, 1, 1, 1, 1, 1});
    const std::vector<int> wallEdges{0, 1, 3, 4}, wallCells{0, 0, 1, 1};
    if (spec.wallEdges > 0) {
        file.ints("EdgHydWL/EdgesAll", spec.wallEdges, 1, {wallEdges.begin(), wallEdges.begin() + spec.wallEdges});
        file.ints("EdgHydWL/CellsAll", spec.wallEdges, 1, {wallCells.begin(), wallCells.begin() + spec.wallEdges});
    }
    file.ints("EdgesSWE/EdgesAll", 1, 1, {2});
    file.ints("EdgesSWE/CellsAll", 1, 2, {0, 1});

    const double r = 0.70710678118654752;
    file.doubles("EdgesAll/NormVect", 5, 2, {0, -1, 1, 0, -r, r, 0, 1, -1, 0});
    file.doubles("EdgesAll/GeomLeng", 5, 1, {1, 1, 2 * r, 1, 1});
    file.doubles("EdgesAll/CharSize", 5, 2, {0.67, 0.67, 0.67, 0.67, 0.47, 0.47, 0.67, 0.67, 0.67, 0.67});
    file.doubles("CellsAll/HydState", 2, 3, {spec.surface[0], 0.0, 0.0, spec.surface[1], 0.0, 0.0});
    file.doubles("CellsAll/BottomEl", 2, 1, {spec.bottom[0], spec.bottom[1]});
    file.doubles("CellsAll/GeomArea", 2, 1, {0.5, 0.5});
    file.ints("CellsAll/EdgeSign", 2, 3, {1, 1, 1, -1, 1, 1});
    if (spec.withWettedFlags) file.ints("CellsAll/IsWetted", 2, 1, {7, 7});

    const std::pair<const char*, double> reals[] = {
        {"RefBottomEl", 0.0},   {"CFLnumber", 0.9},        {"DTmax", 100.0},          {"MinWaterDepth", 0.1},
        {"Gravity", 9.81},      {"MorphStart", spec.morphStart}, {"BedPorosity", 0.4}, {"FluidDensity", 1000.0},
        {"SedimentDensity", 2650.0}, {"BedloadFactor", 1.5}, {"BedloadCoeff", 1.5},    {"BedloadExpon", 1.5},
        {"BedloadIkeda", 1.5},  {"BedloadCurvature", 1.5}, {"ThetaCritical", 1.5},    {"ReposeAngle", 1.5},
        {"FixBedAccuracy", 1.5}};  // MinWaterDepth 0.1 is not exactly representable as float
    for (const auto& [name, value] : reals) file.doubles(std::string("Parameters/") + name, 1, 0, {value});
    const std::pair<const char*, int> ints[] = {{"SafeMode", 1},     {"FrictionOn", 0},       {"FrictionType", 1},
                                                {"BeadloadType", 1}, {"IncipientMotType", 1}, {"FixBedMaxIter", 10}};
    for (const auto& [name, value] : ints) file.ints(std::string("Parameters/") + name, 1, 0, {value});
    std::vector<int> bedloadInts;
    for (const auto& row : spec.bedloadInts) bedloadInts.insert(bedloadInts.end(), row.begin(), row.end());
    file.ints("Parameters/BedloadInts", static_cast<int>(spec.bedloadInts.size()), 2, bedloadInts);

    std::vector<int> ids;
    std::vector<double> timing;
    for (const KernelRow& row : spec.kernels) {
        ids.push_back(row.id);
        timing.insert(timing.end(), row.timing.begin(), row.timing.end());
    }
    file.ints("kernels/ID", static_cast<int>(spec.kernels.size()), 1, ids);
    file.doubles("kernels/execution", static_cast<int>(spec.kernels.size()), 3, timing);
}

}  // namespace drivertest
