// Findings of the keyword validators on data (exact messages, their locations, their order and the verdict), and
// schemas outside the validator's dialect, reported as schema errors located in the schema.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "jsv/Annotation.hpp"
#include "jsv/StreamValidator.hpp"

namespace {

struct Outcome {
    int verdict = -1;
    std::string printed;
};

/// Runs the stream validator on two JSON texts and keeps what it printed and its verdict.
Outcome validate(const std::string& data, const std::string& schema)
{
    std::ostringstream out;
    std::istringstream dataStream(data), schemaStream(schema);
    jsv::StreamValidator validator(&out);
    const int verdict = validator.validate(dataStream, schemaStream);
    return {verdict, out.str()};
}

/// The two lines printed for an invalid schema.
std::string schemaFailure(const std::string& schemaPointer, const std::string& reason)
{
    return "An error occurred while validating the JSON file using the provided schema:\n" + schemaPointer +
           ": Parsing the schema file failed (" + reason + ").\n";
}

const char* const kBounds = R"({"optional": ["lo", "xlo", "hi", "xhi", "flagOff"], "properties": {
    "lo": {"minimum": 1.5}, "xlo": {"minimum": 0, "exclusiveMinimum": true}, "hi": {"maximum": -2},
    "xhi": {"maximum": 10, "exclusiveMaximum": true}, "flagOff": {"minimum": 0, "exclusiveMinimum": false}}})";
const char* const kTypes = R"({"optional": ["n", "i", "s", "o", "a", "e", "c", "u"], "properties": {
    "n": {"type": "number"}, "i": {"type": "integer"}, "s": {"type": "string"}, "o": {"type": "object"},
    "a": {"type": "array"}, "e": {"enum": [1, 2.5]}, "c": {"const": "yes"}, "u": {"format": "uri"}}})";
const char* const kRequired = R"({"type": "object", "required": ["start"], "optional": ["note"], "properties": {
    "start": {"type": "number", "default": 0.0}, "extra": {"type": "number"},
    "list": {"type": "array", "items": {"enum": ["a", "b"]}}}})";
const char* const kNames = R"({"type": "object", "oneOf": ["discharge", "water_level", "rating"],
    "properties": {"discharge": {"type": "number"}}})";
// A boundary either by discharge or by a water level with its unit; a plain wall otherwise.
const char* const kSwitch = R"({"type": "object", "required": ["name"], "oneOf": [
    {"required": ["discharge"], "properties": {"discharge": {"type": "number", "minimum": 0}}},
    {"required": ["level", "unit"], "properties": {"level": {"type": "number"}, "unit": {"enum": ["m", "cm"]}}},
    {"properties": {"roughness": {"type": "number"}}}]})";
const char* const kNoDefault = R"({"oneOf": [{"required": ["file"], "oneOf": ["columns", "rows"]},
    {"required": ["value"]}, {"required": ["value", "slope"]}]})";
const char* const kRequiredIn = R"({"optional": ["MESH", "SOURCES", "BOUNDARY", "INFLOW", "GAUGE"], "properties": {
    "BOUNDARY": {"type": "array", "items": {"requiredIn": "/MESH/strings/$array_ref/name"}},
    "INFLOW": {"requiredIn": "/SOURCES/itemProperty"}, "GAUGE": {"requiredIn": "/MESH/gauges"}}})";
const std::string kUnused = ": Warning: The value of this item will not be used.\n";

}  // namespace

