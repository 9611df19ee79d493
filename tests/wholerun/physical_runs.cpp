// Whole simulations checked by physics: a lake at rest over an irregular, partly dry bed, volume conservation in a
// closed basin, the volume a discharge hydrograph brings in over a long node string, and a dam break on a dry bed
// against Ritter's solution under refinement.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "simulation/ModelFile.hpp"
#include "support/Process.hpp"
#include "support/Text.hpp"
#include "support/Tolerance.hpp"
#include "wholerun/WholeRun.hpp"

using testsupport::countOf;
using wholerun::Case;
using wholerun::damBreakDepthError;
using wholerun::damBreakRefinement;
using wholerun::Refinement;

namespace {

std::string config(double start, double end, double out, double dtInit, const std::string& outputs = "\"water_depth\"")
{
    std::ostringstream text;
    text.precision(17);
    text << R"({"SIMULATION": {"TIME": {"start": )" << start << R"(, "end": )" << end << R"(, "out": )" << out
         << R"(}, "TIMESTEP": {"init": )" << dtInit << R"(, "minimum": 1e-4}, "OUTPUT": [)" << outputs << "]}}";
    return text.str();
}

/// Deterministic bed noise in [-1, 1] from the node position.
double noise(double x, double y)
{
    const double s = std::sin(12.9898 * x + 78.233 * y) * 43758.5453;
    return 2.0 * (s - std::floor(s)) - 1.0;
}

/// A 60 m x 24 m basin of 2880 triangles, closed by walls, over a wavy bed with two islands that rise above the lake
/// and bed noise of +-5 cm; 0.5 m of water stand at rest for 200 s, set up with the defaults (CFL 0.5). Above
/// about CFL 0.65 currents grow here (docs/stability.md).
TEST(WholeRun, LakeAtRestOverIslandsStaysAtRestWithTheDefaults)
{
    Case c("lake");
    c.mesh("--size 60 24 --cells 60 24");
    c.reshapeBed([](double x, double y, double) {
        const double islands = 0.9 * std::exp(-((x - 15) * (x - 15) + (y - 12) * (y - 12)) / 20.0) +
                               0.8 * std::exp(-((x - 42) * (x - 42) + (y - 8) * (y - 8)) / 15.0);
        return islands + 0.2 * std::sin(x / 4.0) * std::cos(y / 3.0) + 0.05 * noise(x, y);
    });
    c.setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"GEOMETRY": {"mesh_file": "mesh.2dm"},
        "HYDRAULICS": {"INITIAL": {"type": "water_surface", "value": 0.5}}}}}})");
    const auto r = c.simulate(config(0.0, 200.0, 200.0, 0.02), "results.h5");
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    const auto bed = c.bed();
    const auto end = c.state("results.h5", 1);
    EXPECT_DOUBLE_EQ(c.timeOf("results.h5", 1), 200.0);
    int dry = 0, wet = 0;
    double worstLevel = 0.0, worstDischarge = 0.0, worstDryDepth = 0.0;
    for (std::size_t i = 0; i < bed.size(); ++i) {
        if (bed[i] >= 0.5) {
            ++dry;
            worstDryDepth = std::max(worstDryDepth, end[3 * i] - bed[i]);
        } else {
            ++wet;
            worstLevel = std::max(worstLevel, std::abs(end[3 * i] - 0.5));
        }
        worstDischarge = std::max({worstDischarge, std::abs(end[3 * i + 1]), std::abs(end[3 * i + 2])});
    }
    ASSERT_GT(dry, 30) << "the islands must leave some cells dry";
    std::printf(
        "lake at rest: %d wet, %d dry cells; max |H - 0.5| = %.3g m, max |q| = %.3g m2/s, max dry depth %.3g m\n", wet,
        dry, worstLevel, worstDischarge, worstDryDepth);
    EXPECT_LT(worstLevel, 1e-5);
    EXPECT_LT(worstDischarge, 2e-4);
    EXPECT_LT(worstDryDepth, 1e-6);
}

