#include "jsv/validators/DescriptionSchemaValidator.hpp"

namespace jsv {

DescriptionSchemaValidator::DescriptionSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer)
    : context_(context), keyword_(keywordPointer)
{
    const nlohmann::json& text = schemaValue(context, keywordPointer);
    if (!text.is_string()) throw InvalidSchemaException(keyword_, "This keyword requires a string parameter.");
    description_ = text.get<std::string>();
}

Keys DescriptionSchemaValidator::check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const
{
    if (dataValue(context_, dataPointer) != nullptr) annotations.add(dataPointer, DescriptionAnnotation{description_});
    return {};
}

}  // namespace jsv
