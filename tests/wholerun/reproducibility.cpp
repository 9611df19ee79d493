// Reproducibility of whole runs: the thread count must not change a single bit of the results, and a re-run from a
// middle output must end exactly where the uninterrupted run ends.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "wholerun/WholeRun.hpp"

using wholerun::Case;

namespace {

std::string config(double start, double end, double out)
{
    return R"({"SIMULATION": {"TIME": {"start": )" + std::to_string(start) + R"(, "end": )" + std::to_string(end) +
           R"(, "out": )" + std::to_string(out) +
           R"(}, "TIMESTEP": {"init": 0.01, "minimum": 0.0001}, "OUTPUT": ["water_depth", "flow_velocity"]}})";
}

/// A dam break in a rough 60 m x 20 m basin with a bump, walls all round, 4800 triangles (enough blocks for every
/// colour of the indirect loops to be shared by both threads) and flood tracking.
void prepare(Case& c)
{
    c.mesh("--size 60 20 --cells 60 40 --bed bump:0.6:0.02:40 --material 0:20:1,20:60:2");
    c.setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "mesh.2dm"},
        "HYDRAULICS": {
          "PARAMETER": {"CFL": 0.9, "minimum_water_depth": 0.001},
          "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 1.0},
                                                      {"index": [2], "water_surface": 0.2}]},
          "FRICTION": {"type": "strickler", "default_friction": 30.0},
          "FLOOD": {}}}}}})");
}

TEST(WholeRunReproducibility, OneAndTwoThreadsGiveBitIdenticalResults)
{
    Case c("threads");
    prepare(c);
    const auto one = c.simulate(config(0.0, 8.0, 2.0), "one.h5", 1);
    ASSERT_EQ(one.status, 0) << one.out << one.err;
    const auto two = c.simulate(config(0.0, 8.0, 2.0), "two.h5", 2);
    ASSERT_EQ(two.status, 0) << two.out << two.err;
    if (two.out.find("running on 2 threads") == std::string::npos)
        GTEST_SKIP() << "the OpenMP runtime offers only one thread here";
    ASSERT_EQ(c.outputs("one.h5"), 5);
    ASSERT_EQ(c.outputs("two.h5"), 5);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(c.timeOf("one.h5", k), c.timeOf("two.h5", k));
        EXPECT_EQ(c.state("one.h5", k), c.state("two.h5", k)) << "output " << k;
    }
    EXPECT_NE(c.state("one.h5", 4), c.state("one.h5", 0)) << "the water must have moved";
}

TEST(WholeRunReproducibility, ReRunFromAMiddleOutputEndsBitIdenticalToTheUninterruptedRun)
{
    Case c("rerun");
    prepare(c);
    const auto full = c.simulate(config(0.0, 8.0, 2.0), "full.h5");
    ASSERT_EQ(full.status, 0) << full.out << full.err;
    std::filesystem::copy_file(c.dir().file("full.h5"), c.dir().file("again.h5"));
    const auto again = c.simulate(config(4.0, 8.0, 2.0), "again.h5");
    ASSERT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_NE(again.out.find("Re-run properly set at 4"), std::string::npos) << again.out;

    ASSERT_EQ(c.outputs("again.h5"), 5);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(c.timeOf("again.h5", k), c.timeOf("full.h5", k));
        EXPECT_EQ(c.state("again.h5", k), c.state("full.h5", k)) << "output " << k;
    }
}

}  // namespace
