// The embedded configuration schema against documents a user would write.
#include <gtest/gtest.h>

#include <sstream>

#include "ConfigurationSchema.hpp"
#include "jsv/StreamValidator.hpp"

TEST(ConfigurationSchema, UserDocumentsGetTheirFindingsAtTheirOwnPaths)
{
    const std::string time = R"("TIME": {"start": 0.0, "end": 600.0, "out": 60.0})";
    const std::string output = R"("OUTPUT": ["water_depth", "flow_velocity"])";
    const auto simulation = [](const std::string& inner) { return R"({"SIMULATION": {)" + inner + "}}"; };
    struct Case {
        std::string document, printed;
        int verdict;
    };
    const Case cases[] = {
        // TIMESTEP is optional: the driver has its own defaults.
        {simulation(time + ", " + output), "", 0},
        {simulation(R"("TIME": {"start": 10, "end": 20, "out": 0}, "TIMESTEP": {"init": 0.5, "minimum": 1e-6}, )" +
                    output),
         "", 0},
        {"{}", "/SIMULATION: Error: This item is required but missing.\n", 2},
        {simulation(time + ", " + output + R"(, "TIMESTEP": {"init": 0.1})"),
         "/SIMULATION/TIMESTEP/minimum: Error: This item is required but missing.\n", 2},
        {simulation(time), "/SIMULATION/OUTPUT: Error: This item is required but missing.\n", 2},
        {simulation(R"("TIME": {"start": -1, "end": 5, "out": 1}, )" + output),
         "/SIMULATION/TIME/start: Error: This value must be greater than or equal to 0.000000.\n", 2},
        {simulation(R"("TIME": {"start": 0, "end": true, "out": 1}, )" + output),
         "/SIMULATION/TIME/end: Error: This value must be a number.\n", 2},
        // Case matters, so "time" leaves TIME missing.
        {simulation(R"("time": {"start": 0, "end": 5, "out": 1}, )" + output),
         "/SIMULATION/TIME: Error: This item is required but missing.\n"
         "/SIMULATION/time: Warning: The value of this item will not be used.\n",
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.document);
        std::ostringstream out;
        std::istringstream data(c.document), schema(hydrova::configurationSchema);
        jsv::StreamValidator validator(&out);
        EXPECT_EQ(validator.validate(data, schema), c.verdict);
        EXPECT_EQ(out.str(), c.printed);
    }
}
