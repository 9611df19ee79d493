// The data layer: the HDF5 file layer (round trips with their size attributes, file modes that keep or truncate,
// reports of misuse and library failures), the results-file reader (record paths, stored times, incomplete and
// invalidated records) and archive, the configuration reader, and the XDMF writer. What an XDMF document means
// (every item against the stored data) is read back in tests/results.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <hdf5.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>

#include "dataio/Archive.hpp"
#include "dataio/Factory.hpp"
#include "dataio/H5Exception.hpp"
#include "dataio/H5FileNameDefinitions.hpp"
#include "dataio/H5Reader.hpp"
#include "dataio/H5Writer.hpp"
#include "dataio/JSONReader.hpp"
#include "dataio/ResultReader.hpp"
#include "dataio/XdmfWriter.hpp"
#include "support/FatalOutput.hpp"
#include "support/ScratchDir.hpp"
#include "support/Text.hpp"

using dataio::JSONReader;
using dataio::ResultReader;
using ::testing::HasSubstr;
using testsupport::countOf;
using Ints = std::vector<int>;
using Doubles = std::vector<double>;

namespace {

/// What a failing call of the data layer reports: the " -> ..." line of the fatal path (TerraException), or
/// "H5: " and the text of an H5Exception when the HDF5 library itself failed. A call that does not fail is a test
/// failure.
std::string failureText(const std::function<void()>& action)
{
    try {
        return ::testsupport::fatalStderr(action);
    } catch (const dataio::H5Exception& e) {
        return std::string("H5: ") + e.what();
    }
}

#define EXPECT_FATAL(action, text) EXPECT_THAT(failureText([&] { action; }), ::testing::HasSubstr(text))

const int NO_INT = std::numeric_limits<int>::min();

/// Every HDF5 object still open in the process (files included).
long openObjects() { return static_cast<long>(H5Fget_obj_count(H5F_OBJ_ALL, H5F_OBJ_ALL)); }

class H5FileLayer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(openObjects(), 0); }
    void TearDown() override { EXPECT_EQ(openObjects(), 0) << "an HDF5 object was left open"; }
    testsupport::ScratchDir dir{"dataio-h5"};
};

