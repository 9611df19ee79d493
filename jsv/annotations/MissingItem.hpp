// Annotation kind MissingItem.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// A required key is absent; located at the path the key would have.
struct MissingItem {
    static constexpr Severity severity = Severity::Error;
    std::string message() const { return "This item is required but missing."; }
};

}  // namespace jsv
