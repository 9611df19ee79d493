#include "wholerun/WholeRun.hpp"

#include <gtest/gtest.h>
#include <hdf5.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "setup/mesh/Geometry.hpp"
#include "setup/mesh/Mesh2dm.hpp"
#include "simulation/ModelFile.hpp"

using testsupport::program;
using testsupport::runProcess;
using testsupport::shellQuote;

namespace wholerun {

std::vector<std::string> readLines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void writeLines(const std::string& path, const std::vector<std::string>& lines)
{
    std::ofstream out(path);
    for (const auto& line : lines) out << line << '\n';
}

bool parseNode(const std::string& line, int& id, double& x, double& y, double& z)
{
    if (line.rfind("ND ", 0) != 0) return false;
    std::istringstream in(line.substr(3));
    return static_cast<bool>(in >> id >> x >> y >> z);
}

std::string nodeLine(int id, double x, double y, double z)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "ND %d %.10g %.10g %.10g", id, x, y, z);
    return buffer;
}

void Case::mesh(const std::string& options)
{
    const auto r = runProcess(shellQuote(program("hydrova_mesh")) + " " + options + " -o mesh.2dm", dir_.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
}

void Case::setup(const std::string& setupJson)
{
    setupText_ = setupJson;
    dir_.write("setup.json", setupJson);
    const auto r = runProcess(shellQuote(program("hydrova_setup")) + " -f setup.json -o model.h5", dir_.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
}

testsupport::ProcessResult Case::simulate(const std::string& configJson, const std::string& results, int threads,
                                          const std::string& extra)
{
    dir_.write("config.json", configJson);
    return runProcess(shellQuote(program("hydrova_simulation")) + " -f config.json -r model.h5 -o " +
                          shellQuote(results) + " -n " + std::to_string(threads) + " " + extra,
                      dir_.path());
}

Cells Case::cells() const
{
    const auto nodes = drivertest::readValues(model(), "NodesAll/Coordnts");
    const auto topology = drivertest::readValues(model(), "CellsAll/Topology");
    const auto area = drivertest::readValues(model(), "CellsAll/GeomArea");
    Cells c;
    const std::size_t n = topology.size() / 3;
    for (std::size_t i = 0; i < n; ++i) {
        double sx = 0.0, sy = 0.0;
        for (int k = 0; k < 3; ++k) {
            const auto node = static_cast<std::size_t>(topology[3 * i + static_cast<std::size_t>(k)]);
            sx += nodes.at(3 * node);
            sy += nodes.at(3 * node + 1);
        }
        c.x.push_back(sx / 3.0);
        c.y.push_back(sy / 3.0);
        c.area.push_back(area.at(i));
    }
    return c;
}

std::vector<double> Case::bed() const { return drivertest::readValues(model(), "CellsAll/BottomEl"); }

namespace {
std::string statePath(int index)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "RESULTS/CellsAll/HydState/%07d", index);
    return buffer;
}
}  // namespace

std::vector<double> Case::state(const std::string& results, int index) const
{
    return drivertest::readValues(dir_.file(results), statePath(index));
}

std::vector<double> Case::bedAt(const std::string& results, int index) const
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "RESULTS/CellsAll/BottomEl/%07d", index);
    return drivertest::readValues(dir_.file(results), buffer);
}

double Case::timeOf(const std::string& results, int index) const
{
    return drivertest::readAttribute(dir_.file(results), statePath(index), "t");
}

int Case::outputs(const std::string& results) const
{
    return drivertest::countObjects(dir_.file(results), "RESULTS/CellsAll/HydState");
}

