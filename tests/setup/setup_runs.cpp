// Whole runs of set-up model files. Hydraulics: the water volume in the domain follows what the boundary conditions
// and sources of the command file promise. Morphology: a bed hump travels at the celerity of the Exner equation's
// characteristic, the bed volume changes by the sediment crossing the boundaries, and a closed basin with every
// morphological part conserves sediment, holds its fixed bed and gives the same bits on one and two threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "setup/ChannelCase.hpp"
#include "support/H5Data.hpp"
#include "support/Process.hpp"
#include "support/Tolerance.hpp"

using testsupport::program;
using testsupport::runProcess;
using testsupport::ScratchDir;
using testsupport::h5::readValues;

namespace {

/// One case in its own folder: mesh from hydrova_mesh, model from hydrova_setup, results from hydrova_simulation.
struct RunCase {
    explicit RunCase(const std::string& tag) : dir(tag) {}

    /// Writes the mesh (none with no options: the caller wrote it) and the command file (the same), and the model
    /// file.
    void prepare(const std::string& meshOptions, const std::string& setupJson)
    {
        if (!meshOptions.empty()) {
            const auto r = runProcess(program("hydrova_mesh") + " " + meshOptions + " -o mesh.2dm", dir.path());
            ASSERT_EQ(r.status, 0) << r.out << r.err;
        }
        if (!setupJson.empty()) dir.write("setup.json", setupJson);
        const auto r = runProcess(program("hydrova_setup") + " -f setup.json -o model.h5", dir.path());
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        const std::string model = dir.file("model.h5");
        bed0 = readValues(model, "CellsAll/BottomEl");
        area = readValues(model, "CellsAll/GeomArea");
        const auto xyz = readValues(model, "NodesAll/Coordnts");
        const auto topology = readValues(model, "CellsAll/Topology");
        for (std::size_t c = 0; c < area.size(); ++c) {
            double sum = 0.0;
            for (int j = 0; j < 3; ++j) sum += xyz[3 * static_cast<std::size_t>(topology[3 * c + j])];
            x.push_back(sum / 3.0);
        }
    }

    testsupport::ProcessResult simulate(const std::string& config, const std::string& results, int threads = 1)
    {
        dir.write("config.json", config);
        return runProcess(program("hydrova_simulation") + " -f config.json -r model.h5 -o " + results +
                              " -n " + std::to_string(threads),
                          dir.path());
    }

    std::vector<double> record(const std::string& results, const std::string& item, int index) const
    {
        char name[32];
        std::snprintf(name, sizeof name, "/%07d", index);
        return readValues(dir.file(results), "RESULTS/" + item + name);
    }
    std::vector<double> bed(const std::string& file, int k) const { return record(file, "CellsAll/BottomEl", k); }
    std::vector<double> state(const std::string& file, int k) const { return record(file, "CellsAll/HydState", k); }

