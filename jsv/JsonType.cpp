#include "jsv/JsonType.hpp"

namespace jsv {

JsonTypeClass typeClassFromName(const std::string& name)
{
    if (name == "integer") return JsonTypeClass::Integer;
    if (name == "number") return JsonTypeClass::Number;
    if (name == "string") return JsonTypeClass::String;
    if (name == "object") return JsonTypeClass::Object;
    if (name == "array") return JsonTypeClass::Array;
    return JsonTypeClass::Invalid;
}

JsonType typeOf(const nlohmann::json& value)
{
    switch (value.type()) {
        case nlohmann::json::value_t::object:
            return JsonType::Object;
        case nlohmann::json::value_t::array:
            return JsonType::Array;
        case nlohmann::json::value_t::string:
            return JsonType::String;
        case nlohmann::json::value_t::number_integer:
        case nlohmann::json::value_t::number_unsigned:
            return JsonType::Integer;
        case nlohmann::json::value_t::number_float:
            return JsonType::FloatingPoint;
        default:
            return JsonType::Other;
    }
}

bool belongsTo(JsonType type, JsonTypeClass typeClass)
{
    switch (typeClass) {
        case JsonTypeClass::Integer:
            return type == JsonType::Integer;
        case JsonTypeClass::Number:
            return type == JsonType::Integer || type == JsonType::FloatingPoint;
        case JsonTypeClass::String:
            return type == JsonType::String;
        case JsonTypeClass::Object:
            return type == JsonType::Object;
        case JsonTypeClass::Array:
            return type == JsonType::Array;
        default:
            return false;
    }
}

std::string typeName(JsonType type)
{
    switch (type) {
        case JsonType::Integer:
            return "integer";
        case JsonType::FloatingPoint:
            return "floating point number";
        case JsonType::String:
            return "string";
        case JsonType::Object:
            return "object";
        case JsonType::Array:
            return "array";
        default:
            return "boolean or null";
    }
}

std::string requirementPhrase(JsonTypeClass typeClass)
{
    switch (typeClass) {
        case JsonTypeClass::Integer:
            return "an integer";
        case JsonTypeClass::Number:
            return "a number";
        case JsonTypeClass::String:
            return "a string";
        case JsonTypeClass::Object:
            return "an object";
        case JsonTypeClass::Array:
            return "an array";
        default:
            return "of a different type";
    }
}

}  // namespace jsv
