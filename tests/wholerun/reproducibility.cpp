// Reproducibility of whole runs: neither the thread count nor a re-run from a stored output may change a single bit
// of the results.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "simulation/ModelFile.hpp"
#include "wholerun/WholeRun.hpp"

using drivertest::record;
using wholerun::Case;

namespace {

/// Runs the case uninterrupted on one thread, then re-runs it from each of the stored times `restarts` (record
/// indices) on a copy of the results, on two threads every other time, and requires every re-run to end with the
/// bits of the uninterrupted run: the state, and `extra` (the bed, the node-string discharges or the tracked
/// maxima), with the records up to the restart time as stored.
void expectBitIdenticalReRuns(Case& c, double end, double out, const std::string& outputs,
                              const std::vector<int>& restarts, const std::string& extra)
{
    ASSERT_EQ(c.run(wholerun::config(end, out, 0.01, outputs), "full.h5").status, 0);
    const int records = c.outputs("full.h5");
    const std::string fullFile = c.dir().file("full.h5");
    for (std::size_t r = 0; r < restarts.size(); ++r) {
        const int k = restarts[r];
        ASSERT_LT(k, records - 1);
        SCOPED_TRACE("restart at record " + std::to_string(k));
        const std::string name = "again" + std::to_string(k) + ".h5";
        std::filesystem::copy_file(fullFile, c.dir().file(name));
        ASSERT_EQ(c.run(wholerun::config(end, out, 0.01, outputs, c.timeOf("full.h5", k)), name,
                                      1 + static_cast<int>(r % 2)).status, 0);
        ASSERT_EQ(c.outputs(name), records);
        for (int i = 0; i < records; ++i) {
            EXPECT_EQ(c.timeOf(name, i), c.timeOf("full.h5", i)) << "record " << i;
            EXPECT_EQ(c.state(name, i), c.state("full.h5", i)) << "record " << i;
        }
        // The tracked maxima have one record; the others are compared at the end, and the gauge's record at the
        // restart time is kept as stored, not rewritten from an empty state.
        std::vector<int> compared{extra == "CellsAll/FloodVar" ? 0 : records - 1};
        if (extra == "NodeStrg/StateVar") compared.push_back(k);
        for (const int i : compared)
            EXPECT_EQ(drivertest::readValues(c.dir().file(name), record(extra, i)),
                      drivertest::readValues(fullFile, record(extra, i)))
                << record(extra, i);
    }
    EXPECT_NE(c.state("full.h5", records - 1), c.state("full.h5", 0)) << "the water must have moved";
}

/// Three cases: a dam break in a rough 60 m x 20 m basin with a bump, walls all round, 4800 triangles (enough blocks
/// for every colour of the indirect loops to be shared by both threads) and flood tracking; an inflow/outflow
/// channel, 40 m x 4 m on a slope, discharge in on the left, water level out on the right, and a gauge string
/// across the middle whose discharges are stored; a dam break over a mobile bed.
TEST(WholeRunReproducibility, ReRunsFromSixteenStoredTimesOnOneOrTwoThreadsEndOnTheBitsOfTheUninterruptedRuns)
{
    {
        Case c("rerun-dambreak", "--size 60 20 --cells 60 40 --bed bump:0.6:0.02:40 --material 0:20:1,20:60:2");
        c.setup("", R"({"PARAMETER": {"CFL": 0.9, "minimum_water_depth": 0.001},
          "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 1.0},
                                                      {"index": [2], "water_surface": 0.2}]},
          "FRICTION": {"type": "strickler", "default_friction": 30.0}, "FLOOD": {}})");
        expectBitIdenticalReRuns(c, 8.0, 0.5, R"("water_depth")", {1, 3, 4, 7, 10, 14}, "CellsAll/FloodVar");
    }
    {
        Case c("rerun-channel", "--size 40 4 --cells 40 4 --bed slope:0.002");
        c.appendToMesh("NS 21 62 103 144 -185 gauge");  // node (i, j) has id j * 41 + i + 1: up the line x = 20 m
        c.setup(R"(, "STRINGDEF": [{"name": "left"}, {"name": "right"},
                                   {"name": "gauge", "upstream_direction": "right"}])",
                R"({"PARAMETER": {"CFL": 0.5, "minimum_water_depth": 0.001},
          "INITIAL": {"type": "water_surface", "value": 0.3},
          "FRICTION": {"type": "manning", "default_friction": 0.03},
          "BOUNDARY": [{"name": "in", "type": "discharge_inflow", "string": "left",
                        "discharge": [[0, 0.0], [10, 2.0]], "slope": 0.002},
                       {"name": "out", "type": "water_level", "string": "right",
                        "water_surface": [[0, 0.3], [100, 0.3]]}]})");
        expectBitIdenticalReRuns(c, 9.7, 1.1, R"("water_depth", "ns_hyd_discharge")", {1, 2, 4, 6, 7},
                                 "NodeStrg/StateVar");
    }
    Case c("rerun-mobile", "--size 20 10 --cells 20 10 --bed flat:1 --material 0:10:1,10:20:2");
    c.setup("", R"({"PARAMETER": {"CFL": 0.5, "minimum_water_depth": 0.001},
          "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 2.0},
                                                      {"index": [2], "water_surface": 1.3}]},
          "FRICTION": {"type": "manning", "default_friction": 0.02}})");
    c.addMorphology(0.001, 0.047, 0.0);
    expectBitIdenticalReRuns(c, 6.0, 0.6, R"("water_depth", "bottom_elevation")", {1, 3, 5, 6, 8}, "CellsAll/BottomEl");
}

}  // namespace
