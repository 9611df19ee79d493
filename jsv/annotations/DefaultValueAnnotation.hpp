// Annotation kind DefaultValueAnnotation.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// The schema's "default" for the value (a string or a number); kept, never printed.
struct DefaultValueAnnotation {
    static constexpr Severity severity = Severity::Information;
    nlohmann::json value;
    std::string message() const { return ""; }
};

}  // namespace jsv
