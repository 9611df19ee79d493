// Results-file reader (record paths, stored times, incomplete and invalidated records), the archive and result-file
// names.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <hdf5.h>

#include <memory>

#include "Fatal.hpp"
#include "dataio/Archive.hpp"
#include "dataio/Factory.hpp"
#include "dataio/H5FileNameDefinitions.hpp"
#include "dataio/H5Reader.hpp"
#include "dataio/H5Writer.hpp"
#include "dataio/ResultReader.hpp"
#include "support/ScratchDir.hpp"

using dataio::ResultReader;

namespace {

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
        if (row.index >= 0) EXPECT_EQ(stored, row.stored) << row.typed;
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

}  // namespace
