// Morphodynamic whole runs: bed-load transport driven by a dam break in a closed basin moves the bed but neither
// sediment nor water leaves it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "support/Tolerance.hpp"
#include "wholerun/WholeRun.hpp"

using wholerun::Case;

namespace {

double sedimentVolume(const wholerun::Cells& cells, const std::vector<double>& bed)
{
    double v = 0.0;
    for (std::size_t i = 0; i < cells.size(); ++i) v += cells.area[i] * bed[i];
    return v;
}

/// Sediment volume (area x bed) and water volume [m^3] a run gained from the first to the second output of
/// results.h5.
struct Gains {
    double sediment, water;
};

Gains gainedVolumes(const Case& c)
{
    const auto cells = c.cells();
    const auto bed0 = c.bedAt("results.h5", 0);
    const auto bed = c.bedAt("results.h5", 1);
    return {sedimentVolume(cells, bed) - sedimentVolume(cells, bed0),
            wholerun::volume(cells, c.state("results.h5", 1), bed) -
                wholerun::volume(cells, c.state("results.h5", 0), bed0)};
}

/// A 20 m x 10 m basin on a bed at 1 m (+-2 cm ripples), 1 m of water over the left half and 0.3 m over the right,
/// Manning n = 0.02, fine sand (d50 = 1 mm) on a Meyer-Peter-Mueller law, walls all round, 12 s.
void prepare(Case& c, double morphStart)
{
    c.mesh("--size 20 10 --cells 40 20 --bed flat:1 --material 0:10:1,10:20:2");
    c.reshapeBed([](double x, double y, double z) { return z + 0.02 * std::sin(1.7 * x + 2.3 * y); });
    c.setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "mesh.2dm"},
        "HYDRAULICS": {
          "PARAMETER": {"CFL": 0.7, "minimum_water_depth": 0.001, "safe_mode": true},
          "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 2.0},
                                                      {"index": [2], "water_surface": 1.3}]},
          "FRICTION": {"type": "manning", "default_friction": 0.02}}}}}})");
    c.addMorphology(0.001, 0.047, morphStart);
}

const char* const kConfig = R"({"SIMULATION": {"TIME": {"start": 0, "end": 12, "out": 4},
        "TIMESTEP": {"init": 0.01, "minimum": 0.0001}, "OUTPUT": ["water_depth", "bottom_elevation"]}})";

TEST(WholeRunMorphology, BedLoadInAClosedBasinMovesTheBedAndConservesSedimentAndWater)
{
    Case c("morphology");
    prepare(c, 0.0);
    const auto r = c.simulate(kConfig, "results.h5");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("found aggregate <morphology_aggr>"), std::string::npos) << r.out;
    ASSERT_EQ(c.outputs("results.h5"), 4);

    const auto cells = c.cells();
    const auto bed0 = c.bedAt("results.h5", 0);
    const double sediment0 = sedimentVolume(cells, bed0);
    const double water0 = wholerun::volume(cells, c.state("results.h5", 0), bed0);
    for (int k = 1; k < 4; ++k) {
        const auto bed = c.bedAt("results.h5", k);
        const double sediment = sedimentVolume(cells, bed);
        const double water = wholerun::volume(cells, c.state("results.h5", k), bed);
        double moved = 0.0;
        for (std::size_t i = 0; i < bed.size(); ++i) moved = std::max(moved, std::abs(bed[i] - bed0[i]));
        std::printf(
            "morphology: t = %g s, largest bed change %.4g m, sediment volume change %.3g m3, "
            "water volume change %.3g m3\n",
            c.timeOf("results.h5", k), moved, sediment - sediment0, water - water0);
        if (k == 3) {
            EXPECT_GT(moved, 1e-3) << "the flow must move the bed";
        }
        // Bed and water volumes are sums of 1600 single-precision cell values around 1 and 200 m^3.
        EXPECT_CLOSE(sediment, sediment0, 0.0, 1e-6);
        EXPECT_CLOSE(water, water0, 0.0, 1e-6);
    }
}

}  // namespace

