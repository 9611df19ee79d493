// The rules the kernel wrappers apply around their loops, seen in whole runs: the first-step rule of the time step
// on a dry domain, the mass-conservation kill rule under safe mode, cell sources through their series, modification
// and source loops, and a water-level boundary through the node-string, series and boundary loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "simulation/ModelFile.hpp"
#include "support/H5Data.hpp"
#include "support/Text.hpp"
#include "support/Tolerance.hpp"
#include "wholerun/WholeRun.hpp"

using wholerun::Case;

namespace {

/// The times printed at log level 3 after each step, in order.
std::vector<std::string> stepTimes(const std::string& out)
{
    std::vector<std::string> times;
    const std::string key = " -> time: ";
    for (std::size_t at = out.find(key); at != std::string::npos; at = out.find(key, at + key.size())) {
        const std::size_t begin = at + key.size();
        times.push_back(out.substr(begin, out.find('\n', begin) - begin));
    }
    return times;
}

std::string config(double end, double out, double dtInit)
{
    return R"({"SIMULATION": {"TIME": {"start": 0, "end": )" + std::to_string(end) + R"(, "out": )" +
           std::to_string(out) + R"(}, "TIMESTEP": {"init": )" + std::to_string(dtInit) +
           R"(, "minimum": 0.0001}, "OUTPUT": ["water_depth"]}})";
}

TEST(WholeRunWrapperRules, DryDomainTakesTheInitialStepFirstAndTheCappedMaximumAfterwards)
{
    Case c("dry");
    c.mesh("--size 10 10 --cells 5 5");
    c.setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"GEOMETRY": {"mesh_file": "mesh.2dm"},
        "HYDRAULICS": {"PARAMETER": {"CFL": 0.5, "max_time_step": 0.25}, "INITIAL": {"type": "dry"}}}}}})");
    const auto r = c.simulate(config(1.0, 1.0, 0.1), "results.h5", 1, "-l 3");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    // No edge limits the step: the first is dtInit = 0.1 s, then CFL x DTmax = 0.125 s, the last cut at the end.
    const std::vector<std::string> expected{"0.1", "0.225", "0.35", "0.475", "0.6", "0.725", "0.85", "0.975", "1"};
    EXPECT_EQ(stepTimes(r.out), expected);
}

/// 0.1 m of water over a 10 m x 10 m region from which an "exact" sink draws 1 m^3/s: the cells run dry after
/// about 10 s and the source kernel reports negative depths.
void prepareSink(Case& c, bool safeMode)
{
    c.mesh("--size 20 10 --cells 10 5 --material 0:10:1,10:20:2");
    c.setup(std::string(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "mesh.2dm", "REGIONDEF": [{"name": "pit", "index": [1]}]},
        "HYDRAULICS": {"PARAMETER": {"CFL": 0.7, "safe_mode": )") +
            (safeMode ? "true" : "false") + R"(},
          "INITIAL": {"type": "water_surface", "value": 0.1},
          "SOURCE": [{"name": "pump", "type": "inflow", "region": "pit", "sink": "exact",
                      "discharge": [[0, -1.0], [1000, -1.0]]}]}}}}})");
}

TEST(WholeRunWrapperRules, SafeModeEndsTheRunOnLostMassAndOtherwiseTheRunGoesOn)
{
    {
        Case c("sinksafe");
        prepareSink(c, true);
        const auto r = c.simulate(config(30.0, 30.0, 0.01), "results.h5");
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_NE(r.out.find("MASS BALANCE PROBLEM"), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(" -> ERROR in kernel_HYDRAULICS_Source... LIQUID MASS not conserved\n"), std::string::npos)
            << r.err;
        EXPECT_EQ(r.out.find("successfully processed"), std::string::npos);
    }
    {
        Case c("sinkon");
        prepareSink(c, false);
        const auto r = c.simulate(config(30.0, 30.0, 0.01), "results.h5", 1, "-l 3");
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(r.err.find("not conserved"), std::string::npos) << r.err;
        EXPECT_EQ(c.outputs("results.h5"), 2);
        // The 50 cells of the pit report in many steps, but each of the two reporting loops prints at most 10 of
        // them per step and then one line with the number it left out.
        int mostInAStep = 0;
        std::size_t begin = 0;
        for (std::size_t end = r.out.find(" -> time: "); end != std::string::npos;
             begin = end, end = r.out.find(" -> time: ", end + 1))
            mostInAStep = std::max(mostInAStep, testsupport::countOf(r.out.substr(begin, end - begin), "MASS BALANCE"));
        EXPECT_EQ(mostInAStep, 20);
        EXPECT_NE(r.out.find(" more such messages of kernel_HYDRAULICS_Source in this step not shown\n"),
                  std::string::npos);
    }
}