/// A dry 30 m x 30 m basin (Manning n = 0.03, bed rising 2 per mille along x) filled for 200 s by 2 m^3/s spread over
/// its 6 m wide strip at x = 0: the first step leaves the strip below the minimum water depth, so the next one is a
/// dry-domain step of CFL x max_time_step. With the default max_time_step the flood maxima are those of a run whose
/// dry steps are 0.01 s; with the former default of 100 s the inflow of 50 s arrived at once.
TEST(WholeRun, DryBasinFilledByAnInflowReachesTheFloodMaximaOfSmallSteps)
{
    const auto maxima = [](const char* tag, const std::string& parameter) {
        Case c(tag);
        c.mesh("--size 30 30 --cells 30 30 --bed slope:-0.002 --material 0:6:3,6:30:1");
        c.setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"GEOMETRY": {"mesh_file": "mesh.2dm",
            "REGIONDEF": [{"name": "inlet", "index": [3]}]}, "HYDRAULICS": {"PARAMETER": {)" +
                parameter + R"(},
            "FRICTION": {"type": "manning", "default_friction": 0.03}, "FLOOD": {},
            "SOURCE": [{"name": "q", "type": "inflow", "region": "inlet", "discharge": [[0, 2], [1000, 2]]}]}}}}})");
        const auto r = c.simulate(config(0.0, 200.0, 200.0, 0.02), "results.h5");
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        const auto flood = drivertest::readValues(c.dir().file("results.h5"), "RESULTS/CellsAll/FloodVar/0000000");
        std::pair<double, double> m{0.0, 0.0};
        for (std::size_t i = 0; i < flood.size(); i += 4)
            m = {std::max(m.first, flood[i + 1]), std::max(m.second, flood[i + 2])};
        std::printf("dry basin, %s: max depth %.4f m, max velocity %.4f m/s\n", tag, m.first, m.second);
        return m;
    };
    const auto small = maxima("small-steps", R"("max_time_step": 0.02)");
    const auto defaults = maxima("defaults", "");
    const auto former = maxima("former-default", R"("max_time_step": 100)");
    EXPECT_CLOSE(defaults.first, small.first, 0.0, 0.05);
    EXPECT_CLOSE(defaults.second, small.second, 0.0, 0.10);
    // The case tells the defaults apart: the former 50 s dry step sent a surge (here +20 % depth, +340 % velocity).
    EXPECT_GT(former.first, 1.1 * small.first);
    EXPECT_GT(former.second, 2.0 * small.second);
}

/// Two water levels in a closed, sloping, rough basin slosh for 30 s; walls everywhere, so the volume must stay
/// what it was up to single-precision round-off of the cell states; flood tracking keeps the maxima.
TEST(WholeRun, ClosedBasinConservesVolumeAndTracksFloodMaxima)
{
    Case c("basin");
    c.mesh("--size 20 10 --cells 40 20 --bed slope:0.05 --material 0:10:1,10:20:2");
    c.reshapeBed([](double x, double y, double z) { return z + 0.03 * noise(x, y); });
    c.setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "mesh.2dm"},
        "HYDRAULICS": {
          "PARAMETER": {"CFL": 0.9, "max_time_step": 10.0, "minimum_water_depth": 0.001, "safe_mode": true},
          "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 1.5},
                                                      {"index": [2], "water_surface": 0.6}]},
          "FRICTION": {"type": "manning", "default_friction": 0.02},
          "FLOOD": {}}}}}})");
    const auto r = c.simulate(config(0.0, 30.0, 10.0, 0.01), "results.h5");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    ASSERT_EQ(c.outputs("results.h5"), 4);

    const auto cells = c.cells();
    const auto bed = c.bed();
    const double v0 = wholerun::volume(cells, c.state("results.h5", 0), bed);
    for (int k = 1; k < 4; ++k) {
        const auto s = c.state("results.h5", k);
        const double v = wholerun::volume(cells, s, bed);
        std::printf("closed basin: t = %g s, relative volume change %.3g\n", c.timeOf("results.h5", k), (v - v0) / v0);
        EXPECT_CLOSE(v, v0, 0.0, 1e-6);
        for (std::size_t i = 0; i < bed.size(); ++i) ASSERT_GE(s[3 * i] - bed[i], -1e-6) << "cell " << i;
    }
    // Flood tracking holds per cell the largest depth and discharge it saw, at least those of every output after the
    // first step.
    const auto flood = drivertest::readValues(c.dir().file("results.h5"), "RESULTS/CellsAll/FloodVar/0000000");
    ASSERT_EQ(flood.size(), 4 * bed.size());
    for (int k = 1; k < 4; ++k) {
        const auto s = c.state("results.h5", k);
        for (std::size_t i = 0; i < bed.size(); ++i) {
            ASSERT_GE(flood[4 * i + 1], s[3 * i] - bed[i] - 1e-6) << "cell " << i << ", output " << k;
            ASSERT_GE(flood[4 * i + 3], std::hypot(s[3 * i + 1], s[3 * i + 2]) - 1e-6) << "cell " << i;
        }
    }
    // The water did move: the upper level fell.
    const auto last = c.state("results.h5", 3);
    double maxLevel = 0.0;
    for (std::size_t i = 0; i < bed.size(); ++i) maxLevel = std::max(maxLevel, last[3 * i]);
    EXPECT_LT(maxLevel, 1.4);
}

