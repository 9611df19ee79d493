// hydrova_results and its parts on small results files written through the data layer: the XDMF description read
// back with an XML parser (every data item points at a stored dataset of the stated extents, and evaluating the
// selections and functions reproduces the stored values), pictures checked by their pixels, hydrographs, listing,
// time selection, and the refusals of bad input with a message and status 1.
#include <cairo.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <sstream>

#include "common/TerraException.hpp"
#include "dataio/Archive.hpp"
#include "dataio/Factory.hpp"
#include "dataio/H5Reader.hpp"
#include "dataio/ResultReader.hpp"
#include "results/Picture.hpp"
#include "results/ResultsFile.hpp"
#include "results/ResultsRun.hpp"
#include "results/XdmfExport.hpp"
#include "support/FatalOutput.hpp"
#include "support/Process.hpp"
#include "support/ScratchDir.hpp"
#include "support/Text.hpp"
#include "support/Tolerance.hpp"

using ::testing::HasSubstr;
using testsupport::readFile;

namespace {

// The results files: four triangles on [0,2] x [0,1], the left square wet, the right one dry, in the layout the
// simulation writes.
struct Record {
    double t;
    std::vector<std::vector<double>> hydState;  ///< per cell (H, qx, qy)
    std::vector<std::vector<double>> bottom;    ///< per cell zb; empty: the bed is constant (not a record)
    std::vector<std::vector<double>> stateVar;  ///< per node-string piece, 10 values; empty: none
};

struct Content {
    std::string modelText = R"({"SETUP":{"DOMAIN":{"LAMINA_2D":{"HYDRAULICS":{}}}}})";
    std::vector<std::string> outputs = {"water_depth"};
    double refValue = 0.0;  ///< Parameters/RefBottomEl; 0: not written
    std::vector<std::string> stringNames;
    std::vector<Record> records;
    std::vector<std::vector<double>> flood;  ///< tracked flood maxima per cell (4 values), written once at record 0
};

/// State at time t: left square at H = 1 with qx = 0.5 + 0.1 t, qy = -0.2; right square dry (H = bed).
Record record(double t)
{
    return {t, {{1.0, 0.5 + 0.1 * t, -0.2}, {1.0, 0.5 + 0.1 * t, -0.2}, {0.5, 0, 0}, {0.5, 0, 0}}, {}, {}};
}

void writeResults(const std::string& file, const Content& c)
{
    std::unique_ptr<api::IH5Writer> w(dataio::Factory::createH5Writer(file));
    dataio::Archive::addModel(w.get(), c.modelText);
    std::string outputs;
    for (const auto& o : c.outputs) outputs += (outputs.empty() ? "\"" : ",\"") + o + "\"";
    dataio::Archive::addSimulation(
        w.get(), R"({"SIMULATION":{"OUTPUT":[)" + outputs + R"(],"TIME":{"end":20.0,"out":10.0,"start":0.0}}})");
    // Cells 0 and 1 form the left unit square, cells 2 and 3 the right one.
    w->writeIntScalar("NodesAll/set", 6);
    w->writeDoubleVecVec("NodesAll/Coordnts", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0.5}, {0, 1, 0}, {1, 1, 0}, {2, 1, 0.5}});
    w->writeIntScalar("CellsAll/set", 4);
    w->writeIntVecVec("CellsAll/Topology", {{0, 1, 4}, {0, 4, 3}, {1, 2, 5}, {1, 5, 4}});
    w->writeDoubleVecVec("CellsAll/BottomEl", {{0.0}, {0.0}, {0.5}, {0.5}});  // the set-up copy
    w->writeDoubleScalar("Parameters/MinWaterDepth", 0.001);
    if (c.refValue != 0.0) w->writeDoubleScalar("Parameters/RefBottomEl", c.refValue);
    if (!c.stringNames.empty()) {
        w->writeIntScalar("NodeStrg/set", static_cast<int>(c.stringNames.size()));
        w->writeStringVec("NodeStrg/StrNames", static_cast<int>(c.stringNames.size()), c.stringNames);
    }
    auto put = [&](const std::string& data, int index, double t, const std::vector<std::vector<double>>& table) {
        if (table.empty()) return;
        w->writeDoubleVecVec(dataio::ResultReader::getOutputPath(data, index), table);
        w->attachAttributeDouble(dataio::ResultReader::getOutputPath(data, index), "t", t);
    };
    put("CellsAll/FloodVar", 0, 0.0, c.flood);
    for (std::size_t i = 0; i < c.records.size(); ++i) {
        const Record& r = c.records[i];
        for (const auto& [data, table] : {std::pair{"CellsAll/HydState", &r.hydState},
                                          {"CellsAll/BottomEl", &r.bottom},
                                          {"NodeStrg/StateVar", &r.stateVar}})
            put(data, static_cast<int>(i), r.t, *table);
    }
}

