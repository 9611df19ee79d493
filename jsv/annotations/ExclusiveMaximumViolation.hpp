// Annotation kind ExclusiveMaximumViolation.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// The number is not below the "maximum" flagged exclusive.
struct ExclusiveMaximumViolation {
    static constexpr Severity severity = Severity::Error;
    double bound = 0.0;
    std::string message() const { return "This value must be less than " + text::fixed(bound) + "."; }
};

}  // namespace jsv
