// Whole simulations checked by physics: a lake at rest over an irregular, partly dry bed, volume conservation in a
// closed basin, the volumes of water and sediment that inflows bring in, and what the results, gauges and rasters
// keep of a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "simulation/ModelFile.hpp"
#include "support/Process.hpp"
#include "support/Text.hpp"
#include "support/Tolerance.hpp"
#include "wholerun/WholeRun.hpp"

using testsupport::contains;
using testsupport::readFile;
using drivertest::readValues;
using testsupport::countOf;
using testsupport::program;
using testsupport::runProcess;
using wholerun::Case;
using wholerun::config;

namespace {

/// Deterministic bed noise in [-1, 1] from the node position.
double noise(double x, double y)
{
    const double s = std::sin(12.9898 * x + 78.233 * y) * 43758.5453;
    return 2.0 * (s - std::floor(s)) - 1.0;
}

/// A 60 m x 24 m basin of 2880 triangles, closed by walls, over a wavy bed with two islands that rise above the lake
/// and bed noise of +-5 cm; 0.5 m of water stand at rest for 200 s, set up with the defaults (CFL 0.5). Above
/// about CFL 0.65 currents grow here (docs/stability.md).
TEST(WholeRun, LakeAtRestOverIslandsStaysAtRestWithTheDefaults)
{
    Case c("lake", "--size 60 24 --cells 60 24");
    c.reshapeBed([](double x, double y, double) {
        const double islands = 0.9 * std::exp(-((x - 15) * (x - 15) + (y - 12) * (y - 12)) / 20.0) +
                               0.8 * std::exp(-((x - 42) * (x - 42) + (y - 8) * (y - 8)) / 15.0);
        return islands + 0.2 * std::sin(x / 4.0) * std::cos(y / 3.0) + 0.05 * noise(x, y);
    });
    c.setup("", R"({"INITIAL": {"type": "water_surface", "value": 0.5}})");
    ASSERT_EQ(c.run(config(200.0, 200.0, 0.02)).status, 0);
    const auto bed = c.bed();
    const auto end = c.state("results.h5", 1);
    EXPECT_DOUBLE_EQ(c.timeOf("results.h5", 1), 200.0);
    int dry = 0;
    double worstLevel = 0.0, worstDischarge = 0.0, worstDryDepth = 0.0;
    for (std::size_t i = 0; i < bed.size(); ++i) {
        dry += bed[i] >= 0.5;
        if (bed[i] >= 0.5) worstDryDepth = std::max(worstDryDepth, end[3 * i] - bed[i]);
        else worstLevel = std::max(worstLevel, std::abs(end[3 * i] - 0.5));
        worstDischarge = std::max({worstDischarge, std::abs(end[3 * i + 1]), std::abs(end[3 * i + 2])});
    }
    ASSERT_GT(dry, 30) << "the islands must leave some cells dry";
    EXPECT_LT(worstLevel, 1e-5);
    EXPECT_LT(worstDischarge, 2e-4);
    EXPECT_LT(worstDryDepth, 1e-6);
}

/// Two water levels in a closed, sloping, rough basin slosh for 30 s; walls everywhere, so the volume must stay
/// what it was up to single-precision round-off of the cell states; flood tracking keeps per cell the largest
/// depth and discharge, at least those of every output after the first step.
TEST(WholeRun, ClosedBasinConservesVolumeAndTracksFloodMaxima)
{
    Case c("basin", "--size 20 10 --cells 40 20 --bed slope:0.05 --material 0:10:1,10:20:2");
    c.reshapeBed([](double x, double y, double z) { return z + 0.03 * noise(x, y); });
    c.setup("", R"({
          "PARAMETER": {"CFL": 0.9, "max_time_step": 10.0, "minimum_water_depth": 0.001, "safe_mode": true},
          "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 1.5},
                                                      {"index": [2], "water_surface": 0.6}]},
          "FRICTION": {"type": "manning", "default_friction": 0.02}, "FLOOD": {}})");
    ASSERT_EQ(c.run(config(30.0, 10.0)).status, 0);
    ASSERT_EQ(c.outputs("results.h5"), 4);
    const auto bed = c.bed();
    const double v0 = c.water("results.h5", 0);
    const auto flood = readValues(c.dir().file("results.h5"), "RESULTS/CellsAll/FloodVar/0000000");
    ASSERT_EQ(flood.size(), 4 * bed.size());
    for (int k = 1; k < 4; ++k) {
        const auto s = c.state("results.h5", k);
        const double v = c.water("results.h5", k);
        EXPECT_CLOSE(v, v0, 0.0, 1e-6);
        for (std::size_t i = 0; i < bed.size(); ++i) {
            ASSERT_GE(s[3 * i] - bed[i], -1e-6) << "cell " << i;
            ASSERT_GE(flood[4 * i + 1], s[3 * i] - bed[i] - 1e-6) << "cell " << i << ", output " << k;
            ASSERT_GE(flood[4 * i + 3], std::hypot(s[3 * i + 1], s[3 * i + 2]) - 1e-6) << "cell " << i;
        }
    }
    const auto last = c.state("results.h5", 3);
    double maxLevel = 0.0;
    for (std::size_t i = 0; i < bed.size(); ++i) maxLevel = std::max(maxLevel, last[3 * i]);
    EXPECT_LT(maxLevel, 1.4) << "the water must have moved: the upper level falls";
}