    ScratchDir dir;
    std::vector<double> area, x, bed0;  ///< cell areas [m^2], centroid abscissae [m] and initial beds [m]
};

double bedVolume(const std::vector<double>& area, const std::vector<double>& bed)
{
    double v = 0.0;
    for (std::size_t c = 0; c < area.size(); ++c) v += area[c] * bed[c];
    return v;
}

/// Slowest characteristic speed [m/s] of the one-dimensional shallow-water equations coupled with the Exner equation
/// zb_t + qs(u)_x / (1 - p) = 0: with k = g (dqs/du) / (1 - p), the root near zero of
///   lambda ((u - lambda)^2 - g h) + k (u - lambda) = 0,
/// by Newton's method from the quasi-steady value (dqs/du) u / (h (1 - Fr^2) (1 - p)).
double bedCelerity(double h, double u, double dqsdu, double porosity, double g = 9.81)
{
    const double k = g * dqsdu / (1.0 - porosity);
    double lambda = k * u / (g * h - u * u);
    for (int i = 0; i < 50; ++i) {
        const double f = lambda * ((u - lambda) * (u - lambda) - g * h) + k * (u - lambda);
        const double df = (u - lambda) * (u - lambda) - g * h - 2.0 * lambda * (u - lambda) - k;
        lambda -= f / df;
    }
    return lambda;
}

/// Water volume [m^3] at the start and after `seconds` of a run on the channel of the process tests (20 m x 4 m box of
/// 10 x 2 rectangles, flat bed at 0, material 1 for x < 10 m, 2 beyond; strings left, right, bottom, top).
struct Volumes {
    double first = -1.0, last = -1.0;
};

Volumes run(const std::string& hydraulics, double seconds)
{
    RunCase c("setup-whole-run");
    setuptest::writeChannelCase(c.dir, "box.2dm", setuptest::kStringsAndLake, hydraulics);
    c.prepare("", "");
    // Output at `seconds`; the run goes on beyond it so that the output time is reached whatever the last step.
    const auto r = c.simulate(R"({"SIMULATION": {"TIME": {"start": 0, "end": )" + std::to_string(1.5 * seconds) +
                                  R"(, "out": )" + std::to_string(seconds) + R"(}, "OUTPUT": ["water_depth"]}})",
                              "results.h5");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    if (c.area.empty() || r.status != 0) return {};
    auto volume = [&](int k) {
        const auto state = c.state("results.h5", k);
        double sum = 0.0;
        for (std::size_t i = 0; i < c.area.size(); ++i) sum += (state[3 * i] - c.bed0[i]) * c.area[i];
        return sum;
    };
    return {volume(0), volume(1)};
}

TEST(SetupWholeRun, ClosedDamBreakKeepsItsWater)
{
    const auto v =
        run(R"({"INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 1.0}]}})", 5.0);
    EXPECT_CLOSE(v.first, 40.0, 1e-4, 1e-6);
    EXPECT_CLOSE(v.last, 40.0, 1e-4, 1e-5);

    // The same with a free outflow at the right end: water leaves once the wave arrives.
    const auto open = run(R"({"INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 1.0}]},
                              "BOUNDARY": [{"name": "out", "type": "free_outflow", "string": "right"}]})",
                          20.0);
    EXPECT_CLOSE(open.first, 40.0, 1e-4, 1e-6);
    EXPECT_LT(open.last, 35.0);
    EXPECT_GT(open.last, 0.0);
}

TEST(SetupWholeRun, DischargeInflowDeliversItsSeriesWithAndWithoutFriction)
{
    // 2 m^3/s for 10 s: 20 m^3 enter the dry box, spread over the string and none lost. (A rising series
    // would lag: each step uses the value at its start.)
    const std::string inflow = R"("BOUNDARY": [{"name": "up", "type": "discharge_inflow", "string": "left",
                                                "discharge": [[0, 2.0], [10, 2.0]], "slope": 0.001}])";
    const auto frictionless = run("{" + inflow + "}", 10.0);
    EXPECT_CLOSE(frictionless.first, 0.0, 1e-9, 0.0);
    EXPECT_CLOSE(frictionless.last, 20.0, 0.0, 1e-6);
    const auto rough = run(R"({"FRICTION": {"type": "manning", "default_friction": 0.03}, )" + inflow + "}", 10.0);
    EXPECT_CLOSE(rough.last, 20.0, 0.0, 1e-6);
}

TEST(SetupWholeRun, WaterLevelAndRainFillTheBoxOnlyWhereAllowed)
{
    const auto level = run(R"({"BOUNDARY": [{"name": "sea", "type": "water_level", "string": "left",
                                             "water_surface": [[0, 0.5]]}]})",
                           5.0);
    EXPECT_GT(level.last, 1.0);
    const auto closed = run(R"({"BOUNDARY": [{"name": "sea", "type": "water_level", "string": "left",
                                              "water_surface": [[0, 0.5]], "allow_inflow": false}]})",
                            5.0);
    EXPECT_CLOSE(closed.last, 0.0, 1e-9, 0.0);

    // 360 mm/h = 1e-4 m/s on the 40 m^2 of material 1 for 50 s: 0.2 m^3.
    const auto rain =
        run(R"({"SOURCE": [{"name": "storm", "type": "rain", "region": "lake", "intensity": [[0, 360]]}]})", 50.0);
    EXPECT_CLOSE(rain.last, 0.2, 0.0, 1e-6);
    // An inflow of 0.5 m^3/s spread over the region for 10 s.
    const auto well =
        run(R"({"SOURCE": [{"name": "well", "type": "inflow", "region": "lake", "discharge": [[0, 0.5]]}]})", 10.0);
    EXPECT_CLOSE(well.last, 5.0, 0.0, 1e-6);
}

