// Validator of the schema keyword "format".
#pragma once

#include "jsv/validators/ValidatorCommon.hpp"

namespace jsv {

/// Only "uri": a string value must be an absolute URI, "scheme:rest" without blanks (InvalidItem otherwise).
class FormatSchemaValidator {
public:
    /// `keywordPointer` locates the keyword in the schema; its parameter is checked here (schema errors throw).
    FormatSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer);
    Keys check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const;

private:
    SchemaContext context_;
    JsonPointer keyword_;
};

}  // namespace jsv
