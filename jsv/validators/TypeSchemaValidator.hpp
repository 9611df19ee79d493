// Validator of the schema keyword "type".
#pragma once

#include "jsv/JsonType.hpp"
#include "jsv/validators/ValidatorCommon.hpp"

namespace jsv {

/// The data value must belong to the named type class (IncorrectType otherwise).
class TypeSchemaValidator {
public:
    /// `keywordPointer` locates the keyword in the schema; its parameter is checked here (schema errors throw).
    TypeSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer);
    Keys check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const;

private:
    SchemaContext context_;
    JsonPointer keyword_;
    JsonTypeClass class_ = JsonTypeClass::Invalid;
};

}  // namespace jsv