/// A constant 4 m^3/s enters along the whole left side of a closed 100 m x 60 m basin, a string of 60 edges that
/// the set-up splits into pieces of at most 40; after 40 s the basin holds 160 m^3 more.
TEST(WholeRun, DischargeInflowOverALongStringBringsInTheHydrographVolume)
{
    Case c("inflow");
    c.mesh("--size 100 60 --cells 25 60");
    c.setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "mesh.2dm", "STRINGDEF": [{"name": "left"}]},
        "HYDRAULICS": {
          "PARAMETER": {"CFL": 0.9, "minimum_water_depth": 0.001, "safe_mode": true},
          "INITIAL": {"type": "water_surface", "value": 1.0},
          "BOUNDARY": [{"name": "in", "type": "discharge_inflow", "string": "left",
                        "discharge": [[0, 4.0], [1000, 4.0]], "slope": 0.001}]}}}}})");
    const auto r = c.simulate(config(0.0, 40.0, 20.0, 0.01), "results.h5");
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    const auto cells = c.cells();
    const auto bed = c.bed();
    const double v0 = wholerun::volume(cells, c.state("results.h5", 0), bed);
    const double v20 = wholerun::volume(cells, c.state("results.h5", 1), bed);
    const double v40 = wholerun::volume(cells, c.state("results.h5", 2), bed);
    std::printf("inflow: volume gained %.6f m3 after 20 s (80 expected), %.6f m3 after 40 s (160 expected)\n", v20 - v0,
                v40 - v0);
    EXPECT_CLOSE(v20 - v0, 80.0, 0.0, 1e-4);
    EXPECT_CLOSE(v40 - v0, 160.0, 0.0, 1e-4);
}

/// Ritter's dry-bed dam break: depth h0 for x - x0 < -c0 t, (2 c0 - (x - x0)/t)^2 / (9 g) up to the front at
/// x - x0 = 2 c0 t, dry beyond (c0 = sqrt(g h0)).
double ritter(double x, double t, double x0, double h0, double g)
{
    const double c0 = std::sqrt(g * h0);
    const double xi = (x - x0) / t;
    if (xi <= -c0) return h0;
    if (xi >= 2.0 * c0) return 0.0;
    const double a = 2.0 * c0 - xi;
    return a * a / (9.0 * g);
}

/// L1 error of the depth per unit channel width [m^2] of a 100 m channel, 1 m of water behind a dam at x = 50 m,
/// after 6 s, with nx cells along the channel. CFL 0.7: the per-cell step limit (|u| + c) does not see the faster
/// dry-front speed (u + 2c), and at 0.9 the thin front cells overshoot to negative depths, which safe mode stops.
double damBreakError(int nx)
{
    return damBreakDepthError("ritter", nx, R"({
          "PARAMETER": {"CFL": 0.7, "minimum_water_depth": 0.0001, "gravity": 9.81, "safe_mode": true},
          "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 1.0}]}})",
                              config(0.0, 6.0, 6.0, 0.01), [](double x) { return ritter(x, 6.0, 50.0, 1.0, 9.81); });
}

