// Validator of the schema keyword "default".
#pragma once

#include "jsv/validators/ValidatorCommon.hpp"

namespace jsv {

/// Records the default of the value (a string or a number); it is never filled in.
class DefaultValueSchemaValidator {
public:
    /// `keywordPointer` locates the keyword in the schema; its parameter is checked here (schema errors throw).
    DefaultValueSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer);
    Keys check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const;

private:
    SchemaContext context_;
    JsonPointer keyword_;
    nlohmann::json value_;
};

}  // namespace jsv
