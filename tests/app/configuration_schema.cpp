// The embedded configuration schema against documents a user would write.
#include <gtest/gtest.h>

#include <sstream>

#include "ConfigurationSchema.hpp"
#include "jsv/StreamValidator.hpp"

namespace {

struct Outcome {
    int verdict;
    std::string printed;
};

Outcome check(const std::string& document)
{
    std::ostringstream out;
    std::istringstream data(document), schema(hydrova::configurationSchema);
    jsv::StreamValidator validator(&out);
    const int verdict = validator.validate(data, schema);
    return {verdict, out.str()};
}

std::string withSimulation(const std::string& inner) { return R"({"SIMULATION": {)" + inner + "}}"; }

const std::string kTime = R"("TIME": {"start": 0.0, "end": 600.0, "out": 60.0})";
const std::string kOutput = R"("OUTPUT": ["water_depth", "flow_velocity"])";

}  // namespace

TEST(ConfigurationSchema, MinimalAndCompleteDocumentsPassSilently)
{
    // TIMESTEP is optional: the driver has its own defaults.
    const auto minimal = check(withSimulation(kTime + ", " + kOutput));
    EXPECT_EQ(minimal.printed, "");
    EXPECT_EQ(minimal.verdict, 0);

    const auto full = check(withSimulation(
        R"("TIME": {"start": 10, "end": 20, "out": 0}, "TIMESTEP": {"init": 0.5, "minimum": 1e-6},
           "OUTPUT": ["water_surface", "water_depth", "bottom_elevation", "friction_chezy", "delta_z",
                      "flow_curvature", "flow_radius", "flow_velocity", "spec_discharge", "ns_hyd_discharge",
                      "ns_mor_discharge"])"));
    EXPECT_EQ(full.printed, "");
    EXPECT_EQ(full.verdict, 0);
}

TEST(ConfigurationSchema, MissingItemsAreErrorsAtTheirOwnPathEvenWithDefaults)
{
    const auto empty = check("{}");
    EXPECT_EQ(empty.printed, "/SIMULATION: Error: This item is required but missing.\n");
    EXPECT_EQ(empty.verdict, 2);

    const auto noStart = check(withSimulation(R"("TIME": {"end": 5, "out": 1}, )" + kOutput));
    EXPECT_EQ(noStart.printed, "/SIMULATION/TIME/start: Error: This item is required but missing.\n");

    const auto halfStep = check(withSimulation(kTime + ", " + kOutput + R"(, "TIMESTEP": {"init": 0.1})"));
    EXPECT_EQ(halfStep.printed, "/SIMULATION/TIMESTEP/minimum: Error: This item is required but missing.\n");

    const auto noOutput = check(withSimulation(kTime));
    EXPECT_EQ(noOutput.printed, "/SIMULATION/OUTPUT: Error: This item is required but missing.\n");
}

TEST(ConfigurationSchema, BoundsTypesAndOutputNamesAreChecked)
{
    const auto zeroStep =
        check(withSimulation(kTime + ", " + kOutput + R"(, "TIMESTEP": {"init": 0, "minimum": 0.1})"));
    EXPECT_EQ(zeroStep.printed, "/SIMULATION/TIMESTEP/init: Error: This value must be greater than 0.000000.\n");
    EXPECT_EQ(zeroStep.verdict, 2);

    const auto negative = check(withSimulation(R"("TIME": {"start": -1, "end": 5, "out": 1}, )" + kOutput));
    EXPECT_EQ(negative.printed,
              "/SIMULATION/TIME/start: Error: This value must be greater than or equal to 0.000000.\n");

    // Booleans belong to no type class; integers are numbers.
    const auto flag = check(withSimulation(R"("TIME": {"start": 0, "end": true, "out": 1}, )" + kOutput));
    EXPECT_EQ(flag.printed, "/SIMULATION/TIME/end: Error: This value must be a number.\n");

    const auto name = check(withSimulation(kTime + R"(, "OUTPUT": ["water_depth", "velocity"])"));
    EXPECT_EQ(name.printed,
              "/SIMULATION/OUTPUT/1: Error: This value must be equal to one of the following: 'water_surface', "
              "'water_depth', 'bottom_elevation', 'friction_chezy', 'delta_z', 'flow_curvature', 'flow_radius', "
              "'flow_velocity', 'spec_discharge', 'ns_hyd_discharge', 'ns_mor_discharge'.\n");
}

TEST(ConfigurationSchema, UnknownKeysAreWarningsOnly)
{
    const auto top = check(R"({"COMMENT": "first try", "SIMULATION": {)" + kTime + ", " + kOutput + "}}");
    EXPECT_EQ(top.printed, "/COMMENT: Warning: The value of this item will not be used.\n");
    EXPECT_EQ(top.verdict, 1);

    // Case matters: "time" is not "TIME", so TIME is missing and "time" is unused.
    const auto lower = check(withSimulation(R"("time": {"start": 0, "end": 5, "out": 1}, )" + kOutput));
    EXPECT_EQ(lower.printed,
              "/SIMULATION/TIME: Error: This item is required but missing.\n"
              "/SIMULATION/time: Warning: The value of this item will not be used.\n");
    EXPECT_EQ(lower.verdict, 2);
}
