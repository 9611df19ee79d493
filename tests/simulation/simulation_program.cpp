// The simulation program run as a process on hand-made model files: archive mode, re-run failures, the guards of
// its input and output files, a full disk, and the command line as a user sees them. The model files schedule no
// kernel, so these runs exercise the driver and the program frame only; the numerical kernels run in tests/wholerun.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <string>

#include "simulation/ModelFile.hpp"
#include "support/H5Data.hpp"
#include "support/Process.hpp"
#include "support/ScratchDir.hpp"
#include "support/Text.hpp"

using testsupport::contains;
using testsupport::readFile;
using drivertest::record;
using testsupport::countOf;
using testsupport::program;
using testsupport::runProcess;
using testsupport::shellQuote;

namespace {

class SimulationProgram : public ::testing::Test {
protected:
    testsupport::ScratchDir dir{"program"};
    const std::string modelFile = dir.file("model.h5");
    const std::string results = dir.file("results.h5");

    std::string config(double start, double end, double out)
    {
        std::ostringstream text;
        text << R"({"SIMULATION": {"TIME": {"start": )" << start << R"(, "end": )" << end << R"(, "out": )" << out
             << R"(}, "OUTPUT": ["water_depth"]}})";
        return dir.write("config.json", text.str());
    }
    testsupport::ProcessResult simulate(const std::string& configFile, const std::string& extra)
    {
        return runProcess(program("hydrova_simulation") + " -f " + shellQuote(configFile) + " -r " +
                              shellQuote(modelFile) + " " + extra,
                          dir.path());
    }
    /// The times hydrova_results lists for results.h5.
    int records(const std::string& context)
    {
        const auto info = runProcess(program("hydrova_results") + " -f results.h5 --info", dir.path());
        EXPECT_EQ(info.status, 0) << context << ": " << info.err;
        return countOf(info.out, " ->   t[s]: ");
    }
};

}  // namespace

TEST_F(SimulationProgram, ArchiveRestoresTheModelTextExactlyAndRunsNothing)
{
    drivertest::ModelFileSpec spec;
    spec.setupText =
        "{\n  \"SETUP\": {\"DOMAIN\": {\"LAMINA_2D\": {\"HYDRAULICS\": {}}}},\n  \"NOTE\": \"two lines\"\n}\n";
    drivertest::writeModelFile(modelFile, spec);
    const std::string target = dir.file("restored.json");
    const auto r = simulate(config(0.0, 10.0, 5.0), "-a " + shellQuote(target));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, " -> restoring the model configuration to file <" + target + ">\n"));
    EXPECT_EQ(r.out.find("running on"), std::string::npos);
    EXPECT_TRUE(contains(r.out, "successfully processed all necessary jobs"));
    EXPECT_EQ(readFile(target), spec.setupText);
    EXPECT_FALSE(std::filesystem::exists(results));
}

