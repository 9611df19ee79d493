// Verification of the hydraulics against analytical solutions, whole runs through the programs: Stoker's dam break
// on a wet bed under refinement, and uniform flow on a Manning slope (normal depth).
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
using wholerun::damBreakDepthError;
using wholerun::damBreakRefinement;
using wholerun::Refinement;
using namespace verification;

namespace {

/// Stoker's dam break as a user sets it up: a 100 m x 2 m channel of one row of cells (nx rectangles, 2 nx
/// triangles), 5 m of water left of a dam at x = 50 m and 1 m right of it, the set-up's defaults (CFL, minimum water
/// depth, largest step) and safe mode; L1 error of the depth per metre width [m^2] after 6 s, before either wave
/// reaches a wall.
double stokerError(int nx, const Stoker& exact)
{
    return damBreakDepthError("stoker", nx, R"({
          "PARAMETER": {"safe_mode": true},
          "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 5.0},
                                                      {"index": [2], "water_surface": 1.0}]}})",
                              config(6.0, 6.0, 0.01), [&exact](double x) { return exact.depth(x, 6.0); }, 1);
}

TEST(Verification, StokerDamBreakOnAWetBedApproachesTheAnalyticalSolutionUnderRefinement)
{
    const Stoker exact(5.0, 1.0, 50.0);
    std::printf("Stoker: middle depth %.6f m, velocity %.6f m/s, shock speed %.6f m/s\n", exact.hm, exact.um,
                exact.shock);
    // The shock satisfies the momentum jump condition s [hu] = [hu^2 + g h^2 / 2] (the Newton solve used the
    // velocity jump derived from it and the mass jump).
    EXPECT_CLOSE(exact.shock * exact.hm * exact.um,
                 exact.hm * exact.um * exact.um + 0.5 * g * (exact.hm * exact.hm - exact.hr * exact.hr), 1e-10, 0.0);

    // 400, 800 and 1600 cells (0.5, 0.25 and 0.125 m along the channel).
    const Refinement r = damBreakRefinement("Stoker dam break", [&](int nx) { return stokerError(nx, exact); }, 200);
    const double* e = r.error;
    EXPECT_LT(e[1], e[0]);
    EXPECT_LT(e[2], e[1]);
    // At 800 cells the error stays below 0.6 % of the 300 m^2 of water per metre width (the L1 norm of the exact
    // depth, which the closed channel keeps).
    EXPECT_LT(e[1], 0.006 * 300.0) << 100.0 * e[1] / 300.0 << " % of the water at 800 cells";
    EXPECT_GT(r.order2, 0.5) << "a first-order scheme converges at a shock and rarefaction like dx^0.5 .. dx^1";
}

/// Uniform flow on a slope S with Manning's n: the friction closure takes the depth as the hydraulic radius (a
/// wide channel; the side walls are frictionless), so the normal depth is hn = (q n / sqrt(S))^(3/5).
struct ManningResult {
    double meanDepth = 1e9;          ///< area-weighted mean depth of the middle half of the channel [m]
    double maxDepthDeviation = 1e9;  ///< max |h - hn| / hn over the middle half
    double maxDischargeError = 1e9;  ///< max |qx - q| / q over the middle half
    double lastChange = 1e9;         ///< max |H(T) - H(T - 250 s)| [m]
};