using Columns = std::vector<std::vector<double>>;  // one vector of values per $i or per component

std::string owned(xmlChar* v)
{
    const std::string s = v ? reinterpret_cast<char*>(v) : "";
    xmlFree(v);
    return s;
}
std::string attr(xmlNode* n, const char* name) { return owned(xmlGetProp(n, BAD_CAST name)); }
std::istringstream text(xmlNode* n) { return std::istringstream(owned(xmlNodeGetContent(n))); }

std::vector<xmlNode*> children(xmlNode* n, const std::string& name)
{
    std::vector<xmlNode*> out;
    for (xmlNode* c = n->children; c != nullptr; c = c->next)
        if (c->type == XML_ELEMENT_NODE && name == reinterpret_cast<const char*>(c->name)) out.push_back(c);
    return out;
}

/// Value at row i of the XDMF function texts this program writes: $k, numbers, + - * / and parentheses, evaluated
/// left to right (the texts written need no precedence), and a top-level JOIN of components.
struct Expression {
    const std::string& s;
    const Columns& args;
    std::size_t i, p = 0;
    char next(char c = 0)  // the next character; skipped when it is c
    {
        while (p < s.size() && s[p] == ' ') ++p;
        const char n = p < s.size() ? s[p] : '\0';
        p += c != 0 && n == c;
        return n;
    }
    std::vector<double> components()
    {
        std::vector<double> v{};
        if (s.compare(0, 5, "JOIN(") != 0) return {value()};
        for (p = 5, v.push_back(value()); next(',') == ',';) v.push_back(value());
        EXPECT_EQ(next(')'), ')') << s;
        return v;
    }
    double value()
    {
        double v = operand();
        for (char c = next(); c != 0 && std::string("+-*/").find(c) != std::string::npos; c = next()) {
            ++p;
            const double w = operand();
            v = c == '+' ? v + w : c == '-' ? v - w : c == '*' ? v * w : v / w;
        }
        return v;
    }
    double operand()
    {
        if (next('(') == '(') {
            const double v = value();
            EXPECT_EQ(next(')'), ')') << s;
            return v;
        }
        const bool arg = next('$') == '$';
        std::size_t n = 0;
        const double v = std::stod(s.substr(p), &n);
        p += n;
        return arg ? args.at(static_cast<std::size_t>(v)).at(i) : v;
    }
};

/// Reads the data items of a parsed document against the HDF5 files beside it: the results file and, for values
/// computed by the exporter, its derived-values file.
struct XdmfReader {
    std::string folder, results;
    std::map<std::string, std::unique_ptr<dataio::H5Reader>> files;
    std::map<std::string, int> items;  // HDF items per file

