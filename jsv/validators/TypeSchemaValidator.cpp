#include "jsv/validators/TypeSchemaValidator.hpp"

namespace jsv {

TypeSchemaValidator::TypeSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer)
    : context_(context), keyword_(keywordPointer)
{
    const nlohmann::json& name = schemaValue(context, keywordPointer);
    if (name.is_string()) class_ = typeClassFromName(name.get<std::string>());
    if (class_ == JsonTypeClass::Invalid) throw InvalidSchemaException(keyword_, "The provided type is invalid.");
}

Keys TypeSchemaValidator::check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const
{
    const nlohmann::json* data = dataValue(context_, dataPointer);
    if (data == nullptr) return {};
    if (belongsTo(typeOf(*data), class_))
        annotations.add(dataPointer, RequiredTypeAnnotation{class_});
    else
        annotations.add(dataPointer, IncorrectType{class_});
    return {};
}

}  // namespace jsv
