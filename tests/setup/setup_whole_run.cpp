// Model files of the set-up program run by the simulation: the water volume in the domain follows what the
// boundary conditions and sources of the command file promise.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/ChannelCase.hpp"
#include "support/H5Data.hpp"
#include "support/Process.hpp"
#include "support/ScratchDir.hpp"
#include "support/Tolerance.hpp"

using testsupport::program;
using testsupport::runProcess;
using testsupport::ScratchDir;
using testsupport::h5::readValues;

namespace {

/// Water volume [m^3] at the start and after `seconds` of a run on a 20 m x 4 m box of 10 x 2
/// rectangles (flat bed at 0, material 1 for x < 10 m, 2 beyond; strings left, right, bottom, top).
struct Volumes {
    double first = -1.0, last = -1.0;
};

Volumes run(const std::string& hydraulics, double seconds)
{
    ScratchDir dir("setup-whole-run");
    setuptest::writeChannelCase(dir, "box.2dm", setuptest::kStringsAndLake, hydraulics);
    // Output at `seconds`; the run goes on beyond it so that the output time is reached whatever the last step.
    dir.write("config.json", R"({"SIMULATION": {"TIME": {"start": 0, "end": )" + std::to_string(1.5 * seconds) +
                                 R"(, "out": )" + std::to_string(seconds) + R"(}, "OUTPUT": ["water_depth"]}})");
    const auto s = runProcess(program("hydrova_setup") + " -f setup.json -o model.h5", dir.path());
    EXPECT_EQ(s.status, 0) << s.out << s.err;
    const auto r = runProcess(program("hydrova_simulation") + " -f config.json -r model.h5 -o results.h5", dir.path());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    Volumes v;
    if (s.status != 0 || r.status != 0) return v;

    const auto area = readValues(dir.file("model.h5"), "CellsAll/GeomArea");
    const auto bed = readValues(dir.file("model.h5"), "CellsAll/BottomEl");
    auto volume = [&](const char* record) {
        const auto state = readValues(dir.file("results.h5"), std::string("RESULTS/CellsAll/HydState/") + record);
        double sum = 0.0;
        for (std::size_t c = 0; c < area.size() && 3 * c < state.size(); ++c) sum += (state[3 * c] - bed[c]) * area[c];
        return sum;
    };
    v.first = volume("0000000");
    v.last = volume("0000001");
    return v;
}

}  // namespace

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
