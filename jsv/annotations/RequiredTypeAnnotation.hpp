// Annotation kind RequiredTypeAnnotation.
#pragma once

#include "jsv/JsonType.hpp"
#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// The value's type was checked against "type" and belongs to the class.
struct RequiredTypeAnnotation {
    static constexpr Severity severity = Severity::Information;
    JsonTypeClass required = JsonTypeClass::Invalid;
    std::string message() const { return ""; }
};

}  // namespace jsv
