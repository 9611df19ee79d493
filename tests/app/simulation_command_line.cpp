// The simulation program's command line, banner, closing lines, configuration check and exit statuses.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/Process.hpp"
#include "support/ScratchDir.hpp"

using testsupport::program;
using testsupport::runProcess;
using testsupport::ScratchDir;

namespace {

const std::string kHeaderStart = "HYDROVA v3.0\nLamina OpenMP binary\nv3.0.0\n";
const std::string kFooter =
    "\n------------------------------------------------------------\n"
    " HYDROVA successfully processed all necessary jobs!\n\n";
const std::string kKilled = " -> ... unfortunately HYDROVA is killed!\n";

std::string simulation(const std::string& args) { return program("hydrova_simulation") + " " + args; }

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

const char* kValidConfig = R"({"SIMULATION": {"TIME": {"start": 0, "end": 10.0, "out": 5},
                                "OUTPUT": ["water_depth"]}})";

}  // namespace

TEST(SimulationCommandLine, NoArgumentsPrintsHeaderThenMissingArgumentsAndFails)
{
    const auto r = runProcess(simulation(""));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(startsWith(r.out, kHeaderStart)) << r.out;
    const std::string all = r.out + r.err;
    EXPECT_NE(all.find("Required arguments missing"), std::string::npos) << all;
    EXPECT_EQ(all.find("successfully processed"), std::string::npos);
}

TEST(SimulationCommandLine, HelpAndVersionComeAfterTheHeaderWithoutFooter)
{
    const auto help = runProcess(simulation("--help"));
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(startsWith(help.out, kHeaderStart)) << help.out;
    EXPECT_NE(help.out.find("This is the 'simulation' binary of the HYDROVA framework."), std::string::npos);
    for (const char* text :
         {"the configuration file", "level of debug messages", "number of threads", "restore the archive",
          "h5 file with model definition", "print simulation progress", "print IDs showing numerical issues",
          "name of .h5 file for storing results (must contain ending .h5)"}) {
        EXPECT_NE(help.out.find(text), std::string::npos) << "usage lacks: " << text;
    }
    EXPECT_EQ(help.out.find("successfully processed"), std::string::npos);

    const auto version = runProcess(simulation("--version"));
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(startsWith(version.out, kHeaderStart)) << version.out;
    EXPECT_NE(version.out.find("v3.0.0", kHeaderStart.size()), std::string::npos) << version.out;
    EXPECT_EQ(version.out.find("successfully processed"), std::string::npos);
}

