// Verification of the hydraulics against an analytical steady solution, whole runs through the programs: steady
// subcritical flow over a bump against Bernoulli's energy and mass conservation, under refinement.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "support/Tolerance.hpp"
#include "wholerun/Analytic.hpp"
#include "wholerun/WholeRun.hpp"

using wholerun::Case;
using namespace verification;

namespace {

/// q = 4.42 m^2/s enters a 25 m x 0.5 m channel with nx cells along it over the bump, the surface is held at 2 m at
/// the outlet; 200 s from the exact discharge over a level surface.
wholerun::Steady bumpRun(int nx, const std::string& friction)
{
    const double q = 4.42, width = 0.5, outletLevel = 2.0;
    Case c("bump", "--size 25 0.5 --cells " + std::to_string(nx) + " " + std::to_string(std::max(1, nx / 50)) +
                       " --bed bump:0.2:0.05:10");
    std::ostringstream hydraulics;
    hydraulics << R"({"PARAMETER": {"CFL": 0.5, "minimum_water_depth": 0.001, "gravity": 9.81, "safe_mode": true},
          "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 2.0, "discharge": [)"
               << q << R"(, 0.0]}]},)" << friction << R"(
          "BOUNDARY": [{"name": "in", "type": "discharge_inflow", "string": "left",
                        "discharge": [[0, )"
               << q * width << "], [10000, " << q * width << R"(]], "slope": 0.001},
                       {"name": "out", "type": "water_level", "string": "right",
                        "water_surface": [[0, )"
               << outletLevel << "], [10000, " << outletLevel << "]]}]}";
    c.setup(R"(, "STRINGDEF": [{"name": "left"}, {"name": "right"}])", hydraulics.str());
    const bool ran = c.run(wholerun::config(200.0, 50.0, 0.01, R"("water_depth")", 0.0, 1e-5)).status == 0;
    EXPECT_TRUE(ran && c.timeOf("results.h5", c.outputs("results.h5") - 1) == 200.0);
    const double energy = outletLevel + q * q / (2.0 * g * outletLevel * outletLevel);
    return wholerun::steadyState(c, ran, q, [&](double, double bed) { return bed + bernoulliDepth(bed, q, energy); },
                                 [](double) { return true; });
}

/// Manning's n = 1e-4 makes the friction slope n^2 q^2 / h^(10/3) about 2e-8, a head loss below 1e-6 m over the
/// channel, far below the tolerances; it lets the inflow boundary take the cell's own depth while the flow there is
/// subcritical. With no friction at all the discharge inflow must take the inflow cell's own depth for its momentum
/// too (with the critical depth, 1.26 m here against the channel's 2 m, the inflow cells would receive less momentum
/// than they pass on and fill up without bound): the frictionless run on the finest mesh meets the same bounds.
TEST(Verification, SubcriticalFlowOverABumpReachesBernoullisSteadyState)
{
    // The exact surface itself: subcritical everywhere, lowest over the crest.
    const double energy = 2.0 + 4.42 * 4.42 / (2.0 * g * 4.0);
    const double crest = bernoulliDepth(0.2, 4.42, energy);
    EXPECT_GT(crest, std::cbrt(4.42 * 4.42 / g));
    EXPECT_CLOSE(crest + 4.42 * 4.42 / (2.0 * g * crest * crest) + 0.2, energy, 1e-12, 0.0);

    const std::string nearlyFrictionless = R"("FRICTION": {"type": "manning", "default_friction": 0.0001},)";
    const wholerun::Steady r[4] = {bumpRun(50, nearlyFrictionless), bumpRun(100, nearlyFrictionless),
                             bumpRun(200, nearlyFrictionless), bumpRun(200, "")};
    const double meanOrder = std::log2(r[1].meanAbsError / r[2].meanAbsError);
    const double maxOrder = std::log2(r[1].maxError / r[2].maxError);
    EXPECT_GT(meanOrder, 0.7) << "first order expected on this smooth flow";
    EXPECT_GT(maxOrder, 0.7);
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_LT(r[k].lastChange, 1e-4) << "not yet steady";
        if (k < 2) continue;
        // At the finest mesh (dx = 0.125 m) the surface is within 1 cm everywhere and 1 mm on average, the
        // discharge uniform within 1 % and the flow straight within 1 % of q.
        EXPECT_LT(r[k].maxError, 0.01);
        EXPECT_LT(r[k].meanAbsError, 0.001);
        EXPECT_LT(r[k].maxDischargeError, 0.01);
        EXPECT_LT(r[k].maxCrossDischarge, 0.01);
    }
}

}  // namespace