    /// A Uniform HDF item "file:dataset" with the stated extents; returns the dataset's file and path.
    std::pair<dataio::H5Reader*, std::string> hdf(xmlNode* item)
    {
        EXPECT_EQ(attr(item, "Format"), "HDF");
        std::string ref;
        text(item) >> ref;
        const std::string file = ref.substr(0, ref.find(':')), dataset = ref.substr(ref.find(':') + 1);
        EXPECT_TRUE(file == results || file == results.substr(0, results.size() - 3) + "_derived.h5") << ref;
        auto& h5 = files[file];
        if (!h5) h5 = std::make_unique<dataio::H5Reader>(folder + "/" + file);
        int rows = 0, cols = 0;
        h5->readDataset(dataset, rows, cols);
        EXPECT_EQ(attr(item, "Dimensions"), std::to_string(rows) + " " + std::to_string(cols)) << ref;
        ++items[file];
        return {h5.get(), dataset};
    }

    /// Values of a HyperSlab (one whole column: start (0, c), stride (1, 1), count (rows, 1)) or Function item.
    Columns evaluate(xmlNode* item)
    {
        const auto inner = children(item, "DataItem");
        if (attr(item, "ItemType") == "HyperSlab") {
            long sel[6] = {};
            std::istringstream in = text(inner.at(0));
            for (long& x : sel) in >> x;
            EXPECT_EQ(std::vector<long>({sel[0], sel[2], sel[3], sel[5]}), std::vector<long>({0, 1, 1, 1}));
            const auto [h5, dataset] = hdf(inner.at(1));
            const std::vector<double> column = h5->readDoubleVecFrom2dDataset(dataset, static_cast<int>(sel[1]));
            EXPECT_EQ(attr(item, "Dimensions"), std::to_string(column.size()));
            EXPECT_EQ(static_cast<long>(column.size()), sel[4]);
            return {column};
        }
        EXPECT_EQ(attr(item, "ItemType"), "Function");
        Columns args, result;
        for (xmlNode* c : inner) args.push_back(evaluate(c).at(0));
        for (std::size_t i = 0; i < args.at(0).size(); ++i) {
            const auto v = Expression{attr(item, "Function"), args, i}.components();
            result.resize(v.size());
            for (std::size_t k = 0; k < v.size(); ++k) result[k].push_back(v[k]);
        }
        return result;
    }
};

using Step = std::map<std::string, Columns>;  // attribute name -> components -> values per cell

/// Parses the document, checks the mesh, and evaluates every attribute of every time step (by time).
std::map<double, Step> readBack(XdmfReader& reader, const std::string& xdmf)
{
    xmlDoc* doc = xmlReadFile(xdmf.c_str(), nullptr, XML_PARSE_NONET);
    EXPECT_NE(doc, nullptr) << "not well-formed: " << xdmf;
    if (doc == nullptr) return {};
    xmlNode* domain = children(xmlDocGetRootElement(doc), "Domain").at(0);
    xmlNode* topology = children(domain, "Topology").at(0);
    EXPECT_EQ(attr(topology, "TopologyType") + " " + attr(topology, "NumberOfElements"), "Triangle 4");
    reader.hdf(children(topology, "DataItem").at(0));
    xmlNode* geometry = children(children(domain, "Geometry").at(0), "DataItem").at(0);
    EXPECT_EQ(attr(geometry, "Precision"), "8") << "coordinates are doubles";
    reader.hdf(geometry);

    std::map<double, Step> steps;
    const auto collections = children(domain, "Grid");
    EXPECT_EQ(attr(collections.at(0), "CollectionType"), "Temporal");
    for (xmlNode* grid : children(collections.at(0), "Grid")) {
        Step& s = steps[std::stod(attr(children(grid, "Time").at(0), "Value"))];
        for (xmlNode* a : children(grid, "Attribute")) {
            s[attr(a, "Name")] = reader.evaluate(children(a, "DataItem").at(0));
            EXPECT_EQ(s[attr(a, "Name")].size(), attr(a, "AttributeType") == "Vector" ? 3u : 1u) << attr(a, "Name");
        }
    }
    xmlFreeDoc(doc);
    return steps;
}

