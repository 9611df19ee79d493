// The simulation program run as a process on hand-made model files: archive mode, re-run failures, progress and
// kernel de-activation as a user sees them. The model files schedule no kernel with a numerical loop (except one
// on an empty set), so these runs exercise the driver and the program frame only.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "simulation/ModelFile.hpp"
#include "support/Process.hpp"
#include "support/ScratchDir.hpp"
#include "support/Text.hpp"
#include "support/Tolerance.hpp"

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

    // A fresh run (start 0) does not continue the file: it replaces it.
    const auto again = simulate(config(0.0, 1.0, 1.0), "-o " + shellQuote(results));
    ASSERT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_EQ(drivertest::countObjects(results, "RESULTS/CellsAll/HydState"), 2);
}

TEST_F(SimulationProgram, ProgressRunPrintsEveryHundredthOfTheRunAndFinishes)
{
    drivertest::writeModelFile(modelFile, drivertest::ModelFileSpec{});
    const auto r = simulate(config(0.0, 100.0, 1.0), "-p -n 1");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(" -> running on 1 threads\n"), std::string::npos);
    EXPECT_EQ(countOf(r.out, " -> Progress: "), 101);
    EXPECT_NE(r.out.find(" -> Progress: 100/100, dt = 1 [s], RTS = "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" -> simulation finished! (cpu-time = "), std::string::npos);
    EXPECT_EQ(drivertest::countObjects(dir.file("results.h5"), "RESULTS/CellsAll/HydState"), 101);
}

TEST_F(SimulationProgram, KernelOnAnEmptySetIsDeactivatedAndNeverRuns)
{
    drivertest::ModelFileSpec spec;
    spec.wallEdges = 0;
    spec.kernels = {{13, {0.0, 0.0, 1.0e9}}};
    drivertest::writeModelFile(modelFile, spec);
    const auto quiet = simulate(config(0.0, 1.0, 0.0), "-n 100000");
    EXPECT_EQ(quiet.status, 0) << quiet.out << quiet.err;
    EXPECT_EQ(quiet.out.find("de-activating"), std::string::npos);
    // More threads than the machine offers are reduced, not rejected.
    std::smatch threads;
    ASSERT_TRUE(std::regex_search(quiet.out, threads, std::regex(" -> running on ([0-9]+) threads\n"))) << quiet.out;
    EXPECT_LT(std::stoi(threads[1].str()), 100000);

    const auto r = simulate(config(0.0, 1.0, 0.0), "-l 1");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(countOf(r.out, " -> de-activating the kernel <HydWallBFluxes>\n"), 1) << r.out;
}

namespace {

/// Kernel schedule of a hydraulic run: cell initialisation once, then time step, wall and internal fluxes and the
/// update in every pass.
std::vector<drivertest::KernelRow> hydraulicSchedule()
{
    return {{0, {0.0, 0.0, 0.0}},
            {3, {0.0, 0.0, 1.0e9}},
            {13, {0.0, 0.0, 1.0e9}},
            {15, {0.0, 0.0, 1.0e9}},
            {21, {0.0, 0.0, 1.0e9}}};
}

}  // namespace

TEST_F(SimulationProgram, LakeAtRestOverAStepInTheBedStaysAtRest)
{
    drivertest::ModelFileSpec spec;
    spec.kernels = hydraulicSchedule();
    spec.surface = {2.0, 2.0};
    spec.bottom = {0.5, 1.0};
    drivertest::writeModelFile(modelFile, spec);
    const auto r = simulate(config(0.0, 2.0, 1.0), "");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string results = dir.file("results.h5");
    ASSERT_EQ(drivertest::countObjects(results, "RESULTS/CellsAll/HydState"), 3);
    const std::vector<double> last = drivertest::readValues(results, "RESULTS/CellsAll/HydState/0000002");
    EXPECT_CLOSE(last[0], 2.0, 1e-6, 0.0);
    EXPECT_CLOSE(last[3], 2.0, 1e-6, 0.0);
    for (int component : {1, 2, 4, 5}) EXPECT_CLOSE(last[component], 0.0, 1e-6, 0.0) << component;
}

TEST_F(SimulationProgram, DamBreakInAClosedBoxLevelsTheSurfacesAndKeepsTheVolume)
{
    drivertest::ModelFileSpec spec;
    spec.kernels = hydraulicSchedule();
    spec.surface = {2.0, 1.5};
    spec.bottom = {0.0, 0.0};
    drivertest::writeModelFile(modelFile, spec);
    const auto r = simulate(config(0.0, 1.0, 0.5), "-n 2");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string results = dir.file("results.h5");
    ASSERT_EQ(drivertest::countObjects(results, "RESULTS/CellsAll/HydState"), 3);
    // Both cells have area 0.5 m^2 and a flat bed at 0: the volume is 0.5 * (H0 + H1).
    for (int index = 0; index < 3; ++index) {
        const std::vector<double> state =
            drivertest::readValues(results, "RESULTS/CellsAll/HydState/000000" + std::to_string(index));
        EXPECT_CLOSE(0.5 * (state[0] + state[3]), 0.5 * 3.5, 0.0, 1e-6) << index;
        if (index > 0) {
            EXPECT_LT(state[0], 2.0) << index;  // the high cell drains into the low one
            EXPECT_GT(state[3], 1.5) << index;
        }
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
}