/// A run that cannot go on stops with a located message and status 1, its last state written as a record: a time
/// step that stays below TIMESTEP/minimum (here raised above the step the lake admits) and a state that is no longer
/// finite (an inflow of 1e38 m^3/s overflows the single-precision state).
TEST(WholeRunWrapperRules, RunsThatCannotGoOnStopWithTheCellAndTheLastState)
{
    struct Stop {
        const char* tag;
        double minimum;
        double inflow;
        const char* reason;
    };
    for (const Stop& s : {Stop{"stalled", 0.5, 0.0,
                               "the time step has stayed below SIMULATION/TIMESTEP/minimum = 0.5 s "
                               "for 100 steps"},
                          Stop{"nan", 0.0001, 1e38, "the state of a cell is no longer a finite number"}}) {
        Case c(s.tag);
        c.mesh("--size 20 10 --cells 10 5 --material 0:10:1,10:20:2");
        std::ostringstream setup;
        setup << R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"GEOMETRY": {"mesh_file": "mesh.2dm",
            "REGIONDEF": [{"name": "pit", "index": [1]}]}, "HYDRAULICS": {"INITIAL": {"type": "water_surface",
            "value": 1.0}, "SOURCE": [{"name": "q", "type": "inflow", "region": "pit", "discharge": [[0, )"
              << s.inflow << "], [1000, " << s.inflow << "]]}]}}}}}";
        c.setup(setup.str());
        const std::string conf = R"({"SIMULATION": {"TIME": {"start": 0, "end": 100, "out": 50}, "TIMESTEP": )"
                                 R"({"init": 0.02, "minimum": )" +
                                 std::to_string(s.minimum) + R"(}, "OUTPUT": ["water_depth"]}})";
        const auto r = c.simulate(conf, "results.h5");
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_EQ(r.err.rfind(" -> run stopped at t = ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(s.reason), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(" (centroid x = "), std::string::npos) << r.err;
        // The last record: after the first (t = 0), at the time the message gives.
        ASSERT_EQ(c.outputs("results.h5"), 2) << r.err;
        const double last = c.timeOf("results.h5", 1);
        EXPECT_GT(last, 0.0);
        EXPECT_LT(last, 50.0);
        std::ostringstream written;
        written << "is written as the last record, at t = " << last << " s\n";
        EXPECT_NE(r.err.find(written.str()), std::string::npos) << r.err;
        const auto state = c.state("results.h5", 1);
        EXPECT_EQ(std::any_of(state.begin(), state.end(), [](double v) { return std::isnan(v); }), s.inflow > 0.0);
    }
}

/// A damaged model file is refused with the item and its first bad element before the results file is touched
/// (here an earlier results file, which must survive unchanged).
TEST(WholeRunWrapperRules, DamagedModelFilesAreRefusedBeforeTheResultsFileIsTouched)
{
    using drivertest::overwriteValues;
    using drivertest::readValues;
    struct Damage {
        const char* tag;
        std::function<void(const std::string& model)> apply;
        std::string message;
    };
    const auto set = [](const char* path, std::size_t k, double value) {
        return [=](const std::string& model) {
            auto v = readValues(model, path);
            v.at(k) = value;
            overwriteValues(model, path, v);
        };
    };
    const std::vector<Damage> damages = {
        {"target", set("EdgesAll/CellsAll", 5, 100),
         "EdgesAll/CellsAll: element 2 maps to 100, outside its target set of 100 elements"},
        {"short",
         [](const std::string& model) {
             auto v = readValues(model, "CellsAll/BottomEl");
             v.pop_back();
             testsupport::H5Output::open(model).doubles("CellsAll/BottomEl", static_cast<int>(v.size()), 1, v);
         },
         "CellsAll/BottomEl: the data have 99 x 1 values where the set and the catalogue give 100 x 1"},
        {"string", set("NodeStrg/ListSize", 0, 1000), "NodeStrg/ListSize: element 0 lists 1000 edges, at most 40 fit"},
        {"kernel", set("kernels/ID", 0, 99), "kernels/ID: row 0 names no kernel of the catalogue (ids 0 to 25)"},
        {"area", set("CellsAll/GeomArea", 3, 0.0),
         "CellsAll/GeomArea: element 3 holds 0, which is not a positive finite number"},
        {"nan", set("CellsAll/HydState", 4, std::nan("")),
         "CellsAll/HydState: element 1 holds nan, which is not a finite number"},
        {"switch", set("Parameters/MorphStart", 0, 0.0),
         "Parameters/MorphStart: morphology would start at t = 0 s, but the model has no morphology"},
    };
    for (const Damage& d : damages) {
        Case c(d.tag);
        c.mesh("--size 20 10 --cells 10 5");
        c.setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"GEOMETRY": {"mesh_file": "mesh.2dm",
            "STRINGDEF": [{"name": "right"}]}, "HYDRAULICS": {"INITIAL": {"type": "water_surface", "value": 1.0},
            "BOUNDARY": [{"name": "out", "type": "free_outflow", "string": "right"}]}}}}})");
        d.apply(c.model());
        c.dir().write("results.h5", "earlier results");
        const auto r = c.simulate(config(1.0, 1.0, 0.01), "results.h5");
        EXPECT_EQ(r.status, 1) << d.tag << r.out << r.err;
        EXPECT_NE(r.err.find(">: " + d.message + "\n -> ... unfortunately HYDROVA is killed!\n"), std::string::npos)
            << d.tag << "\n"
            << r.err;
        std::ifstream kept(c.dir().file("results.h5"));
        std::string text;
        std::getline(kept, text);
        EXPECT_EQ(text, "earlier results") << d.tag;
    }
}

/// An inflow source of 0.5 m^3/s spread over the cells of one material region of a closed, wet basin, and rain of
/// 36 mm/h (1e-5 m/s) over the other, add 20 s x (0.5 + 1e-5 x 100) m^3/s.
TEST(WholeRunWrapperRules, CellSourcesAddTheirSeriesVolume)
{
    Case c("sources");
    c.mesh("--size 20 10 --cells 20 10 --material 0:10:1,10:20:2");
    c.setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "mesh.2dm",
                     "REGIONDEF": [{"name": "west", "index": [1]}, {"name": "east", "index": [2]}]},
        "HYDRAULICS": {"PARAMETER": {"CFL": 0.7, "safe_mode": true},
          "INITIAL": {"type": "water_surface", "value": 0.5},
          "SOURCE": [{"name": "spring", "type": "inflow", "region": "west", "discharge": [[0, 0.5], [1000, 0.5]]},
                     {"name": "storm", "type": "rain", "region": "east", "intensity": [[0, 36.0], [1000, 36.0]]}]}}}}})");
    const auto r = c.simulate(config(20.0, 20.0, 0.01), "results.h5");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const auto cells = c.cells();
    const auto bed = c.bed();
    const double gained =
        wholerun::volume(cells, c.state("results.h5", 1), bed) - wholerun::volume(cells, c.state("results.h5", 0), bed);
    std::printf("sources: volume gained %.6f m3 (10.02 expected)\n", gained);
    EXPECT_CLOSE(gained, 20.0 * (0.5 + 1e-5 * 100.0), 0.0, 1e-4);
}