/// Re-runs of a run stored at 0, 1 and 2 s: refused at a time never written (listing the valid ones), without the
/// results file or with one of another mesh, each with the names of the files and the results untouched; a time
/// typed as printed matches within a microsecond; a fresh run (start 0) replaces the file.
TEST_F(SimulationProgram, ReRunsStartOnlyFromAStoredTimeOfTheSameMeshAndFreshRunsReplaceTheResults)
{
    drivertest::writeModelFile(modelFile, drivertest::ModelFileSpec{});
    ASSERT_EQ(simulate(config(0.0, 2.0, 1.0), "-o " + shellQuote(results)).status, 0);
    struct Row {
        double start, end;
        std::string file;
        std::function<void()> before;
        int status, records;
        std::string out, err;
    };
    const Row rows[] = {
        {1.5, 2.0, results, nullptr, 1, 3,
         " -> Restart time 1.5 [s] is not available. Please choose among available times:\n"
         " -> t[s]: 0\n -> t[s]: 1\n -> t[s]: 2\n",
         " -> impossible to setup proper Re-Run Initial Conditions\n"},
        {1.0000004, 2.0, results, nullptr, 0, 3, " -> Re-run properly set at 1 [s]\n", ""},
        {1.0, 2.0, dir.file("none.h5"), nullptr, 1, 3, "",
         "needs the results file <" + dir.file("none.h5") + "> of the run it continues"},
        {1.0, 2.0, results,
         [&] { drivertest::overwriteValues(results, "NodesAll/Coordnts", {0, 0, 0, 2, 0, 0, 1, 1, 0, 0, 1, 0}); }, 1,
         3, "",
         "the results file <" + results + "> holds another mesh than the model <" + modelFile +
             ">: the node coordinates differ"},
        {0.0, 1.0, results, nullptr, 0, 2, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.start);
        if (row.before) row.before();
        const auto r = simulate(config(row.start, row.end, 1.0), "-o " + shellQuote(row.file));
        EXPECT_EQ(r.status, row.status) << r.out << r.err;
        EXPECT_TRUE(contains(r.out, row.out));
        EXPECT_TRUE(contains(r.err, row.err));
        EXPECT_EQ(r.out.find("successfully processed") == std::string::npos, row.status == 1);
        ASSERT_EQ(drivertest::countObjects(results, "RESULTS/CellsAll/HydState"), row.records);
        for (int index = 0; index < row.records; ++index)
            EXPECT_EQ(drivertest::readAttribute(results, record("CellsAll/HydState", index), "t"),
                      1.0 * index);
    }
}

/// Ordinary mistakes get one plain message. Each output names its input by another spelling: the files are
/// compared, not the strings. Another program
/// holding the results file (as the HDF5 library of a running simulation does): a second run and a fresh run on
/// it are refused before anything is truncated, and a reader is refused while it is written.
TEST_F(SimulationProgram, MistakesAreRefusedAndNoProgramOverwritesItsInputsOrAFileAnotherProgramHoldsOpen)
{
    drivertest::writeModelFile(modelFile, drivertest::ModelFileSpec{});
    const std::string configFile = config(0.0, 1.0, 1.0);
    ASSERT_EQ(simulate(configFile, "-o " + shellQuote(results)).status, 0);
    std::filesystem::copy_file(results, dir.file("results_derived.h5"));
    const std::string simulation = program("hydrova_simulation") + " -f config.json -r model.h5 ";
    const std::string reader = program("hydrova_results");
    struct Row {
        std::string command, victim, message;
    };
    const std::string killed = "\n -> ... unfortunately HYDROVA is killed!\n";
    const Row rows[] = {
        // Ordinary mistakes: one plain message, nothing written.
        {simulation + "-n 0", results, " -> the number of threads (-n) must be at least 1, not 0" + killed},
        {simulation + "-n -1", results, " -> the number of threads (-n) must be at least 1, not -1" + killed},
        {simulation + "-o nofolder/results.h5", results,
         " -> the folder of the results file does not exist: nofolder/" + killed},
        {program("hydrova_simulation") + " -r model.h5 -f .", results,
         " -> configuration file is not a regular file: ." + killed},
        // The set-up program has no archive to restore: -a is an unknown argument there.
        {program("hydrova_setup") + " -f config.json -a restored.json", results, "PARSE ERROR: Argument: -a"},
        {simulation + "-o ./config.json", configFile,
         "the results file <./config.json> is the same file as the configuration file <config.json>"},
        {simulation + "-o ../" + std::filesystem::path(dir.path()).filename().string() + "/model.h5", modelFile,
         "is the same file as the model file <model.h5>"},
        {simulation + "-a ./model.h5", modelFile,
         "the archive file <./model.h5> is the same file as the model file <model.h5>"},
        {reader + " -f results.h5 -x ./results.h5", results,
         "the XDMF file <./results.h5> is the same file as the results file <results.h5>"},
        {reader + " -f results.h5 -a ./results.h5", results,
         "the archive file <./results.h5> is the same file as the results file <results.h5>"},
        {reader + " -f results.h5 -x results_derived.xdmf", results, ""},  // must not be refused
        {reader + " -f results_derived.h5 -x results.xdmf", dir.file("results_derived.h5"),
         "the file of derived values <results_derived.h5> is the same file as the results file <results_derived.h5>"},
        {simulation + "-o results.h5", results, " -> results.h5 is open in another program"},
        {reader + " -f results.h5 --info", results, " -> results.h5 is open in another program"},
    };
    int fd = -1;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command);
        if (row.message.find("open in another") != std::string::npos && fd < 0) {
            fd = ::open(results.c_str(), O_RDONLY);
            ASSERT_EQ(::flock(fd, LOCK_EX), 0);
        }
        const std::string before = readFile(row.victim);
        const auto r = runProcess(row.command, dir.path());
        EXPECT_EQ(r.status, row.message.empty() ? 0 : 1) << r.err;
        if (row.message.size() > killed.size() && row.message.rfind(killed) == row.message.size() - killed.size()) {
            EXPECT_EQ(r.err, row.message);
        } else {
            EXPECT_TRUE(contains(r.err, row.message));
        }
        EXPECT_EQ(readFile(row.victim), before);
    }
    ::close(fd);
}