TEST(KeywordFindings, EachKeywordGivesItsLocatedFindingsInPointerOrderAndTheVerdict)
{
    struct Case {
        const char* schema;
        const char* data;
        std::string printed;
        int verdict;
    };
    const Case cases[] = {
        // On the bound: allowed when inclusive, rejected when strict. Bounds apply to numbers only.
        {kBounds, R"({"lo": 1.5, "xlo": 0, "hi": -2, "xhi": 10, "flagOff": 0})",
         "/xhi: Error: This value must be less than 10.000000.\n"
         "/xlo: Error: This value must be greater than 0.000000.\n",
         2},
        {kBounds, R"({"lo": 1.4999, "hi": -1.75, "flagOff": -0.5, "xlo": 1e-9, "xhi": 9})",
         "/flagOff: Error: This value must be greater than or equal to 0.000000.\n"
         "/hi: Error: This value must be less than or equal to -2.000000.\n"
         "/lo: Error: This value must be greater than or equal to 1.500000.\n",
         2},
        {kBounds, R"({"lo": "small"})", "", 0},
        // Integers are numbers, booleans belong to no class; enum and const list their values quoted.
        {kTypes, R"({"n": 3, "i": 4, "s": "x", "o": {}, "a": [], "e": 1, "c": "yes", "u": "file://a.json"})", "", 0},
        {kTypes, R"({"n": 3.5, "e": 2.5, "u": "https://example.org/a?b=c"})", "", 0},
        {kTypes, R"({"n": true, "i": 2.5, "s": null, "o": [], "a": {}, "e": 3, "c": "no", "u": "1http://x"})",
         "/a: Error: This value must be an array.\n"
         "/c: Error: This value must be equal to 'yes'.\n"
         "/e: Error: This value must be equal to one of the following: '1', '2.5'.\n"
         "/i: Error: This value must be an integer.\n"
         "/n: Error: This value must be a number.\n"
         "/o: Error: This value must be an object.\n"
         "/s: Error: This value must be a string.\n"
         "/u: Error: This item is invalid.\n",
         2},
        // A default does not excuse a missing required key; unlisted keys are warned about but still validated,
        // and the keys of an unused object are not walked.
        {kRequired, R"({"note": "x"})", "/start: Error: This item is required but missing.\n", 2},
        {kRequired, R"({"start": 1, "extra": "text"})",
         "/extra" + kUnused + "/extra: Error: This value must be a number.\n", 2},
        {kRequired, R"({"start": 1, "comment": {"a": 1}})", "/comment" + kUnused, 1},
        // Items are located by index, in numeric order; a non-array is only a type error.
        {kRequired, R"({"start": 1, "list": ["x", "a", "y", "b", "a", "a", "a", "a", "a", "a", "z"]})",
         "/list" + kUnused + "/list/0: Error: This value must be equal to one of the following: 'a', 'b'.\n" +
             "/list/2: Error: This value must be equal to one of the following: 'a', 'b'.\n" +
             "/list/10: Error: This value must be equal to one of the following: 'a', 'b'.\n",
         2},
        {kRequired, R"({"start": 1, "list": "a"})", "/list" + kUnused + "/list: Error: This value must be an array.\n",
         2},
        {R"({"type": "object"})", R"({"a/b": 1, "c~d": 2})", "/a~1b" + kUnused + "/c~0d" + kUnused, 1},
        {R"({"type": "object"})", "[1]", "/: Error: This value must be an object.\n", 2},
        // Exclusive names: exactly one must be present, and is then known and validated.
        {kNames, R"({"discharge": 3})", "", 0},
        {kNames, R"({"discharge": "a lot"})", "/discharge: Error: This value must be a number.\n", 2},
        {kNames, R"({"comment": 1})",
         "/: Error: One of the following items must be provided: 'discharge', 'water_level', 'rating'.\n"
         "/comment" +
             kUnused,
         2},
        {kNames, R"({"rating": 1, "discharge": 3})",
         "/: Error: Only one of the following two items is allowed: 'discharge', 'rating'.\n/discharge" + kUnused +
             "/rating" + kUnused,
         2},
        // Switch form: the alternative whose required keys are present applies with its properties; without a case
        // key the alternative without "required" is the default.
        {kSwitch, R"({"name": "in", "discharge": 5})", "", 0},
        {kSwitch, R"({"name": "in", "discharge": -5})",
         "/discharge: Error: This value must be greater than or equal to 0.000000.\n", 2},
        {kSwitch, R"({"name": "wall", "roughness": 0.03})", "", 0},
        {kSwitch, R"({"name": "wall", "level": 1})", "/level" + kUnused, 1},
        {kSwitch, R"({"name": "x", "discharge": 1, "level": 1, "unit": "m"})",
         "/: Error: Only one of the following two items is allowed: 'discharge', 'level'.\n/discharge" + kUnused +
             "/level" + kUnused + "/unit" + kUnused,
         2},
        // Without a default a missing case names each case's first key; the more specific case wins over its subset;
        // the selected alternative's nested choice applies.
        {kNoDefault, R"({"other": 1})",
         "/: Error: One of the following items must be provided: 'file', 'value'.\n/other" + kUnused, 2},
        {kNoDefault, R"({"value": 1, "slope": 2})", "", 0},
        {kNoDefault, R"({"file": "q.txt", "rows": 3})", "", 0},
        {kNoDefault, R"({"file": "q.txt"})",
         "/: Error: One of the following items must be provided: 'columns', 'rows'.\n", 2},
        // Cross references: values must name an entry elsewhere in the document; an absent part offers nothing.
        {kRequiredIn, R"({"MESH": {"strings": [{"name": "inlet"}, {"name": "outlet"}], "gauges": [4, 7]},
            "SOURCES": {"well": 1, "rain": 2}, "BOUNDARY": ["outlet", "inlet"], "INFLOW": "rain", "GAUGE": 7})",
         "", 0},
        {kRequiredIn, R"({"MESH": {"strings": [{"name": "inlet"}], "gauges": [4, 7]},
            "SOURCES": {"well": 1}, "BOUNDARY": ["inlet", "weir"], "INFLOW": "rain", "GAUGE": 5})",
         "/BOUNDARY/1: Error: This value must match a 'name' in '/MESH/strings'.\n"
         "/GAUGE: Error: This value must match a 'gauges' in '/MESH'.\n"
         "/INFLOW: Error: This value must match a 'key' in '/SOURCES'.\n",
         2},
        {kRequiredIn, R"({"INFLOW": "rain"})", "/INFLOW: Error: This value must match a 'key' in '/SOURCES'.\n", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        const auto r = validate(c.data, c.schema);
        EXPECT_EQ(r.printed, c.printed);
        EXPECT_EQ(r.verdict, c.verdict);
    }
}