TEST(SetupWholeRun, OutflowConditionsDrainAndALakeAtItsLevelStaysAtRest)
{
    // A box full to 1 m (80 m^3); the right end carries the condition under test.
    auto withRight = [](const std::string& condition, const std::string& extra = "") {
        return run(R"({"INITIAL": {"type": "water_surface", "value": 1.0}, )" + extra +
                       R"("BOUNDARY": [{"name": "out", "string": "right", )" + condition + "}]}",
                   5.0);
    };
    const auto atRest = withRight(R"("type": "water_level", "water_surface": [[0, 1.0]])");
    EXPECT_CLOSE(atRest.last, 80.0, 1e-3, 1e-6);
    const auto lowLevel = withRight(R"("type": "water_level", "water_surface": [[0, 0.5]], "allow_inflow": false)");
    EXPECT_LT(lowLevel.last, 79.0);
    const auto lowRating = withRight(R"("type": "rating_curve", "rating": [[0, 0.5], [10, 1.0]])");
    EXPECT_LT(lowRating.last, 79.0);
    const auto normal = withRight(R"("type": "normal_outflow", "slope": 0.01)",
                                  R"("FRICTION": {"type": "strickler", "default_friction": 30}, )");
    EXPECT_LT(normal.last, 79.0);
    EXPECT_GT(normal.last, 40.0);
}

