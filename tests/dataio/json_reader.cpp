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

const char* const CONFIG = R"({
  "SIMULATION": {
    "TIME": {"start": 0.0, "end": 10.5, "out": 60, "label": "ten"},
    "TIMESTEP": {"init": 0.02},
    "OUTPUT": ["water_depth", "flow_velocity"],
    "FLAGS": {"debug": true},
    "NUMBERS": [1, 2.5, -3],
    "MIXED": [1, "two"],
    "BOUNDARY": [
      {"type": "inflow", "string": 2, "series": [0.0, 1.5, 3.0]},
      {},
      null,
      {"type": "outflow", "level": 1.25}
    ]
  },
  "": {"x": 1}
})";

/// Runs action and returns what it printed on standard error.
template <typename F>
std::string stderrOf(F action)
{
    ::testing::internal::CaptureStderr();
    action();
    return ::testing::internal::GetCapturedStderr();
}

TEST(JSONReader, TextOrFileAndCompactHash)
{
    JSONReader fromText(CONFIG);
    EXPECT_EQ(fromText.getFileName(), "");
    bool found = false;
    EXPECT_EQ(fromText.getDouble("SIMULATION/TIMESTEP/init", found), 0.02);
    EXPECT_TRUE(found);

    testsupport::ScratchDir dir("dataio-json");
    const std::string pretty = dir.write("pretty.json", CONFIG);
    const std::string compact = dir.write("compact.json", nlohmann::json::parse(CONFIG).dump());
    std::unique_ptr<api::ICommandFileReader> a(dataio::Factory::createCommandFileReader(pretty));
    std::unique_ptr<api::ICommandFileReader> b(dataio::Factory::createCommandFileReader(compact));
    EXPECT_EQ(a->getFileName(), pretty);
    EXPECT_EQ(a->getHash(), b->getHash());
    EXPECT_EQ(a->getHash(), fromText.getHash());
    EXPECT_EQ(a->getHash().find('\n'), std::string::npos);
    EXPECT_EQ(a->getHash().find(": "), std::string::npos);
    EXPECT_EQ(a->getHash().find(", "), std::string::npos);
    // The hash is a JSON text that reads back to the same document.
    EXPECT_EQ(JSONReader(a->getHash()).getHash(), a->getHash());

    const std::string missing = dir.file("missing.json");
    EXPECT_FATAL(JSONReader{missing}, " -> input file <" + missing + "> not found.");
    const std::string broken = dir.write("broken.json", "{\"a\": ");
    EXPECT_THROW(JSONReader{broken}, nlohmann::json::parse_error);
}

TEST(JSONReader, RequiredGettersReportMissingPathsAndFallBack)
{
    JSONReader r(CONFIG);
    bool found = false;
    EXPECT_EQ(r.getInt("SIMULATION/TIME/end", found), 10);
    EXPECT_TRUE(found);
    EXPECT_EQ(r.getInt("SIMULATION/TIME/out", found), 60);
    EXPECT_EQ(r.getString("SIMULATION/TIME/label", found), "ten");
    EXPECT_TRUE(r.getBool("SIMULATION/FLAGS/debug", found));
    EXPECT_EQ(r.getStringList("SIMULATION/OUTPUT", found), (std::vector<std::string>{"water_depth", "flow_velocity"}));
    EXPECT_EQ(r.getDoubleList("SIMULATION/NUMBERS", found), (std::vector<double>{1.0, 2.5, -3.0}));
    EXPECT_EQ(r.getIntList("SIMULATION/NUMBERS", found), (std::vector<int>{1, 2, -3}));

    int value = 0;
    EXPECT_EQ(stderrOf([&] { value = r.getInt("SIMULATION/TIME/stop", found); }),
              " -> path <SIMULATION/TIME/stop> not found.\n");
    EXPECT_FALSE(found);
    EXPECT_EQ(value, std::numeric_limits<int>::min());
    double d = 0.0;
    EXPECT_EQ(stderrOf([&] { d = r.getDouble("NOPE/x", found); }), " -> path <NOPE/x> not found.\n");
    EXPECT_TRUE(std::isnan(d));
    EXPECT_EQ(stderrOf([&] { EXPECT_FALSE(r.getBool("x", found)); }), " -> path <x> not found.\n");

    // Present but of the wrong type: the fallback, no message.
    EXPECT_EQ(stderrOf([&] {
                  EXPECT_EQ(r.getString("SIMULATION/TIME/end", found), "");
                  EXPECT_FALSE(r.getBool("SIMULATION/TIME/end", found));
                  EXPECT_EQ(r.getInt("SIMULATION/TIME/label", found), std::numeric_limits<int>::min());
                  EXPECT_TRUE(r.getIntList("SIMULATION/MIXED", found).empty());
                  EXPECT_TRUE(r.getStringList("SIMULATION/TIME", found).empty());
              }),
              "");

    // A leading "/" gives an empty first component: here the member "" exists, so only "/x" resolves.
    EXPECT_EQ(stderrOf([&] { r.getDouble("/SIMULATION/TIME/end", found); }),
              " -> path </SIMULATION/TIME/end> not found.\n");
    EXPECT_FALSE(found);
    EXPECT_EQ(r.getInt("/x", found), 1);
    EXPECT_TRUE(found);
    // Trailing "/" adds an empty component that the object lacks.
    EXPECT_FALSE(r.checkPaths({"SIMULATION/TIME/"}));
    r.getValue("SIMULATION/TIME/end/deeper", found);
    EXPECT_FALSE(found);
}

