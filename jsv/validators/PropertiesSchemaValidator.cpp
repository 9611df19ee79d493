#include "jsv/validators/PropertiesSchemaValidator.hpp"

namespace jsv {

PropertiesSchemaValidator::PropertiesSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer)
    : context_(context), keyword_(keywordPointer)
{
    const nlohmann::json& properties = schemaValue(context, keywordPointer);
    if (!properties.is_object()) throw InvalidSchemaException(keyword_, "This keyword requires an object parameter.");
    for (const auto& [key, schema] : properties.items())
        if (!schema.is_object())
            throw InvalidSchemaException(keyword_ / key, "A schema must be defined by either an object or a boolean.");
}

Keys PropertiesSchemaValidator::check(const JsonPointer&, AnnotationCollection&) const { return {}; }

}  // namespace jsv
