// Annotation kind ValidAdditionalKeyAnnotation.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// A key accepted because the chosen "oneOf" alternative names it.
struct ValidAdditionalKeyAnnotation {
    static constexpr Severity severity = Severity::Information;
    std::string key;
    std::string message() const { return ""; }
};

}  // namespace jsv
