// The XDMF description of a results file, read back with an XML parser: every data item points at a stored dataset
// of the stated extents, and evaluating the selections and functions reproduces the stored values.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "TinyResults.hpp"
#include "dataio/H5Reader.hpp"
#include "results/ResultsFile.hpp"
#include "results/XdmfExport.hpp"
#include "support/ScratchDir.hpp"
#include "support/Tolerance.hpp"

namespace {

using Columns = std::vector<std::vector<double>>;  // one vector of values per $i or per component

std::string attr(xmlNode* n, const char* name)
{
    xmlChar* v = xmlGetProp(n, reinterpret_cast<const xmlChar*>(name));
    const std::string s = v ? reinterpret_cast<char*>(v) : "";
    xmlFree(v);
    return s;
}

std::istringstream text(xmlNode* n)
{
    xmlChar* v = xmlNodeGetContent(n);
    std::istringstream s(reinterpret_cast<char*>(v));
    xmlFree(v);
    return s;
}

std::vector<xmlNode*> children(xmlNode* n, const std::string& name)
{
    std::vector<xmlNode*> out;
    for (xmlNode* c = n->children; c != nullptr; c = c->next)
        if (c->type == XML_ELEMENT_NODE && name == reinterpret_cast<const char*>(c->name)) out.push_back(c);
    return out;
}

/// Value at row i of the XDMF function texts this program writes: $k, numbers, + - * /, parentheses and a top-level
/// JOIN of components.
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
        if (s.compare(0, 5, "JOIN(") != 0) return {binary(0)};
        for (p = 5, v.push_back(binary(0)); next(',') == ',';) v.push_back(binary(0));
        EXPECT_EQ(next(')'), ')') << s;
        return v;
    }
    double binary(int level)  // level 0: + and -, level 1: * and /
    {
        double v = level ? factor() : binary(1);
        for (char c = next(); std::string(level ? "*/" : "+-").find(c) != std::string::npos && c; c = next()) {
            ++p;
            const double w = level ? factor() : binary(1);
            v = c == '+' ? v + w : c == '-' ? v - w : c == '*' ? v * w : v / w;
        }
        return v;
    }
    double factor()
    {
        if (next('-') == '-') return -factor();
        if (next('(') == '(') {
            const double v = binary(0);
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
    resultstest::Content c;
    c.outputs = {"water_depth", "water_surface", "bottom_elevation", "flow_velocity", "spec_discharge", "delta_z"};
    c.records = {resultstest::record(0), resultstest::record(10), resultstest::record(20), resultstest::record(30)};
    const std::string h5 = dir.file("run.h5");
    resultstest::write(h5, c);
    // A restarted run marked the last record invalid: it is no time step.
    std::unique_ptr<api::IH5Writer>(dataio::Factory::createH5Writer(h5, "rw"))
        ->attachAttributeDouble(dataio::ResultReader::getOutputPath("CellsAll/HydState", 3), "t", -1.0);

    EXPECT_EQ(results::writeXdmf(results::ResultsFile(h5), dir.file("run.xdmf")), 6);
    XdmfReader reader{dir.path(), "run.h5"};
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
    resultstest::Content c;
    c.modelText = R"({"SETUP":{"DOMAIN":{"LAMINA_2D":{"HYDRAULICS":{"FLOOD":{}},"MORPHOLOGY":{}}}}})";
    c.outputs = {"water_surface", "bottom_elevation", "delta_z", "water_depth"};
    // Elevations stored relative to RefBottomEl = 100: the lowest stored bed is 0.
    c.refValue = 100.0;
    for (int k = 0; k < 3; ++k) {
        auto r = resultstest::record(10.0 * k);
        r.bottom = {{0.0 + 0.1 * k}, {0.0}, {0.5}, {0.5 - 0.2 * k}};
        c.records.push_back(r);
    }
    c.flood = {{4, 1, 2, 3}, {5, 1, 2, 3}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    const std::string h5 = dir.file("morph.h5");
    resultstest::write(h5, c);

    const results::ResultsFile file(h5);
    EXPECT_EQ(file.elevationOffset(), 100.0);
    results::writeXdmf(file, dir.file("morph.xdmf"));
    XdmfReader reader{dir.path(), "morph.h5"};
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
    resultstest::write(dir.file("absolute.h5"), c);
    EXPECT_EQ(results::ResultsFile(dir.file("absolute.h5")).elevationOffset(), 0.0);
}

}  // namespace
