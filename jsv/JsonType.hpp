// Type classes named by the schema's "type" keyword and the types of data values.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace jsv {

/// Class named by a "type" keyword; Invalid for a name outside the five.
enum class JsonTypeClass { Invalid = 0, Integer = 1, Number = 2, String = 3, Object = 4, Array = 5 };

/// Type of one data value; Other for booleans and null, which belong to no class.
enum class JsonType { Other = 0, Integer = 1, FloatingPoint = 2, String = 3, Object = 4, Array = 5 };

JsonTypeClass typeClassFromName(const std::string& name);
JsonType typeOf(const nlohmann::json& value);

/// "number" accepts integer and floating-point values; each other class only its own type.
bool belongsTo(JsonType type, JsonTypeClass typeClass);

/// "integer", "floating point number", "string", "object", "array"; "boolean or null" for Other.
std::string typeName(JsonType type);

/// Phrase completing "This value must be ...": "an integer", "a number", ..., else "of a different type".
std::string requirementPhrase(JsonTypeClass typeClass);

}  // namespace jsv
