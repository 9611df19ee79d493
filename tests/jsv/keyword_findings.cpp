// Findings of the keyword validators on data: exact messages, their locations, their order and the verdict.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "jsv/Annotation.hpp"
#include "jsv/MessageConverters.hpp"
#include "jsv/StreamValidator.hpp"
#include "tests/jsv/ValidationRun.hpp"

using jsvtest::validate;

TEST(KeywordFindings, NumberBoundsPrintTheBoundWithSixDecimalsAndRespectStrictness)
{
    const std::string schema = R"({"optional": ["lo", "xlo", "hi", "xhi", "flagOff"], "properties": {
        "lo":  {"minimum": 1.5},
        "xlo": {"minimum": 0, "exclusiveMinimum": true},
        "hi":  {"maximum": -2},
        "xhi": {"maximum": 10, "exclusiveMaximum": true},
        "flagOff": {"minimum": 0, "exclusiveMinimum": false}}})";
    // Exactly on the bound: allowed when inclusive, rejected when strict. Keys print in sorted order.
    const auto onBound = validate(R"({"lo": 1.5, "xlo": 0, "hi": -2, "xhi": 10, "flagOff": 0})", schema);
    EXPECT_EQ(onBound.printed,
              "/xhi: Error: This value must be less than 10.000000.\n"
              "/xlo: Error: This value must be greater than 0.000000.\n");
    EXPECT_EQ(onBound.verdict, 2);

    const auto outside = validate(R"({"lo": 1.4999, "hi": -1.75, "flagOff": -0.5, "xlo": 1e-9, "xhi": 9})", schema);
    EXPECT_EQ(outside.printed,
              "/flagOff: Error: This value must be greater than or equal to 0.000000.\n"
              "/hi: Error: This value must be less than or equal to -2.000000.\n"
              "/lo: Error: This value must be greater than or equal to 1.500000.\n");

    // Bounds apply to numbers only; the wrong type is left to "type".
    EXPECT_EQ(validate(R"({"lo": "small"})", schema).verdict, 0);
}

TEST(KeywordFindings, TypeClassesAcceptIntegersAsNumbersButNoBooleans)
{
    const std::string schema = R"({"optional": ["n", "i", "s", "o", "a"], "properties": {
        "n": {"type": "number"}, "i": {"type": "integer"}, "s": {"type": "string"},
        "o": {"type": "object"}, "a": {"type": "array"}}})";
    EXPECT_EQ(validate(R"({"n": 3, "i": 4, "s": "x", "o": {}, "a": []})", schema).verdict, 0);
    EXPECT_EQ(validate(R"({"n": 3.5})", schema).verdict, 0);

    const auto wrong = validate(R"({"n": true, "i": 2.5, "s": null, "o": [], "a": {}})", schema);
    EXPECT_EQ(wrong.printed,
              "/a: Error: This value must be an array.\n"
              "/i: Error: This value must be an integer.\n"
              "/n: Error: This value must be a number.\n"
              "/o: Error: This value must be an object.\n"
              "/s: Error: This value must be a string.\n");
    EXPECT_EQ(wrong.verdict, 2);
}

TEST(KeywordFindings, EnumAndConstListTheirValuesQuoted)
{
    const std::string schema = R"({"optional": ["mode", "level", "fixed"], "properties": {
        "mode": {"enum": ["dry", "wet"]}, "level": {"enum": [1, 2.5]}, "fixed": {"const": "yes"}}})";
    EXPECT_EQ(validate(R"({"mode": "wet", "level": 1, "fixed": "yes"})", schema).verdict, 0);
    const auto r = validate(R"({"mode": "damp", "level": 3, "fixed": "no"})", schema);
    EXPECT_EQ(r.printed,
              "/fixed: Error: This value must be equal to 'yes'.\n"
              "/level: Error: This value must be equal to one of the following: '1', '2.5'.\n"
              "/mode: Error: This value must be equal to one of the following: 'dry', 'wet'.\n");
}

TEST(KeywordFindings, RequiredIgnoresDefaultsAndUnlistedKeysAreWarnedButStillValidated)
{
    const std::string schema = R"({"type": "object", "required": ["start"], "optional": ["note"], "properties": {
        "start": {"type": "number", "default": 0.0},
        "extra": {"type": "number"}}})";
    // A default does not excuse a missing required key: the error is located at the missing key's path.
    const auto missing = validate(R"({"note": "x"})", schema);
    EXPECT_EQ(missing.printed, "/start: Error: This item is required but missing.\n");
    EXPECT_EQ(missing.verdict, 2);

    // "extra" is described but neither required nor optional: warned as unused, and its type still checked.
    const auto extra = validate(R"({"start": 1, "extra": "text"})", schema);
    EXPECT_EQ(extra.printed,
              "/extra: Warning: The value of this item will not be used.\n"
              "/extra: Error: This value must be a number.\n");

    const auto warningOnly = validate(R"({"start": 1, "comment": {"a": 1}})", schema);
    EXPECT_EQ(warningOnly.printed, "/comment: Warning: The value of this item will not be used.\n");
    EXPECT_EQ(warningOnly.verdict, 1);

    // Keys of an unused object are not walked: only the object itself is reported.
    EXPECT_EQ(warningOnly.printed.find("/comment/a"), std::string::npos);
}

