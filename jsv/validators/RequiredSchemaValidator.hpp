// Validator of the schema keyword "required".
#pragma once

#include "jsv/validators/ValidatorCommon.hpp"

namespace jsv {

/// Every listed key must be present in a data object (MissingItem at the missing key's path); the listed names are
/// recognised keys.
class RequiredSchemaValidator {
public:
    /// `keywordPointer` locates the keyword in the schema; its parameter is checked here (schema errors throw).
    RequiredSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer);
    Keys check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const;

private:
    SchemaContext context_;
    JsonPointer keyword_;
    std::vector<std::string> names_;
};

}  // namespace jsv
