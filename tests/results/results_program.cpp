// hydrova_results as a whole: listing, pictures checked by their pixels, hydrograph CSV, and the refusals of bad
// input with a message and status 1.
#include <cairo.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>

#include "TinyResults.hpp"
#include "common/TerraException.hpp"
#include "dataio/Factory.hpp"
#include "results/Picture.hpp"
#include "results/ResultsFile.hpp"
#include "results/ResultsRun.hpp"
#include "support/FatalOutput.hpp"
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

/// Centroids of the four test cells.
const double CX[] = {2.0 / 3, 1.0 / 3, 5.0 / 3, 4.0 / 3};
const double CY[] = {1.0 / 3, 2.0 / 3, 1.0 / 3, 2.0 / 3};

/// RGB (0..255) of a picture at map point (x, y) shifted by dx pixels; a failure unless the file is a PNG.
std::array<int, 3> colourAt(const results::PictureFile& picture, double x, double y, int dx = 0)
{
    cairo_surface_t* surface = cairo_image_surface_create_from_png(picture.file.c_str());
    std::uint32_t px = 0;
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        const auto p = picture.frame.pixel(x, y);
        const int stride = cairo_image_surface_get_stride(surface);
        px = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface) +
                                                    static_cast<int>(p[1]) * stride)[static_cast<int>(p[0]) + dx];
    } else {
        ADD_FAILURE() << picture.file << " is not a PNG";
    }
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

TEST(ResultsProgram, PicturesColourWetCellsByValueAndLeaveDryCellsBlank)
{
    testsupport::ScratchDir dir("results-picture");
    resultstest::Content c;
    c.modelText = R"({"SETUP":{"DOMAIN":{"LAMINA_2D":{"HYDRAULICS":{"FLOOD":{}}}}}})";
    c.outputs = {"water_depth", "flow_velocity", "bottom_elevation"};
    c.records = {resultstest::record(0), resultstest::record(10)};
    c.records[1].hydState[1][0] = 2.0;  // cell 1 twice as deep as cell 0
    // Tracked flood maxima (arrival time, depth, velocity, discharge) per cell; cells 2 and 3 never wet.
    c.flood = {{4, 1, 2, 3}, {8, 2, 2, 3}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    resultstest::write(dir.file("pic.h5"), c);
    {
        std::unique_ptr<api::IH5Writer> w(dataio::Factory::createH5Writer(dir.file("pic.h5"), "rw"));
        w->writeStringVec("Gauges/Names", 1, {"g"});
        w->writeDoubleVecVec("Gauges/Points", {{CX[2], CY[2]}});
    }
    const results::ResultsFile file(dir.file("pic.h5"));
    using results::ColourMap;
    const double speed = std::hypot(0.5, 0.2);
    const struct {
        std::string output;
        std::vector<double> times;  // none: the last one
        int component;
        std::string png;  // empty: not checked
        double vMin, vMax;
        ColourMap map;
        std::vector<double> cells;  // scale positions; NAN: blank (white)
    } cases[] = {
        {"water_depth", {}, -1, "pic_water_depth_t10.png", 1.0, 2.0, ColourMap::Blues, {0.0, 1.0, NAN, NAN}},
        // Both wet cells |(0.5, -0.2)|: the range is widened about the one value.
        {"flow_velocity",
         {0.0},
         -1,
         "pic_flow_velocity_t0.png",
         speed - 0.5,
         speed + 0.5,
         ColourMap::Viridis,
         {0.5, 0.5, NAN, NAN}},
        // The bed is drawn everywhere, dry or wet.
        {"bottom_elevation", {10.0}, -1, "", 0.0, 0.5, ColourMap::Terrain, {0.0, 0.0, 1.0, 1.0}},
        // Tracked maxima hold for the whole run: one picture, by their own names or as flood_tracking[k].
        {"flood_max_depth", {0.0, 10.0}, -1, "pic_flood_max_depth.png", 1.0, 2.0, ColourMap::Blues, {0.0, 1.0, NAN}},
        {"flood_arrival_time", {}, -1, "pic_flood_arrival_time.png", 4.0, 8.0, ColourMap::Blues, {}},
        {"flood_tracking", {}, 0, "", 4.0, 8.0, ColourMap::Blues, {}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.output);
        const auto pictures = results::writePictures(file, k.output, k.times, k.component, dir.file("pic"));
        ASSERT_EQ(pictures.size(), 1u);
        if (!k.png.empty()) EXPECT_EQ(pictures[0].file, dir.file(k.png));
        EXPECT_NEAR(pictures[0].frame.vMin, k.vMin, 1e-9);
        EXPECT_NEAR(pictures[0].frame.vMax, k.vMax, 1e-9);
        expectCells(pictures[0], k.map, k.cells);
    }
    // A chosen range (through the program's "--range MIN MAX") colours by it; a gauge on request is a white point
    // ringed in red over the dry cell 2, which would be white alone.
    results::RunOptions chosen;
    chosen.fixedRange = chosen.drawGauges = true;
    chosen.rangeMin = 0.0;
    chosen.rangeMax = 4.0;
    const auto ranged = results::writePictures(file, "water_depth", {}, -1, dir.file("ranged"), chosen);
    ASSERT_EQ(ranged.size(), 1u);
    EXPECT_EQ(std::make_pair(ranged[0].frame.vMin, ranged[0].frame.vMax), std::make_pair(0.0, 4.0));
    expectCells(ranged[0], ColourMap::Blues, {0.25, 0.5, NAN});
    const auto ring = colourAt(ranged[0], CX[2], CY[2], 4);
    EXPECT_TRUE(ring[0] > 150 && ring[1] < 100) << "no red ring around the gauge";
    // Scale bars: the largest 1, 2 or 5 x 10^k within a quarter of the width.
    const double bars[][2] = {{100, 20}, {2, 0.5}, {5488, 1000}, {7.9, 1}, {40000, 10000}, {0.37, 0.05}};
    for (const auto& b : bars) EXPECT_DOUBLE_EQ(results::scaleBarLength(b[0]), b[1]) << b[0];

    // The same through the program, with the time in the file name.
    const auto run = runResults("-f " + dir.file("pic.h5") + " -p water_depth -t 0 -t 10 --range 0 4 -G");
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* png : {"pic_water_depth_t0.png", "pic_water_depth_t10.png"}) colourAt({dir.file(png), {}}, 0, 0);
    EXPECT_THAT(readFile(dir.file("pic.xdmf")), HasSubstr("<Xdmf Version=\"2.0\">"));
}

