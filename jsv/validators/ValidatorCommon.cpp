#include "jsv/validators/ValidatorCommon.hpp"

namespace jsv {

const nlohmann::json& schemaValue(const SchemaContext& context, const JsonPointer& pointer)
{
    const nlohmann::json* value = find(*context.schema, pointer);
    if (value == nullptr) throw InvalidSchemaException(pointer, "The schema has no value here.");
    return *value;
}

const nlohmann::json* dataValue(const SchemaContext& context, const JsonPointer& pointer)
{
    return find(*context.data, pointer);
}

std::vector<std::string> stringList(const nlohmann::json& value, const JsonPointer& pointer)
{
    if (!value.is_array()) throw InvalidSchemaException(pointer, "This keyword requires an array of strings.");
    std::vector<std::string> names;
    for (const auto& item : value) {
        if (!item.is_string()) throw InvalidSchemaException(pointer, "This keyword requires an array of strings.");
        names.push_back(item.get<std::string>());
    }
    return names;
}

}  // namespace jsv