/// Walled basins fed by inflows gain, at every output time t, rate x t of water and of sediment [m^3]:
/// - 4 m^3/s through a discharge boundary along the whole left side of a 100 m x 60 m basin, a string of 60 edges
///   that the set-up splits into pieces of at most 40;
/// - a cell source of 0.5 m^3/s over one material region and rain of 36 mm/h (1e-5 m/s) over the other 100 m^2;
/// - a spring of 0.2 m^3/s over the west half that is also a sediment source of the same rate (it raises bed and
///   water surface alike, the spring the water surface once more);
/// - sediment fed through the left side by boundary code 410 at qs = 1e-4 m^2/s, i.e. qs / (1 - 0.4) per metre of
///   the 10 m side, water unchanged (the surface rises with the bed); the bed starts at 0 m, where single precision
///   resolves the small increments of each step.
TEST(WholeRun, InflowsBringInTheirVolumesOfWaterAndSediment)
{
    const std::string basin = "--size 20 10 --cells 20 10 --bed flat:";
    const std::string rough = R"("PARAMETER": {"CFL": 0.5, "minimum_water_depth": 0.001, "safe_mode": true},
        "FRICTION": {"type": "manning", "default_friction": 0.02}, )";
    struct Row {
        const char* tag;
        std::string mesh, geometry, hydraulics;
        double end, out, water;
        std::function<double(Case&)> sediment;  ///< adds the morphology, returns the sediment rate [m^3/s]
        const char* aggregate;
    };
    const Row rows[] = {
        {"inflow", "--size 100 60 --cells 25 60", R"(, "STRINGDEF": [{"name": "left"}])",
         R"({"PARAMETER": {"CFL": 0.9, "minimum_water_depth": 0.001, "safe_mode": true},
          "INITIAL": {"type": "water_surface", "value": 1.0},
          "BOUNDARY": [{"name": "in", "type": "discharge_inflow", "string": "left",
                        "discharge": [[0, 4.0], [1000, 4.0]], "slope": 0.001}]})",
         40.0, 20.0, 4.0, nullptr, nullptr},
        {"sources", "--size 20 10 --cells 20 10 --material 0:10:1,10:20:2",
         R"(, "REGIONDEF": [{"name": "west", "index": [1]}, {"name": "east", "index": [2]}])",
         R"({"PARAMETER": {"CFL": 0.7, "safe_mode": true}, "INITIAL": {"type": "water_surface", "value": 0.5},
          "SOURCE": [{"name": "spring", "type": "inflow", "region": "west", "discharge": [[0, 0.5], [1000, 0.5]]},
                     {"name": "storm", "type": "rain", "region": "east", "intensity": [[0, 36.0], [1000, 36.0]]}]})",
         20.0, 20.0, 0.5 + 1e-5 * 100.0, nullptr, nullptr},
        {"sedsource", basin + "1 --material 0:10:1,10:20:2", R"(, "REGIONDEF": [{"name": "west", "index": [1]}])",
         "{" + rough + R"("INITIAL": {"type": "water_surface", "value": 2.0},
          "SOURCE": [{"name": "spring", "type": "inflow", "region": "west", "discharge": [[0, 0.2], [1000, 0.2]]}]})",
         20.0, 20.0, 0.2,
         [](Case& c) {
             c.addMorphology(0.001, 0.047);
             c.addFixedBed(1.0, 1e-5, 10);
             c.addSedimentSources(30);
             return 0.2;
         },
         "mor_source_aggr"},
        {"sedinflow", basin + "0", "", "{" + rough + R"("INITIAL": {"type": "water_surface", "value": 1.0}})", 20.0,
         20.0, 0.0,
         [](Case& c) {
             c.addMorphology(0.001, 0.047);
             const double length = c.addSedimentInflowOnTheLeft(1e-4);
             EXPECT_NEAR(length, 10.0, 1e-4);
             return 1e-4 / 0.6 * length;
         },
         "mor_boundary_aggr"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tag);
        Case c(row.tag, row.mesh);
        c.setup(row.geometry, row.hydraulics);
        const double sedimentRate = row.sediment ? row.sediment(c) : 0.0;
        const auto r = c.run(config(row.end, row.out, 0.01, row.sediment ? R"("water_depth", "bottom_elevation")"
                                                                              : R"("water_depth")"));
        if (row.aggregate) {
            EXPECT_TRUE(contains(r.out, std::string("found aggregate <") + row.aggregate + ">"));
        }
        const double water0 = c.water("results.h5", 0);
        for (int k = 1; k < c.outputs("results.h5"); ++k) {
            const double t = c.timeOf("results.h5", k), water = c.water("results.h5", k) - water0;
            EXPECT_NEAR(water, row.water * t, row.water > 0.0 ? 1e-4 * row.water * t : 4e-4);
            if (!row.sediment) continue;
            const double sediment = c.sediment("results.h5", k) - c.sediment("results.h5", 0);
            EXPECT_CLOSE(sediment, sedimentRate * t, 0.0, 1e-4);
        }
        EXPECT_EQ(c.outputs("results.h5"), static_cast<int>(row.end / row.out) + 1);
    }
}

}  // namespace

