// The simulation program's command line, banner, configuration check and exit statuses, run as a user would.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/Process.hpp"
#include "support/ScratchDir.hpp"

using testsupport::runProcess;

TEST(SimulationCommandLine, EachInvocationPrintsTheBannerThenItsFindingsAndEndsWithItsStatus)
{
    const std::string header = "HYDROVA v3.0\nLamina OpenMP binary\nv3.0.0\n";
    const std::string killed = " -> ... unfortunately HYDROVA is killed!\n";
    const std::string invalid = " -> Terminating HYDROVA due to JSON validation errors.\n" + killed;
    testsupport::ScratchDir dir("cmdline");
    const std::string valid = R"("TIME": {"start": 0, "end": 10.0, "out": 5}, "OUTPUT": ["water_depth"])";
    const std::string good = dir.write("good.json", R"({"SIMULATION": {)" + valid + "}}");
    const std::string extra = dir.write("extra.json", R"({"COMMENT": "first try", "SIMULATION": {)" + valid + "}}");
    const std::string bad = dir.write(
        "bad.json", R"({"SIMULATION": {"TIME": {"end": 10, "out": -1}, "TIMESTEP": {"init": 0, "minimum": 0.1},
                        "OUTPUT": ["water_depth", "depth"]}})");
    const std::string noTime = dir.write("noTime.json", R"({"SIMULATION": {"OUTPUT": []}})");
    const std::string model = dir.file("model.h5"), restored = " -a " + dir.file("restored.json");
    struct Case {
        std::string args;
        int status;
        std::vector<std::string> outHas;  ///< after the banner
        std::string err;                  ///< exactly, unless empty
        std::string errHas = {};
    };
    const Case cases[] = {
        {"", 1, {}, "", "Required arguments missing"},
        {"--help",
         0,
         {"This is the 'simulation' binary of the HYDROVA framework.", "the configuration file",
          "h5 file with model definition", "name of .h5 file for storing results (must contain ending .h5)"},
         ""},
        {"--version", 0, {"v3.0.0"}, ""},
        // The results file would overwrite the model: refused before the missing configuration file is read.
        {"-f missing.json -r same.h5 -o same.h5",
         1,
         {},
         " -> the results file <same.h5> is the same file as the model file <same.h5>: it would be overwritten; "
         "choose another name\n" +
             killed},
        {"-f " + bad + " -r model.h5",
         1,
         {"/SIMULATION/TIME/start: Error: This item is required but missing.",
          "/SIMULATION/TIME/out: Error: This value must be greater than or equal to 0.000000.",
          "/SIMULATION/TIMESTEP/init: Error: This value must be greater than 0.000000.",
          "/SIMULATION/OUTPUT/1: Error: This value must be equal to one of the following:"},
         invalid},
        // A warning only: the run goes on, and stops at the missing model file before the driver opens anything.
        {"-f " + extra + " -r " + model + " -o " + dir.file("out.h5"),
         1,
         {"/COMMENT: Warning: The value of this item will not be used."},
         " -> runfile not found: " + model + "\n" + killed},
        {"-f " + good + " -r " + model, 1, {}, " -> runfile not found: " + model + "\n" + killed},
        // Archive mode still requires and validates the configuration.
        {restored + " -r model.h5", 1, {}, "", "Required argument missing: file"},
        {restored + " -f " + noTime + " -r model.h5",
         1,
         {"/SIMULATION/TIME: Error: This item is required but missing."},
         invalid},
        // Values are typed by the parser but not judged: the next thing checked is the file.
        {"-f c.json -r m.h5 -n many", 1, {}, "", "Couldn't read argument value from string 'many'"},
        {"-f ./no/such.json -r m.h5 -n 100000 -o results",
         1,
         {},
         " -> configuration file not found: ./no/such.json\n" + killed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = runProcess(testsupport::program("hydrova_simulation") + " " + c.args);
        EXPECT_EQ(r.status, c.status);
        ASSERT_EQ(r.out.rfind(header, 0), 0u) << r.out;
        for (const std::string& text : c.outHas)
            EXPECT_NE(r.out.find(text, header.size()), std::string::npos) << text << "\n" << r.out;
        if (!c.err.empty()) {
            EXPECT_EQ(r.err, c.err);
        }
        EXPECT_NE((r.out + r.err).find(c.errHas), std::string::npos) << r.out << r.err;
        EXPECT_EQ(r.out.find("successfully processed"), std::string::npos);
        if (c.outHas.empty()) {
            EXPECT_FALSE(std::regex_search(r.out, std::regex(": (Error|Warning): "))) << r.out;
        }
    }
}