TEST(KeywordFindings, UnreadableDocumentsGiveOneLineAndVerdictTwo)
{
    const auto badData = validate(R"({"a": )", R"({"type": "object"})");
    EXPECT_EQ(badData.verdict, 2);
    EXPECT_EQ(badData.printed.rfind("Parsing the JSON data file failed: ", 0), 0u) << badData.printed;
    EXPECT_EQ(std::count(badData.printed.begin(), badData.printed.end(), '\n'), 1);
    const auto badSchema = validate("{}", R"({"type": )");
    EXPECT_EQ(badSchema.verdict, 2);
    EXPECT_EQ(badSchema.printed.rfind("Parsing the JSON schema file failed: ", 0), 0u) << badSchema.printed;
}

TEST(SchemaErrors, EachBrokenKeywordIsNamedWithItsSchemaPointerAndReason)
{
    struct Case {
        const char* schema;
        const char* pointer;
        const char* reason;
    };
    const Case cases[] = {
        {R"({"patternProperties": {}})", "/patternProperties", "The keyword 'patternProperties' is not supported."},
        {R"({"properties": {"x": {"type": "real"}}})", "/properties/x/type", "The provided type is invalid."},
        {R"({"type": 4})", "/type", "The provided type is invalid."},
        {R"({"minimum": 0, "exclusiveMinimum": 1})", "/exclusiveMinimum", "This keyword requires a boolean parameter."},
        {R"({"maximum": 0, "exclusiveMaximum": "yes"})", "/exclusiveMaximum",
         "This keyword requires a boolean parameter."},
        {R"({"items": [{"type": "string"}]})", "/items", "Only single items are supported."},
        {R"({"default": [1, 2]})", "/default", "Only string and numeric default values are supported."},
        {R"({"format": "date-time"})", "/format", "Only the 'uri' format is currently supported."},
        {R"({"requiredIn": "no/leading/slash"})", "/requiredIn", "This JSON pointer is invalid."},
        {R"({"requiredIn": "/a/itemProperty/b"})", "/requiredIn", "This JSON pointer is invalid."},
        {R"({"requiredIn": "/a/~2"})", "/requiredIn", "This JSON pointer is invalid."},
        {"[]", "/", "A schema must be defined by either an object or a boolean."},
        {"true", "/", "A schema must be defined by either an object or a boolean."},
        {R"({"properties": {"a": 5}})", "/properties/a", "A schema must be defined by either an object or a boolean."},
        {R"({"oneOf": ["a", "a"]})", "/oneOf", "The cases must be distinct."},
        {R"({"oneOf": []})", "/oneOf",
         "The 'oneOf' keyword requires a non-empty array of item names or of subschemas."},
        {R"({"oneOf": [{"required": ["a"], "type": "object"}, {"required": ["b"]}]})", "/oneOf/0/type",
         "Only the keywords 'properties', 'required' and 'oneOf' are supported here."},
        {R"({"oneOf": [{"required": ["a", "b"]}, {"required": ["b", "a"]}]})", "/oneOf", "The cases must be distinct."},
        {R"({"oneOf": [{"required": ["a"], "properties": {}}, {"required": ["b"]}]})", "/oneOf",
         "The 'properties' keyword must be present in either all or none of the subschemas."},
        // The data has an error and a warning, but only the schema error deeper down is printed.
        {R"({"required": ["x"], "properties": {"list": {"items": {"type": "vector"}}}})", "/properties/list/items/type",
         "The provided type is invalid."},
    };
    for (const Case& c : cases) {
        const auto r = validate(R"({"extra": 1, "a": 1, "list": [1]})", c.schema);
        EXPECT_EQ(r.verdict, 2) << c.schema;
        EXPECT_EQ(r.printed, schemaFailure(c.pointer, c.reason)) << c.schema;
    }
}