namespace {

/// With MorphStart after the end the update runs without sediment fluxes: the bed keeps every bit while the water
/// moves.
TEST(WholeRunMorphology, BeforeMorphStartTheBedDoesNotMove)
{
    Case c("morphstart");
    prepare(c, 100.0);
    const auto r = c.simulate(kConfig, "results.h5");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    ASSERT_EQ(c.outputs("results.h5"), 4);
    EXPECT_EQ(c.bedAt("results.h5", 3), c.bedAt("results.h5", 0));
    EXPECT_NE(c.state("results.h5", 3), c.state("results.h5", 0));
}

}  // namespace

namespace {

/// The same basin over a non-erodible layer 1 mm below the bed (the free run above erodes up to 4.5 mm): the
/// fixed-bed correction keeps the bed above the layer to within its accuracy, and sediment is still conserved.
TEST(WholeRunMorphology, FixedBedStopsErosionAtTheLayerAndConservesSediment)
{
    const double layer = 0.001, accuracy = 1e-5;
    Case c("fixedbed");
    prepare(c, 0.0);
    c.addFixedBed(layer, accuracy, 10);
    const auto r = c.simulate(kConfig, "results.h5", 1, "-d");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("found aggregate <mor_fixedbed_aggr>"), std::string::npos) << r.out;
    // Debug mode names the cells whose prediction overshoots the layer by their number (enumerator data reached
    // through the fixed-bed cell's map); every number must be a cell of the mesh.
    int overdrafts = 0;
    for (std::size_t at = r.out.find("overdraft in cell "); at != std::string::npos;
         at = r.out.find("overdraft in cell ", at + 1), ++overdrafts) {
        const int cell = std::stoi(r.out.substr(at + 18, 12));
        ASSERT_GE(cell, 0);
        ASSERT_LT(cell, 1600);
    }
    EXPECT_GT(overdrafts, 0);
    ASSERT_EQ(c.outputs("results.h5"), 4);

    const auto cells = c.cells();
    const auto bed0 = c.bedAt("results.h5", 0);
    const auto bed = c.bedAt("results.h5", 3);
    double deepest = 0.0;  // largest erosion [m]
    for (std::size_t i = 0; i < bed.size(); ++i) deepest = std::max(deepest, bed0[i] - bed[i]);
    std::printf("fixed bed: largest erosion %.6g m over a %.3g m layer, sediment volume change %.3g m3\n", deepest,
                layer, sedimentVolume(cells, bed) - sedimentVolume(cells, bed0));
    EXPECT_GT(deepest, 0.5 * layer) << "the erosion must reach the layer";
    // Float beds around 1 m carry about 1e-7 m of rounding on top of the accepted overshoot.
    EXPECT_LT(deepest, layer + accuracy + 1e-6);
    EXPECT_CLOSE(sedimentVolume(cells, bed), sedimentVolume(cells, bed0), 0.0, 1e-6);
}

}  // namespace

namespace {

/// The same basin with the transport turned by the lateral bed slope and the streamline curvature and the critical
/// Shields value corrected by the local slope: a different bed, still without loss of sediment or water.
TEST(WholeRunMorphology, DirectionAndSlopeCorrectionsChangeTheBedButConserveSedimentAndWater)
{
    Case plain("plain");
    prepare(plain, 0.0);
    ASSERT_EQ(plain.simulate(kConfig, "results.h5").status, 0);

    Case c("directions");
    prepare(c, 0.0);
    c.addDirectionCorrections();
    const auto r = c.simulate(kConfig, "results.h5");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    for (const char* aggregate : {"mor_direction_curve_aggr", "mor_direction_ikeda_aggr", "mor_local_bed_slope"})
        EXPECT_NE(r.out.find(std::string("found aggregate <") + aggregate + ">"), std::string::npos) << aggregate;

    const auto cells = c.cells();
    const auto bed0 = c.bedAt("results.h5", 0);
    const auto bed = c.bedAt("results.h5", 3);
    const auto reference = plain.bedAt("results.h5", 3);
    double difference = 0.0;
    for (std::size_t i = 0; i < bed.size(); ++i) {
        ASSERT_TRUE(std::isfinite(bed[i])) << "cell " << i;
        difference = std::max(difference, std::abs(bed[i] - reference[i]));
    }
    std::printf("direction corrections: largest bed difference to the plain run %.3g m\n", difference);
    EXPECT_GT(difference, 1e-5);
    EXPECT_CLOSE(sedimentVolume(cells, bed), sedimentVolume(cells, bed0), 0.0, 1e-6);
    EXPECT_CLOSE(wholerun::volume(cells, c.state("results.h5", 3), bed),
                 wholerun::volume(cells, c.state("results.h5", 0), bed0), 0.0, 1e-6);
}

}  // namespace

