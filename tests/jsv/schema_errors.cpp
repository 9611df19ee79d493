// Schemas outside the validator's dialect are reported as schema errors, located in the schema, with verdict 2.
#include <gtest/gtest.h>

#include "tests/jsv/ValidationRun.hpp"

using jsvtest::schemaFailure;
using jsvtest::validate;

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
        {R"({"default": true})", "/default", "Only string and numeric default values are supported."},
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
