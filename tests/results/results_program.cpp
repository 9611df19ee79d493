// hydrova_results as a whole: listing, pictures checked by their pixels, hydrograph CSV, and the refusals of bad
// input with a message and status 1.
#include <cairo.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

/// RGB of one pixel of a PNG, 0..255.
struct Png {
    explicit Png(const std::string& file) : surface(cairo_image_surface_create_from_png(file.c_str())) {}
    ~Png() { cairo_surface_destroy(surface); }
    Png(const Png&) = delete;
    Png& operator=(const Png&) = delete;
    bool ok() const { return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }
    std::array<int, 3> at(double x, double y) const
    {
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const auto* px =
            reinterpret_cast<const std::uint32_t*>(data + static_cast<int>(y) * stride) + static_cast<int>(x);
        return {static_cast<int>((*px >> 16) & 0xff), static_cast<int>((*px >> 8) & 0xff),
                static_cast<int>(*px & 0xff)};
    }
    cairo_surface_t* surface;
};

std::array<int, 3> expected(results::ColourMap map, double s)
{
    const auto c = results::colourAt(map, s);
    return {static_cast<int>(c[0] * 255 + 0.5), static_cast<int>(c[1] * 255 + 0.5), static_cast<int>(c[2] * 255 + 0.5)};
}

void expectColour(const std::array<int, 3>& actual, const std::array<int, 3>& wanted)
{
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(actual[k], wanted[k], 2) << "channel " << k;
}

const std::array<int, 3> WHITE = {255, 255, 255};

/// Centroids of the four test cells.
const double CX[] = {2.0 / 3, 1.0 / 3, 5.0 / 3, 4.0 / 3};
const double CY[] = {1.0 / 3, 2.0 / 3, 1.0 / 3, 2.0 / 3};

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
    auto r0 = resultstest::record(0);
    auto r1 = resultstest::record(10);
    r1.hydState[1][0] = 2.0;  // cell 1 twice as deep as cell 0
    c.records = {r0, r1};
    resultstest::write(dir.file("pic.h5"), c);
    const results::ResultsFile file(dir.file("pic.h5"));

    // Default time: the last one.
    const auto depth = results::writePictures(file, "water_depth", {}, -1, dir.file("pic"));
    ASSERT_EQ(depth.size(), 1u);
    EXPECT_EQ(depth[0].file, dir.file("pic_water_depth_t10.png"));
    EXPECT_EQ(depth[0].frame.vMin, 1.0);
    EXPECT_EQ(depth[0].frame.vMax, 2.0);
    {
        Png png(depth[0].file);
        ASSERT_TRUE(png.ok());
        const auto& f = depth[0].frame;
        auto at = [&](int cell) {
            const auto p = f.pixel(CX[cell], CY[cell]);
            return png.at(p[0], p[1]);
        };
        expectColour(at(0), expected(results::ColourMap::Blues, 0.0));
        expectColour(at(1), expected(results::ColourMap::Blues, 1.0));
        expectColour(at(2), WHITE);
        expectColour(at(3), WHITE);
    }

    // Velocity magnitude at t = 0: both wet cells |(0.5, -0.2)|, dry cells blank.
    const auto speed = results::writePictures(file, "flow_velocity", {0.0}, -1, dir.file("pic"));
    ASSERT_EQ(speed.size(), 1u);
    EXPECT_NEAR(speed[0].frame.vMin + 0.5, std::hypot(0.5, 0.2), 1e-9);
    {
        Png png(speed[0].file);
        const auto p0 = speed[0].frame.pixel(CX[0], CY[0]);
        const auto p2 = speed[0].frame.pixel(CX[2], CY[2]);
        expectColour(png.at(p0[0], p0[1]), expected(results::ColourMap::Viridis, 0.5));
        expectColour(png.at(p2[0], p2[1]), WHITE);
    }

    // The bed is drawn everywhere, dry or wet: the higher right square at the top of the scale.
    const auto bed = results::writePictures(file, "bottom_elevation", {10.0}, -1, dir.file("pic"));
    {
        Png png(bed[0].file);
        const auto p2 = bed[0].frame.pixel(CX[2], CY[2]);
        const auto p0 = bed[0].frame.pixel(CX[0], CY[0]);
        expectColour(png.at(p2[0], p2[1]), expected(results::ColourMap::Terrain, 1.0));
        expectColour(png.at(p0[0], p0[1]), expected(results::ColourMap::Terrain, 0.0));
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
    chosen.fixedRange = true;
    chosen.rangeMin = 0.0;
    chosen.rangeMax = 4.0;
    chosen.drawGauges = true;
    const auto ranged = results::writePictures(results::ResultsFile(dir.file("ranged.h5")), "water_depth", {}, -1,
                                               dir.file("ranged"), chosen);
    ASSERT_EQ(ranged.size(), 1u);
    EXPECT_EQ(ranged[0].frame.vMin, 0.0);
    EXPECT_EQ(ranged[0].frame.vMax, 4.0);
    {
        Png png(ranged[0].file);
        const auto& f = ranged[0].frame;
        const auto p0 = f.pixel(CX[0], CY[0]), p1 = f.pixel(CX[1], CY[1]), p2 = f.pixel(CX[2], CY[2]);
        expectColour(png.at(p0[0], p0[1]), expected(results::ColourMap::Blues, 0.25));
        expectColour(png.at(p1[0], p1[1]), expected(results::ColourMap::Blues, 0.5));
        expectColour(png.at(p2[0], p2[1]), WHITE);
        const auto ring = png.at(p2[0] + 4, p2[1]);
        EXPECT_GT(ring[0], 150);
        EXPECT_LT(ring[1], 100);
    }
    // Scale bars: the largest 1, 2 or 5 x 10^k within a quarter of the width.
    const double bars[][2] = {{100, 20}, {2, 0.5}, {5488, 1000}, {7.9, 1}, {40000, 10000}, {0.37, 0.05}};
    for (const auto& b : bars) EXPECT_DOUBLE_EQ(results::scaleBarLength(b[0]), b[1]) << b[0];

    // The same through the program, with the time in the file name.
    const auto run = runResults("-f " + dir.file("ranged.h5") + " -p water_depth -t 0 -t 10 --range 0 4 -G");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Png(dir.file("ranged_water_depth_t0.png")).ok());
    EXPECT_TRUE(Png(dir.file("ranged_water_depth_t10.png")).ok());
    EXPECT_THAT(readFile(dir.file("ranged.xdmf")), HasSubstr("<Xdmf Version=\"2.0\">"));
}