/// 0.2 m cells at a UTM northing of 5 000 000 m: float keeps every 0.5 m there, so the float table the mesh framework
/// reads folds the six rows of nodes onto three; the results file and the XDMF file must keep all six.
TEST(WholeRun, CoordinatesKeepTheMeshFilePrecisionInTheResultsAndTheXdmfFile)
{
    Case c("utm", "--size 2 1 --cells 10 5 --origin 500000 5000000");
    c.setup("", R"({"INITIAL": {"type": "water_surface", "value": 1.0}})");
    ASSERT_EQ(c.run(config(1.0, 1.0)).status, 0);
    const auto distinct = [&](const char* item, std::size_t component) {
        std::set<double> v;
        const auto xyz = readValues(c.dir().file("results.h5"), item);
        for (std::size_t i = component; i < xyz.size(); i += 3) v.insert(xyz[i]);
        return std::make_pair(v.size(), *v.rbegin());
    };
    EXPECT_LT(distinct("NodesAll/Coordnts", 1).first, 6u);
    EXPECT_EQ(distinct("NodesAll/CoordDbl", 0).first, 11u);
    EXPECT_EQ(distinct("NodesAll/CoordDbl", 1), std::make_pair(std::size_t{6}, 5000001.0));
    ASSERT_EQ(runProcess(program("hydrova_results") + " -f results.h5", c.dir().path()).status, 0);
    EXPECT_TRUE(contains(readFile(c.dir().file("results.xdmf")),
                         "NumberType=\"Float\" Precision=\"8\" Format=\"HDF\">\n                results.h5:/NodesAll/CoordDbl"));
}

