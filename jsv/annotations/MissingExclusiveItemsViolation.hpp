// Annotation kind MissingExclusiveItemsViolation.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// None of a set of alternative items is present.
struct MissingExclusiveItemsViolation {
    static constexpr Severity severity = Severity::Error;
    std::vector<std::string> items;
    std::string message() const { return text::quotedList("One of the following items must be provided:", items); }
};

}  // namespace jsv
