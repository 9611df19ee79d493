#include "jsv/validators/EnumSchemaValidator.hpp"

#include <algorithm>

namespace jsv {

EnumSchemaValidator::EnumSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer)
    : context_(context), keyword_(keywordPointer), options_(schemaValue(context, keywordPointer))
{
    if (!options_.is_array()) throw InvalidSchemaException(keyword_, "This keyword requires an array parameter.");
}

Keys EnumSchemaValidator::check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const
{
    const nlohmann::json* data = dataValue(context_, dataPointer);
    if (data == nullptr) return {};
    if (std::find(options_.begin(), options_.end(), *data) == options_.end())
        annotations.add(dataPointer, EnumConstraintViolation{options_});
    else
        annotations.add(dataPointer, EnumRequiredAnnotation{options_});
    return {};
}

}  // namespace jsv
