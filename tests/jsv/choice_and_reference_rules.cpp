// The "oneOf" forms (exclusive key names; switch over alternatives) and "requiredIn" cross references.
#include <gtest/gtest.h>

#include "tests/jsv/ValidationRun.hpp"

using jsvtest::schemaFailure;
using jsvtest::validate;

TEST(ExclusiveNames, ExactlyOneListedKeyMustBePresentAndIsThenKnown)
{
    const std::string schema = R"({"type": "object", "oneOf": ["discharge", "water_level", "rating"],
        "properties": {"discharge": {"type": "number"}}})";
    const auto one = validate(R"({"discharge": 3})", schema);
    EXPECT_EQ(one.printed, "");
    EXPECT_EQ(one.verdict, 0);

    // The chosen key is still validated by the parent's properties.
    EXPECT_EQ(validate(R"({"discharge": "a lot"})", schema).printed,
              "/discharge: Error: This value must be a number.\n");

    EXPECT_EQ(validate(R"({"comment": 1})", schema).printed,
              "/: Error: One of the following items must be provided: 'discharge', 'water_level', 'rating'.\n"
              "/comment: Warning: The value of this item will not be used.\n");

    // Two present: the first two in list order are named, and neither counts as known.
    const auto three = validate(R"({"rating": 1, "water_level": 2, "discharge": 3})", schema);
    EXPECT_EQ(three.printed,
              "/: Error: Only one of the following two items is allowed: 'discharge', 'water_level'.\n"
              "/discharge: Warning: The value of this item will not be used.\n"
              "/rating: Warning: The value of this item will not be used.\n"
              "/water_level: Warning: The value of this item will not be used.\n");
    EXPECT_EQ(three.verdict, 2);

    EXPECT_EQ(validate("{}", R"({"oneOf": ["a", "a"]})").printed,
              schemaFailure("/oneOf", "The cases must be distinct."));
    EXPECT_EQ(
        validate("{}", R"({"oneOf": []})").printed,
        schemaFailure("/oneOf", "The 'oneOf' keyword requires a non-empty array of item names or of subschemas."));
    EXPECT_EQ(validate("{}", R"({"oneOf": ["a", {"required": ["b"]}]})").verdict, 2);
}

TEST(SwitchForm, TheAlternativeWhoseRequiredKeysArePresentIsAppliedWithItsProperties)
{
    // A boundary either by discharge series or by a water level with its own unit; a plain wall otherwise.
    const std::string schema = R"({"type": "object", "required": ["name"], "oneOf": [
        {"required": ["discharge"], "properties": {"discharge": {"type": "number", "minimum": 0}}},
        {"required": ["level", "unit"], "properties": {"level": {"type": "number"}, "unit": {"enum": ["m", "cm"]}}},
        {"properties": {"roughness": {"type": "number"}}}]})";

    EXPECT_EQ(validate(R"({"name": "in", "discharge": 5})", schema).verdict, 0);
    EXPECT_EQ(validate(R"({"name": "in", "discharge": -5})", schema).printed,
              "/discharge: Error: This value must be greater than or equal to 0.000000.\n");
    EXPECT_EQ(validate(R"({"name": "out", "level": 1, "unit": "ft"})", schema).printed,
              "/unit: Error: This value must be equal to one of the following: 'm', 'cm'.\n");
    // Without a case key the alternative without "required" is the default; its properties are known there.
    EXPECT_EQ(validate(R"({"name": "wall", "roughness": 0.03})", schema).verdict, 0);
    // A half-given case falls back to the default, whose properties do not know "level".
    EXPECT_EQ(validate(R"({"name": "wall", "level": 1})", schema).printed,
              "/level: Warning: The value of this item will not be used.\n");
    // Two complete cases: one key of each case that the other lacks.
    const auto both = validate(R"({"name": "x", "discharge": 1, "level": 1, "unit": "m"})", schema);
    EXPECT_NE(both.printed.find("/: Error: Only one of the following two items is allowed: 'discharge', 'level'.\n"),
              std::string::npos)
        << both.printed;
    EXPECT_EQ(both.verdict, 2);
}