TEST(WholeRun, DamBreakOnADryBedApproachesRittersSolutionUnderRefinement)
{
    const Refinement r = damBreakRefinement("Ritter dam break", damBreakError);
    const double* e = r.error;
    EXPECT_LT(e[1], e[0]);
    EXPECT_LT(e[2], e[1]);
    EXPECT_GT(r.order2, 0.4) << "the error must fall roughly like a first-order scheme's at a dry front";
    // The finest error stays below 1 % of the 50 m^2 of water per metre width.
    EXPECT_LT(e[2], 0.5);
}

}  // namespace

/// 0.2 m cells at a UTM northing of 5 000 000 m: float keeps every 0.5 m there, so the float table the mesh framework
/// reads folds the six rows of nodes onto three; the results file and the XDMF file must keep all six.
TEST(WholeRun, CoordinatesKeepTheMeshFilePrecisionInTheResultsAndTheXdmfFile)
{
    Case c("utm");
    c.mesh("--size 2 1 --cells 10 5 --origin 500000 5000000");
    c.setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"GEOMETRY": {"mesh_file": "mesh.2dm"},
        "HYDRAULICS": {"INITIAL": {"type": "water_surface", "value": 1.0}}}}}})");
    const auto r = c.simulate(config(0.0, 1.0, 1.0, 0.01), "results.h5");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const auto distinct = [](const std::vector<double>& xyz, int component) {
        std::vector<double> v;
        for (std::size_t i = component; i < xyz.size(); i += 3) v.push_back(xyz[i]);
        std::sort(v.begin(), v.end());
        return std::unique(v.begin(), v.end()) - v.begin();
    };
    const std::string results = c.dir().file("results.h5");
    EXPECT_LT(distinct(drivertest::readValues(results, "NodesAll/Coordnts"), 1), 6);
    const auto precise = drivertest::readValues(results, "NodesAll/CoordDbl");
    EXPECT_EQ(distinct(precise, 0), 11);
    EXPECT_EQ(distinct(precise, 1), 6);
    EXPECT_EQ(*std::max_element(precise.begin(), precise.end()), 5000001.0);

    const auto x = testsupport::runProcess(testsupport::program("hydrova_results") + " -f results.h5", c.dir().path());
    ASSERT_EQ(x.status, 0) << x.err;
    std::ifstream in(c.dir().file("results.xdmf"));
    const std::string xdmf((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(xdmf.find("NumberType=\"Float\" Precision=\"8\" Format=\"HDF\">\n                results.h5:/NodesAll/CoordDbl"),
              std::string::npos)
        << xdmf;
}

/// A dam break in a 400 m x 40 m channel of 10 m cells (320 triangles) for pairs (end, out) that lost outputs when
/// output times were summed and the step to them rounded to float: (22.5, 0.05) stored 450 of 451 records, (2,
/// 0.05) 40 of 41, (5000, 5000) only t = 0; (7.7, 1.1) and (10, 3) need the end state besides the multiples of
/// the interval; out 0 writes the start and the end. Every record must carry k × out exactly, the last one the end,
/// and progress must reach 100/100.
TEST(WholeRun, EveryOutputTimeIsStoredExactlyAndTheEndStateIsTheLastRecord)
{
    Case c("outputs");
    c.mesh("--size 400 40 --cells 40 4 --material 0:200:1,200:400:2");
    c.setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"GEOMETRY": {"mesh_file": "mesh.2dm"},
        "HYDRAULICS": {"PARAMETER": {"CFL": 0.5, "minimum_water_depth": 0.001},
          "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 1.0},
                                                      {"index": [2], "water_surface": 0.2}]}}}}}})");
    const double rows[][3] = {{5000, 5000, 2}, {22.5, 0.05, 451}, {2, 0.05, 41}, {3600, 60, 61},
                              {100, 0.1, 1001}, {7.7, 1.1, 8},   {10, 3, 5},     {5, 0, 2}};  // end, out, records
    for (const auto& row : rows) {
        const double end = row[0], out = row[1];
        const int records = static_cast<int>(row[2]);
        const auto r = c.simulate(config(0.0, end, out, 0.01), "results.h5", 1, "-p");
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        ASSERT_EQ(c.outputs("results.h5"), records) << end << " " << out;
        for (int k = 0; k + 1 < records; ++k) ASSERT_EQ(c.timeOf("results.h5", k), k * out) << end << " " << out;
        EXPECT_EQ(c.timeOf("results.h5", records - 1), end) << end << " " << out;
        EXPECT_EQ(countOf(r.out, " -> Progress: 100/100, "), 1) << end << " " << out;
    }
}


