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

struct BumpResult {
    double maxSurfaceError = 1e9;    ///< max |H - H_exact| over the cells [m]
    double meanSurfaceError = 1e9;   ///< area-weighted mean |H - H_exact| [m]
    double maxDischargeError = 1e9;  ///< max |qx - q| / q over the cells
    double maxCrossDischarge = 1e9;  ///< max |qy| / q
    double lastChange = 1e9;         ///< max |H(T) - H(T - 50 s)| over the cells [m]
    double worstX = 0.0;             ///< centroid x of the cell with the largest surface error [m]
};

BumpResult bumpRun(int nx, const std::string& friction)
{
    const double q = 4.42, width = 0.5, outletLevel = 2.0;
    const int ny = std::max(1, nx / 50);
    Case c("bump");
    c.mesh("--size 25 " + std::to_string(width) + " --cells " + std::to_string(nx) + " " + std::to_string(ny) +
           " --bed bump:0.2:0.05:10");
    std::ostringstream setup;
    setup << R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "mesh.2dm", "STRINGDEF": [{"name": "left"}, {"name": "right"}]},
        "HYDRAULICS": {
          "PARAMETER": {"CFL": 0.5, "minimum_water_depth": 0.001, "gravity": 9.81, "safe_mode": true},
          "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 2.0,
                                                      "discharge": [)"
          << q << R"(, 0.0]}]},)" << friction << R"(
          "BOUNDARY": [{"name": "in", "type": "discharge_inflow", "string": "left",
                        "discharge": [[0, )"
          << q * width << "], [10000, " << q * width << R"(]], "slope": 0.001},
                       {"name": "out", "type": "water_level", "string": "right",
                        "water_surface": [[0, )"
          << outletLevel << "], [10000, " << outletLevel << R"(]]}]}}}}})";
    c.setup(setup.str());
    const double end = 200.0;
    const auto r = c.simulate(config(end, 50.0, 0.01), "results.h5");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    BumpResult result;
    if (r.status != 0) return result;
    const int last = c.outputs("results.h5") - 1;
    EXPECT_DOUBLE_EQ(c.timeOf("results.h5", last), end);
    const auto cells = c.cells();
    const auto bed = c.bed();
    const auto s = c.state("results.h5", last);
    const auto before = c.state("results.h5", last - 1);
    const double energy = outletLevel + q * q / (2.0 * g * outletLevel * outletLevel);
    result = BumpResult{0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    double area = 0.0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const double exact = bed[i] + bernoulliDepth(bed[i], q, energy);
        const double e = std::abs(s[3 * i] - exact);
        if (e > result.maxSurfaceError) {
            result.maxSurfaceError = e;
            result.worstX = cells.x[i];
        }
        result.meanSurfaceError += cells.area[i] * e;
        area += cells.area[i];
        result.maxDischargeError = std::max(result.maxDischargeError, std::abs(s[3 * i + 1] - q) / q);
        result.maxCrossDischarge = std::max(result.maxCrossDischarge, std::abs(s[3 * i + 2]) / q);
        result.lastChange = std::max(result.lastChange, std::abs(s[3 * i] - before[3 * i]));
    }
    result.meanSurfaceError /= area;
    std::printf(
        "bump, dx = %.4g m (%zu cells): water surface error max %.3g m (at x = %.2f m), mean %.3g m; discharge max "
        "rel. error %.3g, max |qy|/q %.3g; change over the last 50 s %.3g m\n",
        25.0 / nx, cells.size(), result.maxSurfaceError, result.worstX, result.meanSurfaceError,
        result.maxDischargeError, result.maxCrossDischarge, result.lastChange);
    return result;
}

/// Manning's n = 1e-4 makes the friction slope n^2 q^2 / h^(10/3) about 2e-8, a head loss below 1e-6 m over the
/// channel, far below the tolerances; it lets the inflow boundary take the cell's own depth while the flow there is
/// subcritical. Without FRICTION the set-up gives the inflow the critical depth instead (see below).
const std::string nearlyFrictionless = R"("FRICTION": {"type": "manning", "default_friction": 0.0001},)";

TEST(Verification, SubcriticalFlowOverABumpReachesBernoullisSteadyState)
{
    // The exact surface itself: subcritical everywhere, lowest over the crest.
    const double energy = 2.0 + 4.42 * 4.42 / (2.0 * g * 4.0);
    const double crest = bernoulliDepth(0.2, 4.42, energy);
    std::printf("bump: energy head %.6f m, exact surface over the crest %.6f m\n", energy, crest + 0.2);
    EXPECT_GT(crest, std::cbrt(4.42 * 4.42 / g));
    EXPECT_CLOSE(crest + 4.42 * 4.42 / (2.0 * g * crest * crest) + 0.2, energy, 1e-12, 0.0);

    const int nx[3] = {50, 100, 200};
    BumpResult r[3];
    for (int k = 0; k < 3; ++k) r[k] = bumpRun(nx[k], nearlyFrictionless);
    const double meanOrder = std::log2(r[1].meanSurfaceError / r[2].meanSurfaceError);
    const double maxOrder = std::log2(r[1].maxSurfaceError / r[2].maxSurfaceError);
    std::printf("bump: observed order of the water surface error, mean %.2f, %.2f; max %.2f, %.2f\n",
                std::log2(r[0].meanSurfaceError / r[1].meanSurfaceError), meanOrder,
                std::log2(r[0].maxSurfaceError / r[1].maxSurfaceError), maxOrder);
    for (const auto& x : r) EXPECT_LT(x.lastChange, 1e-4) << "not yet steady";
    EXPECT_GT(meanOrder, 0.7) << "first order expected on this smooth flow";
    EXPECT_GT(maxOrder, 0.7);
    // At the finest mesh (dx = 0.125 m) the surface is within 1 cm everywhere and 1 mm on average, the discharge
    // uniform within 1 % and the flow straight within 1 % of q.
    EXPECT_LT(r[2].maxSurfaceError, 0.01);
    EXPECT_LT(r[2].meanSurfaceError, 0.001);
    EXPECT_LT(r[2].maxDischargeError, 0.01);
    EXPECT_LT(r[2].maxCrossDischarge, 0.01);
}

/// The same case with no friction at all: the discharge inflow then takes the inflow cell's own depth for its
/// momentum (with the critical depth, 1.26 m here against the channel's 2 m, the inflow cells would receive less
/// momentum than they pass on and fill up without bound). The finest mesh meets the bounds of the case above.
TEST(Verification, FrictionlessSubcriticalFlowOverABumpReachesBernoullisSteadyState)
{
    const BumpResult fine = bumpRun(200, "");
    EXPECT_LT(fine.lastChange, 1e-4) << "not yet steady";
    EXPECT_LT(fine.maxSurfaceError, 0.01);
    EXPECT_LT(fine.meanSurfaceError, 0.001);
    EXPECT_LT(fine.maxDischargeError, 0.01);
    EXPECT_LT(fine.maxCrossDischarge, 0.01);
}

}  // namespace