/// A dam break in a 400 m x 40 m channel of 10 m cells (320 triangles) for pairs (end, out) that lost outputs when
/// output times were summed and the step to them rounded to float: (22.5, 0.05) stored 450 of 451 records, (2,
/// 0.05) 40 of 41, (5000, 5000) only t = 0; (7.7, 1.1) and (10, 3) need the end state besides the multiples of
/// the interval; out 0 writes the start and the end. Every record must carry k × out exactly, the last one the end,
/// and progress must reach 100/100.
TEST(WholeRun, EveryOutputTimeIsStoredExactlyAndTheEndStateIsTheLastRecord)
{
    Case c("outputs", "--size 400 40 --cells 40 4 --material 0:200:1,200:400:2");
    c.setup("", R"({"PARAMETER": {"CFL": 0.5, "minimum_water_depth": 0.001},
          "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 1.0},
                                                      {"index": [2], "water_surface": 0.2}]}})");
    const double rows[][3] = {{5000, 5000, 2}, {22.5, 0.05, 451}, {2, 0.05, 41}, {3600, 60, 61},
                              {100, 0.1, 1001}, {7.7, 1.1, 8},   {10, 3, 5},     {5, 0, 2}};  // end, out, records
    for (const auto& row : rows) {
        const double end = row[0], out = row[1];
        const int records = static_cast<int>(row[2]);
        SCOPED_TRACE(std::to_string(end) + " " + std::to_string(out));
        const auto r = c.run(config(end, out), "results.h5", 1, "-p");
        ASSERT_EQ(c.outputs("results.h5"), records);
        for (int k = 0; k + 1 < records; ++k) ASSERT_EQ(c.timeOf("results.h5", k), k * out);
        EXPECT_EQ(c.timeOf("results.h5", records - 1), end);
        EXPECT_EQ(countOf(r.out, " -> Progress: 100/100, "), 1);
    }
}

