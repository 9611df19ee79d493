#include "jsv/validators/ItemsSchemaValidator.hpp"

#include "jsv/validators/BaseSchemaValidator.hpp"

namespace jsv {

ItemsSchemaValidator::ItemsSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer)
    : context_(context), keyword_(keywordPointer)
{
    if (!schemaValue(context, keywordPointer).is_object())
        throw InvalidSchemaException(keyword_, "Only single items are supported.");
}

Keys ItemsSchemaValidator::check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const
{
    const nlohmann::json* data = dataValue(context_, dataPointer);
    if (data == nullptr || !data->is_array()) return {};
    const BaseSchemaValidator itemSchema(context_, keyword_);
    for (std::size_t i = 0; i < data->size(); ++i) itemSchema.check(dataPointer / i, annotations);
    return {};
}

}  // namespace jsv
