// The XDMF description of a results file, read back with an XML parser: every data item points at a stored dataset
// of the stated extents, and evaluating the selections and functions reproduces the stored values.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cctype>
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

using Columns = std::vector<std::vector<double>>;  // one vector of values per $i

std::string attr(xmlNode* n, const char* name)
{
    xmlChar* v = xmlGetProp(n, reinterpret_cast<const xmlChar*>(name));
    if (v == nullptr) return "";
    std::string s(reinterpret_cast<char*>(v));
    xmlFree(v);
    return s;
}

std::string content(xmlNode* n)
{
    xmlChar* v = xmlNodeGetContent(n);
    std::string s(reinterpret_cast<char*>(v));
    xmlFree(v);
    const auto b = s.find_first_not_of(" \n\t"), e = s.find_last_not_of(" \n\t");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

std::vector<xmlNode*> children(xmlNode* n, const std::string& name)
{
    std::vector<xmlNode*> out;
    for (xmlNode* c = n->children; c != nullptr; c = c->next)
        if (c->type == XML_ELEMENT_NODE && name == reinterpret_cast<const char*>(c->name)) out.push_back(c);
    return out;
}

std::vector<long> integers(const std::string& text)
{
    std::istringstream in(text);
    std::vector<long> v;
    long x;
    while (in >> x) v.push_back(x);
    return v;
}

/// Elementwise evaluation of the XDMF function texts this program writes: $i, numbers, + - * /, parentheses,
/// sqrt and a top-level JOIN of components.
class Expression {
public:
    Expression(const std::string& text, const Columns& args, std::size_t i) : s_(text), args_(args), i_(i) {}
    std::vector<double> components()
    {
        skip();
        if (s_.compare(p_, 5, "JOIN(") == 0) {
            p_ += 5;
            std::vector<double> v{expr()};
            while (next() == ',') {
                ++p_;
                v.push_back(expr());
            }
            expect(')');
            return v;
        }
        return {expr()};
    }

private:
    char next()
    {
        skip();
        return p_ < s_.size() ? s_[p_] : '\0';
    }
    void skip()
    {
        while (p_ < s_.size() && s_[p_] == ' ') ++p_;
    }
    void expect(char c)
    {
        ASSERT_EQ(next(), c) << "in " << s_;
        ++p_;
    }
    double expr()
    {
        double v = term();
        for (char c = next(); c == '+' || c == '-'; c = next()) {
            ++p_;
            v = c == '+' ? v + term() : v - term();
        }
        return v;
    }
    double term()
    {
        double v = factor();
        for (char c = next(); c == '*' || c == '/'; c = next()) {
            ++p_;
            v = c == '*' ? v * factor() : v / factor();
        }
        return v;
    }
    double factor()
    {
        const char c = next();
        if (c == '-') {
            ++p_;
            return -factor();
        }
        if (c == '(') {
            ++p_;
            const double v = expr();
            expect(')');
            return v;
        }
        if (c == '$') {
            ++p_;
            std::size_t n = 0;
            const int k = std::stoi(s_.substr(p_), &n);
            p_ += n;
            return args_.at(static_cast<std::size_t>(k)).at(i_);
        }
        if (s_.compare(p_, 5, "sqrt(") == 0) {
            p_ += 4;
            return std::sqrt(factor());
        }
        std::size_t n = 0;
        const double v = std::stod(s_.substr(p_), &n);
        p_ += n;
        return v;
    }
    std::string s_;
    const Columns& args_;
    std::size_t i_;
    std::size_t p_ = 0;
};

/// Reads the data items of a parsed document against the HDF5 files beside it: the results file and, for values
/// computed by the exporter, its derived-values file.
class XdmfReader {
public:
    XdmfReader(const std::string& folder, const dataio::H5Reader& h5) : folder_(folder), h5_(h5) {}

    /// A Uniform HDF item: "file:dataset" must exist with the stated extents in one of the two files.
    void checkHdfItem(xmlNode* item)
    {
        ASSERT_EQ(attr(item, "Format"), "HDF");
        const std::string ref = content(item);
        const auto colon = ref.find(':');
        ASSERT_NE(colon, std::string::npos) << ref;
        const dataio::H5Reader& h5 = file(ref);
        const std::string dataset = ref.substr(colon + 1);
        ASSERT_TRUE(h5.existDataset(dataset)) << dataset;
        int rows = 0, cols = 0;
        h5.readDataset(dataset, rows, cols);
        EXPECT_EQ(attr(item, "Dimensions"), std::to_string(rows) + " " + std::to_string(cols)) << dataset;
        ++hdfItems;
        if (&h5 != &h5_) ++derivedItems;
    }

    /// The file of a "file:dataset" reference; anything but the results file must be the derived-values file.
    const dataio::H5Reader& file(const std::string& ref)
    {
        const std::string path = folder_ + "/" + ref.substr(0, ref.find(':'));
        if (path == h5_.getFilename()) return h5_;
        EXPECT_EQ(path.substr(path.size() - 11), "_derived.h5") << ref;
        if (!derived_ || derived_->getFilename() != path) derived_ = std::make_unique<dataio::H5Reader>(path);
        return *derived_;
    }

    /// Values of a HyperSlab or Function item, one vector per component.
    Columns evaluate(xmlNode* item)
    {
        const std::string type = attr(item, "ItemType");
        const auto items = children(item, "DataItem");
        if (type == "HyperSlab") {
            EXPECT_EQ(items.size(), 2u);
            EXPECT_EQ(attr(items[0], "Format"), "XML");
            const std::vector<long> sel = integers(content(items[0]));
            EXPECT_EQ(sel.size(), 6u);
            checkHdfItem(items[1]);
            const std::string ref = content(items[1]);
            const std::string dataset = ref.substr(ref.find(':') + 1);
            // start (row, column), stride (1, 1), count (rows, 1): one whole column.
            EXPECT_EQ(sel[0], 0);
            EXPECT_EQ(sel[2], 1);
            EXPECT_EQ(sel[3], 1);
            EXPECT_EQ(sel[5], 1);
            std::vector<double> column = file(ref).readDoubleVecFrom2dDataset(dataset, static_cast<int>(sel[1]));
            EXPECT_EQ(static_cast<long>(column.size()), sel[4]);
            EXPECT_EQ(attr(item, "Dimensions"), std::to_string(sel[4]));
            return {column};
        }
        EXPECT_EQ(type, "Function");
        Columns args;
        for (xmlNode* c : items) args.push_back(evaluate(c).at(0));
        const std::size_t n = args.at(0).size();
        Columns result;
        for (std::size_t i = 0; i < n; ++i) {
            const auto v = Expression(attr(item, "Function"), args, i).components();
            result.resize(v.size());
            for (std::size_t k = 0; k < v.size(); ++k) result[k].push_back(v[k]);
        }
        return result;
    }

    int hdfItems = 0;
    int derivedItems = 0;

private:
    std::string folder_;
    const dataio::H5Reader& h5_;
    std::unique_ptr<dataio::H5Reader> derived_;
};

struct Step {
    double time;
    std::map<std::string, Columns> attributes;  // name -> components -> values per cell
};

/// Parses the document, checks the mesh, and evaluates every attribute of every time step.
std::vector<Step> readBack(const std::string& xdmf, const std::string& folder, const std::string& h5File,
                           int* hdfItems = nullptr, int* derivedItems = nullptr)
{
    xmlDoc* doc = xmlReadFile(xdmf.c_str(), nullptr, XML_PARSE_NONET);
    EXPECT_NE(doc, nullptr) << "not well-formed: " << xdmf;
    if (doc == nullptr) return {};
    dataio::H5Reader h5(h5File);
    XdmfReader reader(folder, h5);
    xmlNode* root = xmlDocGetRootElement(doc);
    EXPECT_STREQ(reinterpret_cast<const char*>(root->name), "Xdmf");
    EXPECT_EQ(attr(root, "Version"), "2.0");
    xmlNode* domain = children(root, "Domain").at(0);
    xmlNode* topology = children(domain, "Topology").at(0);
    EXPECT_EQ(attr(topology, "TopologyType"), "Triangle");
    EXPECT_EQ(attr(topology, "NumberOfElements"), "4");
    reader.checkHdfItem(children(topology, "DataItem").at(0));
    reader.checkHdfItem(children(children(domain, "Geometry").at(0), "DataItem").at(0));

    std::vector<Step> steps;
    const auto collections = children(domain, "Grid");
    EXPECT_EQ(collections.size(), 1u);
    EXPECT_EQ(attr(collections.at(0), "CollectionType"), "Temporal");
    for (xmlNode* grid : children(collections.at(0), "Grid")) {
        Step s;
        s.time = std::stod(attr(children(grid, "Time").at(0), "Value"));
        for (xmlNode* a : children(grid, "Attribute")) {
            EXPECT_EQ(attr(a, "Center"), "Cell");
            const Columns v = reader.evaluate(children(a, "DataItem").at(0));
            EXPECT_EQ(v.size(), attr(a, "AttributeType") == "Vector" ? 3u : 1u) << attr(a, "Name");
            s.attributes[attr(a, "Name")] = v;
        }
        steps.push_back(s);
    }
    if (hdfItems) *hdfItems = reader.hdfItems;
    if (derivedItems) *derivedItems = reader.derivedItems;
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
    {
        // A restarted run marked the last record invalid: it is no time step.
        std::unique_ptr<api::IH5Writer> w(dataio::Factory::createH5Writer(h5, "rw"));
        w->attachAttributeDouble(dataio::ResultReader::getOutputPath("CellsAll/HydState", 3), "t", -1.0);
    }

    const results::ResultsFile file(h5);
    EXPECT_EQ(results::defaultXdmfName(h5), dir.file("run.xdmf"));
    EXPECT_EQ(results::derivedFileName("out/run.xdmf"), "out/run_derived.h5");
    EXPECT_EQ(results::derivedFileName("view"), "view_derived.h5");
    EXPECT_EQ(results::writeXdmf(file, dir.file("run.xdmf")), 6);
    int hdfItems = 0, derivedItems = 0;
    const auto steps = readBack(dir.file("run.xdmf"), dir.path(), h5, &hdfItems, &derivedItems);
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_GT(hdfItems, 3 * 6);
    // The velocity's two components at each of the three steps come from the derived-values file.
    EXPECT_EQ(derivedItems, 3 * 2);
    EXPECT_TRUE(std::ifstream(results::derivedFileName(dir.file("run.xdmf"))).good());
    for (std::size_t k = 0; k < steps.size(); ++k) {
        const double t = 10.0 * static_cast<double>(k);
        EXPECT_EQ(steps[k].time, t);
        const auto& a = steps[k].attributes;
        ASSERT_EQ(a.size(), 6u);
        EXPECT_EQ(a.at("water_depth")[0], (std::vector<double>{1, 1, 0, 0}));
        EXPECT_EQ(a.at("water_surface")[0], (std::vector<double>{1, 1, 0.5, 0.5}));
        EXPECT_EQ(a.at("bottom_elevation")[0], (std::vector<double>{0, 0, 0.5, 0.5}));
        EXPECT_EQ(a.at("delta_z")[0], (std::vector<double>{0, 0, 0, 0}));
        const Columns& q = a.at("spec_discharge");
        const Columns& u = a.at("flow_velocity");
        for (int cell = 0; cell < 2; ++cell) {
            EXPECT_CLOSE(q[0][cell], 0.5 + 0.1 * t, 1e-12, 0);
            EXPECT_CLOSE(q[1][cell], -0.2, 1e-12, 0);
            EXPECT_EQ(q[2][cell], 0.0);
            // Depth 1 m: the velocity equals the specific discharge.
            EXPECT_CLOSE(u[0][cell], 0.5 + 0.1 * t, 1e-12, 0);
            EXPECT_CLOSE(u[1][cell], -0.2, 1e-12, 0);
        }
        EXPECT_EQ(q[0][3], 0.0);
        // Dry cells (depth 0) show no velocity, not the NaN of 0/0 that a viewer would draw.
        for (int cell = 2; cell < 4; ++cell)
            for (int k = 0; k < 3; ++k) EXPECT_EQ(u[k][cell], 0.0) << "cell " << cell << " component " << k;
    }
}

TEST(XdmfExport, InitialBedTrackedFloodAndRelativeElevations)
{
    testsupport::ScratchDir dir("results-xdmf");
    resultstest::Content c;
    c.modelText = R"({"SETUP":{"DOMAIN":{"LAMINA_2D":{"HYDRAULICS":{"FLOOD":{}},"MORPHOLOGY":{}}}}})";
    c.outputs = {"water_surface", "bottom_elevation", "delta_z", "water_depth"};
    // Elevations stored relative to RefBottomEl = 100: the lowest stored bed is 0.
    c.refBottomEl = true;
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
    const auto steps = readBack(dir.file("morph.xdmf"), dir.path(), h5);
    ASSERT_EQ(steps.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        const auto& a = steps[k].attributes;
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
    c.refValue = 0.0;
    for (auto& r : c.records)
        for (auto& z : r.bottom) z[0] += 3.0;
    c.refValue = 3.0;
    resultstest::write(dir.file("absolute.h5"), c);
    EXPECT_EQ(results::ResultsFile(dir.file("absolute.h5")).elevationOffset(), 0.0);
}

}  // namespace
