// Validator of a whole schema object: applies every keyword, then walks the keys of a data object.
#pragma once

#include "jsv/validators/ValidatorCommon.hpp"

namespace jsv {

/// For a data object, every key that no keyword recognises ("required", a chosen "oneOf" alternative) and that
/// "optional" does not list gets an UnusedItem warning; keys listed under "properties" are validated against
/// their property schema whether recognised or not.
class BaseSchemaValidator {
public:
    /// `schemaPointer` locates the schema object; it is checked to be an object when check() runs.
    BaseSchemaValidator(const SchemaContext& context, const JsonPointer& schemaPointer);
    Keys check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const;

    /// Checks the whole schema below `schemaPointer` without data: every keyword's parameter, and the sub-schemas
    /// of "properties", "items" and the alternatives of "oneOf". Throws InvalidSchemaException at the first fault,
    /// so that a broken schema is reported whatever the data contains.
    static void checkSchema(const SchemaContext& context, const JsonPointer& schemaPointer);

private:
    SchemaContext context_;
    JsonPointer schema_;
};

}  // namespace jsv
