// Validator of the schema keyword "requiredIn": the data value must name an entry that exists elsewhere in the
// data document, e.g. a boundary condition naming one of the node strings.
//
// The parameter is a JSON pointer text into the data document, absolute from its root, in which two tokens act as
// wildcards:
//   "$array_ref"   any element of the array at this position (e.g. "/MESH/strings/$array_ref/name": the value
//                  must equal the "name" of some element of /MESH/strings);
//   "itemProperty" any key of the object at this position; only as the last token (e.g. "/SOURCES/itemProperty":
//                  the value must equal one of the keys of /SOURCES).
// Without a wildcard at the end, the value must equal the value at the pointer or, when that is an array, one of
// its elements. Positions that do not exist in the data offer nothing to match.
// A mismatch gives RequiredInViolation with the matched name (the last plain token; "item" after "$array_ref",
// "key" for "itemProperty") and the container: the pointer up to the first wildcard, or without its last token.
// A parameter that is not a string, not a pointer, the root pointer, or with "itemProperty" before the end is a
// schema error "This JSON pointer is invalid.".
#pragma once

#include "jsv/validators/ValidatorCommon.hpp"

namespace jsv {

class RequiredInSchemaValidator {
public:
    RequiredInSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer);
    Keys check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const;

    static constexpr const char* arrayReference = "$array_ref";
    static constexpr const char* itemProperty = "itemProperty";

private:
    void collect(const nlohmann::json& node, std::size_t token, std::vector<nlohmann::json>& candidates) const;

    SchemaContext context_;
    JsonPointer keyword_;
    std::vector<std::string> tokens_;
    std::string name_;
    std::string container_;
};

}  // namespace jsv
