#include "jsv/validators/BaseSchemaValidator.hpp"

#include "jsv/SchemaValidatorFactory.hpp"

namespace jsv {

BaseSchemaValidator::BaseSchemaValidator(const SchemaContext& context, const JsonPointer& schemaPointer)
    : context_(context), schema_(schemaPointer)
{
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
