// hydrova_results as a whole: listing, pictures checked by their pixels, hydrograph CSV, and the refusals of bad
// input with a message and status 1.
#include <cairo.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TinyResults.hpp"
#include "dataio/Factory.hpp"
#include "results/Picture.hpp"
#include "results/ResultsFile.hpp"
#include "results/ResultsRun.hpp"
#include "support/Process.hpp"
#include "support/ScratchDir.hpp"

using ::testing::HasSubstr;

namespace {

testsupport::ProcessResult runResults(const std::string& args)
{
    return testsupport::runProcess(testsupport::program("hydrova_results") + " " + args);
}

std::string readFile(const std::string& name)
{
    std::ifstream in(name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

/// Whether a PNG file can be read.
bool pngOk(const std::string& file)
{
    cairo_surface_t* surface = cairo_image_surface_create_from_png(file.c_str());
    const bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

/// Centroids of the four test cells.
const double CX[] = {2.0 / 3, 1.0 / 3, 5.0 / 3, 4.0 / 3};
const double CY[] = {1.0 / 3, 2.0 / 3, 1.0 / 3, 2.0 / 3};

/// RGB (0..255) of a picture at map point (x, y) shifted by dx pixels.
std::array<int, 3> colourAt(const results::PictureFile& picture, double x, double y, int dx = 0)
{
    cairo_surface_t* surface = cairo_image_surface_create_from_png(picture.file.c_str());
    EXPECT_EQ(cairo_surface_status(surface), CAIRO_STATUS_SUCCESS) << picture.file;
    const auto p = picture.frame.pixel(x, y);
    const auto* row = cairo_image_surface_get_data(surface) + static_cast<int>(p[1]) * cairo_image_surface_get_stride(surface);
    const std::uint32_t px = reinterpret_cast<const std::uint32_t*>(row)[static_cast<int>(p[0]) + dx];
    cairo_surface_destroy(surface);
    return {static_cast<int>((px >> 16) & 0xff), static_cast<int>((px >> 8) & 0xff), static_cast<int>(px & 0xff)};
}

/// The colours of the cells in a picture: scale positions of `map` (0..1), or NAN for blank (white).
void expectCells(const results::PictureFile& picture, results::ColourMap map, const std::vector<double>& positions)
{
    for (std::size_t cell = 0; cell < positions.size(); ++cell) {
        const auto c = results::colourAt(map, std::isnan(positions[cell]) ? 0.0 : positions[cell]);
        const auto actual = colourAt(picture, CX[cell], CY[cell]);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(actual[k], std::isnan(positions[cell]) ? 255 : static_cast<int>(c[k] * 255 + 0.5), 2)
                << picture.file << " cell " << cell << " channel " << k;
    }
}

TEST(ResultsProgram, InfoListsOutputsTimesAndMesh)
{
    testsupport::ScratchDir dir("results-program");
    resultstest::Content c;
    c.outputs = {"water_depth", "flow_velocity"};
    c.records = {resultstest::record(0), resultstest::record(10), resultstest::record(20)};
    resultstest::write(dir.file("r.h5"), c);
    const auto r = runResults("-f " + dir.file("r.h5") + " --info");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr(" -> mesh: 6 nodes, 4 cells, 0 node-string pieces"));
    EXPECT_THAT(r.out, HasSubstr(" ->   water_depth\n ->   flow_velocity\n"));
    EXPECT_THAT(r.out, HasSubstr(" -> stored times: 3\n ->   t[s]: 0 (record 0)\n ->   t[s]: 10 (record 1)\n"
                                 " ->   t[s]: 20 (record 2)\n"));
    // --info writes nothing.
    EXPECT_TRUE(readFile(dir.file("r.xdmf")).empty());

    // --archive restores the set-up command text the run was made with, and does nothing else.
    const auto a = runResults("-f " + dir.file("r.h5") + " -a " + dir.file("setup.json"));
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(readFile(dir.file("setup.json")), c.modelText);
    EXPECT_TRUE(readFile(dir.file("r.xdmf")).empty());
}

TEST(ResultsProgram, PicturesColourWetCellsByValueAndLeaveDryCellsBlank)
{
    testsupport::ScratchDir dir("results-picture");
    resultstest::Content c;
    c.outputs = {"water_depth", "flow_velocity", "bottom_elevation"};
    c.records = {resultstest::record(0), resultstest::record(10)};
    c.records[1].hydState[1][0] = 2.0;  // cell 1 twice as deep as cell 0
    resultstest::write(dir.file("pic.h5"), c);
    using results::ColourMap;
    {
        const results::ResultsFile file(dir.file("pic.h5"));
        // Default time: the last one.
        const auto depth = results::writePictures(file, "water_depth", {}, -1, dir.file("pic"));
        ASSERT_EQ(depth.size(), 1u);
        EXPECT_EQ(depth[0].file, dir.file("pic_water_depth_t10.png"));
        EXPECT_EQ(std::make_pair(depth[0].frame.vMin, depth[0].frame.vMax), std::make_pair(1.0, 2.0));
        expectCells(depth[0], ColourMap::Blues, {0.0, 1.0, NAN, NAN});
        // Velocity magnitude at t = 0: both wet cells |(0.5, -0.2)|, dry cells blank.
        const auto speed = results::writePictures(file, "flow_velocity", {0.0}, -1, dir.file("pic"));
        EXPECT_NEAR(speed.at(0).frame.vMin + 0.5, std::hypot(0.5, 0.2), 1e-9);
        expectCells(speed[0], ColourMap::Viridis, {0.5, 0.5, NAN, NAN});
        // The bed is drawn everywhere, dry or wet: the higher right square at the top of the scale.
        expectCells(results::writePictures(file, "bottom_elevation", {10.0}, -1, dir.file("pic")).at(0),
                    ColourMap::Terrain, {0.0, 0.0, 1.0, 1.0});
    }
    // A chosen range (through the program's "--range MIN MAX") colours by it; a gauge on request is a white point
    // ringed in red over the dry cell 2, which would be white alone.
    std::filesystem::copy_file(dir.file("pic.h5"), dir.file("ranged.h5"));
    {
        std::unique_ptr<api::IH5Writer> w(dataio::Factory::createH5Writer(dir.file("ranged.h5"), "rw"));
        w->writeStringVec("Gauges/Names", 1, {"g"});
        w->writeDoubleVecVec("Gauges/Points", {{CX[2], CY[2]}});
    }
    results::RunOptions chosen;
    chosen.fixedRange = chosen.drawGauges = true;
    chosen.rangeMin = 0.0;
    chosen.rangeMax = 4.0;
    const auto ranged = results::writePictures(results::ResultsFile(dir.file("ranged.h5")), "water_depth", {}, -1,
                                               dir.file("ranged"), chosen);
    ASSERT_EQ(ranged.size(), 1u);
    EXPECT_EQ(std::make_pair(ranged[0].frame.vMin, ranged[0].frame.vMax), std::make_pair(0.0, 4.0));
    expectCells(ranged[0], ColourMap::Blues, {0.25, 0.5, NAN});
    const auto ring = colourAt(ranged[0], CX[2], CY[2], 4);
    EXPECT_TRUE(ring[0] > 150 && ring[1] < 100) << "no red ring around the gauge";
    // Scale bars: the largest 1, 2 or 5 x 10^k within a quarter of the width.
    const double bars[][2] = {{100, 20}, {2, 0.5}, {5488, 1000}, {7.9, 1}, {40000, 10000}, {0.37, 0.05}};
    for (const auto& b : bars) EXPECT_DOUBLE_EQ(results::scaleBarLength(b[0]), b[1]) << b[0];

    // The same through the program, with the time in the file name.
    const auto run = runResults("-f " + dir.file("ranged.h5") + " -p water_depth -t 0 -t 10 --range 0 4 -G");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(pngOk(dir.file("ranged_water_depth_t0.png")) && pngOk(dir.file("ranged_water_depth_t10.png")));
    EXPECT_THAT(readFile(dir.file("ranged.xdmf")), HasSubstr("<Xdmf Version=\"2.0\">"));
}

TEST(ResultsProgram, FloodVariablesAreDrawnByTheirOwnNamesOnceForTheRun)
{
    testsupport::ScratchDir dir("results-flood");
    resultstest::Content c;
    c.modelText = R"({"SETUP":{"DOMAIN":{"LAMINA_2D":{"HYDRAULICS":{"FLOOD":{}}}}}})";
    c.records = {resultstest::record(0), resultstest::record(10)};
    // Arrival time, maximum depth, velocity, discharge per cell; cells 2 and 3 never wet.
    c.flood = {{4, 1, 2, 3}, {8, 2, 2, 3}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    resultstest::write(dir.file("fl.h5"), c);
    const results::ResultsFile file(dir.file("fl.h5"));

    const auto depth = results::writePictures(file, "flood_max_depth", {0.0, 10.0}, -1, dir.file("fl"));
    ASSERT_EQ(depth.size(), 1u) << "tracked maxima hold for the whole run: one picture";
    EXPECT_EQ(depth[0].file, dir.file("fl_flood_max_depth.png"));
    EXPECT_EQ(std::make_pair(depth[0].frame.vMin, depth[0].frame.vMax), std::make_pair(1.0, 2.0));
    expectCells(depth[0], results::ColourMap::Blues, {0.0, 1.0, NAN});
    // The arrival time is component 0, the same as flood_tracking[0].
    const auto arrival = results::writePictures(file, "flood_arrival_time", {}, -1, dir.file("fl"));
    const auto byIndex = results::writePictures(file, "flood_tracking", {}, 0, dir.file("fl"));
    EXPECT_EQ(arrival.at(0).file, dir.file("fl_flood_arrival_time.png"));
    EXPECT_EQ(std::make_pair(arrival[0].frame.vMin, arrival[0].frame.vMax), std::make_pair(4.0, 8.0));
    EXPECT_EQ(byIndex.at(0).frame.vMax, arrival[0].frame.vMax);
}

TEST(ResultsProgram, HydrographsSumThePiecesOfEachString)
{
    testsupport::ScratchDir dir("results-hydrograph");
    resultstest::Content c;
    c.modelText = R"({"SETUP":{"DOMAIN":{"LAMINA_2D":{"GEOMETRY":{"STRINGDEF":[{"name":"in, flow"},{"name":"outflow"}]},
                     "HYDRAULICS":{"BOUNDARY":[]}}}}})";
    c.outputs = {"water_depth", "ns_hyd_discharge"};
    // "outflow" was longer than one piece: its two pieces add up.
    c.stringNames = {"in, flow", "outflow", "outflow"};
    for (int k = 0; k < 3; ++k) {
        auto r = resultstest::record(10.0 * k);
        const double t = 10.0 * k;
        r.stateVar = std::vector<std::vector<double>>(3, std::vector<double>(10, 7.0));
        r.stateVar[0][1] = 2.0 + t;
        r.stateVar[1][1] = 1.0;
        r.stateVar[2][1] = 0.5 * t;
        c.records.push_back(r);
    }
    resultstest::write(dir.file("ns.h5"), c);
    const auto run = runResults("-f " + dir.file("ns.h5") + " -g");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(dir.file("ns_discharge.csv")), "time_s,\"in, flow\",outflow\n0,2,1\n10,12,6\n20,22,11\n");
    EXPECT_TRUE(pngOk(dir.file("ns_discharge.png")));
    // Without morphology there is no sediment hydrograph; node-string outputs stay out of the cell XDMF.
    EXPECT_TRUE(readFile(dir.file("ns_sediment_discharge.csv")).empty());
    const std::string xdmf = readFile(dir.file("ns.xdmf"));
    EXPECT_THAT(xdmf, HasSubstr("Name=\"water_depth\""));
    EXPECT_THAT(xdmf, ::testing::Not(HasSubstr("ns_hyd_discharge")));
}

