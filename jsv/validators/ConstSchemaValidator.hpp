// Validator of the schema keyword "const".
#pragma once

#include "jsv/validators/ValidatorCommon.hpp"

namespace jsv {

/// The data value must equal the parameter (kind ConstConstraintViolation otherwise).
class ConstSchemaValidator {
public:
    /// `keywordPointer` locates the keyword in the schema; its parameter is checked here (schema errors throw).
    ConstSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer);
    Keys check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const;

private:
    SchemaContext context_;
    JsonPointer keyword_;
    nlohmann::json value_;
};

}  // namespace jsv