TEST(SimulationCommandLine, RunfileEqualToOutputIsRejectedBeforeAnyFileIsRead)
{
    // The configuration file does not exist: the assertion must come first.
    const auto r = runProcess(simulation("-f missing.json -r same.h5 -o same.h5"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find(" -> the results file <same.h5> is the same file as the model file <same.h5>: it would be "
                         "overwritten; choose another name\n"),
              0u)
        << r.err;
    EXPECT_NE(r.err.find(kKilled), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("configuration file not found"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("successfully processed"), std::string::npos);
}

TEST(SimulationCommandLine, MissingConfigurationFileIsNamedAsTyped)
{
    const auto r = runProcess(simulation("-f ./no/such/config.json -r model.h5"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, " -> configuration file not found: ./no/such/config.json\n" + kKilled);
}

TEST(SimulationCommandLine, ValidationErrorsArePrintedWithPointersThenTheRunEnds)
{
    ScratchDir dir("cmdline");
    const std::string config = dir.write(
        "bad.json", R"({"SIMULATION": {"TIME": {"end": 10, "out": -1}, "TIMESTEP": {"init": 0, "minimum": 0.1},
                        "OUTPUT": ["water_depth", "depth"]}})");
    const auto r = runProcess(simulation("-f " + config + " -r model.h5"));
    EXPECT_EQ(r.status, 1);
    for (const char* finding : {"/SIMULATION/TIME/start: Error: This item is required but missing.",
                                "/SIMULATION/TIME/out: Error: This value must be greater than or equal to 0.000000.",
                                "/SIMULATION/TIMESTEP/init: Error: This value must be greater than 0.000000.",
                                "/SIMULATION/OUTPUT/1: Error: This value must be equal to one of the following:"}) {
        EXPECT_NE(r.out.find(finding), std::string::npos) << "missing finding: " << finding << "\n" << r.out;
    }
    EXPECT_EQ(r.err, " -> Terminating HYDROVA due to JSON validation errors.\n" + kKilled);
}

TEST(SimulationCommandLine, ExtraTopLevelKeyIsOnlyAWarningAndTheRunGoesOnToTheDriver)
{
    ScratchDir dir("cmdline");
    std::string text = kValidConfig;
    text.insert(text.rfind('}'), R"(, "COMMENT": "first try")");
    const std::string config = dir.write("extra.json", text);
    const auto r = runProcess(simulation("-f " + config + " -r " + dir.file("model.h5") + " -o " + dir.file("out.h5")));
    EXPECT_NE(r.out.find("/COMMENT: Warning: The value of this item will not be used."), std::string::npos) << r.out;
    EXPECT_EQ(r.err.find("Terminating HYDROVA due to JSON validation errors."), std::string::npos) << r.err;
    // The model file does not exist: the run stops naming it, before the driver opens anything.
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, " -> runfile not found: " + dir.file("model.h5") + "\n" + kKilled) << r.err;
    EXPECT_EQ(r.out.find("successfully processed"), std::string::npos);
}

TEST(SimulationCommandLine, ValidConfigurationPrintsNoFindings)
{
    ScratchDir dir("cmdline");
    const std::string config = dir.write("good.json", kValidConfig);
    const auto r = runProcess(simulation("-f " + config + " -r " + dir.file("model.h5")));
    EXPECT_EQ(r.out.find(": Error: "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(": Warning: "), std::string::npos) << r.out;
    EXPECT_EQ(r.err.find("Terminating HYDROVA"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("configuration file not found"), std::string::npos) << r.err;
}

TEST(SimulationCommandLine, ArchiveModeStillRequiresAndValidatesTheConfiguration)
{
    ScratchDir dir("cmdline");
    const auto noFile = runProcess(simulation("-a " + dir.file("restored.json") + " -r model.h5"));
    EXPECT_EQ(noFile.status, 1);
    EXPECT_NE((noFile.out + noFile.err).find("Required argument missing: file"), std::string::npos)
        << noFile.out << noFile.err;

    const std::string config = dir.write("bad.json", R"({"SIMULATION": {"OUTPUT": []}})");
    const auto invalid = runProcess(simulation("-a " + dir.file("restored.json") + " -f " + config + " -r model.h5"));
    EXPECT_EQ(invalid.status, 1);
    EXPECT_NE(invalid.out.find("/SIMULATION/TIME: Error: This item is required but missing."), std::string::npos)
        << invalid.out;
    EXPECT_EQ(invalid.err, " -> Terminating HYDROVA due to JSON validation errors.\n" + kKilled);
    EXPECT_EQ(invalid.out.find("running on"), std::string::npos);
}

TEST(SimulationCommandLine, ArgumentValuesAreTypedButNotJudgedByTheShell)
{
    // A non-integer thread count is a parse error of the library.
    const auto word = runProcess(simulation("-f c.json -r m.h5 -n many"));
    EXPECT_EQ(word.status, 1);
    EXPECT_TRUE(startsWith(word.out, kHeaderStart)) << word.out;
    EXPECT_EQ(word.err.find("configuration file not found"), std::string::npos);

    // A huge thread count and an output without ".h5" pass the shell: the next thing checked is the file.
    const auto many = runProcess(simulation("-f nowhere.json -r m.h5 -n 100000 -o results"));
    EXPECT_EQ(many.status, 1);
    EXPECT_EQ(many.err, " -> configuration file not found: nowhere.json\n" + kKilled);
}
