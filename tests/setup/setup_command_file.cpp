// Reading the command file into records: defaults, per-type keys, and the errors the schema cannot catch.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "setup/CommandFile.hpp"
#include "setup/SetupError.hpp"

using nlohmann::json;
using setup::BoundaryType;
using setup::readCommandFile;
using setup::SetupError;

namespace {

json baseDocument()
{
    return json::parse(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "channel.2dm",
                     "STRINGDEF": [{"name": "left"}, {"name": "right"}, {"name": "gauge", "upstream_direction": "right"}],
                     "REGIONDEF": [{"name": "all", "index": [1, 2]}]},
        "HYDRAULICS": {}}}}})");
}

json& hydraulics(json& doc) { return doc["SETUP"]["DOMAIN"]["LAMINA_2D"]["HYDRAULICS"]; }

std::string errorOf(const json& doc)
{
    try {
        readCommandFile(doc, "/case");
    } catch (const SetupError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(SetupCommandFile, DefaultsAndResolvedPaths)
{
    const auto d = readCommandFile(baseDocument(), "/case");
    EXPECT_EQ(d.meshFile, "/case/channel.2dm");
    EXPECT_DOUBLE_EQ(d.parameters.cfl, 0.5);
    EXPECT_DOUBLE_EQ(d.parameters.maxTimeStep, 2.0);
    EXPECT_DOUBLE_EQ(d.parameters.minimumWaterDepth, 0.001);
    EXPECT_DOUBLE_EQ(d.parameters.gravity, 9.81);
    EXPECT_FALSE(d.parameters.safeMode);
    EXPECT_EQ(d.initial.kind, setup::InitialCondition::Kind::Dry);
    EXPECT_FALSE(d.friction.on);
    EXPECT_FALSE(d.flood);
    ASSERT_EQ(d.strings.size(), 3u);
    EXPECT_EQ(d.strings[0].upstream, setup::UpstreamSide::Automatic);
    EXPECT_EQ(d.strings[2].upstream, setup::UpstreamSide::Right);
    ASSERT_EQ(d.regions.size(), 1u);
    EXPECT_EQ(d.regions[0].materials, (std::vector<int>{1, 2}));

    // An absolute mesh path is kept as it is.
    json doc = baseDocument();
    doc["SETUP"]["DOMAIN"]["LAMINA_2D"]["GEOMETRY"]["mesh_file"] = "/meshes/a.2dm";
    EXPECT_EQ(readCommandFile(doc, "/case").meshFile, "/meshes/a.2dm");
}

TEST(SetupCommandFile, HydraulicBlocksAreRead)
{
    json doc = baseDocument();
    hydraulics(doc) = json::parse(R"({
        "PARAMETER": {"CFL": 0.5, "safe_mode": true},
        "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 2.0, "discharge": [0.5, -0.25]}]},
        "FRICTION": {"type": "strickler", "default_friction": 30, "regions": [{"index": [2], "friction": 20}]},
        "BOUNDARY": [{"name": "up", "type": "discharge_inflow", "string": "left", "discharge": [[0, 1], [10, 2]],
                      "slope": 0.001},
                     {"name": "down", "type": "water_level", "string": "right", "water_surface": [[0, 1]],
                      "allow_inflow": false}],
        "SOURCE": [{"name": "well", "type": "inflow", "region": "all", "discharge": [[0, -1]], "sink": "available"}],
        "FLOOD": {}})");
    const auto d = readCommandFile(doc, "");
    EXPECT_DOUBLE_EQ(d.parameters.cfl, 0.5);
    EXPECT_TRUE(d.parameters.safeMode);
    ASSERT_EQ(d.initial.entries.size(), 1u);
    EXPECT_DOUBLE_EQ(d.initial.entries[0].qy, -0.25);
    EXPECT_TRUE(d.friction.on);
    EXPECT_EQ(d.friction.type, 2);
    ASSERT_EQ(d.boundaries.size(), 2u);
    EXPECT_EQ(d.boundaries[0].type, BoundaryType::DischargeInflow);
    EXPECT_EQ(d.boundaries[0].series->points.size(), 2u);
    EXPECT_FALSE(d.boundaries[1].allowInflow);
    ASSERT_EQ(d.sources.size(), 1u);
    EXPECT_EQ(d.sources[0].sink, setup::SinkMode::Available);
    EXPECT_TRUE(d.flood);
    EXPECT_TRUE(d.warnings.empty());
}

TEST(SetupCommandFile, KeysAnotherTypeUsesAreLocatedWarnings)
{
    json doc = baseDocument();
    hydraulics(doc)["BOUNDARY"] = json::parse(
        R"([{"name": "out", "type": "free_outflow", "string": "right", "slope": 0.01, "rating": [[0, 1]]}])");
    const auto d = readCommandFile(doc, "");
    EXPECT_EQ(d.warnings, (std::vector<std::string>{
                              "/SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/BOUNDARY/0/rating: Warning: The value of this item "
                              "will not be used.",
                              "/SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/BOUNDARY/0/slope: Warning: The value of this item "
                              "will not be used."}));
}

TEST(SetupCommandFile, CflAboveTheMeasuredLimitIsALocatedWarning)
{
    for (const double cfl : {setup::kStableCfl, 0.9}) {
        json doc = baseDocument();
        hydraulics(doc)["PARAMETER"] = {{"CFL", cfl}};
        const auto d = readCommandFile(doc, "");
        EXPECT_DOUBLE_EQ(d.parameters.cfl, cfl);
        if (cfl == setup::kStableCfl) {
            EXPECT_TRUE(d.warnings.empty());
        } else {
            EXPECT_EQ(d.warnings,
                      (std::vector<std::string>{
                          "/SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/PARAMETER/CFL: Warning: CFL 0.9 is above 0.65, "
                          "the largest CFL measured stable; the run may oscillate, lose water or stall"}));
        }
    }
}

TEST(SetupCommandFile, ErrorsNameTheItem)
{
    auto withBoundaries = [](const char* list) {
        json doc = baseDocument();
        hydraulics(doc)["BOUNDARY"] = json::parse(list);
        return doc;
    };
    EXPECT_EQ(errorOf(withBoundaries(R"([{"name": "a", "type": "wall", "string": "left"},
                                         {"name": "b", "type": "free_outflow", "string": "left"}])")),
              "string <left> carries two conditions: <a> and <b>");
    EXPECT_EQ(errorOf(withBoundaries(R"([{"name": "a", "type": "wall", "string": "nowhere"}])")),
              "boundary <a>: string <nowhere> is not defined in STRINGDEF");
    EXPECT_EQ(errorOf(withBoundaries(R"([{"name": "a", "type": "weir", "string": "left"}])")),
              "boundary <a>: unknown boundary type 'weir'");
    EXPECT_EQ(errorOf(withBoundaries(R"([{"name": "a", "type": "water_level", "string": "left"}])")),
              "/SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/BOUNDARY/0/water_surface: this item is required but missing");
    EXPECT_EQ(errorOf(withBoundaries(R"([{"name": "a", "type": "normal_outflow", "string": "left", "slope": 0}])")),
              "boundary <a>: slope must be greater than 0");
    EXPECT_EQ(errorOf(withBoundaries(
                  R"([{"name": "a", "type": "water_level", "string": "left", "water_surface": [[0,1]],
                       "allow_inflow": "yes"}])")),
              "/SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/BOUNDARY/0/allow_inflow: this value must be true or false");
    EXPECT_EQ(errorOf(withBoundaries(R"([{"name": "a", "type": "wall", "string": "left"},
                                         {"name": "a", "type": "wall", "string": "right"}])")),
              "boundary <a> is defined twice");

    json doc = baseDocument();
    hydraulics(doc)["FRICTION"] = json::parse(R"({"type": "log_law", "default_friction": -0.01})");
    EXPECT_EQ(errorOf(doc), "FRICTION: default_friction must not be negative (-0.01)");
    // Manning's n and Strickler's k of 0 would act as infinite friction; a log-law roughness of 0 is smooth.
    hydraulics(doc)["FRICTION"] = json::parse(R"({"type": "strickler", "default_friction": 0})");
    EXPECT_EQ(errorOf(doc),
              "FRICTION: default_friction must be greater than 0 for strickler friction (0); leave "
              "FRICTION out for a frictionless run");
    hydraulics(doc)["FRICTION"] =
        json::parse(R"({"type": "manning", "default_friction": 0.01, "regions": [{"index": [1], "friction": 0}]})");
    EXPECT_EQ(errorOf(doc),
              "FRICTION: friction of regions entry 0 must be greater than 0 for manning friction (0); "
              "leave FRICTION out for a frictionless run");
    hydraulics(doc)["FRICTION"] = json::parse(R"({"type": "log_law", "default_friction": 0})");
    EXPECT_EQ(errorOf(doc), "");
    hydraulics(doc)["FRICTION"] = json::parse(R"({"type": "chezy", "default_friction": 0.01})");
    EXPECT_EQ(errorOf(doc), "/SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/FRICTION/type: unknown friction type 'chezy'");

    doc = baseDocument();
    hydraulics(doc)["SOURCE"] =
        json::parse(R"([{"name": "r", "type": "rain", "region": "hills", "intensity": [[0, 1]]}])");
    EXPECT_EQ(errorOf(doc), "source <r>: region <hills> is not defined in REGIONDEF");
    hydraulics(doc)["SOURCE"] = json::parse(R"([{"name": "r", "type": "snow", "region": "all"}])");
    EXPECT_EQ(errorOf(doc), "source <r>: unknown source type 'snow'");
    hydraulics(doc)["SOURCE"] =
        json::parse(R"([{"name": "r", "type": "rain", "region": "all", "intensity": [[5, 1], [1, 0]]}])");
    EXPECT_EQ(errorOf(doc), "source <r>: intensity: the abscissae must increase, but pair 1 has x = 1 after x = 5");

    // Parameters outside the ranges the scheme runs in; material ids that are not whole numbers of int.
    const std::string parameter = "/SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/PARAMETER/";
    for (const auto& [key, value, message] : std::vector<std::tuple<std::string, double, std::string>>{
             {"CFL", 0.0, "CFL: the CFL number must lie in (0, 1]"},
             {"CFL", 1.01, "CFL: the CFL number must lie in (0, 1]"},
             {"minimum_water_depth", 1e-9, "minimum_water_depth: must lie in [1e-06, 0.1] m"},
             {"minimum_water_depth", 0.11, "minimum_water_depth: must lie in [1e-06, 0.1] m"},
             {"max_time_step", 0.0, "max_time_step: must be greater than 0"}}) {
        doc = baseDocument();
        hydraulics(doc)["PARAMETER"][key] = value;
        EXPECT_EQ(errorOf(doc), parameter + message) << key << " = " << value;
    }
    for (const auto& [id, message] : std::vector<std::pair<std::string, std::string>>{
             {"-1", "a material id must be a whole number from 0 to 2147483647"},
             {"99999999999", "a material id must be a whole number from 0 to 2147483647"},
             {"1.5", "a material id must be a whole number from 0 to 2147483647"}}) {
        doc = baseDocument();
        doc["SETUP"]["DOMAIN"]["LAMINA_2D"]["GEOMETRY"]["REGIONDEF"][0]["index"] = json::parse("[1, " + id + "]");
        EXPECT_EQ(errorOf(doc), "/SETUP/DOMAIN/LAMINA_2D/GEOMETRY/REGIONDEF/0/index/1: " + message) << id;
    }

    doc = baseDocument();
    doc["SETUP"]["DOMAIN"]["LAMINA_2D"]["MORPHOLOGY"] = json::object();
    EXPECT_EQ(errorOf(doc), "/SETUP/DOMAIN/LAMINA_2D/MORPHOLOGY/BEDMATERIAL: this item is required but missing");
}