TEST(ResultsProgram, ATimeNamesTheStoredTimeWithinAMicrosecondOrTheOneThatAloneRoundsToIt)
{
    testsupport::ScratchDir dir("results-times");
    resultstest::Content c;
    for (const double t : {1.0, 1.0005, 1.001, 22.45000033, 30.0, 30.0004}) c.records.push_back(resultstest::record(t));
    resultstest::write(dir.file("times.h5"), c);
    const results::ResultsFile file(dir.file("times.h5"));
    // Typed time and the stored time it names (negative: refused).
    const std::vector<std::pair<double, double>> cases = {
        {1.0005, 1.0005},     {1.0005000004, 1.0005}, {1.0004999996, 1.0005}, {1.001, 1.001}, {0.9999996, 1.0},
        {22.45, 22.45000033}, {22.4504, 22.45000033}, {30.0004, 30.0004},     {30.0001, -1},  {2.0, -1}};
    for (const auto& [typed, found] : cases) {
        if (found < 0)
            EXPECT_ANY_THROW(file.findTime(typed)) << typed;
        else
            EXPECT_EQ(file.findTime(typed).time, found) << typed;
    }
}

TEST(ResultsProgram, BadInputIsRefusedWithAMessageAndStatusOne)
{
    testsupport::ScratchDir dir("results-bad");
    resultstest::Content c;
    c.records = {resultstest::record(0), resultstest::record(10)};
    resultstest::write(dir.file("good.h5"), c);
    c.writeRecords = false;
    resultstest::write(dir.file("empty.h5"), c);
    c.writeRecords = true;
    c.records = {resultstest::record(-1.0)};
    resultstest::write(dir.file("invalid.h5"), c);
    {
        std::unique_ptr<api::IH5Writer> w(dataio::Factory::createH5Writer(dir.file("other.h5")));
        w->writeIntScalar("answer", 42);
    }
    dir.write("text.h5", "not HDF5\n");

    const struct {
        std::string args;
        std::string message;
    } cases[] = {
        {"-f " + dir.file("missing.h5"), "results file <" + dir.file("missing.h5") + "> not found"},
        {"-f " + dir.file("text.h5"), "is not an HDF5 file, hence not a results file"},
        {"-f " + dir.file("other.h5"), "is not a results file"},
        {"-f " + dir.file("empty.h5"), "holds no output records"},
        {"-f " + dir.file("invalid.h5"), "holds no valid output record"},
        {"-f " + dir.file("good.h5") + " -p friction_chezy", "output <friction_chezy> cannot be computed"},
        {"-f " + dir.file("good.h5") + " -p water_depth -t 5", "time 5 s is not stored"},
        {"-f " + dir.file("good.h5") + " -p water_depth -c 1", "output <water_depth> has 1 component(s)"},
        {"-f " + dir.file("good.h5") + " -g", "holds no node strings"},
    };
    for (const auto& k : cases) {
        const auto r = runResults(k.args);
        EXPECT_EQ(r.status, 1) << k.args;
        EXPECT_THAT(r.err, HasSubstr(k.message)) << k.args;
    }
}

}  // namespace
