#include "jsv/validators/DefaultValueSchemaValidator.hpp"

namespace jsv {

DefaultValueSchemaValidator::DefaultValueSchemaValidator(const SchemaContext& context,
                                                         const JsonPointer& keywordPointer)
    : context_(context), keyword_(keywordPointer), value_(schemaValue(context, keywordPointer))
{
    if (!value_.is_string() && !value_.is_number())
        throw InvalidSchemaException(keyword_, "Only string and numeric default values are supported.");
}

Keys DefaultValueSchemaValidator::check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const
{
    if (dataValue(context_, dataPointer) != nullptr) annotations.add(dataPointer, DefaultValueAnnotation{value_});
    return {};
}

}  // namespace jsv
