// Verification of the hydraulics against analytical solutions, whole runs through the programs: Stoker's dam break
// on a wet bed and Ritter's on a dry bed under refinement, uniform flow on a Manning slope (normal depth), and an
// incident wave.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/Tolerance.hpp"
#include "wholerun/Analytic.hpp"
#include "wholerun/WholeRun.hpp"

using wholerun::Case;
using wholerun::config;
using namespace verification;

namespace {

/// Dam breaks in a 100 m x 2 m channel with a dam at x = 50 m; L1 error of the depth per metre width [m^2] after
/// 6 s, before either wave reaches a wall, with nx0, 2 nx0 and 4 nx0 cells along the channel:
/// - Ritter's on a dry bed, 1 m of water behind the dam, nx / 50 rows. CFL 0.7: the per-cell step limit (|u| + c)
///   does not see the faster dry-front speed (u + 2c), and at 0.9 the thin front cells overshoot to negative depths,
///   which safe mode stops. The finest error stays below 1 % of the 50 m^2 of water per metre width, falling
///   roughly like a first-order scheme's at a dry front.
/// - Stoker's on a wet bed as a user sets it up: one row of cells (400, 800 and 1600 triangles), 5 m of water left
///   of the dam and 1 m right of it, the set-up's defaults (CFL, minimum water depth, largest step) and safe mode. At
///   800 triangles the error stays below 0.6 % of the 300 m^2 of water per metre width; a first-order scheme
///   converges at a shock and rarefaction like dx^0.5 .. dx^1.
TEST(Verification, DamBreaksOnADryAndAWetBedApproachTheAnalyticalSolutionsUnderRefinement)
{
    const Stoker stoker(5.0, 1.0, 50.0);
    // The shock satisfies the momentum jump condition s [hu] = [hu^2 + g h^2 / 2] (the Newton solve used the
    // velocity jump derived from it and the mass jump).
    const double hm = stoker.hm, um = stoker.um, hr = stoker.hr;
    EXPECT_CLOSE(stoker.shock * hm * um, hm * um * um + 0.5 * g * (hm * hm - hr * hr), 1e-10, 0.0);
    struct Row {
        const char *title, *tag;
        std::string hydraulics, config;
        std::function<double(double x)> exact;
        int nx0, rows, bounded;  ///< rows 0: nx / 50; bounded: the refinement whose error is bounded
        double bound, order;     ///< largest error [m^2] there, smallest observed order between the finer two
    };
    const Row rows[] = {
        {"Ritter dam break", "ritter", R"({"PARAMETER": {"CFL": 0.7, "minimum_water_depth": 0.0001, "gravity": 9.81,
          "safe_mode": true}, "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 1.0}]}})",
         config(6.0, 6.0), [](double x) { return ritterDepth(x, 6.0, 50.0, 1.0); }, 100, 0, 2, 0.5, 0.4},
        {"Stoker dam break", "stoker", R"({"PARAMETER": {"safe_mode": true},
          "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 5.0},
                                                      {"index": [2], "water_surface": 1.0}]}})",
         config(6.0, 6.0, 0.01, R"("water_depth")", 0.0, 1e-5), [&stoker](double x) { return stoker.depth(x, 6.0); },
         200, 1, 1, 0.006 * 300.0, 0.5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        const wholerun::Refinement r = wholerun::damBreakRefinement(row.title, [&](int nx) {
            return wholerun::damBreakDepthError(row.tag, nx, row.hydraulics, row.config, row.exact, row.rows);
        }, row.nx0);
        EXPECT_LT(r.error[1], r.error[0]);
        EXPECT_LT(r.error[2], r.error[1]);
        EXPECT_LT(r.error[row.bounded], row.bound);
        EXPECT_GT(r.order2, row.order);
    }
}

