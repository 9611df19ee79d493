// Annotation kind ExclusiveMinimumViolation.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// The number is not above the "minimum" flagged exclusive.
struct ExclusiveMinimumViolation {
    static constexpr Severity severity = Severity::Error;
    double bound = 0.0;
    std::string message() const { return "This value must be greater than " + text::fixed(bound) + "."; }
};

}  // namespace jsv
