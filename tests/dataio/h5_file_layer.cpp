// The HDF5 file layer: round trips in the file convention with their size attributes, file modes that keep or
// truncate, and the reports of misuse and of library failures. No test leaves an HDF5 object open.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <hdf5.h>

#include <fstream>
#include <memory>

#include "Fatal.hpp"
#include "dataio/Factory.hpp"
#include "dataio/H5Reader.hpp"
#include "dataio/H5Writer.hpp"
#include "support/ScratchDir.hpp"

namespace {

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

}  // namespace