TEST(XdmfExport, TimeStepsAndAttributesReproduceTheStoredState)
{
    testsupport::ScratchDir dir("results-xdmf");
    Content c;
    c.outputs = {"water_depth", "water_surface", "bottom_elevation", "flow_velocity", "spec_discharge", "delta_z"};
    c.records = {record(0), record(10), record(20), record(30)};
    const std::string h5 = dir.file("run.h5");
    writeResults(h5, c);
    // A restarted run marked the last record invalid: it is no time step.
    std::unique_ptr<api::IH5Writer>(dataio::Factory::createH5Writer(h5, "rw"))
        ->attachAttributeDouble(dataio::ResultReader::getOutputPath("CellsAll/HydState", 3), "t", -1.0);

    EXPECT_EQ(results::writeXdmf(results::ResultsFile(h5), dir.file("run.xdmf")), 6);
    XdmfReader reader{dir.path(), "run.h5", {}, {}};
    const auto steps = readBack(reader, dir.file("run.xdmf"));
    ASSERT_EQ(steps.size(), 3u);
    // The velocity's two components at each of the three steps come from the derived-values file.
    EXPECT_EQ(reader.items["run_derived.h5"], 3 * 2);
    for (const auto& [t, a] : steps) {
        SCOPED_TRACE("t = " + std::to_string(t));
        ASSERT_EQ(a.size(), 6u);
        EXPECT_EQ(a.at("water_depth")[0], (std::vector<double>{1, 1, 0, 0}));
        EXPECT_EQ(a.at("water_surface")[0], (std::vector<double>{1, 1, 0.5, 0.5}));
        EXPECT_EQ(a.at("bottom_elevation")[0], (std::vector<double>{0, 0, 0.5, 0.5}));
        EXPECT_EQ(a.at("delta_z")[0], (std::vector<double>{0, 0, 0, 0}));
        // Depth 1 m: the velocity equals the specific discharge. Dry cells show no velocity, not the NaN of 0/0.
        for (const char* name : {"spec_discharge", "flow_velocity"}) {
            const Columns& q = a.at(name);
            for (int cell = 0; cell < 4; ++cell) {
                EXPECT_CLOSE(q[0][cell], cell < 2 ? 0.5 + 0.1 * t : 0.0, 1e-12, 0);
                EXPECT_CLOSE(q[1][cell], cell < 2 ? -0.2 : 0.0, 1e-12, 0);
                EXPECT_EQ(q[2][cell], 0.0);
            }
        }
    }
}

