// Annotation kind MaximumViolation.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// The number is above the inclusive "maximum".
struct MaximumViolation {
    static constexpr Severity severity = Severity::Error;
    double bound = 0.0;
    std::string message() const { return "This value must be less than or equal to " + text::fixed(bound) + "."; }
};

}  // namespace jsv
