// Morphodynamic whole runs: bed-load transport driven by a dam break in a closed basin moves the bed but neither
// sediment nor water leaves it, whatever the corrections of the transport. The inflows of sediment are in
// physical_runs.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "support/Text.hpp"
#include "support/Tolerance.hpp"
#include "wholerun/WholeRun.hpp"

using testsupport::contains;
using wholerun::Case;

namespace {

/// A 20 m x 10 m basin on a bed at 1 m (+-2 cm ripples), 1 m of water over the left half and 0.3 m over the right,
/// Manning n = 0.02, fine sand (d50 = 1 mm) on a Meyer-Peter-Mueller law, walls all round, 12 s, and the variants:
/// - plain: the flow moves the bed;
/// - morphstart: with MorphStart after the end the update runs without sediment fluxes, the bed keeps every bit
///   while the water moves;
/// - fixedbed: a non-erodible layer 1 mm below the bed (the plain run erodes up to 4.5 mm): the fixed-bed
///   correction keeps the bed above the layer to within its accuracy; debug mode names the cells whose prediction
///   overshoots the layer by their number (enumerator data reached through the fixed-bed cell's map);
/// - directions: transport turned by the lateral bed slope and the streamline curvature and the critical Shields
///   value corrected by the local slope: a different bed than the plain run's.
/// Every variant keeps the volumes of sediment and water at every output (sums of 1600 single-precision cell values
/// around 1 and 200 m^3).
TEST(WholeRunMorphology, BedLoadInAClosedBasinConservesSedimentAndWaterInEveryVariant)
{
    const double layer = 0.001, accuracy = 1e-5;
    struct Variant {
        const char* tag;
        double morphStart;
        std::function<void(Case&)> add;
        const char* extra;
        std::vector<const char*> aggregates;
    };
    const Variant variants[] = {
        {"plain", 0.0, nullptr, "", {"morphology_aggr"}},
        {"morphstart", 100.0, nullptr, "", {}},
        {"fixedbed", 0.0, [&](Case& c) { c.addFixedBed(layer, accuracy, 10); }, "-d", {"mor_fixedbed_aggr"}},
        {"directions", 0.0, [](Case& c) { c.addDirectionCorrections(); }, "",
         {"mor_direction_curve_aggr", "mor_direction_ikeda_aggr", "mor_local_bed_slope"}},
    };
    std::vector<double> plainBed;
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.tag);
        Case c(v.tag, "--size 20 10 --cells 40 20 --bed flat:1 --material 0:10:1,10:20:2");
        c.reshapeBed([](double x, double y, double z) { return z + 0.02 * std::sin(1.7 * x + 2.3 * y); });
        c.setup("", R"({"PARAMETER": {"CFL": 0.7, "minimum_water_depth": 0.001, "safe_mode": true},
          "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 2.0},
                                                      {"index": [2], "water_surface": 1.3}]},
          "FRICTION": {"type": "manning", "default_friction": 0.02}})");
        c.addMorphology(0.001, 0.047, v.morphStart);
        if (v.add) v.add(c);
        const auto r = c.run(wholerun::config(12.0, 4.0, 0.01, R"("water_depth", "bottom_elevation")"),
                                  "results.h5", 1, v.extra);
        for (const char* aggregate : v.aggregates)
            EXPECT_TRUE(contains(r.out, std::string("found aggregate <") + aggregate + ">"));
        ASSERT_EQ(c.outputs("results.h5"), 4);

        const double sediment0 = c.sediment("results.h5", 0), water0 = c.water("results.h5", 0);
        for (int k = 1; k < 4; ++k) {
            EXPECT_CLOSE(c.sediment("results.h5", k), sediment0, 0.0, 1e-6);
            EXPECT_CLOSE(c.water("results.h5", k), water0, 0.0, 1e-6);
        }
        const auto bed0 = c.bedAt("results.h5", 0);
        const auto bed = c.bedAt("results.h5", 3);
        double moved = 0.0, deepest = 0.0, difference = 0.0;  // largest bed change, erosion, change to plain [m]
        for (std::size_t i = 0; i < bed.size(); ++i) {
            ASSERT_TRUE(std::isfinite(bed[i])) << "cell " << i;
            moved = std::max(moved, std::abs(bed[i] - bed0[i]));
            deepest = std::max(deepest, bed0[i] - bed[i]);
            if (!plainBed.empty()) difference = std::max(difference, std::abs(bed[i] - plainBed[i]));
        }
        const std::string tag = v.tag;
        if (tag == "plain") {
            EXPECT_GT(moved, 1e-3) << "the flow must move the bed";
            plainBed = bed;
        } else if (tag == "morphstart") {
            EXPECT_EQ(bed, bed0);
            EXPECT_NE(c.state("results.h5", 3), c.state("results.h5", 0));
        } else if (tag == "fixedbed") {
            int overdrafts = 0;
            for (std::size_t at = r.out.find("overdraft in cell "); at != std::string::npos;
                 at = r.out.find("overdraft in cell ", at + 1), ++overdrafts) {
                const int cell = std::stoi(r.out.substr(at + 18, 12));
                ASSERT_GE(cell, 0);
                ASSERT_LT(cell, 1600);
            }
            EXPECT_GT(overdrafts, 0);
            EXPECT_GT(deepest, 0.5 * layer) << "the erosion must reach the layer";
            // Float beds around 1 m carry about 1e-7 m of rounding on top of the accepted overshoot.
            EXPECT_LT(deepest, layer + accuracy + 1e-6);
        } else {
            EXPECT_GT(difference, 1e-5);
        }
    }
}

}  // namespace