TEST_F(H5FileLayer, EveryTypeRoundTripsInTheFileConventionWithItsSizeAttribute)
{
    const std::string name = dir.file("round.h5");
    const int r0[3] = {1, 2, 3}, r1[3] = {4, 5, 6};
    const int* intRows[2] = {r0, r1};
    const std::vector<std::vector<double>> reals = {{0.5, -1.25}, {1e-300, 3.0e10}, {7.0, 8.0}};
    const std::vector<std::string> texts = {"plain", "", "line\nbreak", "\xc3\xa9t\xc3\xa9 \xe2\x86\x92 Wasser"};
    {
        std::unique_ptr<api::IH5Writer> w(dataio::Factory::createH5Writer(dir.file("source.h5")));
        w->writeDoubleVecVec("CellsAll/Reals", reals);
    }
    {
        std::unique_ptr<api::IH5Writer> w(dataio::Factory::createH5Writer(name));
        w->writeIntScalar("Parameters/Count", -7);
        w->writeDoubleScalar("Parameters/MinWaterDepth", 0.001);
        w->writeIntArray("CellsAll/Table", 2, 3, intRows);
        w->copyTable("CellsAll/Reals", dir.file("source.h5"), false);
        w->writeStringVec("Names/StrNames", 4, texts);
        EXPECT_EQ(openObjects(), 1) << "a write left an object open";
    }
    std::unique_ptr<api::IH5Reader> r(dataio::Factory::createH5Reader(name));
    EXPECT_EQ(r->readIntScalar("Parameters/Count"), -7);
    EXPECT_EQ(r->readDoubleScalar("Parameters/MinWaterDepth"), 0.001);
    EXPECT_EQ(r->readIntVecVec("CellsAll/Table"), (std::vector<std::vector<int>>{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(r->readDoubleVecVec("CellsAll/Reals"), reals);
    EXPECT_EQ(r->readStrVec("Names/StrNames"), texts);
    EXPECT_EQ(r->readDoubleVecFrom2dDataset("CellsAll/Reals", 1), (std::vector<double>{-1.25, 3.0e10, 8.0}));
    // "size" is the number of values, rows times columns, for written and copied tables alike.
    const std::pair<const char*, int> sizes[] = {
        {"Parameters/Count", 1}, {"CellsAll/Table", 6}, {"CellsAll/Reals", 6}, {"Names/StrNames", 4}};
    for (const auto& [path, size] : sizes) EXPECT_EQ(r->readAttributeInt(path, "size"), size) << path;
}

TEST_F(H5FileLayer, ModesKeepOrTruncateMissingGroupsAreAnswersAndOverwritesKeepTheirExtents)
{
    const std::string name = dir.file("modes.h5"), record = "RESULTS/water_depth/0000000";
    dataio::H5Writer(name).writeDoubleVecVec(record, {{1.0}, {2.0}});
    {
        dataio::H5Writer w(name, "rw");
        w.writeDoubleVecVec(record, {{3.0}, {4.0}});
        for (const std::string& p : {std::string("RESULTS"), std::string("RESULTS/water_depth"), record, "/" + record})
            EXPECT_TRUE(w.existDataset(p)) << p;
        for (const char* p : {"Missing/HydState", "RESULTS/missing/0000000", "RESULTS/water_depth/0000000/below"})
            EXPECT_FALSE(w.existDataset(p)) << p;
        w.writeIntScalar("added", 2);
    }
    {
        dataio::H5Reader r(name);
        EXPECT_TRUE(r.existDataset("added")) << "\"rw\" lost what the file held";
        EXPECT_EQ(r.readDoubleVecVec(record), (std::vector<std::vector<double>>{{3.0}, {4.0}}));
    }
    EXPECT_EQ(dataio::H5Writer(name).getNumberObjs("/"), 0) << "a new writer truncates";
    const std::string missing = dir.file("missing.h5");
    EXPECT_FATAL(dataio::H5Writer(missing, "rw"), "H5: Unable to open file " + missing);
    EXPECT_FATAL(dataio::H5Writer(missing, "r"), "H5: Unable to open file");
    EXPECT_FATAL(dataio::H5Writer(name, "r").writeIntScalar("more", 3), "H5: ");
    EXPECT_FALSE(std::ifstream(missing).good());
}

TEST_F(H5FileLayer, MisuseAndLibraryFailuresAreReportedWithTheirPlace)
{
    dataio::H5Writer w(dir.file("shapes.h5"));
    const std::string file = w.getFilename();
    w.writeDoubleVecVec("two", {{1.0}, {2.0}});
    w.writeIntScalar("s", 1);
    w.writeStringVec("noStrings", 0, {});
    w.writeStringVec("five", 5, {"a", "b", "c", "d", "e"});
    w.writeDoubleVecVec("row", {{1, 2, 3, 4, 5}});
    w.attachAttributeDouble("two", "t", 0.0);
    const std::string text = dir.write("plain.h5", "not an hdf5 file");
    dataio::H5Reader r(file, "r");
    int rows = -1, cols = -1;
    r.readDataset("five", rows, cols);
    EXPECT_EQ(std::make_pair(rows, cols), std::make_pair(5, 0)) << "a 1-d dataset of 5 values";
    const std::vector<std::vector<double>> threeRows = {{1}, {2}, {3}};
    const std::vector<std::vector<int>> oneRowOfTwo = {{1, 2}}, ragged = {{1, 2}, {3}};

    const struct {
        std::function<void()> action;
        std::string report;
    } cases[] = {
        {[&] { w.writeDoubleVecVec("two", threeRows); },
         " -> dimensions do not match, in file: src/dataio/H5Writer on line "},
        {[&] { w.writeIntVecVec("s", oneRowOfTwo); }, " -> dimensions do not match"},
        {[&] { w.writeIntVecVec("ragged", ragged); }, "H5: Mismatching dimensions writing dataset \"ragged\": row 1"},
        {[&] { w.writeStringVec("few", 3, {"a"}); }, "H5: Impossible to write buffer of 1"},
        {[&] { w.createGroup("two/x/y"); }, "H5: Unable to create the group \"two/x\""},
        {[&] { r.readDoubleScalar("two"); }, " -> non-scalar dataset <two>!"},
        {[&] { r.readIntVecVec("five"); }, " -> dataset <five> not 2-dimensional!"},
        {[&] { r.readDoubleVecFrom2dDataset("five", 0); }, " -> dataset <five> not 2-dimensional!"},
        {[&] { r.readDoubleVecFrom2dDataset("row", 5); }, " -> dataset <row> does not contain column 5"},
        {[&] { r.readStrVec("noStrings"); }, " -> dataset <noStrings> not a 1-d array!"},
        {[&] { r.readStrVec("two"); }, "H5: "},
        {[&] { r.readIntScalar("nowhere/x"); }, "H5: Unable to open the dataset \"nowhere/x\""},
        {[&] { r.getNumberObjs("nowhere"); }, "H5: Unable to open the group"},
        {[&] { r.readAttributeDouble("none", "t"); },
         " -> cannot read attribute to dataset <none> in file <" + file + ">, in file: src/dataio/H5Base on line "},
        {[&] { r.readAttributeInt("two", "missing"); }, " -> cannot read attribute to dataset <two> in file <"},
        {[&] { w.attachAttributeDouble("RESULTS/none/0000000", "t", 1.0); },
         " -> cannot attach attribute to dataset <RESULTS/none/0000000> in file <" + file + ">"},
        {[&] { dataio::H5Reader{text}; }, "H5: Unable to open file"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_THAT(failureText(cases[i].action), ::testing::HasSubstr(cases[i].report)) << "case " << i;
    EXPECT_FALSE(w.existDataset("ragged")) << "a refused write left a dataset";
    EXPECT_EQ(r.readDoubleVecFrom2dDataset("row", 4), std::vector<double>{5.0});
}

/// Writes records 0..times.size()-1 of output `name`, record i holding attribute "t" = times[i].
void writeRecords(api::IH5Writer& w, const std::string& name, const std::vector<double>& times)
{
    for (std::size_t i = 0; i < times.size(); ++i) {
        const std::string path = ResultReader::getOutputPath(name, static_cast<int>(i));
        w.writeDoubleVecVec(path, {{static_cast<double>(i)}, {times[i]}});
        w.attachAttributeDouble(path, "t", times[i]);
    }
}

std::string validTimes(const api::IResultReader& r, const std::vector<std::string>& names)
{
    ::testing::internal::CaptureStdout();
    r.printValidTimes(names);
    return ::testing::internal::GetCapturedStdout();
}

class ResultFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::unique_ptr<api::IH5Writer> w(dataio::Factory::createH5Writer(file));
        writeRecords(*w, "water_depth", {0.0, 10.0, 20.0, 30.0, 40.0});
        writeRecords(*w, "flow_velocity", {0.0, 10.0, 20.0, 30.0});
        writeRecords(*w, "shifted", {0.0, 20.0, 10.0});
    }
    void TearDown() override { EXPECT_EQ(H5Fget_obj_count(H5F_OBJ_ALL, H5F_OBJ_ALL), 0); }

    testsupport::ScratchDir dir{"dataio-results"};
    std::string file = dir.file("results.h5");
};

TEST(ResultPaths, RecordIndexIsSevenDigitsAndResultNameEndsAtTheFirstExtension)
{
    EXPECT_EQ(ResultReader::getOutputPath("CellsAll/HydState", 0), "/RESULTS/CellsAll/HydState/0000000");
    EXPECT_EQ(ResultReader::getOutputPath("water_depth", 42), "/RESULTS/water_depth/0000042");
    EXPECT_EQ(ResultReader::getOutputPath("water_depth", 12345678), "/RESULTS/water_depth/12345678");
    const std::pair<const char*, const char*> names[] = {
        {"results.h5", "results.h5"}, {"out/run.h5.bak", "out/run.h5"}, {"a.h5b.h5", "a.h5"}, {"noext", "noext"}};
    for (const auto& [given, result] : names)
        EXPECT_EQ(dataio::H5FileNameDefinitions::getResultFileName(given), result) << given;
}

TEST_F(ResultFile, TimesWithPositionStrictAndLenientAndIncompleteRecordsLeftOut)
{
    // A run stopped while writing its record 5 left it without its time.
    dataio::H5Writer(file, "rw").writeDoubleVecVec(ResultReader::getOutputPath("water_depth", 5), {{5.0}, {50.0}});
    dataio::ResultReader r(file);
    const std::vector<std::string> both = {"water_depth", "flow_velocity"};
    EXPECT_EQ(r.getAllTimesWithPosition(both).at(40.0), (std::vector<int>{4}));
    EXPECT_EQ(r.getTimesWithPosition(both, false),
              (std::map<double, int>{{0.0, 0}, {10.0, 1}, {20.0, 2}, {30.0, 3}, {40.0, 4}}));
    EXPECT_FATAL(r.getTimesWithPosition(both, true),
                 " -> not all needed results are found for t=40s, in file: src/dataio/ResultReader on line ");
    // The same time at different record indices in two outputs.
    EXPECT_FATAL(r.getTimesWithPosition({"water_depth", "shifted"}, false), " -> corrupt result file!");

    EXPECT_EQ(r.incompleteRecords(both), std::vector<int>{5});
    EXPECT_EQ(validTimes(r, {"water_depth"}),
              " -> t[s]: 0\n -> t[s]: 10\n -> t[s]: 20\n -> t[s]: 30\n -> t[s]: 40\n"
              " -> record 5 is incomplete (no time): left out\n");
    EXPECT_FATAL(dataio::ResultReader(dir.file("none.h5")), "H5: Unable to open file");
}

TEST_F(ResultFile, RestartTimeMatchesTheNearestStoredTimeInEveryOutputAndInvalidatesTheLaterRecords)
{
    {
        dataio::H5Writer w(file, "rw");
        writeRecords(w, "drifted", {0.0, 51.400000001, 99.900001488626, 99.9});
        w.createGroup(ResultReader::getOutputGroup("empty") + "/leaf");
    }
    std::unique_ptr<api::IResultReader> r(dataio::Factory::createResultReader(file));
    struct Row {
        std::vector<std::string> names;
        double typed;
        int index;
        double stored;
    };
    const Row rows[] = {{{"drifted"}, 51.4, 1, 51.400000001},
                        {{"drifted"}, 99.9, 3, 99.9},  // the nearer of two within the tolerance
                        {{"drifted"}, 99.9000014, 2, 99.900001488626},
                        {{"drifted"}, 51.401, -1, 0.0},
                        {{"water_depth"}, 30.0000009, 3, 30.0},
                        {{"water_depth", "flow_velocity"}, 40.0, -1, 0.0},  // not in every output
                        {{"water_depth", "shifted"}, 10.0, -1, 0.0},        // at different records
                        {{"empty"}, 0.0, -1, 0.0}};
    for (const Row& row : rows) {
        double stored = 0.0;
        EXPECT_EQ(r->findRestartTime(row.names, row.typed, stored), row.index) << row.typed;
        EXPECT_EQ(row.index >= 0 ? stored : 0.0, row.stored) << row.typed;
    }
    EXPECT_EQ(validTimes(*r, {"empty"}), "");
    // Times are printed so that they read back as the stored doubles.
    for (const double t : {51.400000001, 99.900001488626, 0.1 * 3, 22.5})
        EXPECT_EQ(std::stod(ResultReader::timeText(t)), t);
    EXPECT_EQ(ResultReader::timeText(99.9), "99.9");

    // Restarting from 20 s invalidates the records from index 3 on; they stay, carrying the invalid time.
    r->deleteResults("water_depth", 3);
    r->deleteResults("flow_velocity", 3);
    EXPECT_EQ(validTimes(*r, {"water_depth", "flow_velocity"}), " -> t[s]: 0\n -> t[s]: 10\n -> t[s]: 20\n");
    double stored = 0.0;
    EXPECT_EQ(r->findRestartTime({"water_depth"}, 30.0, stored), -1);
    r.reset();
    const dataio::H5Reader h5(file);
    EXPECT_EQ(h5.getNumberObjs(ResultReader::getOutputGroup("water_depth")), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(h5.readAttributeDouble(ResultReader::getOutputPath("water_depth", i), "t"), i < 3 ? 10.0 * i : -1.0);
    EXPECT_EQ(h5.readAttributeDouble(ResultReader::getOutputPath("flow_velocity", 3), "t"), -1.0);
}

TEST_F(ResultFile, ArchiveKeepsTextsUnchangedAndRestoresTheModel)
{
    const std::string model = "{\n  \"SETUP\": {\"DOMAIN\": \"\xc3\xbc\"}\n}\n\ttab and trailing  ";
    const std::string simulation = R"({"SIMULATION":{"TIME":{"end":600.0}}})";
    {
        std::unique_ptr<api::IH5Writer> w(dataio::Factory::createH5Writer(file, "rw"));
        dataio::Archive::addModel(w.get(), model);
        dataio::Archive::addSimulation(w.get(), "{}");
        // Archiving again replaces the text in place.
        dataio::Archive::addSimulation(w.get(), simulation);
    }
    std::unique_ptr<api::IH5Reader> r(dataio::Factory::createH5Reader(file));
    EXPECT_EQ(dataio::Archive::getModel(r.get()), model);
    EXPECT_EQ(dataio::Archive::getSimulation(r.get()), simulation);
    // The program restores the model through this (tests/results); a file that cannot be written is fatal.
    EXPECT_FATAL(dataio::Archive::restore(r.get(), dir.file("no/such/dir/x.json")), "x.json");
}

const char* const CONFIG = R"({"": {"x": 1}, "SIMULATION": {
    "TIME": {"end": 10.5, "label": "ten"}, "OUTPUT": ["water_depth", "flow_velocity"], "FLAGS": {},
    "NUMBERS": [1, 2.5, -3], "MIXED": [1, "two"],
    "BOUNDARY": [{"series": [0.0, 1.5, 3.0]}, {}, null, {"level": 1.25}]}})";

TEST(JSONReader, TextOrFileAndACompactHash)
{
    testsupport::ScratchDir dir("dataio-json");
    const std::string pretty = dir.write("pretty.json", CONFIG);
    std::unique_ptr<api::ICommandFileReader> a(dataio::Factory::createCommandFileReader(pretty));
    EXPECT_EQ(a->getFileName(), pretty);
    EXPECT_EQ(JSONReader(CONFIG).getFileName(), "");
    // The hash is the compact text of the document, whatever its layout.
    EXPECT_EQ(a->getHash(), nlohmann::json::parse(CONFIG).dump());
    const std::string missing = dir.file("missing.json");
    EXPECT_FATAL(JSONReader{missing}, " -> input file <" + missing + "> not found.");
    EXPECT_THROW(JSONReader{dir.write("broken.json", "{\"a\": ")}, nlohmann::json::parse_error);
}

TEST(JSONReader, GettersReturnTheValueOrAFallbackAndReportOnlyMissingRequiredPaths)
{
    const JSONReader r(CONFIG);
    const std::string b = "SIMULATION/BOUNDARY";
    const Ints numbers = {1, 2, -3};  // read as int: 2.5 is cut to 2
    const Doubles series = {0.0, 1.5, 3.0};
    bool found = false;
    const struct {
        std::function<void()> call;  // checks the value returned
        int found;                   // -1: an optional getter, which tells nothing
        std::string err;
    } cases[] = {
        {[&] { EXPECT_EQ(r.getInt("SIMULATION/TIME/end", found), 10); }, 1, ""},
        {[&] { EXPECT_EQ(r.getIntList("SIMULATION/NUMBERS", found), numbers); }, 1, ""},
        {[&] { EXPECT_EQ(r.getValueListFromArray(b, 0, "series", found), series); }, 1, ""},
        {[&] { EXPECT_EQ(r.getDoubleFromArray(b, 3, "level", found), 1.25); }, 1, ""},
        // Missing: the fallback and the path in the message.
        {[&] { EXPECT_EQ(r.getInt("SIMULATION/TIME/stop", found), NO_INT); }, 0, " -> path <SIMULATION/TIME/stop> "},
        {[&] { EXPECT_TRUE(std::isnan(r.getDouble("NOPE/x", found))); }, 0, " -> path <NOPE/x> "},
        {[&] { EXPECT_EQ(r.getArrayLength("SIMULATION/LIST", found), 0); }, 0, " -> path <SIMULATION/LIST> "},
        // A leading "/" gives an empty first component, which exists here but has no "SIMULATION".
        {[&] { r.getDouble("/SIMULATION/TIME/end", found); }, 0, " -> path </SIMULATION/TIME/end> "},
        // Empty element, null element, index past the end or before the start of an array of objects.
        {[&] { r.getDoubleFromArray(b, 1, "level", found); }, 0, " -> path <" + b + "[1]/level> "},
        {[&] { r.getDoubleFromArray(b, 2, "level", found); }, 0, " -> path <" + b + "[2]/level> "},
        {[&] { r.getDoubleFromArray(b, 4, "level", found); }, 0, " -> path <" + b + "[4]/level> "},
        {[&] { r.getDoubleFromArray(b, -1, "level", found); }, 0, " -> path <" + b + "[-1]/level> "},
        // Present but of the wrong type: the fallback, no message.
        {[&] { EXPECT_EQ(r.getInt("SIMULATION/TIME/label", found), NO_INT); }, 1, ""},
        {[&] { EXPECT_TRUE(r.getIntList("SIMULATION/MIXED", found).empty()); }, 1, ""},
        {[&] { EXPECT_EQ(r.getIntFromArray(b, 0, "series", found), NO_INT); }, 1, ""},
        // Optional: the default when missing or of the wrong type, silently.
        {[&] { EXPECT_EQ(r.getOptionalDouble("SIMULATION/TIME/label", 7.5), 7.5); }, -1, ""},
        {[&] { EXPECT_EQ(r.getOptionalIntList("SIMULATION/OUTPUT", {9}), Ints{9}); }, -1, ""},
        {[&] { EXPECT_EQ(r.getOptionalDoubleFromArray(b, 1, "level", -5.0), -5.0); }, -1, ""},
        {[&] { EXPECT_EQ(r.getOptionalDoubleFromArray(b, 3, "level", -5.0), 1.25); }, -1, ""},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        found = cases[i].found != 1;
        ::testing::internal::CaptureStderr();
        cases[i].call();
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), cases[i].err.empty() ? "" : cases[i].err + "not found.\n");
        EXPECT_TRUE(cases[i].found < 0 || found == (cases[i].found == 1)) << "found " << found;
    }
    EXPECT_TRUE(r.checkPaths({"SIMULATION/TIME/end", "SIMULATION/OUTPUT"}));
    EXPECT_FALSE(r.checkPaths({"SIMULATION/TIME/end", "SIMULATION/NONE", "SIMULATION/OUTPUT"}));
    EXPECT_EQ(r.getGroups("SIMULATION"), (std::vector<std::string>{"FLAGS", "TIME"}));
}