TEST(ResultsProgram, FloodVariablesAreDrawnByTheirOwnNamesOnceForTheRun)
{
    testsupport::ScratchDir dir("results-flood");
    resultstest::Content c;
    c.modelText = R"({"SETUP":{"DOMAIN":{"LAMINA_2D":{"HYDRAULICS":{"FLOOD":{}}}}}})";
    c.outputs = {"water_depth"};
    c.records = {resultstest::record(0), resultstest::record(10)};
    // Arrival time, maximum depth, velocity, discharge per cell; cells 2 and 3 never wet.
    c.flood = {{4, 1, 2, 3}, {8, 2, 2, 3}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    resultstest::write(dir.file("fl.h5"), c);
    const results::ResultsFile file(dir.file("fl.h5"));

    const auto depth = results::writePictures(file, "flood_max_depth", {0.0, 10.0}, -1, dir.file("fl"));
    ASSERT_EQ(depth.size(), 1u) << "tracked maxima hold for the whole run: one picture";
    EXPECT_EQ(depth[0].file, dir.file("fl_flood_max_depth.png"));
    EXPECT_EQ(depth[0].frame.vMin, 1.0);
    EXPECT_EQ(depth[0].frame.vMax, 2.0);
    Png png(depth[0].file);
    ASSERT_TRUE(png.ok());
    auto at = [&](int cell) {
        const auto p = depth[0].frame.pixel(CX[cell], CY[cell]);
        return png.at(p[0], p[1]);
    };
    expectColour(at(0), expected(results::ColourMap::Blues, 0.0));
    expectColour(at(1), expected(results::ColourMap::Blues, 1.0));
    expectColour(at(2), WHITE);

    // The arrival time is component 0, the same as flood_tracking[0].
    const auto arrival = results::writePictures(file, "flood_arrival_time", {}, -1, dir.file("fl"));
    const auto byIndex = results::writePictures(file, "flood_tracking", {}, 0, dir.file("fl"));
    EXPECT_EQ(arrival[0].file, dir.file("fl_flood_arrival_time.png"));
    EXPECT_EQ(arrival[0].frame.vMin, 4.0);
    EXPECT_EQ(arrival[0].frame.vMax, 8.0);
    EXPECT_EQ(byIndex[0].frame.vMax, arrival[0].frame.vMax);
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
    EXPECT_TRUE(Png(dir.file("ns_discharge.png")).ok());
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
