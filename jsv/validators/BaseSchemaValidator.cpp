#include "jsv/validators/BaseSchemaValidator.hpp"

#include "jsv/SchemaValidatorFactory.hpp"

namespace jsv {

BaseSchemaValidator::BaseSchemaValidator(const SchemaContext& context, const JsonPointer& schemaPointer)
    : context_(context), schema_(schemaPointer)
{
}

void BaseSchemaValidator::checkSchema(const SchemaContext& context, const JsonPointer& schemaPointer)
{
    const nlohmann::json& schema = schemaValue(context, schemaPointer);
    if (!schema.is_object())
        throw InvalidSchemaException(schemaPointer, "A schema must be defined by either an object or a boolean.");
    for (const auto& entry : schema.items()) {
        SchemaValidatorFactory::create(context, schemaPointer, entry.key());
        const JsonPointer at = schemaPointer / entry.key();
        if (entry.key() == "properties") {
            for (const auto& property : entry.value().items()) checkSchema(context, at / property.key());
        } else if (entry.key() == "items") {
            checkSchema(context, at);
        } else if (entry.key() == "oneOf") {
            for (std::size_t i = 0; i < entry.value().size(); ++i)
                if (entry.value()[i].is_object()) checkSchema(context, at / i);
        }
    }
}

Keys BaseSchemaValidator::check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const
{
    const nlohmann::json& schema = schemaValue(context_, schema_);
    if (!schema.is_object())
        throw InvalidSchemaException(schema_, "A schema must be defined by either an object or a boolean.");

    Keys recognised;
    for (const auto& entry : schema.items()) {
        const SchemaValidator validator = SchemaValidatorFactory::create(context_, schema_, entry.key());
        const Keys keys = checkWith(validator, dataPointer, annotations);
        recognised.insert(keys.begin(), keys.end());
    }

    const nlohmann::json* data = dataValue(context_, dataPointer);
    if (data == nullptr || !data->is_object()) return {};
    if (const auto optional = schema.find("optional"); optional != schema.end())
        for (const std::string& name : stringList(*optional, schema_ / "optional")) recognised.insert(name);
    const auto properties = schema.find("properties");
    for (const auto& entry : data->items()) {
        const JsonPointer item = dataPointer / entry.key();
        if (recognised.count(entry.key()) == 0) annotations.add(item, UnusedItem{});
        if (properties != schema.end() && properties->contains(entry.key()))
            BaseSchemaValidator(context_, schema_ / "properties" / entry.key()).check(item, annotations);
    }
    return {};
}

}  // namespace jsv
