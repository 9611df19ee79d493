// The HDF5 file layer: storage conventions, round trips, shape checks, file modes and closing of every object.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <hdf5.h>

#include <fstream>
#include <memory>

#include "Fatal.hpp"
#include "dataio/Factory.hpp"
#include "dataio/H5Exception.hpp"
#include "dataio/H5Reader.hpp"
#include "dataio/H5Writer.hpp"
#include "support/Process.hpp"
#include "support/ScratchDir.hpp"

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

/// Every HDF5 object still open in the process (files included).
long openObjects() { return static_cast<long>(H5Fget_obj_count(H5F_OBJ_ALL, H5F_OBJ_ALL)); }

std::string h5ExceptionText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const dataio::H5Exception& e) {
        return e.what();
    }
    ADD_FAILURE() << "no H5Exception";
    return "";
}

class H5FileLayer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(openObjects(), 0); }
    void TearDown() override { EXPECT_EQ(openObjects(), 0) << "an HDF5 object was left open"; }
    testsupport::ScratchDir dir{"dataio-h5"};
};

TEST_F(H5FileLayer, EveryTypeAndShapeRoundTripsWithItsSizeAttribute)
{
    const std::string name = dir.file("round.h5");
    const int r0[3] = {1, 2, 3};
    const int r1[3] = {4, 5, 6};
    const int* intRows[2] = {r0, r1};
    const double d0[2] = {0.5, -1.25};
    const double d1[2] = {1e-300, 3.0e10};
    const double d2[2] = {7.0, 8.0};
    const double* doubleRows[3] = {d0, d1, d2};
    const std::vector<std::string> texts = {"plain", "", "line\nbreak", "\xc3\xa9t\xc3\xa9 \xe2\x86\x92 Wasser"};
    {
        std::unique_ptr<api::IH5Writer> w(dataio::Factory::createH5Writer(name));
        EXPECT_EQ(openObjects(), 1);
        w->writeIntScalar("Parameters/Count", -7);
        w->writeDoubleScalar("Parameters/MinWaterDepth", 0.001);
        w->writeIntArray("CellsAll/Table", 2, 3, intRows);
        w->writeDoubleArray("CellsAll/Reals", 3, 2, doubleRows);
        w->writeIntVecVec("EdgesAll/CellsAll", {{0, 1}, {1, 2}, {2, -1}, {3, 0}});
        w->writeDoubleVecVec("EdgesAll/NormVect", {{1.0, 0.0}, {0.0, -1.0}});
        w->writeStringVec("Names/StrNames", 4, texts);
        EXPECT_EQ(openObjects(), 1) << "a write left an object open";
    }
    EXPECT_EQ(openObjects(), 0);

    std::unique_ptr<api::IH5Reader> r(dataio::Factory::createH5Reader(name));
    EXPECT_EQ(r->getFilename(), name);
    EXPECT_EQ(r->readIntScalar("Parameters/Count"), -7);
    EXPECT_EQ(r->readDoubleScalar("Parameters/MinWaterDepth"), 0.001);
    EXPECT_EQ(r->readIntVecVec("CellsAll/Table"), (std::vector<std::vector<int>>{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(r->readDoubleVecVec("CellsAll/Reals"),
              (std::vector<std::vector<double>>{{0.5, -1.25}, {1e-300, 3.0e10}, {7.0, 8.0}}));
    EXPECT_EQ(r->readIntVecVec("EdgesAll/CellsAll"), (std::vector<std::vector<int>>{{0, 1}, {1, 2}, {2, -1}, {3, 0}}));
    EXPECT_EQ(r->readDoubleVecVec("EdgesAll/NormVect"), (std::vector<std::vector<double>>{{1.0, 0.0}, {0.0, -1.0}}));
    EXPECT_EQ(r->readStrVec("Names/StrNames"), texts);
    // Columns of a 3 x 2 table: each column in row order.
    EXPECT_EQ(r->readDoubleVecFrom2dDataset("CellsAll/Reals", 0), (std::vector<double>{0.5, 1e-300, 7.0}));
    EXPECT_EQ(r->readDoubleVecFrom2dDataset("CellsAll/Reals", 1), (std::vector<double>{-1.25, 3.0e10, 8.0}));

    EXPECT_EQ(r->readAttributeInt("Parameters/Count", "size"), 1);
    EXPECT_EQ(r->readAttributeInt("CellsAll/Table", "size"), 6);
    EXPECT_EQ(r->readAttributeInt("CellsAll/Reals", "size"), 6);
    EXPECT_EQ(r->readAttributeInt("EdgesAll/CellsAll", "size"), 8);
    EXPECT_EQ(r->readAttributeInt("Names/StrNames", "size"), 4);
    EXPECT_EQ(r->getNumberObjs("CellsAll"), 2);
    EXPECT_EQ(r->getNumberObjs("/"), 4);
    EXPECT_EQ(openObjects(), 1);
}

TEST_F(H5FileLayer, StoredTypesAndLayoutAreThoseOfTheFileConvention)
{
    const std::string name = dir.file("types.h5");
    {
        dataio::H5Writer w(name);
        w.writeIntScalar("a/i", 3);
        w.writeDoubleVecVec("a/d", {{1.0, 2.0}});
        w.writeStringVec("a/s", 1, {"x"});
    }
    // Inspect with the C API: native int, native double, variable-length UTF-8 string, contiguous, ranks 1/2/1.
    const hid_t f = H5Fopen(name.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    ASSERT_GE(f, 0);
    const auto check = [&](const char* path, hid_t expected, int rank) {
        const hid_t d = H5Dopen2(f, path, H5P_DEFAULT);
        const hid_t t = H5Dget_type(d);
        const hid_t s = H5Dget_space(d);
        const hid_t p = H5Dget_create_plist(d);
        if (expected >= 0) {
            EXPECT_GT(H5Tequal(t, expected), 0) << path;
        }
        EXPECT_EQ(H5Sget_simple_extent_ndims(s), rank) << path;
        EXPECT_EQ(H5Pget_layout(p), H5D_CONTIGUOUS) << path;
        if (expected < 0) {
            EXPECT_GT(H5Tis_variable_str(t), 0);
            EXPECT_EQ(H5Tget_cset(t), H5T_CSET_UTF8);
        }
        H5Pclose(p);
        H5Sclose(s);
        H5Tclose(t);
        H5Dclose(d);
    };
    check("a/i", H5T_NATIVE_INT, 1);
    check("a/d", H5T_NATIVE_DOUBLE, 2);
    check("a/s", -1, 1);
    H5Fclose(f);
}

TEST_F(H5FileLayer, PathQueriesAndMissingParentGroups)
{
    dataio::H5Writer w(dir.file("paths.h5"));
    EXPECT_EQ(w.getGroup("CellsAll/HydState"), "CellsAll");
    EXPECT_EQ(w.getDataset("CellsAll/HydState"), "HydState");
    EXPECT_EQ(w.getGroup("set"), "");
    EXPECT_EQ(w.getDataset("set"), "set");
    EXPECT_EQ(w.getDataset("a/b/c"), "b/c");

    EXPECT_FALSE(w.existDataset("RESULTS/water_depth/0000000"));
    w.writeDoubleVecVec("RESULTS/water_depth/0000000", {{1.0}, {2.0}});
    EXPECT_TRUE(w.existDataset("RESULTS"));
    EXPECT_TRUE(w.existDataset("RESULTS/water_depth"));
    EXPECT_TRUE(w.existDataset("RESULTS/water_depth/0000000"));
    EXPECT_TRUE(w.existDataset("/RESULTS/water_depth/0000000"));
    EXPECT_EQ(w.readAttributeInt("RESULTS/water_depth/0000000", "size"), 2);
    // A missing intermediate group is an answer, not an error.
    EXPECT_FALSE(w.existDataset("Missing/HydState"));
    EXPECT_FALSE(w.existDataset("RESULTS/missing/0000000"));
    EXPECT_FALSE(w.existDataset("RESULTS/water_depth/0000000/below"));

    EXPECT_TRUE(w.existGroup("anything"));
    EXPECT_TRUE(w.existGroup("RESULTS/x"));
    EXPECT_FALSE(w.existGroup("Nope/x"));

    w.createGroup("g1/g2/leaf");
    EXPECT_TRUE(w.existDataset("g1/g2"));
    EXPECT_FALSE(w.existDataset("g1/g2/leaf"));
    EXPECT_EQ(w.getNumberObjs("g1/g2"), 0);
    // A group cannot be created below a dataset: the library's failure comes through.
    EXPECT_THAT(h5ExceptionText([&] { w.createGroup("RESULTS/water_depth/0000000/x/y"); }),
                StartsWith("Unable to create the group \"RESULTS/water_depth/0000000/x\""));
    EXPECT_EQ(openObjects(), 1);
}

TEST_F(H5FileLayer, OverwriteKeepsExtentsAndOtherExtentsAreFatal)
{
    dataio::H5Writer w(dir.file("over.h5"));
    w.writeDoubleVecVec("t/a", {{1, 2}, {3, 4}, {5, 6}});
    w.writeDoubleVecVec("t/a", {{6, 5}, {4, 3}, {2, 1}});
    EXPECT_EQ(w.readAttributeInt("t/a", "size"), 6);
    w.writeIntScalar("t/s", 1);
    w.writeIntScalar("t/s", 2);
    w.writeDoubleVecVec("t/b", {{1, 2}, {3, 4}});
    {
        dataio::H5Reader r(w.getFilename(), "r");
        EXPECT_EQ(r.readDoubleVecVec("t/a"), (std::vector<std::vector<double>>{{6, 5}, {4, 3}, {2, 1}}));
        EXPECT_EQ(r.readIntScalar("t/s"), 2);
    }
    EXPECT_FATAL(w.writeDoubleVecVec("t/b", {{1, 2}, {3, 4}, {5, 6}}),
                 " -> dimensions do not match, in file: src/dataio/H5Writer on line ");
    EXPECT_FATAL(w.writeIntVecVec("t/s", {{1, 2}}), "dimensions do not match");
    // Ragged rows are refused before anything is written.
    EXPECT_THAT(h5ExceptionText([&] { w.writeIntVecVec("t/ragged", {{1, 2}, {3}}); }), HasSubstr("row 1"));
    EXPECT_FALSE(w.existDataset("t/ragged"));
    EXPECT_THAT(h5ExceptionText([&] { w.writeStringVec("t/few", 3, {"a"}); }), HasSubstr("t/few"));
    EXPECT_EQ(openObjects(), 1);
}

TEST_F(H5FileLayer, FileModesOpenCreateAndTruncate)
{
    EXPECT_EQ(dataio::getFileAccess("w"), 0x13u);
    EXPECT_EQ(dataio::getFileAccess("rw"), 1u);
    EXPECT_EQ(dataio::getFileAccess("r"), 0u);
    EXPECT_EQ(dataio::getFileAccess("anything"), 0u);

    const std::string missing = dir.file("missing.h5");
    EXPECT_THAT(h5ExceptionText([&] { dataio::H5Reader r(missing); }), StartsWith("Unable to open file " + missing));
    EXPECT_THAT(h5ExceptionText([&] { dataio::H5Writer w(missing, "rw"); }), StartsWith("Unable to open file"));
    EXPECT_THAT(h5ExceptionText([&] { dataio::H5Writer w(missing, "r"); }), StartsWith("Unable to open file"));
    EXPECT_FALSE(std::ifstream(missing).good());
    EXPECT_EQ(openObjects(), 0);

    const std::string name = dir.file("modes.h5");
    {
        dataio::H5Writer(name).writeIntScalar("keep", 1);
    }
    {
        dataio::H5Writer rw(name, "rw");
        EXPECT_EQ(rw.readAttributeInt("keep", "size"), 1);
        rw.writeIntScalar("added", 2);
    }
    {
        dataio::H5Reader r(name);
        EXPECT_TRUE(r.existDataset("keep"));
        EXPECT_TRUE(r.existDataset("added"));
        // Read-only: writing through the base's attribute call fails in the library.
        dataio::H5Writer ro(name, "r");
        EXPECT_THROW(ro.writeIntScalar("more", 3), dataio::H5Exception);
    }
    {
        dataio::H5Writer w(name);
        EXPECT_FALSE(w.existDataset("keep"));
        EXPECT_EQ(w.getNumberObjs("/"), 0);
    }
    // A file that is not HDF5.
    const std::string text = dir.write("plain.h5", "not an hdf5 file");
    EXPECT_THAT(h5ExceptionText([&] { dataio::H5Reader r(text); }), StartsWith("Unable to open file"));
}

TEST_F(H5FileLayer, ReaderShapeChecksAndMissingObjects)
{
    dataio::H5Writer w(dir.file("shapes.h5"));
    w.writeDoubleVecVec("two", {{1.0}, {2.0}});
    w.writeIntVecVec("empty", {});
    w.writeStringVec("noStrings", 0, {});
    {
        const double a[5] = {1, 2, 3, 4, 5};
        const double* rows[1] = {a};
        w.writeDoubleArray("row", 1, 5, rows);
    }
    // A 1-d dataset of 5 values: rows 5, cols 0.
    w.writeStringVec("five", 5, {"a", "b", "c", "d", "e"});
    dataio::H5Reader r(w.getFilename(), "r");
    int rows = -1, cols = -1;
    {
        auto ds = r.readDataset("five", rows, cols);
        EXPECT_TRUE(ds.valid());
    }
    EXPECT_EQ(rows, 5);
    EXPECT_EQ(cols, 0);
    r.readDataset("row", rows, cols);
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(cols, 5);
    EXPECT_TRUE(r.readIntVecVec("empty").empty());

    EXPECT_FATAL(r.readDoubleScalar("two"), " -> non-scalar dataset <two>!");
    EXPECT_FATAL(r.readIntScalar("row"), "non-scalar dataset <row>!");
    EXPECT_FATAL(r.readIntVecVec("five"), " -> dataset <five> not 2-dimensional!");
    EXPECT_FATAL(r.readDoubleVecFrom2dDataset("five", 0), "dataset <five> not 2-dimensional!");
    EXPECT_FATAL(r.readDoubleVecFrom2dDataset("row", 5), "dataset <row> does not contain column 5");
    EXPECT_FATAL(r.readStrVec("noStrings"), " -> dataset <noStrings> not a 1-d array!");
    EXPECT_EQ(r.readDoubleVecFrom2dDataset("row", 4), std::vector<double>{5.0});
    // A 2 x 1 table of doubles is read as a list of strings only if it holds strings: HDF5 refuses the conversion.
    EXPECT_THROW(r.readStrVec("two"), dataio::H5Exception);

    EXPECT_THAT(h5ExceptionText([&] { r.readIntScalar("nowhere/x"); }),
                StartsWith("Unable to open the dataset \"nowhere/x\""));
    EXPECT_THAT(h5ExceptionText([&] { r.getNumberObjs("nowhere"); }), StartsWith("Unable to open the group"));
    EXPECT_EQ(openObjects(), 2);
}

TEST_F(H5FileLayer, AttributesAreCreatedOverwrittenAndCheckedForTheirDataset)
{
    dataio::H5Writer w(dir.file("attr.h5"));
    w.writeDoubleScalar("RESULTS/depth/0000000", 0.0);
    w.attachAttributeDouble("RESULTS/depth/0000000", "t", 12.5);
    w.attachAttributeInt("RESULTS/depth/0000000", "n", 3);
    EXPECT_EQ(w.readAttributeDouble("RESULTS/depth/0000000", "t"), 12.5);
    w.attachAttributeDouble("RESULTS/depth/0000000", "t", -1.0);
    EXPECT_EQ(w.readAttributeDouble("RESULTS/depth/0000000", "t"), -1.0);
    EXPECT_EQ(w.readAttributeInt("RESULTS/depth/0000000", "n"), 3);
    // Attributes of groups work as well.
    w.attachAttributeInt("RESULTS", "version", 3);
    EXPECT_EQ(w.readAttributeInt("RESULTS", "version"), 3);

    const std::string file = w.getFilename();
    EXPECT_FATAL(w.readAttributeDouble("RESULTS/depth/0000001", "t"),
                 " -> cannot read attribute to dataset <RESULTS/depth/0000001> in file <" + file +
                     ">, in file: src/dataio/H5Base on line ");
    EXPECT_FATAL(w.attachAttributeDouble("RESULTS/none/0000000", "t", 1.0),
                 " -> cannot attach attribute to dataset <RESULTS/none/0000000> in file <" + file + ">");
    EXPECT_FATAL(w.readAttributeInt("RESULTS/depth/0000000", "missing"),
                 " -> cannot read attribute to dataset <RESULTS/depth/0000000> in file <");
    EXPECT_EQ(openObjects(), 1);
}

TEST_F(H5FileLayer, WriterSeesDatasetsWrittenThroughAnotherHandleOfTheSameFile)
{
    // The results file stays open in the writer while the mesh framework writes fields through its own handle;
    // the writer then attaches the time to those datasets.
    dataio::H5Writer w(dir.file("shared.h5"));
    w.writeIntScalar("CellsAll/set", 2);
    {
        const hid_t f = H5Fopen(w.getFilename().c_str(), H5F_ACC_RDWR, H5P_DEFAULT);
        ASSERT_GE(f, 0);
        const hid_t g = H5Gcreate2(f, "RESULTS", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
        const hsize_t dims[1] = {2};
        const hid_t s = H5Screate_simple(1, dims, nullptr);
        const hid_t d = H5Dcreate2(g, "0000000", H5T_NATIVE_FLOAT, s, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
        const float values[2] = {1.5f, 2.5f};
        H5Dwrite(d, H5T_NATIVE_FLOAT, H5S_ALL, H5S_ALL, H5P_DEFAULT, values);
        H5Dclose(d);
        H5Sclose(s);
        H5Gclose(g);
        H5Fclose(f);
    }
    ASSERT_TRUE(w.existDataset("RESULTS/0000000"));
    w.attachAttributeDouble("RESULTS/0000000", "t", 60.0);
    EXPECT_EQ(w.readAttributeDouble("RESULTS/0000000", "t"), 60.0);
    EXPECT_EQ(openObjects(), 1);
}

TEST_F(H5FileLayer, WrittenFilesAreReadableByTheLibraryTools)
{
    const auto which = testsupport::runProcess("command -v h5dump");
    if (which.status != 0) GTEST_SKIP() << "h5dump is not installed";
    const std::string name = dir.file("dump.h5");
    {
        dataio::H5Writer w(name);
        w.writeIntVecVec("CellsAll/Topology", {{0, 1, 2}, {2, 1, 3}});
        w.writeDoubleScalar("Parameters/Gravity", 9.81);
        w.writeStringVec(".config/model", 1, {"{\"SETUP\":1}"});
    }
    const auto dump = testsupport::runProcess("h5dump " + testsupport::shellQuote(name));
    ASSERT_EQ(dump.status, 0) << dump.err;
    EXPECT_THAT(dump.out, HasSubstr("DATASET \"Topology\""));
    EXPECT_THAT(dump.out, HasSubstr("DATASPACE  SIMPLE { ( 2, 3 ) / ( 2, 3 ) }"));
    EXPECT_THAT(dump.out, HasSubstr("H5T_STD_I32LE"));
    EXPECT_THAT(dump.out, HasSubstr("H5T_IEEE_F64LE"));
    EXPECT_THAT(dump.out, HasSubstr("9.81"));
    EXPECT_THAT(dump.out, HasSubstr("STRSIZE H5T_VARIABLE"));
    EXPECT_THAT(dump.out, HasSubstr("CSET H5T_CSET_UTF8"));
    EXPECT_THAT(dump.out, HasSubstr("ATTRIBUTE \"size\""));
}

}  // namespace