TEST(SwitchForm, WithoutADefaultAMissingCaseListsTheFirstKeyOfEachCaseAndNestedChoicesWork)
{
    const std::string schema = R"({"oneOf": [
        {"required": ["file"], "oneOf": ["columns", "rows"]},
        {"required": ["value"]},
        {"required": ["value", "slope"]}]})";
    EXPECT_EQ(validate(R"({"other": 1})", schema).printed,
              "/: Error: One of the following items must be provided: 'file', 'value'.\n"
              "/other: Warning: The value of this item will not be used.\n");
    // The more specific case wins over its subset: "slope" is known, no exclusivity error.
    EXPECT_EQ(validate(R"({"value": 1, "slope": 2})", schema).verdict, 0);
    EXPECT_EQ(validate(R"({"value": 1})", schema).verdict, 0);
    // The nested choice of the selected alternative applies and its key is known.
    EXPECT_EQ(validate(R"({"file": "q.txt", "rows": 3})", schema).verdict, 0);
    EXPECT_EQ(validate(R"({"file": "q.txt"})", schema).printed,
              "/: Error: One of the following items must be provided: 'columns', 'rows'.\n");
}

TEST(SwitchForm, MalformedAlternativesAreSchemaErrors)
{
    EXPECT_EQ(
        validate("{}", R"({"oneOf": [{"required": ["a"], "type": "object"}, {"required": ["b"]}]})").printed,
        schemaFailure("/oneOf/0/type", "Only the keywords 'properties', 'required' and 'oneOf' are supported here."));
    EXPECT_EQ(validate("{}", R"({"oneOf": [{"required": ["a", "b"]}, {"required": ["b", "a"]}]})").printed,
              schemaFailure("/oneOf", "The cases must be distinct."));
    EXPECT_EQ(
        validate("{}", R"({"oneOf": [{"required": ["a"], "properties": {}}, {"required": ["b"]}]})").printed,
        schemaFailure("/oneOf", "The 'properties' keyword must be present in either all or none of the subschemas."));
}

TEST(RequiredIn, ValuesMustNameAnEntryElsewhereInTheDocument)
{
    const std::string schema = R"({"optional": ["MESH", "SOURCES", "BOUNDARY", "INFLOW", "GAUGE"], "properties": {
        "BOUNDARY": {"type": "array", "items": {"requiredIn": "/MESH/strings/$array_ref/name"}},
        "INFLOW": {"requiredIn": "/SOURCES/itemProperty"},
        "GAUGE": {"requiredIn": "/MESH/gauges"}}})";
    const std::string document = R"({"MESH": {"strings": [{"name": "inlet"}, {"name": "outlet"}], "gauges": [4, 7]},
        "SOURCES": {"well": 1, "rain": 2}, "BOUNDARY": ["outlet", "inlet"], "INFLOW": "rain", "GAUGE": 7})";
    const auto good = validate(document, schema);
    EXPECT_EQ(good.printed, "");
    EXPECT_EQ(good.verdict, 0);

    const std::string wrong = R"({"MESH": {"strings": [{"name": "inlet"}], "gauges": [4, 7]},
        "SOURCES": {"well": 1}, "BOUNDARY": ["inlet", "weir"], "INFLOW": "rain", "GAUGE": 5})";
    EXPECT_EQ(validate(wrong, schema).printed,
              "/BOUNDARY/1: Error: This value must match a 'name' in '/MESH/strings'.\n"
              "/GAUGE: Error: This value must match a 'gauges' in '/MESH'.\n"
              "/INFLOW: Error: This value must match a 'key' in '/SOURCES'.\n");

    // A referenced part that is absent offers nothing to match.
    EXPECT_EQ(validate(R"({"INFLOW": "rain"})", schema).verdict, 2);
}