// A hump on the horizontal, frictionless bed of a 40 m x 1 m channel (0.5 m squares cut into two triangles):
// z = max(0, a - b (x - 8)^2), 1 cm high and 6 m wide at its foot, under 0.5 m of water flowing at 0.5 m/s
// (q = 0.25 m^2/s, Froude number 0.23). The discharge enters on the left, the water surface is held at 0.5 m on the
// right, and the run starts at that uniform state, so that away from the hump depth, velocity and transport are
// uniform: the inlet is fed at the capacity of its cells and the bed-level outlet lets the sediment leave, and a
// hump-free twin run stays flat. Transport by the velocity law qs = A u^B (no critical velocity), porosity 0.4;
// A is large, like a morphological acceleration factor, so that the hump travels 7 m in 300 s, yet its celerity is
// still only 5 % of the flow velocity. Morphology starts at t = 30 s, after the flow over the hump has settled.
// Linear analysis: over a small hump the flow is quasi-steady, the depth falls by eta / (1 - Fr^2) where the bed
// rises by eta, the velocity rises by u eta / (h (1 - Fr^2)), and the Exner equation becomes a wave equation for eta
// with the celerity  c = (dqs/du) u / (h (1 - Fr^2) (1 - p)). The run is compared with the exact slow root of the
// characteristic polynomial of the coupled system (bedCelerity), which lies 5.5 % below that quasi-steady value
// here. The hump is the bed minus that of the twin run; its centre of mass moves at c to first order in the
// amplitude (2 % of the depth; the second-order term adds about (B + 1)/2 eta/(h (1 - Fr^2)) with eta a mean height
// of the hump, 1 to 2 %), and diffusion of the first-order scheme spreads it without moving its centre, but lowers
// its top: the highest cell of the hump may sink, never rise.
// The displacement is taken from one output after the start on, when the flow has taken up the moving bed (the
// fast waves sent off by the start of morphology have left the channel by then).
TEST(MorphologyRuns, HumpMigratesAtTheCharacteristicCelerityAndDoesNotGrow)
{
    const double A = 0.02, B = 3.0, porosity = 0.4, start = 30.0, out = 30.0, end = 330.0;
    const double depth = 0.5, q = 0.25, width = 1.0, amplitude = 0.01, halfWidth = 3.0, x0 = 8.0, reach = 30.0;
    const int last = static_cast<int>(end / out), first = static_cast<int>(start / out);
    char bump[64], setup[2048], config[256];
    std::snprintf(bump, sizeof bump, "bump:%g:%.10g:%g", amplitude, amplitude / (halfWidth * halfWidth), x0);
    std::snprintf(setup, sizeof setup, R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
      "GEOMETRY": {"mesh_file": "mesh.2dm", "STRINGDEF": [{"name": "left"}, {"name": "right"}]},
      "HYDRAULICS": {
        "PARAMETER": {"CFL": 0.5},
        "INITIAL": {"type": "index_table",
                    "values": [{"index": [1], "water_surface": %g, "discharge": [%g, 0.0]}]},
        "BOUNDARY": [
          {"name": "in", "type": "discharge_inflow", "string": "left", "discharge": [[0, %g]], "slope": 0.001},
          {"name": "out", "type": "water_level", "string": "right", "water_surface": [[0, %g]]}]},
      "MORPHOLOGY": {
        "PARAMETER": {"start_time": %g, "porosity": %g},
        "BEDMATERIAL": {"grain_size": 0.001},
        "BEDLOAD": {"formula": "velocity_power_law", "coefficient": %g, "exponent": %g, "critical": 0.0,
          "BOUNDARY": [{"name": "feed", "type": "sediment_inflow", "string": "left"},
                       {"name": "spill", "type": "bed_level", "string": "right", "limit": "upper"}]}}}}}})",
                  depth, q, q * width, depth, start, porosity, A, B);
    std::snprintf(config, sizeof config, R"({"SIMULATION": {"TIME": {"start": 0, "end": %g, "out": %g},
        "OUTPUT": ["bottom_elevation"]}})",
                  end, out);
    const std::string mesh = "--size 40 1 --cells 80 2 --bed ";
    RunCase hump("hump"), flat("hump-free");
    ASSERT_NO_FATAL_FAILURE(hump.prepare(mesh + bump, setup));
    ASSERT_NO_FATAL_FAILURE(flat.prepare(mesh + "flat:0", setup));
    ASSERT_EQ(hump.x, flat.x) << "the twin runs must number their cells alike";
    auto r = hump.simulate(config, "results.h5");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    r = flat.simulate(config, "results.h5");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(hump.bed("results.h5", first), hump.bed("results.h5", 0)) << "the bed moved before the start time";

    // The uniform flow of the twin run at the start time, and the celerity it gives.
    const auto s = flat.state("results.h5", first);
    const auto flatStart = flat.bed("results.h5", first);
    double h = 0.0, qx = 0.0;
    for (std::size_t i = 0; i < flatStart.size(); ++i) {
        h += s[3 * i] - flatStart[i];
        qx += s[3 * i + 1];
    }
    h /= static_cast<double>(flatStart.size());
    qx /= static_cast<double>(flatStart.size());
    EXPECT_CLOSE(h, depth, 1e-4, 0.0);
    EXPECT_CLOSE(qx, q, 1e-4, 0.0);
    const double u = qx / h;
    const double dqsdu = A * B * std::pow(u, B - 1.0);
    const double celerity = bedCelerity(h, u, dqsdu, porosity);

    std::vector<double> centre, volume, top;
    for (int k = first; k <= last; ++k) {
        const auto bedHump = hump.bed("results.h5", k), bedFlat = flat.bed("results.h5", k);
        std::vector<double> eta(bedHump.size());
        double moment = 0.0, v = 0.0, flatMoved = 0.0;
        for (std::size_t i = 0; i < eta.size(); ++i) {
            eta[i] = bedHump[i] - bedFlat[i];
            moment += hump.area[i] * eta[i] * hump.x[i];
            v += hump.area[i] * eta[i];
            if (hump.x[i] < reach) flatMoved = std::max(flatMoved, std::abs(bedFlat[i] - flatStart[i]));
        }
        // The fed inlet and the uniform flow keep the twin's bed in place, to 1 % of the hump, over the reach the
        // hump travels (the last metres rise by up to 0.6 mm before the bed-level outlet takes the excess away).
        EXPECT_LT(flatMoved, 0.01 * amplitude) << "the hump-free bed moved at t = " << k * out;
        centre.push_back(moment / v);
        volume.push_back(v);
        top.push_back(*std::max_element(eta.begin(), eta.end()));
    }
    // Measured from one output after the start on.
    const double span = end - start - out;
    EXPECT_GT(centre.back() - centre[1], 5.0) << "the hump must travel several metres";
    EXPECT_CLOSE((centre.back() - centre[1]) / span, celerity, 0.10 * celerity, 0.0);
    // The hump keeps its sediment: only the uniform transport crosses the boundaries.
    EXPECT_CLOSE(volume.back(), volume.front(), 0.01 * volume.front(), 0.0);
    for (std::size_t k = 1; k < top.size(); ++k)
        EXPECT_LE(top[k], top[k - 1]) << "the hump grew by t = " << (first + k) * out;
    EXPECT_GT(top.back(), 0.3 * top.front()) << "the hump has been smeared out";
}