ManningResult manningRun(int nx, double q, double n, double slope, double hn, const std::string& outlet)
{
    const double length = 400.0, width = 10.0;
    const int ny = 2;
    // Start at rest, 0.5 m deep over the sloping bed, in steps of one material per 20 m.
    std::ostringstream materials, initial;
    for (int k = 0; k < 20; ++k) {
        materials << (k ? "," : "") << 20 * k << ":" << 20 * (k + 1) << ":" << k + 1;
        initial << (k ? ", " : "") << R"({"index": [)" << k + 1 << R"(], "water_surface": )"
                << slope * (length - (20.0 * k + 10.0)) + 0.5 << "}";
    }
    Case c("manning");
    std::ostringstream mesh;
    mesh << "--size " << length << " " << width << " --cells " << nx << " " << ny << " --bed slope:" << slope
         << " --material " << materials.str();
    c.mesh(mesh.str());
    std::ostringstream setup;
    setup.precision(17);
    setup << R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "mesh.2dm", "STRINGDEF": [{"name": "left"}, {"name": "right"}]},
        "HYDRAULICS": {
          "PARAMETER": {"CFL": 0.5, "minimum_water_depth": 0.001, "gravity": 9.81, "safe_mode": true},
          "INITIAL": {"type": "index_table", "values": [)"
          << initial.str() << R"(]},
          "FRICTION": {"type": "manning", "default_friction": )"
          << n << R"(},
          "BOUNDARY": [{"name": "in", "type": "discharge_inflow", "string": "left",
                        "discharge": [[0, )"
          << q * width << "], [100000, " << q * width << R"(]], "slope": )" << slope << R"(},
                       {"name": "out", "string": "right", )"
          << outlet << "}]}}}}}";
    c.setup(setup.str());
    const double end = 2000.0;
    const auto r = c.simulate(config(end, 250.0, 0.1), "results.h5");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    ManningResult result;
    if (r.status != 0) return result;
    const int last = c.outputs("results.h5") - 1;
    const auto cells = c.cells();
    const auto bed = c.bed();
    const auto s = c.state("results.h5", last);
    const auto before = c.state("results.h5", last - 1);
    result = ManningResult{0.0, 0.0, 0.0, 0.0};
    double area = 0.0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        result.lastChange = std::max(result.lastChange, std::abs(s[3 * i] - before[3 * i]));
        if (cells.x[i] < 0.25 * length || cells.x[i] > 0.75 * length) continue;
        const double h = s[3 * i] - bed[i];
        result.meanDepth += cells.area[i] * h;
        area += cells.area[i];
        result.maxDepthDeviation = std::max(result.maxDepthDeviation, std::abs(h - hn) / hn);
        result.maxDischargeError = std::max(result.maxDischargeError, std::abs(s[3 * i + 1] - q) / q);
    }
    result.meanDepth /= area;
    std::printf(
        "Manning, %s, dx = %.4g m: mean depth of the middle half %.5f m (normal depth %.5f m, rel. error %.3g), max "
        "rel. deviation %.3g, discharge max rel. error %.3g; change over the last 250 s %.3g m\n",
        outlet.c_str(), length / nx, result.meanDepth, hn, (result.meanDepth - hn) / hn, result.maxDepthDeviation,
        result.maxDischargeError, result.lastChange);
    return result;
}

TEST(Verification, UniformFlowOnAManningSlopeApproachesTheNormalDepth)
{
    const double q = 1.0, n = 0.03, slope = 0.001;
    const double hn = std::pow(q * n / std::sqrt(slope), 0.6);
    std::ostringstream normalOutflow, level;
    normalOutflow << R"("type": "normal_outflow", "slope": )" << slope;
    // The outlet bed lies at 0 m, so holding the surface at hn there continues the uniform flow.
    level.precision(17);
    level << R"("type": "water_level", "water_surface": [[0, )" << hn << "], [100000, " << hn << "]]";
    const ManningResult coarse = manningRun(40, q, n, slope, hn, normalOutflow.str());
    const ManningResult fine = manningRun(80, q, n, slope, hn, normalOutflow.str());
    std::printf("Manning: observed order of the mean depth error %.2f\n",
                std::log2(std::abs(coarse.meanDepth - hn) / std::abs(fine.meanDepth - hn)));
    EXPECT_LT(fine.lastChange, 1e-4) << "not yet steady";
    EXPECT_CLOSE(fine.meanDepth, hn, 0.0, 0.01);
    EXPECT_LT(fine.maxDepthDeviation, 0.01);
    EXPECT_LT(fine.maxDischargeError, 0.01);
    EXPECT_LE(std::abs(fine.meanDepth - hn), std::abs(coarse.meanDepth - hn) + 1e-4);

    const ManningResult held = manningRun(80, q, n, slope, hn, level.str());
    EXPECT_LT(held.lastChange, 1e-4) << "not yet steady";
    EXPECT_CLOSE(held.meanDepth, hn, 0.0, 0.01);
    EXPECT_LT(held.maxDepthDeviation, 0.01);
    EXPECT_LT(held.maxDischargeError, 0.01);
}

}  // namespace
