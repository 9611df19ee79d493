// Annotation kind ExclusiveItemViolation.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// Two mutually exclusive items are both present.
struct ExclusiveItemViolation {
    static constexpr Severity severity = Severity::Error;
    std::string first;
    std::string second;
    std::string message() const
    {
        return "Only one of the following two items is allowed: '" + first + "', '" + second + "'.";
    }
};

}  // namespace jsv
