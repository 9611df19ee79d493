// Validator of the schema keyword "items".
#pragma once

#include "jsv/validators/ValidatorCommon.hpp"

namespace jsv {

/// Every element of a data array is validated against the one sub-schema, located at its index.
class ItemsSchemaValidator {
public:
    /// `keywordPointer` locates the keyword in the schema; its parameter is checked here (schema errors throw).
    ItemsSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer);
    Keys check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const;

private:
    SchemaContext context_;
    JsonPointer keyword_;
};

}  // namespace jsv
