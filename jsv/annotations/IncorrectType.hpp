// Annotation kind IncorrectType.
#pragma once

#include "jsv/JsonType.hpp"
#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// The value's type is outside the class named by "type".
struct IncorrectType {
    static constexpr Severity severity = Severity::Error;
    JsonTypeClass required = JsonTypeClass::Invalid;
    std::string message() const { return "This value must be " + requirementPhrase(required) + "."; }
};

}  // namespace jsv