/// Gauges in a dam break (320 triangles): one wet from the start, one reached by the front, one on a cell edge.
/// Sampled every step, the series holds one sample per step besides the start, and at every output time the
/// value of its cell in the stored field, bit for bit (surface, depth, velocity as hydrova_results derives them),
/// and recording leaves the fields as they are without gauges (stored compressed there: the same values, records
/// through the shuffle and deflate filters). At an interval of 0.3 s the samples are the multiples of 0.3 s and the
/// output times (1 s), nothing else, those between two steps interpolated linearly between the every-step samples.
TEST(WholeRun, GaugesHoldTheirCellsValuesOfTheStoredFieldsAtEveryOutputTime)
{
    const std::string dam = "--size 400 40 --cells 40 4 --material 0:200:1,200:400:2";
    const std::string hydraulics = R"({"PARAMETER": {"CFL": 0.5, "minimum_water_depth": 0.001},
          "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 1.0}]}})";
    Case plain("gauges_none", dam);
    plain.setup("", hydraulics);
    ASSERT_EQ(plain.run(config(6.0, 1.0), "results.h5", 1, "--compress").status, 0);
    const auto dump = runProcess("h5dump -p -H -d /RESULTS/CellsAll/HydState/0000006 results.h5", plain.dir().path());
    for (const char* filter : {"SHUFFLE", "COMPRESSION DEFLATE"}) EXPECT_TRUE(contains(dump.out, filter));

    Case c("gauges", dam);
    c.setup(R"(, "GAUGEDEF": [{"name": "lake", "x": 150, "y": 13}, {"name": "front", "x": 215.3, "y": 21.7},
                               {"name": "edge", "x": 200, "y": 25}])",
            hydraulics);
    const auto cells = c.cells();
    const auto bed = c.bed();
    const auto gaugeCells = readValues(c.model(), "Gauges/Cells");
    ASSERT_EQ(gaugeCells.size(), 3u);
    const double minDepth = readValues(c.model(), "Parameters/MinWaterDepth").at(0);
    const double places[3][2] = {{150, 13}, {215.3, 21.7}, {200, 25}};
    for (std::size_t g = 0; g < 3; ++g) {
        const auto i = static_cast<std::size_t>(gaugeCells[g]);
        EXPECT_LT(std::hypot(cells.x[i] - places[g][0], cells.y[i] - places[g][1]), 10.0) << "gauge " << g;
    }
    // The samples (time, then surface, depth, u, v per gauge) and the number of steps.
    const auto samplesOf = [&](const std::string& gauging, const std::string& extra) {
        std::string configuration = config(6.0, 1.0);
        configuration.insert(configuration.find("\"OUTPUT\""), gauging);
        const auto r = c.run(configuration, "results.h5", 1, extra);
        EXPECT_EQ(runProcess(program("hydrova_results") + " -f results.h5", c.dir().path()).status, 0);
        EXPECT_TRUE(std::ifstream(c.dir().file("results_gauges.png")).good());
        std::string csv = readFile(c.dir().file("results_gauges.csv"));
        EXPECT_EQ(csv.substr(0, csv.find('\n')),
                  "time_s,lake_surface_m,lake_depth_m,lake_u_m_s,lake_v_m_s,front_surface_m,front_depth_m,"
                  "front_u_m_s,front_v_m_s,edge_surface_m,edge_depth_m,edge_u_m_s,edge_v_m_s");
        std::replace(csv.begin(), csv.end(), ',', ' ');
        std::istringstream in(csv.substr(csv.find('\n')));
        std::vector<std::vector<double>> samples;
        for (std::vector<double> row(13); in >> row[0];) {
            for (std::size_t k = 1; k < 13; ++k) in >> row[k];
            samples.push_back(row);
        }
        return std::make_pair(samples, countOf(r.out, " -> time: "));
    };

    const auto [everyStep, steps] = samplesOf("", "-l 3");
    ASSERT_EQ(static_cast<int>(everyStep.size()), steps + 1);
    int matched = 0;
    for (int k = 0; k < c.outputs("results.h5"); ++k) {
        const double t = c.timeOf("results.h5", k);
        const auto state = c.state("results.h5", k);
        EXPECT_EQ(state, plain.state("results.h5", k)) << "recording gauges changed the field at t = " << t;
        for (const auto& row : everyStep) {
            for (std::size_t g = 0; g < 3 && row[0] == t; ++g) {
                const auto i = static_cast<std::size_t>(gaugeCells[g]);
                const double H = state[3 * i], h = H - bed[i];
                const double u = minDepth > h ? 0.0 : state[3 * i + 1] / h, v = minDepth > h ? 0.0 : state[3 * i + 2] / h;
                EXPECT_EQ(std::vector<double>(row.begin() + 1 + 4 * g, row.begin() + 5 + 4 * g),
                          (std::vector<double>{H, h, u, v}))
                    << "gauge " << g << " at t = " << t;
            }
            matched += row[0] == t;
        }
    }
    EXPECT_EQ(matched, 7);
    EXPECT_EQ(everyStep.front()[6], 0.0) << "the front gauge is dry until the wave arrives";
    EXPECT_GT(everyStep.back()[6], 0.1);

    const auto timed = samplesOf(R"("GAUGES": {"interval": 0.3}, )", "").first;
    EXPECT_EQ(c.state("results.h5", 6), plain.state("results.h5", 6)) << "sampling at an interval changed the steps";
    std::set<double> expected{1, 2, 3, 4, 5, 6};
    std::vector<double> times;
    for (int k = 0; k * 0.3 < 6.0; ++k) expected.insert(k * 0.3);
    for (const auto& row : timed) {
        times.push_back(row[0]);
        const auto after = std::lower_bound(everyStep.begin(), everyStep.end(), row[0],
                                            [](const std::vector<double>& s, double t) { return s[0] < t; });
        ASSERT_NE(after, everyStep.end());
        const auto& b = *after;
        const auto& a = after == everyStep.begin() ? b : *(after - 1);
        const double f = b[0] == row[0] ? 1.0 : (row[0] - a[0]) / (b[0] - a[0]);
        for (std::size_t k = 1; k < row.size(); ++k)
            EXPECT_NEAR(row[k], a[k] + f * (b[k] - a[k]), 1e-12) << "t = " << row[0] << ", column " << k;
    }
    EXPECT_EQ(times, std::vector<double>(expected.begin(), expected.end()));
}