/// The file-size limit of the process stands in for a full disk (no mount needed): the writes beyond it fail as on
/// a full disk. A run killed while writing a record leaves it without its time: the readers list it and use the
/// others. A disk that fills up after the room check (another program's files): the room each write allocates
/// before the library writes runs out at any of a few sizes between the first record and the last; the run ends
/// alike and every record before stays readable.
TEST_F(SimulationProgram, FullDiskStopsTheRunWithOneLineAndReadersUseEveryCompleteRecord)
{
    drivertest::writeModelFile(modelFile, drivertest::ModelFileSpec{});
    config(0.0, 1000.0, 1.0);
    const std::string simulation = program("hydrova_simulation") + " -f config.json -r model.h5 -o results.h5";
    const auto r = runProcess("sh -c \"trap '' XFSZ; ulimit -f 2400; exec " + simulation + "\"", dir.path());
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_TRUE(std::regex_match(r.err, std::regex(" -> cannot write the results file <results.h5> at t = [0-9.]+ s: "
                                                   "No space left on device \\([^\n]*\\); the records written "
                                                   "before are kept\n -> ... unfortunately HYDROVA is killed!\n")))
        << r.err;
    const int stored = records("limited");
    EXPECT_GT(stored, 1);
    EXPECT_LT(stored, 1001);
    testsupport::H5Output::open(results).doubles(record("CellsAll/HydState", stored), 2, 3, std::vector<double>(6));
    const auto cut = runProcess(program("hydrova_results") + " -f results.h5 --info", dir.path());
    EXPECT_EQ(countOf(cut.out, " ->   t[s]: "), stored);
    EXPECT_TRUE(contains(cut.out, " ->   record " + std::to_string(stored) + " is incomplete (no time): left out\n"));
    EXPECT_EQ(simulate(config(1.0, 2.0, 1.0), "-o results.h5").status, 0);

    const auto sizeUntil = [&](double end) {
        simulate(config(0.0, end, 1.0), "-o sized.h5");
        return static_cast<double>(std::filesystem::file_size(dir.file("sized.h5")));
    };
    const double first = sizeUntil(0.0), whole = sizeUntil(12.0);
    for (const double share : {0.3, 0.5, 0.7, 0.9}) {
        SCOPED_TRACE(share);
        std::filesystem::remove(results);
        // A record's writes ask for 64 KiB of room beyond their data.
        const long at = std::lround(first + share * (whole - first)) + 65536;
        const auto full = runProcess("HYDROVA_FULL_FILE=results.h5 HYDROVA_FULL_AT=" + std::to_string(at) +
                                         " ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD=" HYDROVA_FULL_DISK " " +
                                         simulation,
                                     dir.path());
        std::smatch when;
        ASSERT_TRUE(std::regex_match(full.err, when,
                                     std::regex(" -> cannot write the results file <results.h5> at t = ([0-9]+) s: "
                                                "No space left on device\n -> ... unfortunately HYDROVA is killed!\n")))
            << full.err;
        EXPECT_GT(std::stoi(when[1]), 0);
        EXPECT_EQ(records("full"), std::stoi(when[1]));
    }
}

