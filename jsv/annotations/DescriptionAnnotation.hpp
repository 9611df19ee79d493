// Annotation kind DescriptionAnnotation.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// The schema's "description" of the value; kept, never printed.
struct DescriptionAnnotation {
    static constexpr Severity severity = Severity::Information;
    std::string description;
    std::string message() const { return ""; }
};

}  // namespace jsv