/// A rough 100 m x 20 m basin at H = 1 m drains through a water-level boundary held at 0.8 m along its right side:
/// after 10 minutes the level everywhere is the boundary's, and no cell ever rose above the start level. CFL 0.5:
/// at 0.7 the per-edge step limit (twice the edge-to-centroid distance over |u| + c) lets a checkerboard between
/// the two triangles of each mesh square grow over minutes on these right-angled triangles.
TEST(WholeRunWrapperRules, WaterLevelBoundaryDrainsTheBasinToItsLevel)
{
    Case c("level");
    c.mesh("--size 100 20 --cells 50 10");
    c.setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "mesh.2dm", "STRINGDEF": [{"name": "right"}]},
        "HYDRAULICS": {"PARAMETER": {"CFL": 0.5, "safe_mode": true},
          "INITIAL": {"type": "water_surface", "value": 1.0},
          "FRICTION": {"type": "manning", "default_friction": 0.03},
          "BOUNDARY": [{"name": "sea", "type": "water_level", "string": "right",
                        "water_surface": [[0, 0.8], [10000, 0.8]]}]}}}}})");
    const auto r = c.simulate(config(600.0, 60.0, 0.01), "results.h5");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    ASSERT_EQ(c.outputs("results.h5"), 11);
    double highest = 0.0, worst = 0.0;
    for (int k = 0; k < 11; ++k) {
        const auto s = c.state("results.h5", k);
        for (std::size_t i = 0; i < s.size() / 3; ++i) {
            highest = std::max(highest, s[3 * i]);
            if (k == 10) worst = std::max(worst, std::abs(s[3 * i] - 0.8));
        }
    }
    std::printf("water level boundary: after 600 s the level is within %.3g m of 0.8 m; highest level %.6g m\n", worst,
                highest);
    EXPECT_LT(worst, 0.005);
    EXPECT_LE(highest, 1.0 + 1e-6);
}

}  // namespace
