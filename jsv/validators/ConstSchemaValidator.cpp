#include "jsv/validators/ConstSchemaValidator.hpp"

namespace jsv {

ConstSchemaValidator::ConstSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer)
    : context_(context), keyword_(keywordPointer), value_(schemaValue(context, keywordPointer))
{
}

Keys ConstSchemaValidator::check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const
{
    const nlohmann::json* data = dataValue(context_, dataPointer);
    if (data != nullptr && *data != value_) annotations.add(dataPointer, ConstConstraintViolation{value_});
    return {};
}

}  // namespace jsv
