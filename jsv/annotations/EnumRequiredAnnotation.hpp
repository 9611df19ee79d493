// Annotation kind EnumRequiredAnnotation.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// The value was checked against an "enum" and matched.
struct EnumRequiredAnnotation {
    static constexpr Severity severity = Severity::Information;
    nlohmann::json options;
    std::string message() const { return ""; }
};

}  // namespace jsv
