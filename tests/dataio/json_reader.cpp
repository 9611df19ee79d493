// The configuration reader: construction from text or file, path look-up, typed required and optional getters.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "Fatal.hpp"
#include "dataio/Factory.hpp"
#include "dataio/JSONReader.hpp"
#include "support/ScratchDir.hpp"

using dataio::JSONReader;

namespace {

const char* const CONFIG = R"({"": {"x": 1}, "SIMULATION": {
    "TIME": {"end": 10.5, "label": "ten"}, "OUTPUT": ["water_depth", "flow_velocity"], "FLAGS": {},
    "NUMBERS": [1, 2.5, -3], "MIXED": [1, "two"],
    "BOUNDARY": [{"series": [0.0, 1.5, 3.0]}, {}, null, {"level": 1.25}]}})";

const int NO_INT = std::numeric_limits<int>::min();
using Ints = std::vector<int>;
using Doubles = std::vector<double>;

TEST(JSONReader, TextOrFileAndACompactHash)
{
    testsupport::ScratchDir dir("dataio-json");
    const std::string pretty = dir.write("pretty.json", CONFIG);
    std::unique_ptr<api::ICommandFileReader> a(dataio::Factory::createCommandFileReader(pretty));
    EXPECT_EQ(a->getFileName(), pretty);
    EXPECT_EQ(JSONReader(CONFIG).getFileName(), "");
    // The hash is the compact text of the document, whatever its layout.
    EXPECT_EQ(a->getHash(), nlohmann::json::parse(CONFIG).dump());
    EXPECT_EQ(a->getHash().find_first_of("\n "), std::string::npos);
    const std::string missing = dir.file("missing.json");
    EXPECT_FATAL(JSONReader{missing}, " -> input file <" + missing + "> not found.");
    EXPECT_THROW(JSONReader{dir.write("broken.json", "{\"a\": ")}, nlohmann::json::parse_error);
}

TEST(JSONReader, GettersReturnTheValueOrAFallbackAndReportOnlyMissingRequiredPaths)
{
    const JSONReader r(CONFIG);
    const std::string b = "SIMULATION/BOUNDARY";
    bool found = false;
    const struct {
        std::function<void()> call;  // checks the value returned
        int found;                   // -1: an optional getter, which tells nothing
        std::string err;
    } cases[] = {
        {[&] { EXPECT_EQ(r.getInt("SIMULATION/TIME/end", found), 10); }, 1, ""},
        {[&] {
             EXPECT_EQ(r.getIntList("SIMULATION/NUMBERS", found), (Ints{1, 2, -3}));
         },
         1, ""},
        {[&] {
             EXPECT_EQ(r.getValueListFromArray(b, 0, "series", found), (Doubles{0, 1.5, 3}));
         },
         1, ""},
        {[&] { EXPECT_EQ(r.getDoubleFromArray(b, 3, "level", found), 1.25); }, 1, ""},
        // Missing: the fallback and the path in the message.
        {[&] { EXPECT_EQ(r.getInt("SIMULATION/TIME/stop", found), NO_INT); }, 0, " -> path <SIMULATION/TIME/stop> "},
        {[&] { EXPECT_TRUE(std::isnan(r.getDouble("NOPE/x", found))); }, 0, " -> path <NOPE/x> "},
        {[&] { EXPECT_EQ(r.getArrayLength("SIMULATION/LIST", found), 0); }, 0, " -> path <SIMULATION/LIST> "},
        // A leading "/" gives an empty first component, which exists here but has no "SIMULATION".
        {[&] { r.getDouble("/SIMULATION/TIME/end", found); }, 0, " -> path </SIMULATION/TIME/end> "},
        // Empty element, null element, index past the end or before the start of an array of objects.
        {[&] { r.getDoubleFromArray(b, 1, "level", found); }, 0, " -> path <" + b + "[1]/level> "},
        {[&] { r.getDoubleFromArray(b, 2, "level", found); }, 0, " -> path <" + b + "[2]/level> "},
        {[&] { r.getDoubleFromArray(b, 4, "level", found); }, 0, " -> path <" + b + "[4]/level> "},
        {[&] { r.getDoubleFromArray(b, -1, "level", found); }, 0, " -> path <" + b + "[-1]/level> "},
        // Present but of the wrong type: the fallback, no message.
        {[&] { EXPECT_EQ(r.getInt("SIMULATION/TIME/label", found), NO_INT); }, 1, ""},
        {[&] { EXPECT_TRUE(r.getIntList("SIMULATION/MIXED", found).empty()); }, 1, ""},
        {[&] { EXPECT_EQ(r.getIntFromArray(b, 0, "series", found), NO_INT); }, 1, ""},
        // Optional: the default when missing or of the wrong type, silently.
        {[&] { EXPECT_EQ(r.getOptionalDouble("SIMULATION/TIME/label", 7.5), 7.5); }, -1, ""},
        {[&] { EXPECT_EQ(r.getOptionalIntList("SIMULATION/OUTPUT", {9}), Ints{9}); }, -1, ""},
        {[&] { EXPECT_EQ(r.getOptionalDoubleFromArray(b, 1, "level", -5.0), -5.0); }, -1, ""},
        {[&] { EXPECT_EQ(r.getOptionalDoubleFromArray(b, 3, "level", -5.0), 1.25); }, -1, ""},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        found = cases[i].found != 1;
        ::testing::internal::CaptureStderr();
        cases[i].call();
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), cases[i].err.empty() ? "" : cases[i].err + "not found.\n");
        if (cases[i].found >= 0) EXPECT_EQ(found, cases[i].found == 1);
    }
    EXPECT_TRUE(r.checkPaths({"SIMULATION/TIME/end", "SIMULATION/OUTPUT"}));
    EXPECT_FALSE(r.checkPaths({"SIMULATION/TIME/end", "SIMULATION/NONE", "SIMULATION/OUTPUT"}));
    EXPECT_EQ(r.getGroups("SIMULATION"), (std::vector<std::string>{"FLAGS", "TIME"}));
}

}  // namespace
