// Validator of the schema keyword "properties".
#pragma once

#include "jsv/validators/ValidatorCommon.hpp"

namespace jsv {

/// The property schemas must be objects; the walk over the data keys applies them (see BaseSchemaValidator).
class PropertiesSchemaValidator {
public:
    /// `keywordPointer` locates the keyword in the schema; its parameter is checked here (schema errors throw).
    PropertiesSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer);
    Keys check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const;

private:
    SchemaContext context_;
    JsonPointer keyword_;
};

}  // namespace jsv
