// Validator of the schema keyword "description".
#pragma once

#include "jsv/validators/ValidatorCommon.hpp"

namespace jsv {

/// Records the description of the value.
class DescriptionSchemaValidator {
public:
    /// `keywordPointer` locates the keyword in the schema; its parameter is checked here (schema errors throw).
    DescriptionSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer);
    Keys check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const;

private:
    SchemaContext context_;
    JsonPointer keyword_;
    std::string description_;
};

}  // namespace jsv
