// Validator of the schema keyword "optional".
#pragma once

#include "jsv/validators/ValidatorCommon.hpp"

namespace jsv {

/// Listed keys may be present; the walk of BaseSchemaValidator reads the names, this records the present ones.
class OptionalSchemaValidator {
public:
    /// `keywordPointer` locates the keyword in the schema; its parameter is checked here (schema errors throw).
    OptionalSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer);
    Keys check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const;

private:
    SchemaContext context_;
    JsonPointer keyword_;
    std::vector<std::string> names_;
};

}  // namespace jsv
