#include "jsv/validators/NoCheckSchemaValidator.hpp"

namespace jsv {

NoCheckSchemaValidator::NoCheckSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer)
    : context_(context), keyword_(keywordPointer)
{
}

Keys NoCheckSchemaValidator::check(const JsonPointer&, AnnotationCollection&) const { return {}; }

}  // namespace jsv
