// Validator of the schema keyword "exclusiveMinimum", "exclusiveMaximum" and "$schema".
#pragma once

#include "jsv/validators/ValidatorCommon.hpp"

namespace jsv {

/// Keywords read by other validators or ignored: "exclusiveMinimum", "exclusiveMaximum", "$schema".
class NoCheckSchemaValidator {
public:
    /// `keywordPointer` locates the keyword in the schema; its parameter is checked here (schema errors throw).
    NoCheckSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer);
    Keys check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const;

private:
    SchemaContext context_;
    JsonPointer keyword_;
};

}  // namespace jsv