// A 100 m x 2 m channel on a slope of 1 per mille (Manning n = 0.02, 1 m^3/s entering on the left, normal outflow
// on the right), with a sediment feed of 0.01 m^3/s (less than the flow carries) and the bed-level outlet: the bed
// volume gained (here lost) equals, times (1 - p), the time integral of the sediment discharges through the two strings
// (ns_mor_discharge, positive out of the domain). Outputs every 2 s; the trapezoidal rule over them and the lag of one
// step in the string states limit the agreement to about 1 %.
TEST(MorphologyRuns, BedVolumeChangeMatchesTheSedimentCrossingTheBoundaries)
{
    const double porosity = 0.4, start = 300.0, end = 360.0, out = 2.0;
    RunCase c("exchange");
    c.prepare("--size 100 2 --cells 50 2 --bed slope:0.001", R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
      "GEOMETRY": {"mesh_file": "mesh.2dm", "STRINGDEF": [{"name": "left"}, {"name": "right"}]},
      "HYDRAULICS": {
        "FRICTION": {"type": "manning", "default_friction": 0.02},
        "BOUNDARY": [
          {"name": "in", "type": "discharge_inflow", "string": "left", "discharge": [[0, 1.0]], "slope": 0.001},
          {"name": "out", "type": "normal_outflow", "string": "right", "slope": 0.001}]},
      "MORPHOLOGY": {
        "PARAMETER": {"start_time": 300.0, "porosity": 0.4},
        "BEDMATERIAL": {"grain_size": 0.001},
        "BEDLOAD": {"formula": "velocity_power_law", "coefficient": 0.008, "exponent": 3.0, "critical": 0.0,
          "BOUNDARY": [{"name": "feed", "type": "sediment_inflow", "string": "left", "discharge": [[0, 0.01]]},
                       {"name": "spill", "type": "bed_level", "string": "right", "limit": "upper"}]}}}}}})");
    const auto r = c.simulate(R"({"SIMULATION": {"TIME": {"start": 0, "end": 361, "out": 2},
        "OUTPUT": ["bottom_elevation", "ns_mor_discharge"]}})",
                              "results.h5");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    // From one output after the start on: the string states lag one step, and the jump of the outflow when the
    // bed is released would not be followed by the trapezoidal rule.
    const int first = static_cast<int>(start / out) + 1, last = static_cast<int>(end / out);
    double crossed = 0.0;  // solid volume that left the domain [m^3]
    double previous = 0.0;
    for (int k = first; k <= last; ++k) {
        const auto ns = c.record("results.h5", "NodeStrg/StateVar", k);
        const double outflow = ns[8] + ns[18];
        if (k > first) crossed += 0.5 * (outflow + previous) * out;
        previous = outflow;
    }
    const double gained = bedVolume(c.area, c.bed("results.h5", last)) - bedVolume(c.area, c.bed("results.h5", first));
    EXPECT_GT(std::abs(crossed), 0.1) << "sediment must cross the boundaries";
    EXPECT_CLOSE(gained * (1.0 - porosity), -crossed, 0.0, 0.01);
}