TEST(JSONReader, OptionalGettersStructureQueriesAndArraysOfObjects)
{
    JSONReader r(CONFIG);
    EXPECT_EQ(r.getOptionalDouble("SIMULATION/TIME/label", 7.5), 7.5);
    EXPECT_EQ(r.getOptionalDouble("SIMULATION/TIME/end", 7.5), 10.5);
    EXPECT_EQ(r.getOptionalInt("SIMULATION/TIME/missing", 3), 3);
    EXPECT_EQ(r.getOptionalString("SIMULATION/TIME/label", "x"), "ten");
    EXPECT_TRUE(r.getOptionalBool("SIMULATION/FLAGS/missing", true));
    EXPECT_EQ(r.getOptionalIntList("SIMULATION/OUTPUT", {9}), std::vector<int>{9});
    EXPECT_EQ(r.getOptionalStringList("SIMULATION/OUTPUT", {}).size(), 2u);
    EXPECT_EQ(r.getOptionalDoubleList("SIMULATION/NUMBERS", {}), (std::vector<double>{1.0, 2.5, -3.0}));

    EXPECT_TRUE(r.checkPaths({"SIMULATION/TIME/end", "SIMULATION/OUTPUT"}));
    EXPECT_FALSE(r.checkPaths({"SIMULATION/TIME/end", "SIMULATION/NONE", "SIMULATION/OUTPUT"}));
    EXPECT_EQ(r.getGroups("SIMULATION"), (std::vector<std::string>{"FLAGS", "TIME", "TIMESTEP"}));
    EXPECT_TRUE(r.getGroups("SIMULATION/OUTPUT").empty());

    bool found = false;
    EXPECT_EQ(r.getArrayLength("SIMULATION/OUTPUT", found), 2);
    EXPECT_EQ(r.getArrayLength("SIMULATION/TIME", found), 0);
    EXPECT_TRUE(found);
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(r.getArrayLength("SIMULATION/LIST", found), 0); }),
              " -> path <SIMULATION/LIST> not found.\n");
    EXPECT_EQ(r.getOptionalArrayLength("SIMULATION/BOUNDARY"), 4);
    EXPECT_EQ(r.getOptionalArrayLength("SIMULATION/LIST"), 0);

    const std::string b = "SIMULATION/BOUNDARY";
    EXPECT_EQ(r.createPathWithinArray(b, 3, "level"), "SIMULATION/BOUNDARY[3]/level");
    EXPECT_EQ(r.getStringFromArray(b, 0, "type", found), "inflow");
    EXPECT_TRUE(found);
    EXPECT_EQ(r.getIntFromArray(b, 0, "string", found), 2);
    EXPECT_EQ(r.getValueListFromArray(b, 0, "series", found), (std::vector<double>{0.0, 1.5, 3.0}));
    EXPECT_EQ(r.getDoubleFromArray(b, 3, "level", found), 1.25);
    // Empty element, null element, index past the end, absent key: not found, with the array path in the message.
    for (int index : {1, 2, 4, -1}) {
        EXPECT_EQ(stderrOf([&] { r.getDoubleFromArray(b, index, "level", found); }),
                  " -> path <SIMULATION/BOUNDARY[" + std::to_string(index) + "]/level> not found.\n");
        EXPECT_FALSE(found) << index;
    }
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(r.getStringFromArray(b, 3, "type", found), "outflow"); }), "");
    EXPECT_EQ(stderrOf([&] { r.getIntFromArray(b, 0, "series", found); }), "");
    EXPECT_EQ(r.getIntFromArray(b, 0, "series", found), std::numeric_limits<int>::min());
    EXPECT_EQ(stderrOf([&] {
                  EXPECT_EQ(r.getOptionalDoubleFromArray(b, 1, "level", -5.0), -5.0);
                  EXPECT_EQ(r.getOptionalDoubleFromArray(b, 3, "level", -5.0), 1.25);
                  EXPECT_EQ(r.getOptionalIntFromArray(b, 9, "string", 4), 4);
                  EXPECT_EQ(r.getOptionalStringFromArray(b, 3, "type", ""), "outflow");
                  EXPECT_EQ(r.getOptionalValueListFromArray(b, 3, "series", {1.0}), std::vector<double>{1.0});
                  EXPECT_EQ(r.getOptionalStringFromArray("SIMULATION/TIME", 0, "type", "none"), "none");
              }),
              "");
}

}  // namespace