TEST(ResultsProgram, InfoArchiveAndHydrographsThatSumThePiecesOfEachString)
{
    testsupport::ScratchDir dir("results-hydrograph");
    resultstest::Content c;
    c.modelText = R"({"SETUP":{"DOMAIN":{"LAMINA_2D":{"GEOMETRY":{"STRINGDEF":[{"name":"in, flow"},{"name":"outflow"}]},
                     "HYDRAULICS":{"BOUNDARY":[]}}}}})";
    c.outputs = {"water_depth", "ns_hyd_discharge"};
    // "outflow" was longer than one piece: its two pieces add up.
    c.stringNames = {"in, flow", "outflow", "outflow"};
    for (const double t : {0.0, 10.0, 20.0}) {
        c.records.push_back(resultstest::record(t));
        auto& s = c.records.back().stateVar = std::vector<std::vector<double>>(3, std::vector<double>(10, 7.0));
        s[0][1] = 2.0 + t;
        s[1][1] = 1.0;
        s[2][1] = 0.5 * t;
    }
    resultstest::write(dir.file("ns.h5"), c);
    // --info and --archive write nothing else.
    const auto info = runResults("-f " + dir.file("ns.h5") + " --info");
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_THAT(info.out, HasSubstr(" -> mesh: 6 nodes, 4 cells, 3 node-string pieces"));
    EXPECT_THAT(info.out, HasSubstr(" ->   water_depth\n ->   ns_hyd_discharge\n"));
    EXPECT_THAT(info.out, HasSubstr(" -> stored times: 3\n ->   t[s]: 0 (record 0)\n ->   t[s]: 10 (record 1)\n"
                                    " ->   t[s]: 20 (record 2)\n"));
    ASSERT_EQ(runResults("-f " + dir.file("ns.h5") + " -a " + dir.file("setup.json")).status, 0);
    EXPECT_EQ(readFile(dir.file("setup.json")), c.modelText);
    EXPECT_TRUE(readFile(dir.file("ns.xdmf")).empty());

    const auto run = runResults("-f " + dir.file("ns.h5") + " -g");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(dir.file("ns_discharge.csv")), "time_s,\"in, flow\",outflow\n0,2,1\n10,12,6\n20,22,11\n");
    colourAt({dir.file("ns_discharge.png"), {}}, 0, 0);
    // Node-string outputs stay out of the cell XDMF.
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
    // Typed time and the stored time it names (none: refused).
    const std::pair<double, double> cases[] = {
        {1.0005, 1.0005},     {1.0005000004, 1.0005}, {1.0004999996, 1.0005}, {1.001, 1.001}, {0.9999996, 1.0},
        {22.45, 22.45000033}, {22.4504, 22.45000033}, {30.0004, 30.0004},     {30.0001, NAN}, {2.0, NAN}};
    for (const auto& [typed, stored] : cases) {
        double named = NAN;
        const double t = typed;
        const std::string err = testsupport::fatalStderr([&] {
            named = file.findTime(t).time;
            throw TerraException();  // a found time ends as a refusal does
        });
        EXPECT_TRUE(std::isnan(stored) ? std::isnan(named) : named == stored) << typed << " named " << named;
        EXPECT_EQ(err.find(" is not stored in <") != std::string::npos, std::isnan(stored)) << typed << err;
    }
}

TEST(ResultsProgram, BadInputIsRefusedWithAMessageAndStatusOne)
{
    testsupport::ScratchDir dir("results-bad");
    resultstest::Content c;
    c.records = {resultstest::record(0), resultstest::record(10)};
    resultstest::write(dir.file("good.h5"), c);
    c.records.clear();
    resultstest::write(dir.file("empty.h5"), c);
    c.records = {resultstest::record(-1.0)};
    resultstest::write(dir.file("invalid.h5"), c);
    std::unique_ptr<api::IH5Writer>(dataio::Factory::createH5Writer(dir.file("other.h5")))->writeIntScalar("x", 42);
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
        EXPECT_TRUE(r.status == 1 && r.err.find(k.message) != std::string::npos) << k.args << ": " << r.err;
    }
}

}  // namespace
