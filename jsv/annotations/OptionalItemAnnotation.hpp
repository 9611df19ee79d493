// Annotation kind OptionalItemAnnotation.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// A present key that the schema lists as optional.
struct OptionalItemAnnotation {
    static constexpr Severity severity = Severity::Information;
    std::string name;
    std::string message() const { return ""; }
};

}  // namespace jsv
