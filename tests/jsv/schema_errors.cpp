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
    };
    for (const Case& c : cases) {
        const auto r = validate("{}", c.schema);
        EXPECT_EQ(r.verdict, 2) << c.schema;
        EXPECT_EQ(r.printed, schemaFailure(c.pointer, c.reason)) << c.schema;
    }
}

TEST(SchemaErrors, SchemasMustBeObjectsAtEveryLevelReached)
{
    EXPECT_EQ(validate("{}", "[]").printed,
              schemaFailure("/", "A schema must be defined by either an object or a boolean."));
    EXPECT_EQ(validate("{}", "true").printed,
              schemaFailure("/", "A schema must be defined by either an object or a boolean."));
    EXPECT_EQ(validate(R"({"a": 1})", R"({"properties": {"a": 5}})").printed,
              schemaFailure("/properties/a", "A schema must be defined by either an object or a boolean."));
}

TEST(SchemaErrors, ASchemaErrorReplacesTheDataFindings)
{
    // The data has an error and a warning, but the schema is broken deeper down: only the schema error is printed.
    const auto r = validate(R"({"extra": 1, "list": [1]})",
                            R"({"required": ["x"], "properties": {"list": {"items": {"type": "vector"}}}})");
    EXPECT_EQ(r.printed, schemaFailure("/properties/list/items/type", "The provided type is invalid."));
    EXPECT_EQ(r.verdict, 2);
}
