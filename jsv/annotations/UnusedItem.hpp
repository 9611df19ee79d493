// Annotation kind UnusedItem.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// A key that no keyword of the schema recognises: it is read by nobody.
struct UnusedItem {
    static constexpr Severity severity = Severity::Warning;
    std::string message() const { return "The value of this item will not be used."; }
};

}  // namespace jsv
