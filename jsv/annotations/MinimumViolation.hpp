// Annotation kind MinimumViolation.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// The number is below the inclusive "minimum".
struct MinimumViolation {
    static constexpr Severity severity = Severity::Error;
    double bound = 0.0;
    std::string message() const { return "This value must be greater than or equal to " + text::fixed(bound) + "."; }
};

}  // namespace jsv
