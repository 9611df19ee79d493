#include "wholerun/WholeRun.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "setup/mesh/Geometry.hpp"
#include "setup/mesh/Mesh2dm.hpp"
#include "simulation/ModelFile.hpp"
#include "support/H5Data.hpp"

using testsupport::program;
using testsupport::runProcess;
using testsupport::shellQuote;

namespace wholerun {

std::string config(double end, double out, double dtInit, const std::string& outputs, double start, double minimum)
{
    std::ostringstream text;
    text.precision(17);
    text << R"({"SIMULATION": {"TIME": {"start": )" << start << R"(, "end": )" << end << R"(, "out": )" << out
         << R"(}, "TIMESTEP": {"init": )" << dtInit << R"(, "minimum": )" << minimum << R"(}, "OUTPUT": [)" << outputs
         << "]}}";
    return text.str();
}

Case::Case(const std::string& tag, const std::string& meshOptions) : dir_(tag)
{
    if (!meshOptions.empty()) mesh(meshOptions);
}

void Case::mesh(const std::string& options)
{
    const auto r = runProcess(shellQuote(program("hydrova_mesh")) + " " + options + " -o mesh.2dm", dir_.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
}

void Case::reshapeBed(const std::function<double(double x, double y, double z)>& f)
{
    std::ifstream in(dir_.file("mesh.2dm"));
    std::ostringstream text;
    for (std::string line; std::getline(in, line);) {
        int id;
        double x, y, z;
        if (std::sscanf(line.c_str(), "ND %d %lf %lf %lf", &id, &x, &y, &z) == 4) {
            char buffer[128];
            std::snprintf(buffer, sizeof buffer, "ND %d %.10g %.10g %.10g", id, x, y, f(x, y, z));
            line = buffer;
        }
        text << line << '\n';
    }
    in.close();
    dir_.write("mesh.2dm", text.str());
}

void Case::appendToMesh(const std::string& line) { std::ofstream(dir_.file("mesh.2dm"), std::ios::app) << line << '\n'; }

void Case::setup(const std::string& setupJson)
{
    setupText_ = setupJson;
    dir_.write("setup.json", setupJson);
    const auto r = runProcess(shellQuote(program("hydrova_setup")) + " -f setup.json -o model.h5", dir_.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
}

void Case::setup(const std::string& geometry, const std::string& hydraulics)
{
    setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"GEOMETRY": {"mesh_file": "mesh.2dm")" + geometry +
          R"(}, "HYDRAULICS": )" + hydraulics + "}}}}");
}

testsupport::ProcessResult Case::simulate(const std::string& configJson, const std::string& results, int threads,
                                          const std::string& extra)
{
    dir_.write("config.json", configJson);
    return runProcess(shellQuote(program("hydrova_simulation")) + " -f config.json -r model.h5 -o " +
                          shellQuote(results) + " -n " + std::to_string(threads) + " " + extra,
                      dir_.path());
}

testsupport::ProcessResult Case::run(const std::string& configJson, const std::string& results, int threads,
                                     const std::string& extra)
{
    auto r = simulate(configJson, results, threads, extra);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    return r;
}

Cells Case::cells() const
{
    const auto nodes = drivertest::readValues(model(), "NodesAll/Coordnts");
    const auto topology = drivertest::readValues(model(), "CellsAll/Topology");
    Cells c;
    c.area = drivertest::readValues(model(), "CellsAll/GeomArea");
    for (std::size_t i = 0; i < topology.size() / 3; ++i) {
        double sx = 0.0, sy = 0.0;
        for (std::size_t k = 0; k < 3; ++k) {
            const auto node = static_cast<std::size_t>(topology[3 * i + k]);
            sx += nodes.at(3 * node);
            sy += nodes.at(3 * node + 1);
        }
        c.x.push_back(sx / 3.0);
        c.y.push_back(sy / 3.0);
    }
    return c;
}

std::vector<double> Case::bed() const { return drivertest::readValues(model(), "CellsAll/BottomEl"); }

std::vector<double> Case::state(const std::string& results, int index) const
{
    return drivertest::readValues(dir_.file(results), drivertest::record("CellsAll/HydState", index));
}

std::vector<double> Case::bedAt(const std::string& results, int index) const
{
    return drivertest::readValues(dir_.file(results), drivertest::record("CellsAll/BottomEl", index));
}

double Case::timeOf(const std::string& results, int index) const
{
    return drivertest::readAttribute(dir_.file(results), drivertest::record("CellsAll/HydState", index), "t");
}

int Case::outputs(const std::string& results) const
{
    return drivertest::countObjects(dir_.file(results), "RESULTS/CellsAll/HydState");
}

double Case::volume(const std::vector<double>& values, std::size_t stride) const
{
    const auto area = drivertest::readValues(model(), "CellsAll/GeomArea");
    double v = 0.0;
    for (std::size_t i = 0; i < area.size(); ++i) v += area[i] * values.at(stride * i);
    return v;
}

double Case::water(const std::string& results, int index) const
{
    const bool mobile = drivertest::exists(dir_.file(results), drivertest::record("CellsAll/BottomEl", index));
    return volume(state(results, index), 3) - (mobile ? sediment(results, index) : volume(bed(), 1));
}

double Case::sediment(const std::string& results, int index) const { return volume(bedAt(results, index), 1); }

namespace {

/// Writes scalar real parameters.
void parameters(testsupport::H5Output& file, std::initializer_list<std::pair<const char*, double>> values)
{
    for (const auto& [name, value] : values) file.doubles(std::string("Parameters/") + name, 1, 0, {value});
}

}  // namespace

std::vector<int> Case::ints(const std::string& path) const
{
    const auto v = drivertest::readValues(model(), path);
    return std::vector<int>(v.begin(), v.end());
}

testsupport::H5Output Case::extend(const std::string& block, const std::string& item,
                                   std::initializer_list<std::pair<int, double>> kernels)
{
    const std::string key = "\"" + block + "\": {";
    const std::size_t at = archivedText_.find(key);
    if (at == std::string::npos) throw std::runtime_error("no block " + block + " in the archived text");
    const bool empty = archivedText_.compare(at + key.size(), 1, "}") == 0;
    archivedText_.insert(at + key.size(), item + (empty ? "" : ", "));
    auto ids = ints("kernels/ID");
    auto execution = drivertest::readValues(model(), "kernels/execution");
    for (const auto& [id, end] : kernels) {
        ids.push_back(id);
        execution.insert(execution.end(), {0.0, 0.0, end});
    }
    auto file = testsupport::H5Output::open(model());
    file.text(".config/model", archivedText_);
    file.ints("kernels/ID", static_cast<int>(ids.size()), 1, ids);
    file.doubles("kernels/execution", static_cast<int>(ids.size()), 3, execution);
    return file;
}

void Case::addMorphology(double d50, double thetaCritical, double morphStart)
{
    const auto wallEdges = ints("EdgHydWL/EdgesAll"), innerEdges = ints("EdgesSWE/EdgesAll");
    const auto innerCells = ints("EdgesSWE/CellsAll");
    const std::size_t nCells = bed().size();
    const int n = static_cast<int>(nCells), nWall = static_cast<int>(wallEdges.size());
    const int nInner = static_cast<int>(innerEdges.size());
    archivedText_ = setupText_;
    // Initialisation once at the start, wall and Exner fluxes and the transport capacity every step.
    auto file = extend("LAMINA_2D", "\"MORPHOLOGY\": {}", {{1, 0.0}, {14, 1e30}, {17, 1e30}, {18, 1e30}});
    file.ints("EdgMorWL/set", 1, 0, {nWall});
    file.ints("EdgMorWL/EdgesAll", nWall, 1, wallEdges);
    file.ints("EdgesEXN/set", 1, 0, {nInner});
    file.ints("EdgesEXN/EdgesAll", nInner, 1, innerEdges);
    file.ints("EdgesEXN/CellsAll", nInner, 2, innerCells);
    file.doubles("CellsAll/MSedSize", n, 1, std::vector<double>(nCells, d50));
    file.doubles("CellsAll/ThetaCrt", n, 1, std::vector<double>(nCells, thetaCritical));
    parameters(file, {{"MorphStart", morphStart}, {"BedPorosity", 0.4}, {"FluidDensity", 1000.0},
                      {"SedimentDensity", 2650.0}, {"BedloadFactor", 1.0}, {"BedloadCoeff", 8.0}, {"BedloadExpon", 1.5},
                      {"BedloadIkeda", 0.0}, {"BedloadCurvature", 0.0}});
    file.ints("Parameters/FrictionOn", 1, 0, {1});
    file.ints("Parameters/BeadloadType", 1, 0, {1});
    file.ints("Parameters/BedloadInts", 1, 2, {0, 0});
}

void Case::addFixedBed(double layer, double accuracy, int maxIterations)
{
    std::vector<double> fixed = bed();
    const int n = static_cast<int>(fixed.size());
    std::vector<int> all(fixed.size());
    for (std::size_t i = 0; i < fixed.size(); ++i) {
        all[i] = static_cast<int>(i);
        fixed[i] -= layer;
    }
    auto file = extend("MORPHOLOGY", R"("BEDMATERIAL": {"FIXED_BED": {}})", {{19, 1e30}, {20, 1e30}});
    file.ints("CellsFix/set", 1, 0, {n});
    file.ints("CellsFix/CellsAll", n, 1, all);
    file.ints("CellsFix/EdgesAll", n, 3, ints("CellsAll/EdgesAll"));
    file.doubles("CellsFix/FixBedEl", n, 1, fixed);
    parameters(file, {{"FixBedAccuracy", accuracy}});
    file.ints("Parameters/FixBedMaxIter", 1, 0, {maxIterations});
}

void Case::addDirectionCorrections()
{
    const setup::MeshGeometry g = setup::computeGeometry(setup::read2dm(dir_.file("mesh.2dm")));
    ASSERT_EQ(static_cast<std::size_t>(g.nCells), bed().size());
    auto file = extend("MORPHOLOGY", R"("BEDLOAD": {"DIRECTION": {"CURVATURE": {}, "IKEDA": {}}}, "INCIPIENT_MOTION": {})",
                       {{9, 1e30}, {10, 1e30}, {16, 1e30}});
    file.ints("CellsAll/NbrCells", g.nCells, 3, g.nbrCells);
    file.doubles("CellsAll/GeomWght", g.nCells, 6, std::vector<double>(g.geomWght.begin(), g.geomWght.end()));
    file.doubles("EdgesAll/UnitCent", g.nEdges, 2, std::vector<double>(g.unitCent.begin(), g.unitCent.end()));
    file.doubles("EdgesAll/DistCent", g.nEdges, 1, std::vector<double>(g.distCent.begin(), g.distCent.end()));
    parameters(file,
               {{"BedloadIkeda", 0.5}, {"BedloadCurvature", 7.0}, {"ThetaCritical", 0.047}, {"ReposeAngle", 0.6}});
    file.ints("Parameters/BedloadInts", 1, 2, {1, 1});
    file.ints("Parameters/IncipientMotType", 1, 0, {1});
}

void Case::addSedimentSources(int sinkType)
{
    const auto cells = ints("ClHydSrc/CellsAll");
    const int n = static_cast<int>(cells.size());
    auto file = extend("MORPHOLOGY", "\"SOURCE\": {}", {{25, 1e30}});
    file.ints("ClMorSrc/set", 1, 0, {n});
    file.ints("ClMorSrc/CellsAll", n, 1, cells);
    file.ints("ClMorSrc/CellsFix", n, 1, cells);  // addFixedBed makes fixed-bed cell i cell i
    file.ints("ClMorSrc/CellData", n, 1, ints("ClHydSrc/CellData"));
    file.ints("ClMorSrc/SinkType", n, 1, std::vector<int>(cells.size(), sinkType));
}

double Case::addSedimentInflowOnTheLeft(double qs)
{
    const setup::MeshGeometry g = setup::computeGeometry(setup::read2dm(dir_.file("mesh.2dm")));
    std::vector<int> inflowEdges, inflowCells, otherWalls, types;
    double length = 0.0;
    for (int e : ints("EdgHydWL/EdgesAll")) {
        const auto u = static_cast<std::size_t>(e);
        if (g.normVect[2 * u] < -0.9f) {
            inflowEdges.push_back(e);
            inflowCells.insert(inflowCells.end(), {g.edgeCells[2 * u], g.edgeCells[2 * u]});
            types.insert(types.end(), {410, 1});
            length += g.geomLeng[u];
        } else {
            otherWalls.push_back(e);
        }
    }
    const int n = static_cast<int>(inflowEdges.size()), nw = static_cast<int>(otherWalls.size());
    // The sediment boundary switches on together with the node-string definitions it is given on.
    extend("GEOMETRY", R"("STRINGDEF": [])", {});
    auto file = extend("MORPHOLOGY", R"("BEDLOAD": {"BOUNDARY": {}})", {{12, 1e30}});
    file.ints("EdgMorWL/set", 1, 0, {nw});
    file.ints("EdgMorWL/EdgesAll", nw, 1, otherWalls);
    file.ints("EdgMorBC/set", 1, 0, {n});
    file.ints("EdgMorBC/EdgesAll", n, 1, inflowEdges);
    file.ints("EdgMorBC/CellsAll", n, 2, inflowCells);
    file.ints("EdgMorBC/EdgeData", n, 1, std::vector<int>(inflowEdges.size(), 0));
    file.ints("EdgMorBC/MorBType", n, 2, types);
    file.ints("EdgeData/set", 1, 0, {1});
    // The aggregate's node-string and series kernels get empty sets, so the simulation drops them.
    for (const char* set : {"NodeStrg/set", "InSeries/set", "EdInterp/set", "EdModDat/set"}) file.ints(set, 1, 0, {0});
    file.doubles("EdgeData/NumValue", 1, 7, {qs, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0});
    return length;
}

Steady steadyState(const Case& c, bool ran, double q, const std::function<double(double x, double bed)>& exact,
                   const std::function<bool(double x)>& counted)
{
    Steady r;
    if (!ran) return r;
    const int last = c.outputs("results.h5") - 1;
    const auto cells = c.cells();
    const auto bed = c.bed();
    const auto s = c.state("results.h5", last), before = c.state("results.h5", last - 1);
    r = Steady{0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    double area = 0.0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        r.lastChange = std::max(r.lastChange, std::abs(s[3 * i] - before[3 * i]));
        if (!counted(cells.x[i])) continue;
        const double e = s[3 * i] - exact(cells.x[i], bed[i]);
        r.maxError = std::max(r.maxError, std::abs(e));
        r.meanError += cells.area[i] * e;
        r.meanAbsError += cells.area[i] * std::abs(e);
        area += cells.area[i];
        r.maxDischargeError = std::max(r.maxDischargeError, std::abs(s[3 * i + 1] - q) / q);
        r.maxCrossDischarge = std::max(r.maxCrossDischarge, std::abs(s[3 * i + 2]) / q);
    }
    r.meanError /= area;
    r.meanAbsError /= area;
    return r;
}

double damBreakDepthError(const std::string& tag, int nx, const std::string& hydraulics, const std::string& config,
                          const std::function<double(double x)>& exact, int rows)
{
    const int ny = rows > 0 ? rows : std::max(1, nx / 50);
    Case c(tag, "--size 100 2 --cells " + std::to_string(nx) + " " + std::to_string(ny) +
                    " --material 0:50:1,50:100:2");
    c.setup("", hydraulics);
    if (c.run(config).status != 0) return 1e9;
    const auto cells = c.cells();
    const auto s = c.state("results.h5", 1);
    const auto bed = c.bed();
    double error = 0.0;
    for (std::size_t i = 0; i < cells.size(); ++i)
        error += cells.area[i] * std::abs((s[3 * i] - bed[i]) - exact(cells.x[i]));
    return error / 2.0;
}

Refinement damBreakRefinement(const char* title, const std::function<double(int nx)>& errorOf, int nx0)
{
    const int nx[3] = {nx0, 2 * nx0, 4 * nx0};
    Refinement r;
    for (int k = 0; k < 3; ++k) r.error[k] = errorOf(nx[k]);
    r.order1 = std::log2(r.error[0] / r.error[1]);
    r.order2 = std::log2(r.error[1] / r.error[2]);
    std::printf(
        "%s, L1 depth error per metre width [m^2]: dx = %g m: %.5f, %g m: %.5f, %g m: %.5f; "
        "observed order %.2f, %.2f\n",
        title, 100.0 / nx[0], r.error[0], 100.0 / nx[1], r.error[1], 100.0 / nx[2], r.error[2], r.order1, r.order2);
    return r;
}

}  // namespace wholerun