TEST(XdmfWriter, TimeStepsNestAndFunctionsKeepTheirSelectionsInOrder)
{
    testsupport::ScratchDir dir("dataio-xdmf");
    // A file name with XML markup characters must not break the document.
    dataio::XdmfWriter w("a&b<1>.h5");
    EXPECT_FATAL(w.addTimeStep(0.0),
                 " -> you must define a mesh before adding a time step!, in file: src/dataio/XdmfWriter");
    w.addMesh(4, "CellsAll/Topology", "4 3", "NodesAll/Coordnts", "6 3");
    EXPECT_FATAL(w.addScalar("depth", 4, "r.h5", "H/0", 3, 0), " -> you must add a time step before adding data!");
    w.addTimeStep(0.0);
    w.addScalar("depth", 4, "r.h5", "H/0", 3, 2);
    w.addTimeStep(60.5);
    w.addVector("velocity", 4, "r.h5", "H/1", 3, {1, 2});
    w.addFunctionVector("flow", 4, {"$0/($2-$3)", "$1/($2-$3)"}, {"f.h5", "f.h5", "f.h5", "f.h5"}, {"H", "H", "H", "Z"},
                        {3, 3, 3, 1}, {1, 2, 0, 0});
    EXPECT_FATAL(w.addFunctionScalar("f", 4, "$0", {"a"}, {"b", "c"}, {1, 1}, {0, 0}), "invalid dataset path");
    EXPECT_FATAL(w.addFunctionVector("u", 4, {"$0"}, {"f", "f"}, {"a", "b"}, {3, 1}, {0, 0}),
                 "two component functions");
    const std::string name = dir.file("series.xdmf");
    w.write(name);
    const std::string doc = testsupport::readFile(name);

    EXPECT_EQ(countOf(doc, "<Grid GridType=\"Uniform\" Name=\"Timestep\">"), 2);
    EXPECT_EQ(countOf(doc, "</Grid>"), 3);
    // The first time step is closed before the second opens.
    const auto first = doc.find("Name=\"Timestep\"");
    EXPECT_LT(doc.find("</Grid>", first), doc.find("Name=\"Timestep\"", first + 1));
    EXPECT_THAT(doc, HasSubstr("Function=\"JOIN($0, $1, 0*$1)\""));
    EXPECT_THAT(doc, HasSubstr("Function=\"JOIN($0/($2-$3), $1/($2-$3), 0*$0)\""));
    // The selections keep their order: $0 and $1 are columns 1 and 2 of H, $3 column 0 of Z.
    const auto flow = doc.find("Name=\"flow\"");
    EXPECT_LT(doc.find("0 1 1 1 4 1", flow), doc.find("0 2 1 1 4 1", flow));
    EXPECT_LT(doc.find("f.h5:H", flow), doc.find("f.h5:Z", flow));
    EXPECT_THAT(doc, HasSubstr("Name=\"a&amp;b&lt;1&gt;.h5\""));
    EXPECT_THAT(doc, HasSubstr("a&amp;b&lt;1&gt;.h5:CellsAll/Topology"));
    EXPECT_EQ(countOf(doc, "<DataItem"), countOf(doc, "</DataItem>"));
}

}  // namespace
