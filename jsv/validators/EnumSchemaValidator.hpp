// Validator of the schema keyword "enum".
#pragma once

#include "jsv/validators/ValidatorCommon.hpp"

namespace jsv {

/// The data value must equal one of the listed options (EnumConstraintViolation otherwise).
class EnumSchemaValidator {
public:
    /// `keywordPointer` locates the keyword in the schema; its parameter is checked here (schema errors throw).
    EnumSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer);
    Keys check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const;

private:
    SchemaContext context_;
    JsonPointer keyword_;
    nlohmann::json options_;
};

}  // namespace jsv
