// Annotation kind InvalidItem.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// The value does not have the form its "format" demands.
struct InvalidItem {
    static constexpr Severity severity = Severity::Error;
    std::string message() const { return "This item is invalid."; }
};

}  // namespace jsv