namespace {

/// A still basin where a spring of 0.2 m^3/s over the west half is also a sediment source of the same rate: after
/// 20 s the bed holds 4 m^3 more sediment and the walled basin 4 m^3 more water (the source raises bed and water
/// surface alike, the spring the water surface once more).
TEST(WholeRunMorphology, SedimentSourceAddsItsVolumeToTheBed)
{
    Case c("sedsource");
    c.mesh("--size 20 10 --cells 20 10 --bed flat:1 --material 0:10:1,10:20:2");
    c.setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "mesh.2dm", "REGIONDEF": [{"name": "west", "index": [1]}]},
        "HYDRAULICS": {
          "PARAMETER": {"CFL": 0.5, "minimum_water_depth": 0.001, "safe_mode": true},
          "INITIAL": {"type": "water_surface", "value": 2.0},
          "FRICTION": {"type": "manning", "default_friction": 0.02},
          "SOURCE": [{"name": "spring", "type": "inflow", "region": "west", "discharge": [[0, 0.2], [1000, 0.2]]}]}}}}})");
    c.addMorphology(0.001, 0.047);
    c.addFixedBed(1.0, 1e-5, 10);
    c.addSedimentSources(30);
    const auto r = c.simulate(R"({"SIMULATION": {"TIME": {"start": 0, "end": 20, "out": 20},
        "TIMESTEP": {"init": 0.01, "minimum": 0.0001}, "OUTPUT": ["water_depth", "bottom_elevation"]}})",
                              "results.h5");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("found aggregate <mor_source_aggr>"), std::string::npos) << r.out;

    const auto [sediment, water] = gainedVolumes(c);
    std::printf("sediment source: %.6f m3 of sediment and %.6f m3 of water gained (4 expected)\n", sediment, water);
    EXPECT_CLOSE(sediment, 4.0, 0.0, 1e-4);
    EXPECT_CLOSE(water, 4.0, 0.0, 1e-4);
}

/// Sediment fed through the left side of a still, walled basin by boundary code 410 at qs = 1e-4 m^2/s: in 20 s
/// the bed gains 20 s x qs / (1 - 0.4) per metre of the 10 m side, and the water volume stays (the water surface
/// rises with the bed). The bed starts at 0 m, where single precision resolves the small increments of each step.
TEST(WholeRunMorphology, SedimentInflowBoundaryFeedsTheBed)
{
    Case c("sedinflow");
    c.mesh("--size 20 10 --cells 20 10 --bed flat:0");
    c.setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "mesh.2dm"},
        "HYDRAULICS": {
          "PARAMETER": {"CFL": 0.5, "minimum_water_depth": 0.001, "safe_mode": true},
          "INITIAL": {"type": "water_surface", "value": 1.0},
          "FRICTION": {"type": "manning", "default_friction": 0.02}}}}}})");
    c.addMorphology(0.001, 0.047);
    const double length = c.addSedimentInflowOnTheLeft(1e-4);
    ASSERT_NEAR(length, 10.0, 1e-4);
    const auto r = c.simulate(R"({"SIMULATION": {"TIME": {"start": 0, "end": 20, "out": 20},
        "TIMESTEP": {"init": 0.01, "minimum": 0.0001}, "OUTPUT": ["water_depth", "bottom_elevation"]}})",
                              "results.h5");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("found aggregate <mor_boundary_aggr>"), std::string::npos) << r.out;

    const auto [sediment, water] = gainedVolumes(c);
    const double expected = 20.0 * 1e-4 / 0.6 * length;
    std::printf("sediment inflow: %.7f m3 gained (%.7f expected), water volume change %.3g m3\n", sediment, expected,
                water);
    EXPECT_CLOSE(sediment, expected, 0.0, 1e-4);
    EXPECT_NEAR(water, 0.0, 1e-6 * 400.0);
}

}  // namespace
