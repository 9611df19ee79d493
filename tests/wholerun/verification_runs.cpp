// Verification of the hydraulics against analytical solutions, whole runs through the programs: Stoker's dam break
// on a wet bed under refinement, and uniform flow on a Manning slope (normal depth).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

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

/// Surface [m] over time of a 400 m flat channel, 1 m deep at rest, forced at its left end by one period (60 s) of a
/// sine wave of amplitude 1 cm through the condition `type`; the right end is a wall. Per output second: the mean
/// surface of the cells within 3 m of the inlet, and the largest |surface| anywhere.
struct WaveRecord {
    std::vector<double> inlet, anywhere;
};

WaveRecord forcedWave(const std::string& type, double end)
{
    const double amplitude = 0.01, period = 60.0;
    Case c("wave_" + type);
    c.mesh("--size 400 2 --cells 400 2 --bed flat:-1");
    std::ostringstream series;
    series.precision(17);
    for (int t = 0; t <= period; ++t)
        series << (t ? ", " : "") << "[" << t << ", " << amplitude * std::sin(2.0 * M_PI * t / period) << "]";
    series << ", [100000, 0]";
    c.setup(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "mesh.2dm", "STRINGDEF": [{"name": "left"}]},
        "HYDRAULICS": {
          "PARAMETER": {"CFL": 0.5, "minimum_water_depth": 0.001, "gravity": 9.81},
          "INITIAL": {"type": "water_surface", "value": 0.0},
          "BOUNDARY": [{"name": "wave", "type": ")" +
            type + R"(", "string": "left", )" + (type == "incident_wave" ? R"("still_level": 0.0, )" : "") +
            R"("water_surface": [)" + series.str() + "]}]}}}}}");
    const auto r = c.simulate(config(end, 1.0, 0.01), "results.h5");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    WaveRecord w;
    if (r.status != 0) return w;
    const auto cells = c.cells();
    for (int k = 0; k < c.outputs("results.h5"); ++k) {
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

TEST(Verification, AnIncidentWaveEntersAtItsFullHeightAndItsReflectionLeaves)
{
    // The wave needs 128 s to reach the wall and back to the inlet 400 m away at sqrt(g h) = 3.13 m/s.
    const WaveRecord w = forcedWave("incident_wave", 400.0);
    ASSERT_EQ(w.inlet.size(), 401u);
    const double crest = largestIn(w.inlet, 0, 60, 1.0), trough = largestIn(w.inlet, 0, 60, -1.0);
    // Back from the wall (at the inlet from 255 s to 316 s), the wave leaves; what is left in the channel then
    // is what the boundary returned.
    const double leaving = largestIn(w.inlet, 250, 330, 1.0);
    const double returned = largestIn(w.anywhere, 345, 400, 1.0);
    std::printf("incident wave: crest %.5f m, trough %.5f m at the inlet (amplitude 0.01 m); back at the inlet "
                "%.5f m, left in the channel afterwards %.5f m (%.2f %%)\n",
                crest, trough, leaving, returned, 100.0 * returned / leaving);
    EXPECT_CLOSE(crest, 0.01, 0.0, 0.02);
    EXPECT_CLOSE(trough, 0.01, 0.0, 0.02);
    EXPECT_GT(leaving, 0.005) << "the reflection must reach the inlet for the returned share to mean anything";
    EXPECT_LT(returned, 0.05 * leaving);

    // The level condition holds the water behind the boundary at rest: the same wave enters at about half height.
    const WaveRecord level = forcedWave("water_level", 60.0);
    const double levelCrest = largestIn(level.inlet, 0, 60, 1.0);
    std::printf("water level condition: crest %.5f m at the inlet\n", levelCrest);
    EXPECT_CLOSE(levelCrest, 0.005, 0.0, 0.15);
}

}  // namespace
