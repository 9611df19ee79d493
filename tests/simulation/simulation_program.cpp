// The simulation program run as a process on hand-made model files: archive mode, re-run failures, the guards of
// its input and output files, a full disk, and the command line as a user sees them. The model files schedule no
// kernel, so these runs exercise the driver and the program frame only; the numerical kernels run in tests/wholerun.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <hdf5.h>
#include <sys/file.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "simulation/ModelFile.hpp"
#include "support/Process.hpp"
#include "support/ScratchDir.hpp"
#include "support/Text.hpp"

using testsupport::countOf;
using testsupport::program;
using testsupport::runProcess;
using testsupport::shellQuote;

namespace {

class SimulationProgram : public ::testing::Test {
protected:
    testsupport::ScratchDir dir{"program"};
    const std::string modelFile = dir.file("model.h5");

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
    EXPECT_NE(r.out.find(" -> restoring the model configuration to file <" + target + ">\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("running on"), std::string::npos);
    EXPECT_NE(r.out.find("successfully processed all necessary jobs"), std::string::npos);
    std::ifstream in(target, std::ios::binary);
    std::stringstream restored;
    restored << in.rdbuf();
    EXPECT_EQ(restored.str(), spec.setupText);
    EXPECT_FALSE(std::filesystem::exists(dir.file("results.h5")));
}

TEST_F(SimulationProgram, ReRunAtATimeNeverWrittenListsValidTimesAndFailsWithoutTouchingTheResults)
{
    drivertest::writeModelFile(modelFile, drivertest::ModelFileSpec{});
    const std::string results = dir.file("results.h5");
    const auto fresh = simulate(config(0.0, 2.0, 1.0), "-o " + shellQuote(results));
    ASSERT_EQ(fresh.status, 0) << fresh.out << fresh.err;

    const auto rerun = simulate(config(1.5, 2.0, 1.0), "-o " + shellQuote(results));
    EXPECT_EQ(rerun.status, 1);
    EXPECT_NE(rerun.out.find(" -> Restart time 1.5 [s] is not available. Please choose among available times:\n"
                             " -> t[s]: 0\n -> t[s]: 1\n -> t[s]: 2\n"),
              std::string::npos)
        << rerun.out;
    EXPECT_NE(rerun.err.find(" -> impossible to setup proper Re-Run Initial Conditions\n"), std::string::npos)
        << rerun.err;
    EXPECT_EQ(rerun.out.find("successfully processed"), std::string::npos);
    for (int index = 0; index < 3; ++index) {
        const std::string path = "RESULTS/CellsAll/HydState/000000" + std::to_string(index);
        EXPECT_EQ(drivertest::readAttribute(results, path, "t"), 1.0 * index);
    }

    // A time typed as printed matches within a microsecond and keeps the record it starts from.
    const auto near = simulate(config(1.0000004, 2.0, 1.0), "-o " + shellQuote(results));
    ASSERT_EQ(near.status, 0) << near.out << near.err;
    EXPECT_NE(near.out.find(" -> Re-run properly set at 1 [s]\n"), std::string::npos) << near.out;

    // No results file, or one of another mesh: refused with the names of the files, the results untouched.
    const auto missing = simulate(config(1.0, 2.0, 1.0), "-o " + shellQuote(dir.file("none.h5")));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("needs the results file <" + dir.file("none.h5") + "> of the run it continues"),
              std::string::npos)
        << missing.err;
    const std::vector<double> moved = {0, 0, 0, 2, 0, 0, 1, 1, 0, 0, 1, 0};
    drivertest::overwriteValues(results, "NodesAll/Coordnts", moved);
    const auto other = simulate(config(1.0, 2.0, 1.0), "-o " + shellQuote(results));
    EXPECT_EQ(other.status, 1);
    EXPECT_NE(other.err.find("the results file <" + results + "> holds another mesh than the model <" + modelFile +
                             ">: the node coordinates differ"),
              std::string::npos)
        << other.err;
    EXPECT_EQ(drivertest::readAttribute(results, "RESULTS/CellsAll/HydState/0000002", "t"), 2.0);

    // A fresh run (start 0) does not continue the file: it replaces it.
    const auto again = simulate(config(0.0, 1.0, 1.0), "-o " + shellQuote(results));
    ASSERT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_EQ(drivertest::countObjects(results, "RESULTS/CellsAll/HydState"), 2);
}

TEST_F(SimulationProgram, NoProgramOverwritesItsInputsOrAFileAnotherProgramHoldsOpen)
{
    drivertest::writeModelFile(modelFile, drivertest::ModelFileSpec{});
    const std::string results = dir.file("results.h5");
    const std::string configFile = config(0.0, 1.0, 1.0);
    ASSERT_EQ(simulate(configFile, "-o " + shellQuote(results)).status, 0);
    const std::string setupFile = dir.write("setup.json", R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {}}}})");
    const auto bytes = [](const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const auto run = [&](const std::string& name, const std::string& arguments) {
        return runProcess(program(name) + " " + arguments, dir.path());
    };
    struct Row {
        std::string program, arguments, victim, message;
    };
    // Each output names its input by another spelling: the files are compared, not the strings.
    const Row rows[] = {
        {"hydrova_setup", "-f setup.json -o ./setup.json", setupFile,
         "the model file <./setup.json> is the same file as the set-up command file <setup.json>"},
        {"hydrova_simulation", "-f config.json -r model.h5 -o ./config.json", configFile,
         "the results file <./config.json> is the same file as the configuration file <config.json>"},
        {"hydrova_simulation",
         "-f config.json -r model.h5 -o ../" + std::filesystem::path(dir.path()).filename().string() + "/model.h5",
         modelFile, "is the same file as the model file <model.h5>"},
        {"hydrova_simulation", "-f config.json -r model.h5 -a ./model.h5", modelFile,
         "the archive file <./model.h5> is the same file as the model file <model.h5>"},
        {"hydrova_results", "-f results.h5 -x ./results.h5", results,
         "the XDMF file <./results.h5> is the same file as the results file <results.h5>"},
        {"hydrova_results", "-f results.h5 -a ./results.h5", results,
         "the archive file <./results.h5> is the same file as the results file <results.h5>"},
        {"hydrova_results", "-f results.h5 -x results_derived.xdmf", results, ""},  // must not be refused
        {"hydrova_results", "-f results_derived.h5 -x results.xdmf", dir.file("results_derived.h5"),
         "the file of derived values <results_derived.h5> is the same file as the results file <results_derived.h5>"},
    };
    std::filesystem::copy_file(results, dir.file("results_derived.h5"));
    for (const Row& row : rows) {
        const std::string before = bytes(row.victim);
        const auto r = run(row.program, row.arguments);
        EXPECT_EQ(r.status, row.message.empty() ? 0 : 1) << row.arguments << "\n" << r.err;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << row.arguments << "\n" << r.err;
        EXPECT_EQ(bytes(row.victim), before) << row.arguments;
    }

    // Another program holding the results file (as the HDF5 library of a running simulation does): a second run
    // and a fresh run on it are refused before anything is truncated, and a reader is refused while it is written.
    const std::string before = bytes(results);
    const int fd = ::open(results.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    for (const std::string& command : {program("hydrova_simulation") + " -f config.json -r model.h5 -o results.h5",
                                       program("hydrova_results") + " -f results.h5 --info"}) {
        const auto r = runProcess(command, dir.path());
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_NE(r.err.find(" -> results.h5 is open in another program"), std::string::npos) << r.err;
    }
    ::close(fd);
    EXPECT_EQ(bytes(results), before);
}

TEST_F(SimulationProgram, FullDiskStopsTheRunWithOneLineAndReadersUseEveryCompleteRecord)
{
    // The file-size limit of the process stands in for a full disk (no mount needed): the writes beyond it fail
    // as on a full disk.
    drivertest::writeModelFile(modelFile, drivertest::ModelFileSpec{});
    config(0.0, 1000.0, 1.0);
    const auto r = runProcess("sh -c \"trap '' XFSZ; ulimit -f 2400; exec " + program("hydrova_simulation") +
                                  " -f config.json -r model.h5 -o results.h5\"",
                              dir.path());
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_TRUE(std::regex_match(r.err, std::regex(" -> cannot write the results file <results.h5> at t = [0-9.]+ s: "
                                                   "No space left on device \\([^\n]*\\); the records written "
                                                   "before are kept\n -> ... unfortunately HYDROVA is killed!\n")))
        << r.err;
    const auto info = runProcess(program("hydrova_results") + " -f results.h5 --info", dir.path());
    EXPECT_EQ(info.status, 0) << info.err << r.err;
    EXPECT_GT(countOf(info.out, " ->   t[s]: "), 1) << info.out;
    const int stored = countOf(info.out, " ->   t[s]: ");
    EXPECT_LT(stored, 1001) << info.out;

    // A run killed while writing a record leaves it without its time: the readers list it and use the others.
    {
        char path[64];
        std::snprintf(path, sizeof path, "RESULTS/CellsAll/HydState/%07d", stored);
        const hid_t file = H5Fopen(dir.file("results.h5").c_str(), H5F_ACC_RDWR, H5P_DEFAULT);
        const hsize_t dims[2] = {2, 3};
        const hid_t space = H5Screate_simple(2, dims, nullptr);
        const hid_t set = H5Dcreate2(file, path, H5T_NATIVE_FLOAT, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
        ASSERT_GE(set, 0);
        H5Dclose(set);
        H5Sclose(space);
        H5Fclose(file);
    }
    const auto cut = runProcess(program("hydrova_results") + " -f results.h5 --info", dir.path());
    EXPECT_EQ(cut.status, 0) << cut.err;
    EXPECT_EQ(countOf(cut.out, " ->   t[s]: "), stored);
    EXPECT_NE(cut.out.find(" ->   record " + std::to_string(stored) + " is incomplete (no time): left out\n"),
              std::string::npos)
        << cut.out;
    const auto rerun = simulate(config(1.0, 2.0, 1.0), "-o results.h5");
    EXPECT_EQ(rerun.status, 0) << rerun.out << rerun.err;

    // A disk that fills up after the room check (another program's files): the room each write allocates before
    // the library writes runs out at any of a few sizes between the first record and the last; the run ends
    // alike and every record before stays readable.
    const auto sizeUntil = [&](double end) {
        simulate(config(0.0, end, 1.0), "-o sized.h5");
        return static_cast<double>(std::filesystem::file_size(dir.file("sized.h5")));
    };
    const double first = sizeUntil(0.0);
    const double whole = sizeUntil(12.0);
    for (const double share : {0.3, 0.5, 0.7, 0.9}) {
        std::filesystem::remove(dir.file("results.h5"));
        // A record's writes ask for 64 KiB of room beyond their data.
        const long at = std::lround(first + share * (whole - first)) + 65536;
        const auto full = runProcess("HYDROVA_FULL_FILE=results.h5 HYDROVA_FULL_AT=" + std::to_string(at) +
                                         " ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD=" HYDROVA_FULL_DISK " " +
                                         program("hydrova_simulation") + " -f config.json -r model.h5 -o results.h5",
                                     dir.path());
        std::smatch when;
        ASSERT_TRUE(std::regex_match(full.err, when,
                                     std::regex(" -> cannot write the results file <results.h5> at t = ([0-9]+) s: "
                                                "No space left on device\n -> ... unfortunately HYDROVA is killed!\n")))
            << share << ": " << full.err;
        const int failedAt = std::stoi(when[1]);
        EXPECT_GT(failedAt, 0) << share;
        const auto kept = runProcess(program("hydrova_results") + " -f results.h5 --info", dir.path());
        EXPECT_EQ(kept.status, 0) << share << ": " << kept.err;
        EXPECT_EQ(countOf(kept.out, " ->   t[s]: "), failedAt) << share << ": " << kept.out;
    }
}

TEST_F(SimulationProgram, OrdinaryMistakesGetAPlainMessageAndWriteNothing)
{
    drivertest::writeModelFile(modelFile, drivertest::ModelFileSpec{});
    const std::string conf = config(0.0, 1.0, 1.0);
    struct Mistake {
        std::string command;
        std::string message;
    };
    const std::vector<Mistake> mistakes = {
        {"-f " + shellQuote(conf) + " -n 0", " -> the number of threads (-n) must be at least 1, not 0\n"},
        {"-f " + shellQuote(conf) + " -n -1", " -> the number of threads (-n) must be at least 1, not -1\n"},
        {"-f " + shellQuote(conf) + " -o nofolder/results.h5",
         " -> the folder of the results file does not exist: nofolder/\n"},
        {"-f .", " -> configuration file is not a regular file: .\n"},
    };
    for (const Mistake& m : mistakes) {
        const auto r =
            runProcess(program("hydrova_simulation") + " -r " + shellQuote(modelFile) + " " + m.command, dir.path());
        EXPECT_EQ(r.status, 1) << m.command;
        EXPECT_EQ(r.err, m.message + " -> ... unfortunately HYDROVA is killed!\n") << m.command;
        EXPECT_FALSE(std::filesystem::exists(dir.file("results.h5"))) << m.command;
    }
    // The set-up program has no archive to restore: -a is an unknown argument there.
    const auto r = runProcess(program("hydrova_setup") + " -f " + shellQuote(conf) + " -a restored.json", dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("PARSE ERROR: Argument: -a", 0), 0u) << r.err;
    // More threads than the machine offers are reduced, not rejected; -p prints progress, here one step of 1 s that
    // passes every hundredth at once: the lines of the start and the end.
    const auto many = simulate(conf, "-n 100000 -p");
    EXPECT_EQ(many.status, 0) << many.out << many.err;
    std::smatch threads;
    ASSERT_TRUE(std::regex_search(many.out, threads, std::regex(" -> running on ([0-9]+) threads\n"))) << many.out;
    EXPECT_LT(std::stoi(threads[1].str()), 100000);
    EXPECT_EQ(countOf(many.out, " -> Progress: "), 2) << many.out;
    EXPECT_NE(many.out.find(" -> Progress: 100/100, dt = 1 [s], RTS = "), std::string::npos) << many.out;
}