TEST(KeywordFindings, ItemsAreLocatedByIndexInNumericOrder)
{
    const std::string schema = R"({"required": ["list"], "properties": {"list": {"type": "array",
        "items": {"type": "string", "enum": ["a", "b"]}}}})";
    std::string data = R"({"list": ["a", "a", "x", "b", "a", "a", "a", "a", "a", "a", "y"]})";
    const auto r = validate(data, schema);
    EXPECT_EQ(r.printed,
              "/list/2: Error: This value must be equal to one of the following: 'a', 'b'.\n"
              "/list/10: Error: This value must be equal to one of the following: 'a', 'b'.\n");
    // A non-array value is only a type error, items are not applied.
    EXPECT_EQ(validate(R"({"list": "a"})", schema).printed, "/list: Error: This value must be an array.\n");
}

TEST(KeywordFindings, PointersEscapeTildeAndSlashAndTheRootPrintsAsSlash)
{
    const auto r = validate(R"({"a/b": 1, "c~d": 2})", R"({"type": "object"})");
    EXPECT_EQ(r.printed,
              "/a~1b: Warning: The value of this item will not be used.\n"
              "/c~0d: Warning: The value of this item will not be used.\n");
    EXPECT_EQ(validate("[1]", R"({"type": "object"})").printed, "/: Error: This value must be an object.\n");
}

TEST(KeywordFindings, UriFormatMarksMalformedStrings)
{
    const std::string schema = R"({"optional": ["u"], "properties": {"u": {"type": "string", "format": "uri"}}})";
    EXPECT_EQ(validate(R"({"u": "file://HYDROVA_MetaSchema.json"})", schema).verdict, 0);
    EXPECT_EQ(validate(R"({"u": "https://example.org/a?b=c"})", schema).verdict, 0);
    for (const char* bad : {R"({"u": "no scheme"})", R"({"u": "relative/path"})", R"({"u": "1http://x"})"}) {
        const auto r = validate(bad, schema);
        EXPECT_EQ(r.printed, "/u: Error: This item is invalid.\n") << bad;
        EXPECT_EQ(r.verdict, 2);
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

TEST(KeywordFindings, ConvertersSkipSilentAnnotationsAndJoinLinesWithoutTrailingNewline)
{
    jsv::AnnotationCollection collection;
    const jsv::JsonPointer root;
    collection.add(root / "b", jsv::UnusedItem{});
    collection.add(root / "a", jsv::DescriptionAnnotation{"silent"});
    collection.add(root / "a", jsv::MissingItem{});
    collection.add(root / "a", jsv::MissingExclusiveItemsViolation{{"x", "y", "z"}});

    EXPECT_EQ(jsv::DefaultAnnotationToMessageConverter().convert(jsv::DescriptionAnnotation{"silent"}), "");
    EXPECT_EQ(jsv::DefaultLocatedAnnotationToMessageConverter().convert(root, jsv::InvalidItem{}),
              "/: Error: This item is invalid.");
    EXPECT_EQ(jsv::DefaultAnnotationCollectionToMessageConverter().convert(collection),
              "/a: Error: This item is required but missing.\n"
              "/a: Error: One of the following items must be provided: 'x', 'y', 'z'.\n"
              "/b: Warning: The value of this item will not be used.");

    EXPECT_EQ(jsv::numberOf(jsv::Severity::Error, collection), 2u);
    EXPECT_EQ(jsv::numberOf(jsv::Severity::Warning, collection), 1u);
    EXPECT_EQ(jsv::numberOf(jsv::Severity::Information, collection), 1u);
    EXPECT_EQ(jsv::IssueFilter::apply(collection).size(), 3u);
    EXPECT_EQ(jsv::InfoFilter::apply(collection).size(), 1u);

    // Kind numbers are the union's indices; the annotation texts that the union carries are exact.
    EXPECT_EQ(jsv::AnnotationKind(jsv::UnusedItem{}).index(), 11u);
    EXPECT_EQ(jsv::AnnotationKind(jsv::ValidAdditionalKeyAnnotation{}).index(), 19u);
    EXPECT_EQ(jsv::messageOf(jsv::ExclusiveItemViolation{"a", "b"}),
              "Only one of the following two items is allowed: 'a', 'b'.");
    EXPECT_EQ(jsv::messageOf(jsv::RequiredInViolation{"name", "/MESH"}), "This value must match a 'name' in '/MESH'.");
    EXPECT_EQ(jsv::messageOf(jsv::IncorrectType{jsv::JsonTypeClass::Invalid}),
              "This value must be of a different type.");
}

TEST(KeywordFindings, OutputMessageWritesLinesOnlyForTextAndOnlyWithAStream)
{
    std::ostringstream out;
    jsv::StreamValidator validator(&out);
    validator.outputMessage("");
    validator.outputMessage("one");
    EXPECT_EQ(out.str(), "one\n");

    jsv::StreamValidator silent(nullptr);
    std::istringstream data(R"({"x": 1})"), schema(R"({"required": ["y"]})");
    EXPECT_EQ(silent.validate(data, schema), 2);
    EXPECT_EQ(jsv::numberOf(jsv::Severity::Error, silent.annotations()), 1u);
    EXPECT_EQ(jsv::numberOf(jsv::Severity::Warning, silent.annotations()), 1u);
}