// A 20 m x 10 m closed basin, bed at 1 m, a dam break from 1 m onto 0.3 m of water, Manning n = 0.02, Meyer-Peter
// and Mueller transport (d50 = 1 mm) with lateral-slope and curvature deflection and the Chen slope correction, from
// t = 4 s on. The right half (material 2) has a fixed bed 0.3 mm below its initial bed.
TEST(MorphologyRuns, ClosedBasinConservesSedimentHoldsTheFixedBedAndRepeatsOnTwoThreads)
{
    const double layer = 0.0003, accuracy = 0.00005;
    RunCase c("basin");
    c.prepare("--size 20 10 --cells 20 10 --bed flat:1 --material 0:10:1,10:20:2",
              R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
      "GEOMETRY": {"mesh_file": "mesh.2dm"},
      "HYDRAULICS": {
        "PARAMETER": {"CFL": 0.7, "safe_mode": true},
        "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 2.0},
                                                    {"index": [2], "water_surface": 1.3}]},
        "FRICTION": {"type": "manning", "default_friction": 0.02}},
      "MORPHOLOGY": {
        "PARAMETER": {"start_time": 4.0, "porosity": 0.4},
        "BEDMATERIAL": {"grain_size": 0.001,
          "FIXED_BED": {"type": "depth", "regions": [{"index": [2], "value": 0.0003}], "accuracy": 0.00005,
                        "max_iterations": 20}},
        "BEDLOAD": {"formula": "meyer_peter_mueller",
                    "DIRECTION": {"IKEDA": {"factor": 0.45}, "CURVATURE": {"factor": 7.0}}},
        "INCIPIENT_MOTION": {"formula": "chen", "repose_angle": 32}}}}}})");
    const std::string config = R"({"SIMULATION": {"TIME": {"start": 0, "end": 16, "out": 4},
        "OUTPUT": ["bottom_elevation", "water_depth", "flow_curvature", "flow_radius"]}})";
    auto r = c.simulate(config, "one.h5", 1);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    r = c.simulate(config, "two.h5", 2);
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    const auto bed0 = c.bed("one.h5", 0);
    const auto fixedCells = readValues(c.dir.file("model.h5"), "CellsFix/CellsAll");
    const auto fixedBed = readValues(c.dir.file("model.h5"), "CellsFix/FixBedEl");
    // Morphology starts at t = 4 s: the output at 4 s still holds the initial bed, although the flow has been moving.
    EXPECT_EQ(c.bed("one.h5", 1), bed0);
    EXPECT_NE(c.state("one.h5", 1), c.state("one.h5", 0));
    double moved = 0.0, closest = 1.0;
    for (int k = 2; k <= 4; ++k) {
        const auto bed = c.bed("one.h5", k);
        // A sum of 400 single-precision values around 1 m over 200 m^2.
        EXPECT_CLOSE(bedVolume(c.area, bed), bedVolume(c.area, bed0), 0.0, 1e-6) << "output " << k;
        double worst = 1.0;
        for (std::size_t f = 0; f < fixedCells.size(); ++f)
            worst = std::min(worst, bed[static_cast<std::size_t>(fixedCells[f])] - fixedBed[f]);
        for (std::size_t i = 0; i < bed.size(); ++i) moved = std::max(moved, std::abs(bed[i] - bed0[i]));
        EXPECT_GE(worst, -accuracy) << "the fixed bed was eroded at output " << k;
        closest = std::min(closest, worst);
        EXPECT_EQ(c.bed("two.h5", k), bed) << "output " << k;
        EXPECT_EQ(c.state("two.h5", k), c.state("one.h5", k)) << "output " << k;
    }
    EXPECT_GT(moved, layer) << "the flow must be able to erode more than the fixed layer";
    EXPECT_LT(closest, 0.5 * layer) << "the erosion never reached the fixed bed: the check above proved nothing";
    const auto curvature = c.record("one.h5", "CellsAll/FlowCurv", 4);
    ASSERT_EQ(curvature.size(), c.area.size());
    EXPECT_TRUE(std::any_of(curvature.begin(), curvature.end(), [](double k) { return k != 0.0; }));
}

}  // namespace