/// A lake at rest on a plane bed rising to the left (dry left of x = 25 m), in ETRS89 / UTM 32N, as GeoTIFF rasters
/// of 3 m cells (not aligned with the 10 m squares of the mesh), read back by GDAL's own programs: the maximum depth
/// has the model's coordinate system, the geotransform of the mesh's box, no data where no water came and outside
/// the mesh, and at every centre inside a triangle that triangle's stored value.
TEST(WholeRun, RastersOfTheFloodMaximaHoldTheCellValuesAtTheirCentresWithTheModelsCoordinateSystem)
{
    if (runProcess("command -v gdalinfo && command -v gdal_translate").status != 0)
        GTEST_SKIP() << "gdalinfo and gdal_translate (Debian package gdal-bin) are not installed";
    Case c("rasters", "--size 100 50 --cells 10 5 --origin 500000 5400000 --bed slope:0.004");
    c.setup(R"(, "crs": "EPSG:25832")", R"({"INITIAL": {"type": "water_surface", "value": 0.3}, "FLOOD": {}})");
    ASSERT_EQ(c.run(config(2.0, 1.0)).status, 0);
    const auto r = runProcess(program("hydrova_results") + " -f results.h5 --raster lake --cell 3", c.dir().path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const auto info = runProcess("gdalinfo lake_max_depth.tif", c.dir().path());
    ASSERT_EQ(info.status, 0) << info.err;
    for (const char* line : {"Size is 34, 17", "Origin = (500000.000000000000000,5400050.000000000000000)",
                             "Pixel Size = (3.000000000000000,-3.000000000000000)", "ETRS89 / UTM zone 32N",
                             "NoData Value=-9999"})
        EXPECT_TRUE(contains(info.out, line));
    ASSERT_EQ(runProcess("gdal_translate -q -of XYZ lake_max_depth.tif lake.xyz", c.dir().path()).status, 0);

    const std::string results = c.dir().file("results.h5");
    const auto xyz = readValues(results, "NodesAll/CoordDbl");
    const auto topology = readValues(results, "CellsAll/Topology");
    const auto flood = readValues(results, "RESULTS/CellsAll/FloodVar/0000000");
    const double minDepth = readValues(results, "Parameters/MinWaterDepth").at(0);
    // The stored maximum depth of the triangle holding (x, y) at least 1 mm inside it; NaN for none.
    const auto depthAt = [&](double x, double y) {
        for (std::size_t t = 0; t < flood.size() / 4; ++t) {
            int sides = 0;
            for (std::size_t k = 0; k < 3; ++k) {
                const auto p = 3 * static_cast<std::size_t>(topology[3 * t + k]);
                const auto q = 3 * static_cast<std::size_t>(topology[3 * t + (k + 1) % 3]);
                const double ex = xyz[q] - xyz[p], ey = xyz[q + 1] - xyz[p + 1];
                sides += (ex * (y - xyz[p + 1]) - ey * (x - xyz[p])) / std::hypot(ex, ey) > 1e-3;
            }
            if (sides == 3) return flood[4 * t + 1];
        }
        return std::nan("");
    };
    std::istringstream in(readFile(c.dir().file("lake.xyz")));
    int inside = 0, dry = 0, outside = 0;
    for (double x, y, v; in >> x >> y >> v;) {
        const double depth = x > 500100.0 ? 0.0 : depthAt(x, y);
        if (std::isnan(depth)) continue;  // on an edge: either neighbour
        ++(x > 500100.0 ? outside : depth > minDepth ? inside : dry);
        EXPECT_EQ(v, depth > minDepth ? static_cast<double>(static_cast<float>(depth)) : -9999.0) << x << " " << y;
    }
    EXPECT_GT(inside, 300);
    EXPECT_GT(dry, 80);
    EXPECT_EQ(outside, 17);
}