/// Uniform flow on a slope S with Manning's n: the friction closure takes the depth as the hydraulic radius (a
/// wide channel; the side walls are frictionless), so the normal depth is hn = (q n / sqrt(S))^(3/5). A 400 m x
/// 10 m channel with nx x 2 rectangles, q per metre of width in on the left, `outlet` on the right; 2000 s from
/// rest, 0.5 m deep over the sloping bed, in steps of one material per 20 m; compared over the middle half.
wholerun::Steady manningRun(int nx, double q, double n, double slope, double hn, const std::string& outlet)
{
    const double length = 400.0, width = 10.0;
    std::ostringstream mesh, hydraulics;
    mesh << "--size " << length << " " << width << " --cells " << nx << " 2 --bed slope:" << slope << " --material ";
    hydraulics.precision(17);
    hydraulics << R"({"PARAMETER": {"CFL": 0.5, "minimum_water_depth": 0.001, "gravity": 9.81, "safe_mode": true},
          "INITIAL": {"type": "index_table", "values": [)";
    for (int k = 0; k < 20; ++k) {
        mesh << (k ? "," : "") << 20 * k << ":" << 20 * (k + 1) << ":" << k + 1;
        hydraulics << (k ? ", " : "") << R"({"index": [)" << k + 1 << R"(], "water_surface": )"
                   << slope * (length - (20.0 * k + 10.0)) + 0.5 << "}";
    }
    hydraulics << R"(]}, "FRICTION": {"type": "manning", "default_friction": )" << n << R"(},
          "BOUNDARY": [{"name": "in", "type": "discharge_inflow", "string": "left",
                        "discharge": [[0, )"
               << q * width << "], [100000, " << q * width << R"(]], "slope": )" << slope << R"(},
                       {"name": "out", "string": "right", )"
               << outlet << "}]}";
    Case c("manning", mesh.str());
    c.setup(R"(, "STRINGDEF": [{"name": "left"}, {"name": "right"}])", hydraulics.str());
    const bool ran = c.run(config(2000.0, 250.0, 0.1, R"("water_depth")", 0.0, 1e-5)).status == 0;
    return wholerun::steadyState(c, ran, q, [hn](double, double bed) { return bed + hn; },
                                 [length](double x) { return x >= 0.25 * length && x <= 0.75 * length; });
}

/// Both outlets continue the uniform flow: a normal-depth outflow on the slope, and the surface held at hn (the
/// outlet bed lies at 0 m).
TEST(Verification, UniformFlowOnAManningSlopeApproachesTheNormalDepth)
{
    const double q = 1.0, n = 0.03, slope = 0.001;
    const double hn = std::pow(q * n / std::sqrt(slope), 0.6);
    std::ostringstream normalOutflow, level;
    normalOutflow << R"("type": "normal_outflow", "slope": )" << slope;
    level.precision(17);
    level << R"("type": "water_level", "water_surface": [[0, )" << hn << "], [100000, " << hn << "]]";
    const wholerun::Steady coarse = manningRun(40, q, n, slope, hn, normalOutflow.str());
    const wholerun::Steady fine = manningRun(80, q, n, slope, hn, normalOutflow.str());
    EXPECT_LE(std::abs(fine.meanError), std::abs(coarse.meanError) + 1e-4);
    for (const wholerun::Steady& r : {fine, manningRun(80, q, n, slope, hn, level.str())}) {
        EXPECT_LT(r.lastChange, 1e-4) << "not yet steady";
        EXPECT_LT(std::abs(r.meanError), 0.01 * hn) << "mean depth against the normal depth";
        EXPECT_LT(r.maxError, 0.01 * hn);
        EXPECT_LT(r.maxDischargeError, 0.01);
    }
}

/// Surface [m] over time of a 400 m flat channel, 1 m deep at rest, forced at its left end by one period (60 s) of a
/// sine wave of amplitude 1 cm through the condition `type`; the right end is a wall. Per output second: the mean
/// surface of the cells within 3 m of the inlet, and the largest |surface| anywhere.
struct WaveRecord {
    std::vector<double> inlet, anywhere;
};

WaveRecord forcedWave(const std::string& type, double end)
{
    Case c("wave_" + type, "--size 400 2 --cells 400 2 --bed flat:-1");
    std::ostringstream series;
    series.precision(17);
    for (int t = 0; t <= 60; ++t) series << (t ? ", " : "") << "[" << t << ", " << 0.01 * std::sin(M_PI * t / 30.0) << "]";
    c.setup(R"(, "STRINGDEF": [{"name": "left"}])",
            R"({"PARAMETER": {"CFL": 0.5, "minimum_water_depth": 0.001, "gravity": 9.81},
          "INITIAL": {"type": "water_surface", "value": 0.0},
          "BOUNDARY": [{"name": "wave", "type": ")" +
                type + R"(", "string": "left", )" + (type == "incident_wave" ? R"("still_level": 0.0, )" : "") +
                R"("water_surface": [)" + series.str() + ", [100000, 0]]}]}");
    const auto r = c.run(config(end, 1.0, 0.01, R"("water_depth")", 0.0, 1e-5));
    WaveRecord w;
    const auto cells = c.cells();
    for (int k = 0; r.status == 0 && k < c.outputs("results.h5"); ++k) {
        const auto s = c.state("results.h5", k);
        double sum = 0.0, area = 0.0, largest = 0.0;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            largest = std::max(largest, std::abs(s[3 * i]));
            if (cells.x[i] > 3.0) continue;
            sum += cells.area[i] * s[3 * i];
            area += cells.area[i];
        }
        w.inlet.push_back(sum / area);
        w.anywhere.push_back(largest);
    }
    return w;
}

double largestIn(const std::vector<double>& v, int from, int to, double sign)
{
    double m = 0.0;
    for (int k = from; k <= to && k < static_cast<int>(v.size()); ++k) m = std::max(m, sign * v[k]);
    return m;
}

/// The wave needs 128 s to reach the wall and back to the inlet 400 m away at sqrt(g h) = 3.13 m/s; back from the
/// wall (at the inlet from 255 s to 316 s) it leaves, and what is left in the channel then is what the boundary
/// returned. The level condition holds the water behind the boundary at rest: the same wave enters at half height.
TEST(Verification, AnIncidentWaveEntersAtItsFullHeightAndItsReflectionLeaves)
{
    const WaveRecord w = forcedWave("incident_wave", 400.0);
    ASSERT_EQ(w.inlet.size(), 401u);
    const double leaving = largestIn(w.inlet, 250, 330, 1.0);
    const double returned = largestIn(w.anywhere, 345, 400, 1.0);
    EXPECT_CLOSE(largestIn(w.inlet, 0, 60, 1.0), 0.01, 0.0, 0.02);
    EXPECT_CLOSE(largestIn(w.inlet, 0, 60, -1.0), 0.01, 0.0, 0.02);
    EXPECT_GT(leaving, 0.005) << "the reflection must reach the inlet for the returned share to mean anything";
    EXPECT_LT(returned, 0.05 * leaving);
    EXPECT_CLOSE(largestIn(forcedWave("water_level", 60.0).inlet, 0, 60, 1.0), 0.005, 0.0, 0.15);
}

}  // namespace