/// Gauges in a dam break (320 triangles): one wet from the start, one reached by the front, one on a cell edge.
/// Sampled every step, the series holds one sample per step besides the start, and at every output time the
/// value of its cell in the stored field, bit for bit (surface, depth, velocity as hydrova_results derives them),
/// and recording leaves the fields as they are without gauges (stored compressed there: the same values, records
/// through the shuffle and deflate filters). At an interval of 0.3 s the samples are the
/// multiples of 0.3 s and the output times (1 s), nothing else, those between two steps interpolated linearly
/// between the every-step samples (the steps are the same).
TEST(WholeRun, GaugesHoldTheirCellsValuesOfTheStoredFieldsAtEveryOutputTime)
{
    const char* setup = R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"GEOMETRY": {"mesh_file": "mesh.2dm"%s},
        "HYDRAULICS": {"PARAMETER": {"CFL": 0.5, "minimum_water_depth": 0.001},
          "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 1.0}]}}}}}})";
    const auto text = [&](const char* gauges) {
        std::vector<char> buffer(2048);
        std::snprintf(buffer.data(), buffer.size(), setup, gauges);
        return std::string(buffer.data());
    };
    Case plain("gauges_none");
    plain.mesh("--size 400 40 --cells 40 4 --material 0:200:1,200:400:2");
    plain.setup(text(""));
    ASSERT_EQ(plain.simulate(config(0.0, 6.0, 1.0, 0.01), "results.h5", 1, "--compress").status, 0);
    const auto dump = testsupport::runProcess("h5dump -p -H -d /RESULTS/CellsAll/HydState/0000006 results.h5",
                                              plain.dir().path());
    EXPECT_NE(dump.out.find("SHUFFLE"), std::string::npos) << dump.out;
    EXPECT_NE(dump.out.find("COMPRESSION DEFLATE"), std::string::npos) << dump.out;

    Case c("gauges");
    c.mesh("--size 400 40 --cells 40 4 --material 0:200:1,200:400:2");
    c.setup(text(R"(, "GAUGEDEF": [{"name": "lake", "x": 150, "y": 13}, {"name": "front", "x": 215.3, "y": 21.7},
                                   {"name": "edge", "x": 200, "y": 25}])"));
    const auto cells = c.cells();
    const auto bed = c.bed();
    std::vector<int> gaugeCells;
    for (const double cell : drivertest::readValues(c.model(), "Gauges/Cells")) gaugeCells.push_back(static_cast<int>(cell));
    ASSERT_EQ(gaugeCells.size(), 3u);
    const double minDepth = drivertest::readValues(c.model(), "Parameters/MinWaterDepth").at(0);

    const auto samplesOf = [&](const std::string& gauging, const std::string& extra) {
        std::string configuration = config(0.0, 6.0, 1.0, 0.01);
        configuration.insert(configuration.find("\"OUTPUT\""), gauging);
        const auto r = c.simulate(configuration, "results.h5", 1, extra);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        const auto x = testsupport::runProcess(testsupport::program("hydrova_results") + " -f results.h5", c.dir().path());
        EXPECT_EQ(x.status, 0) << x.err;
        std::ifstream csv(c.dir().file("results_gauges.csv"));
        std::string line;
        std::getline(csv, line);
        EXPECT_EQ(line, "time_s,lake_surface_m,lake_depth_m,lake_u_m_s,lake_v_m_s,front_surface_m,front_depth_m,"
                        "front_u_m_s,front_v_m_s,edge_surface_m,edge_depth_m,edge_u_m_s,edge_v_m_s");
        std::vector<std::vector<double>> samples;
        while (std::getline(csv, line)) {
            std::vector<double> row;
            std::istringstream fields(line);
            for (std::string f; std::getline(fields, f, ',');) row.push_back(std::stod(f));
            samples.push_back(row);
        }
        EXPECT_TRUE(std::ifstream(c.dir().file("results_gauges.png")).good());
        return std::make_pair(samples, countOf(r.out, " -> time: "));
    };

    const auto [everyStep, steps] = samplesOf("", "-l 3");
    ASSERT_EQ(static_cast<int>(everyStep.size()), steps + 1);
    int matched = 0;
    for (int k = 0; k < c.outputs("results.h5"); ++k) {
        const double t = c.timeOf("results.h5", k);
        const auto state = c.state("results.h5", k);
        EXPECT_EQ(state, plain.state("results.h5", k)) << "recording gauges changed the field at t = " << t;
        for (const auto& row : everyStep) {
            if (row[0] != t) continue;
            ++matched;
            for (int g = 0; g < 3; ++g) {
                const std::size_t i = static_cast<std::size_t>(gaugeCells[g]);
                const double H = state[3 * i], h = H - bed[i];
                const double u = minDepth > h ? 0.0 : state[3 * i + 1] / h, v = minDepth > h ? 0.0 : state[3 * i + 2] / h;
                EXPECT_EQ(std::vector<double>(row.begin() + 1 + 4 * g, row.begin() + 5 + 4 * g),
                          (std::vector<double>{H, h, u, v}))
                    << "gauge " << g << " at t = " << t;
            }
        }
    }
    EXPECT_EQ(matched, 7);
    // The lake gauge lies in the reservoir, the front one is dry until the wave arrives.
    EXPECT_GT(everyStep.front()[2], 0.99);
    EXPECT_EQ(everyStep.front()[6], 0.0);
    EXPECT_GT(everyStep.back()[6], 0.1);
    for (int g = 0; g < 3; ++g) {
        const double x = cells.x[gaugeCells[g]], y = cells.y[gaugeCells[g]];
        EXPECT_LT(std::hypot(x - (g == 0 ? 150 : g == 1 ? 215.3 : 200), y - (g == 0 ? 13 : g == 1 ? 21.7 : 25)), 10.0);
    }

    const auto [timed, unused] = samplesOf(R"("GAUGES": {"interval": 0.3}, )", "");
    EXPECT_EQ(c.state("results.h5", 6), plain.state("results.h5", 6)) << "sampling at an interval changed the steps";
    std::vector<double> expected;
    for (int k = 0; k * 0.3 < 6.0; ++k) expected.push_back(k * 0.3);
    for (int k = 1; k <= 6; ++k) expected.push_back(k);
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    std::vector<double> times;
    for (const auto& row : timed) times.push_back(row[0]);
    EXPECT_EQ(times, expected);
    for (const auto& row : timed) {
        const auto after = std::lower_bound(everyStep.begin(), everyStep.end(), row[0],
                                            [](const std::vector<double>& s, double t) { return s[0] < t; });
        ASSERT_NE(after, everyStep.end());
        const auto& b = *after;
        const auto& a = after == everyStep.begin() ? b : *(after - 1);
        const double f = b[0] == row[0] ? 1.0 : (row[0] - a[0]) / (b[0] - a[0]);
        for (std::size_t k = 1; k < row.size(); ++k)
            EXPECT_NEAR(row[k], a[k] + f * (b[k] - a[k]), 1e-12) << "t = " << row[0] << ", column " << k;
    }
}

/// A lake at rest on a plane bed rising to the left (dry left of x = 25 m), in ETRS89 / UTM 32N, as GeoTIFF rasters
/// of 3 m cells (not aligned with the 10 m squares of the mesh), read back by GDAL's own programs: the maximum depth
/// has the model's coordinate system, the geotransform of the mesh's box, no data where no water came and outside
/// the mesh, and at every centre inside a triangle that triangle's stored value.
TEST(WholeRun, RastersOfTheFloodMaximaHoldTheCellValuesAtTheirCentresWithTheModelsCoordinateSystem)
{
    if (testsupport::runProcess("command -v gdalinfo && command -v gdal_translate").status != 0)
        GTEST_SKIP() << "gdalinfo and gdal_translate (Debian package gdal-bin) are not installed";
    Case c("rasters");
    c.mesh("--size 100 50 --cells 10 5 --origin 500000 5400000 --bed slope:0.004");
    c.setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"GEOMETRY": {"mesh_file": "mesh.2dm", "crs": "EPSG:25832"},
        "HYDRAULICS": {"INITIAL": {"type": "water_surface", "value": 0.3}, "FLOOD": {}}}}}})");
    ASSERT_EQ(c.simulate(config(0.0, 2.0, 1.0, 0.01), "results.h5").status, 0);
    const auto r = testsupport::runProcess(
        testsupport::program("hydrova_results") + " -f results.h5 --raster lake --cell 3", c.dir().path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const auto info = testsupport::runProcess("gdalinfo lake_max_depth.tif", c.dir().path());
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("Size is 34, 17"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Origin = (500000.000000000000000,5400050.000000000000000)"), std::string::npos);
    EXPECT_NE(info.out.find("Pixel Size = (3.000000000000000,-3.000000000000000)"), std::string::npos);
    EXPECT_NE(info.out.find("ETRS89 / UTM zone 32N"), std::string::npos);
    EXPECT_NE(info.out.find("NoData Value=-9999"), std::string::npos);
    ASSERT_EQ(testsupport::runProcess("gdal_translate -q -of XYZ lake_max_depth.tif lake.xyz", c.dir().path()).status, 0);

    const std::string results = c.dir().file("results.h5");
    const auto xyz = drivertest::readValues(results, "NodesAll/CoordDbl");
    const auto topology = drivertest::readValues(results, "CellsAll/Topology");
    const auto flood = drivertest::readValues(results, "RESULTS/CellsAll/FloodVar/0000000");
    const double minDepth = drivertest::readValues(results, "Parameters/MinWaterDepth").at(0);
    std::ifstream in(c.dir().file("lake.xyz"));
    int inside = 0, dry = 0, outside = 0;
    for (double x, y, v; in >> x >> y >> v;) {
        // The triangle holding the centre, at least 1 mm inside it.
        int holder = -1;
        for (std::size_t t = 0; t < topology.size() / 3 && holder < 0; ++t) {
            double px[3], py[3];
            for (int k = 0; k < 3; ++k) {
                const auto n = static_cast<std::size_t>(topology[3 * t + k]);
                px[k] = xyz[3 * n];
                py[k] = xyz[3 * n + 1];
            }
            bool in = true;
            for (int k = 0; k < 3 && in; ++k) {
                const double ex = px[(k + 1) % 3] - px[k], ey = py[(k + 1) % 3] - py[k];
                in = (ex * (y - py[k]) - ey * (x - px[k])) / std::hypot(ex, ey) > 1e-3;
            }
            if (in) holder = static_cast<int>(t);
        }
        if (x > 500100.0) {
            EXPECT_EQ(v, -9999.0) << x << " " << y;
            ++outside;
        } else if (holder < 0) {
            continue;  // on an edge: either neighbour
        } else if (flood[4 * holder + 1] > minDepth) {
            EXPECT_EQ(v, static_cast<double>(static_cast<float>(flood[4 * holder + 1]))) << x << " " << y;
            ++inside;
        } else {
            EXPECT_EQ(v, -9999.0) << x << " " << y;
            ++dry;
        }
    }
    EXPECT_GT(inside, 300);
    EXPECT_GT(dry, 80);
    EXPECT_EQ(outside, 17);
}