TEST(XdmfExport, InitialBedTrackedFloodAndRelativeElevations)
{
    testsupport::ScratchDir dir("results-xdmf");
    Content c;
    c.modelText = R"({"SETUP":{"DOMAIN":{"LAMINA_2D":{"HYDRAULICS":{"FLOOD":{}},"MORPHOLOGY":{}}}}})";
    c.outputs = {"water_surface", "bottom_elevation", "delta_z", "water_depth"};
    // Elevations stored relative to RefBottomEl = 100: the lowest stored bed is 0.
    c.refValue = 100.0;
    for (int k = 0; k < 3; ++k) {
        auto r = record(10.0 * k);
        r.bottom = {{0.0 + 0.1 * k}, {0.0}, {0.5}, {0.5 - 0.2 * k}};
        c.records.push_back(r);
    }
    c.flood = {{4, 1, 2, 3}, {5, 1, 2, 3}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    const std::string h5 = dir.file("morph.h5");
    writeResults(h5, c);

    const results::ResultsFile file(h5);
    EXPECT_EQ(file.elevationOffset(), 100.0);
    results::writeXdmf(file, dir.file("morph.xdmf"));
    XdmfReader reader{dir.path(), "morph.h5", {}, {}};
    const auto steps = readBack(reader, dir.file("morph.xdmf"));
    ASSERT_EQ(steps.size(), 3u);
    for (const auto& [t, a] : steps) {
        const double k = t / 10.0;
        // The change of the bed is measured from the first record, not from the set-up copy.
        const std::vector<double> dz = a.at("delta_z")[0];
        EXPECT_CLOSE(dz[0], 0.1 * k, 1e-12, 0);
        EXPECT_CLOSE(dz[3], -0.2 * k, 1e-12, 0);
        EXPECT_EQ(dz[1], 0.0);
        EXPECT_CLOSE(a.at("bottom_elevation")[0][0], 100.0 + 0.1 * k, 1e-9, 0);
        EXPECT_CLOSE(a.at("water_surface")[0][0], 101.0, 1e-9, 0);
        // Depths are differences and need no offset.
        EXPECT_CLOSE(a.at("water_depth")[0][0], 1.0 - 0.1 * k, 1e-12, 0);
        // The tracked maxima are stored once and shown at every step.
        EXPECT_EQ(a.at("flood_arrival_time")[0], (std::vector<double>{4, 5, 0, 0}));
        EXPECT_EQ(a.at("flood_max_depth")[0], (std::vector<double>{1, 1, 0, 0}));
    }

    // RefBottomEl equal to the lowest stored bed: the elevations are absolute already.
    for (auto& r : c.records)
        for (auto& z : r.bottom) z[0] += 3.0;
    c.refValue = 3.0;
    writeResults(dir.file("absolute.h5"), c);
    EXPECT_EQ(results::ResultsFile(dir.file("absolute.h5")).elevationOffset(), 0.0);
}

testsupport::ProcessResult runResults(const std::string& args)
{
    return testsupport::runProcess(testsupport::program("hydrova_results") + " " + args);
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
    Content c;
    c.modelText = R"({"SETUP":{"DOMAIN":{"LAMINA_2D":{"HYDRAULICS":{"FLOOD":{}}}}}})";
    c.outputs = {"water_depth", "flow_velocity", "bottom_elevation"};
    c.records = {record(0), record(10)};
    c.records[1].hydState[1][0] = 2.0;  // cell 1 twice as deep as cell 0
    // Tracked flood maxima (arrival time, depth, velocity, discharge) per cell; cells 2 and 3 never wet.
    c.flood = {{4, 1, 2, 3}, {8, 2, 2, 3}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    writeResults(dir.file("pic.h5"), c);
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
        if (!k.png.empty()) {
            EXPECT_EQ(pictures[0].file, dir.file(k.png));
        }
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
    Content c;
    c.modelText = R"({"SETUP":{"DOMAIN":{"LAMINA_2D":{"GEOMETRY":{"STRINGDEF":[{"name":"in, flow"},{"name":"outflow"}]},
                     "HYDRAULICS":{"BOUNDARY":[]}}}}})";
    c.outputs = {"water_depth", "ns_hyd_discharge"};
    // "outflow" was longer than one piece: its two pieces add up.
    c.stringNames = {"in, flow", "outflow", "outflow"};
    for (const double t : {0.0, 10.0, 20.0}) {
        c.records.push_back(record(t));
        auto& s = c.records.back().stateVar = std::vector<std::vector<double>>(3, std::vector<double>(10, 7.0));
        s[0][1] = 2.0 + t;
        s[1][1] = 1.0;
        s[2][1] = 0.5 * t;
    }
    writeResults(dir.file("ns.h5"), c);
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
    Content c;
    for (const double t : {1.0, 1.0005, 1.001, 22.45000033, 30.0, 30.0004}) c.records.push_back(record(t));
    writeResults(dir.file("times.h5"), c);
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
    Content c;
    c.records = {record(0), record(10)};
    writeResults(dir.file("good.h5"), c);
    c.records.clear();
    writeResults(dir.file("empty.h5"), c);
    c.records = {record(-1.0)};
    writeResults(dir.file("invalid.h5"), c);
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