/// The numerical kernels on the smallest mesh, where edges take the scalar paths besides the lanes: a lake at rest
/// over a step in the bed stays at rest; a dam break in the closed box (two threads) levels the surfaces, the high
/// cell draining into the low one, and keeps the volume 0.5 m^2 x (H0 + H1) of the flat bed.
TEST_F(SimulationProgram, TwoCellsKeepALakeAtRestOverAStepAndTheVolumeOfADamBreak)
{
    struct Row {
        std::array<double, 2> surface, bottom;
        double end;
        const char* threads;
    };
    for (const Row& row : {Row{{2.0, 2.0}, {0.5, 1.0}, 2.0, "-n 1"}, Row{{2.0, 1.5}, {0.0, 0.0}, 1.0, "-n 2"}}) {
        SCOPED_TRACE(row.threads);
        drivertest::ModelFileSpec spec;
        // Cell initialisation once, then time step, wall and internal fluxes and the update in every pass.
        spec.kernels = {{0, {0.0, 0.0, 0.0}}, {3, {0.0, 0.0, 1.0e9}}, {13, {0.0, 0.0, 1.0e9}}, {15, {0.0, 0.0, 1.0e9}},
                        {21, {0.0, 0.0, 1.0e9}}};
        spec.surface = row.surface;
        spec.bottom = row.bottom;
        drivertest::writeModelFile(modelFile, spec);
        ASSERT_EQ(simulate(config(0.0, row.end, row.end / 2), row.threads).status, 0);
        ASSERT_EQ(drivertest::countObjects(results, "RESULTS/CellsAll/HydState"), 3);
        for (int index = 1; index < 3; ++index) {
            const auto s = drivertest::readValues(results, record("CellsAll/HydState", index));
            if (row.surface[0] == row.surface[1]) {
                for (int k : {0, 3}) EXPECT_NEAR(s[k], 2.0, 1e-6) << index;
                for (int k : {1, 2, 4, 5}) EXPECT_NEAR(s[k], 0.0, 1e-6) << index;
            } else {
                EXPECT_NEAR(0.5 * (s[0] + s[3]), 0.5 * 3.5, 1.75e-6) << index;
                EXPECT_LT(s[0], 2.0) << index;
                EXPECT_GT(s[3], 1.5) << index;
            }
        }
    }
}

TEST_F(SimulationProgram, MoreThreadsThanTheMachineOffersAreReducedAndProgressPrintsItsFirstAndLastLine)
{
    drivertest::writeModelFile(modelFile, drivertest::ModelFileSpec{});
    const std::string conf = config(0.0, 1.0, 1.0);
    // More threads than the machine offers are reduced, not rejected; -p prints progress, here one step of 1 s that
    // passes every hundredth at once: the lines of the start and the end.
    const auto many = simulate(conf, "-n 100000 -p");
    EXPECT_EQ(many.status, 0) << many.out << many.err;
    std::smatch threads;
    ASSERT_TRUE(std::regex_search(many.out, threads, std::regex(" -> running on ([0-9]+) threads\n"))) << many.out;
    EXPECT_LT(std::stoi(threads[1].str()), 100000);
    EXPECT_EQ(countOf(many.out, " -> Progress: "), 2) << many.out;
    EXPECT_TRUE(contains(many.out, " -> Progress: 100/100, dt = 1 [s], RTS = "));
}