namespace {

/// Closes an HDF5 identifier with the matching close function.
class Handle {
public:
    Handle(hid_t id, herr_t (*close)(hid_t)) : id_(id), close_(close)
    {
        if (id_ < 0) throw std::runtime_error("HDF5 call failed");
    }
    ~Handle() { close_(id_); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    operator hid_t() const { return id_; }

private:
    hid_t id_;
    herr_t (*close_)(hid_t);
};

/// Unlinks the dataset at `path` if it exists (a missing parent group is no error).
void removeIfPresent(hid_t file, const std::string& path)
{
    htri_t present = 0;
    H5E_BEGIN_TRY { present = H5Lexists(file, path.c_str(), H5P_DEFAULT); }
    H5E_END_TRY;
    if (present > 0) H5Ldelete(file, path.c_str(), H5P_DEFAULT);
}

/// Creates (replacing) a dataset of `rows` x `cols` values (cols 0: one-dimensional).
void put(hid_t file, const std::string& path, hid_t type, int rows, int cols, const void* values)
{
    removeIfPresent(file, path);
    Handle lcpl(H5Pcreate(H5P_LINK_CREATE), H5Pclose);
    H5Pset_create_intermediate_group(lcpl, 1);
    hsize_t dims[2] = {static_cast<hsize_t>(rows), static_cast<hsize_t>(cols)};
    Handle space(H5Screate_simple(cols > 0 ? 2 : 1, dims, nullptr), H5Sclose);
    Handle set(H5Dcreate2(file, path.c_str(), type, space, lcpl, H5P_DEFAULT, H5P_DEFAULT), H5Dclose);
    if (H5Dwrite(set, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, values) < 0) throw std::runtime_error("write " + path);
}

void putInts(hid_t file, const std::string& path, int rows, int cols, const std::vector<int>& v)
{
    put(file, path, H5T_NATIVE_INT, rows, cols, v.data());
}

void putDoubles(hid_t file, const std::string& path, int rows, int cols, const std::vector<double>& v)
{
    put(file, path, H5T_NATIVE_DOUBLE, rows, cols, v.data());
}

void putText(hid_t file, const std::string& path, const std::string& value)
{
    removeIfPresent(file, path);
    Handle type(H5Tcopy(H5T_C_S1), H5Tclose);
    H5Tset_size(type, H5T_VARIABLE);
    H5Tset_cset(type, H5T_CSET_UTF8);
    const hsize_t one = 1;
    Handle space(H5Screate_simple(1, &one, nullptr), H5Sclose);
    Handle set(H5Dcreate2(file, path.c_str(), type, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Dclose);
    const char* data[1] = {value.c_str()};
    if (H5Dwrite(set, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data) < 0) throw std::runtime_error("write " + path);
}

/// Inserts `item` (a "key": value pair) at the start of the JSON object `"block": {...}` of `text`.
void addToBlock(std::string& text, const std::string& block, const std::string& item)
{
    const std::string key = "\"" + block + "\": {";
    const std::size_t at = text.find(key);
    if (at == std::string::npos) throw std::runtime_error("no block " + block + " in the archived text");
    const bool empty = text.compare(at + key.size(), 1, "}") == 0;
    text.insert(at + key.size(), item + (empty ? "" : ", "));
}

std::vector<int> asInts(const std::vector<double>& v) { return std::vector<int>(v.begin(), v.end()); }

}  // namespace

void Case::addMorphology(double d50, double thetaCritical, double morphStart)
{
    const std::string m = model();
    // Read everything needed before the file is opened for writing.
    const auto wallEdges = asInts(drivertest::readValues(m, "EdgHydWL/EdgesAll"));
    const auto innerEdges = asInts(drivertest::readValues(m, "EdgesSWE/EdgesAll"));
    const auto innerCells = asInts(drivertest::readValues(m, "EdgesSWE/CellsAll"));
    auto ids = asInts(drivertest::readValues(m, "kernels/ID"));
    auto execution = drivertest::readValues(m, "kernels/execution");
    const int nCells = static_cast<int>(drivertest::readValues(m, "CellsAll/BottomEl").size());

    std::string text = setupText_;
    const std::size_t at = text.find("\"HYDRAULICS\"");
    ASSERT_NE(at, std::string::npos);
    text.insert(at, "\"MORPHOLOGY\": {}, ");
    archivedText_ = text;

    Handle file(H5Fopen(m.c_str(), H5F_ACC_RDWR, H5P_DEFAULT), H5Fclose);
    putText(file, ".config/model", text);
    const int nWall = static_cast<int>(wallEdges.size());
    const int nInner = static_cast<int>(innerEdges.size());
    putInts(file, "EdgMorWL/set", 1, 0, {nWall});
    putInts(file, "EdgMorWL/EdgesAll", nWall, 1, wallEdges);
    putInts(file, "EdgesEXN/set", 1, 0, {nInner});
    putInts(file, "EdgesEXN/EdgesAll", nInner, 1, innerEdges);
    putInts(file, "EdgesEXN/CellsAll", nInner, 2, innerCells);
    putDoubles(file, "CellsAll/MSedSize", nCells, 1, std::vector<double>(static_cast<std::size_t>(nCells), d50));
    putDoubles(file, "CellsAll/ThetaCrt", nCells, 1,
               std::vector<double>(static_cast<std::size_t>(nCells), thetaCritical));

    putDoubles(file, "Parameters/MorphStart", 1, 0, {morphStart});
    putInts(file, "Parameters/FrictionOn", 1, 0, {1});
    putDoubles(file, "Parameters/BedPorosity", 1, 0, {0.4});
    putDoubles(file, "Parameters/FluidDensity", 1, 0, {1000.0});
    putDoubles(file, "Parameters/SedimentDensity", 1, 0, {2650.0});
    putInts(file, "Parameters/BeadloadType", 1, 0, {1});
    putDoubles(file, "Parameters/BedloadFactor", 1, 0, {1.0});
    putDoubles(file, "Parameters/BedloadCoeff", 1, 0, {8.0});
    putDoubles(file, "Parameters/BedloadExpon", 1, 0, {1.5});
    putDoubles(file, "Parameters/BedloadIkeda", 1, 0, {0.0});
    putDoubles(file, "Parameters/BedloadCurvature", 1, 0, {0.0});
    putInts(file, "Parameters/BedloadInts", 1, 2, {0, 0});

    // Initialisation once at the start, wall and Exner fluxes and the transport capacity every step.
    const std::pair<int, double> added[] = {{1, 0.0}, {14, 1e30}, {17, 1e30}, {18, 1e30}};
    for (const auto& k : added) {
        ids.push_back(k.first);
        execution.insert(execution.end(), {0.0, 0.0, k.second});
    }
    const int rows = static_cast<int>(ids.size());
    putInts(file, "kernels/ID", rows, 1, ids);
    putDoubles(file, "kernels/execution", rows, 3, execution);
}

void Case::addFixedBed(double layer, double accuracy, int maxIterations)
{
    const std::string m = model();
    const auto bed = drivertest::readValues(m, "CellsAll/BottomEl");
    const auto cellEdges = asInts(drivertest::readValues(m, "CellsAll/EdgesAll"));
    auto ids = asInts(drivertest::readValues(m, "kernels/ID"));
    auto execution = drivertest::readValues(m, "kernels/execution");
    const int n = static_cast<int>(bed.size());

    std::string text = archivedText_;
    const std::string plain = "\"MORPHOLOGY\": {}";
    const std::size_t at = text.find(plain);
    ASSERT_NE(at, std::string::npos) << "addMorphology first";
    text.replace(at, plain.size(), "\"MORPHOLOGY\": {\"BEDMATERIAL\": {\"FIXED_BED\": {}}}");
    archivedText_ = text;

    std::vector<int> all(static_cast<std::size_t>(n));
    std::vector<double> fixed(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        all[static_cast<std::size_t>(i)] = i;
        fixed[static_cast<std::size_t>(i)] = bed[static_cast<std::size_t>(i)] - layer;
    }
    Handle file(H5Fopen(m.c_str(), H5F_ACC_RDWR, H5P_DEFAULT), H5Fclose);
    putText(file, ".config/model", text);
    putInts(file, "CellsFix/set", 1, 0, {n});
    putInts(file, "CellsFix/CellsAll", n, 1, all);
    putInts(file, "CellsFix/EdgesAll", n, 3, cellEdges);
    putDoubles(file, "CellsFix/FixBedEl", n, 1, fixed);
    putDoubles(file, "Parameters/FixBedAccuracy", 1, 0, {accuracy});
    putInts(file, "Parameters/FixBedMaxIter", 1, 0, {maxIterations});
    for (int k : {19, 20}) {
        ids.push_back(k);
        execution.insert(execution.end(), {0.0, 0.0, 1e30});
    }
    const int rows = static_cast<int>(ids.size());
    putInts(file, "kernels/ID", rows, 1, ids);
    putDoubles(file, "kernels/execution", rows, 3, execution);
}

void Case::addDirectionCorrections()
{
    const setup::MeshGeometry g = setup::computeGeometry(setup::read2dm(dir_.file("mesh.2dm")));
    const std::string m = model();
    auto ids = asInts(drivertest::readValues(m, "kernels/ID"));
    auto execution = drivertest::readValues(m, "kernels/execution");
    ASSERT_EQ(static_cast<std::size_t>(g.nCells), drivertest::readValues(m, "CellsAll/BottomEl").size());

    std::string text = archivedText_;
    addToBlock(text, "MORPHOLOGY",
               R"("BEDLOAD": {"DIRECTION": {"CURVATURE": {}, "IKEDA": {}}}, "INCIPIENT_MOTION": {})");
    archivedText_ = text;

    Handle file(H5Fopen(m.c_str(), H5F_ACC_RDWR, H5P_DEFAULT), H5Fclose);
    putText(file, ".config/model", text);
    putInts(file, "CellsAll/NbrCells", g.nCells, 3, g.nbrCells);
    putDoubles(file, "CellsAll/GeomWght", g.nCells, 6, std::vector<double>(g.geomWght.begin(), g.geomWght.end()));
    putDoubles(file, "EdgesAll/UnitCent", g.nEdges, 2, std::vector<double>(g.unitCent.begin(), g.unitCent.end()));
    putDoubles(file, "EdgesAll/DistCent", g.nEdges, 1, std::vector<double>(g.distCent.begin(), g.distCent.end()));
    putDoubles(file, "Parameters/BedloadIkeda", 1, 0, {0.5});
    putDoubles(file, "Parameters/BedloadCurvature", 1, 0, {7.0});
    putInts(file, "Parameters/BedloadInts", 1, 2, {1, 1});
    putDoubles(file, "Parameters/ThetaCritical", 1, 0, {0.047});
    putDoubles(file, "Parameters/ReposeAngle", 1, 0, {0.6});
    putInts(file, "Parameters/IncipientMotType", 1, 0, {1});
    for (int k : {9, 10, 16}) {
        ids.push_back(k);
        execution.insert(execution.end(), {0.0, 0.0, 1e30});
    }
    const int rows = static_cast<int>(ids.size());
    putInts(file, "kernels/ID", rows, 1, ids);
    putDoubles(file, "kernels/execution", rows, 3, execution);
}

void Case::addSedimentSources(int sinkType)
{
    const std::string m = model();
    const auto cells = asInts(drivertest::readValues(m, "ClHydSrc/CellsAll"));
    const auto rows = asInts(drivertest::readValues(m, "ClHydSrc/CellData"));
    auto ids = asInts(drivertest::readValues(m, "kernels/ID"));
    auto execution = drivertest::readValues(m, "kernels/execution");

    std::string text = archivedText_;
    addToBlock(text, "MORPHOLOGY", "\"SOURCE\": {}");
    archivedText_ = text;

    const int n = static_cast<int>(cells.size());
    Handle file(H5Fopen(m.c_str(), H5F_ACC_RDWR, H5P_DEFAULT), H5Fclose);
    putText(file, ".config/model", text);
    putInts(file, "ClMorSrc/set", 1, 0, {n});
    putInts(file, "ClMorSrc/CellsAll", n, 1, cells);
    putInts(file, "ClMorSrc/CellsFix", n, 1, cells);  // addFixedBed makes fixed-bed cell i cell i
    putInts(file, "ClMorSrc/CellData", n, 1, rows);
    putInts(file, "ClMorSrc/SinkType", n, 1, std::vector<int>(static_cast<std::size_t>(n), sinkType));
    ids.push_back(25);
    execution.insert(execution.end(), {0.0, 0.0, 1e30});
    const int nk = static_cast<int>(ids.size());
    putInts(file, "kernels/ID", nk, 1, ids);
    putDoubles(file, "kernels/execution", nk, 3, execution);
}

double Case::addSedimentInflowOnTheLeft(double qs)
{
    const setup::MeshGeometry g = setup::computeGeometry(setup::read2dm(dir_.file("mesh.2dm")));
    const std::string m = model();
    const auto walls = asInts(drivertest::readValues(m, "EdgHydWL/EdgesAll"));
    auto ids = asInts(drivertest::readValues(m, "kernels/ID"));
    auto execution = drivertest::readValues(m, "kernels/execution");

    std::vector<int> inflowEdges, inflowCells, otherWalls;
    double length = 0.0;
    for (int e : walls) {
        const auto u = static_cast<std::size_t>(e);
        if (g.normVect[2 * u] < -0.9f) {
            inflowEdges.push_back(e);
            inflowCells.insert(inflowCells.end(), {g.edgeCells[2 * u], g.edgeCells[2 * u]});
            length += g.geomLeng[u];
        } else {
            otherWalls.push_back(e);
        }
    }
    std::string text = archivedText_;
    // The sediment boundary switches on together with the node-string definitions it is given on.
    addToBlock(text, "MORPHOLOGY", R"("BEDLOAD": {"BOUNDARY": {}})");
    addToBlock(text, "GEOMETRY", R"("STRINGDEF": [])");
    archivedText_ = text;

    const int n = static_cast<int>(inflowEdges.size());
    const int nw = static_cast<int>(otherWalls.size());
    Handle file(H5Fopen(m.c_str(), H5F_ACC_RDWR, H5P_DEFAULT), H5Fclose);
    putText(file, ".config/model", text);
    putInts(file, "EdgMorWL/set", 1, 0, {nw});
    putInts(file, "EdgMorWL/EdgesAll", nw, 1, otherWalls);
    putInts(file, "EdgMorBC/set", 1, 0, {n});
    putInts(file, "EdgMorBC/EdgesAll", n, 1, inflowEdges);
    putInts(file, "EdgMorBC/CellsAll", n, 2, inflowCells);
    putInts(file, "EdgMorBC/EdgeData", n, 1, std::vector<int>(static_cast<std::size_t>(n), 0));
    std::vector<int> types;
    for (int i = 0; i < n; ++i) types.insert(types.end(), {410, 1});
    putInts(file, "EdgMorBC/MorBType", n, 2, types);
    putInts(file, "EdgeData/set", 1, 0, {1});
    // The aggregate's node-string and series kernels get empty sets, so the simulation drops them.
    for (const char* set : {"NodeStrg/set", "InSeries/set", "EdInterp/set", "EdModDat/set"})
        putInts(file, set, 1, 0, {0});
    putDoubles(file, "EdgeData/NumValue", 1, 7, {qs, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0});
    ids.push_back(12);
    execution.insert(execution.end(), {0.0, 0.0, 1e30});
    const int nk = static_cast<int>(ids.size());
    putInts(file, "kernels/ID", nk, 1, ids);
    putDoubles(file, "kernels/execution", nk, 3, execution);
    return length;
}

double volume(const Cells& cells, const std::vector<double>& state, const std::vector<double>& bed)
{
    double v = 0.0;
    for (std::size_t i = 0; i < cells.size(); ++i) v += cells.area[i] * (state[3 * i] - bed[i]);
    return v;
}

}  // namespace wholerun
