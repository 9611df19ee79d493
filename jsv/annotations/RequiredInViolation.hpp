// Annotation kind RequiredInViolation.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// The value names no entry of the referenced part of the document.
struct RequiredInViolation {
    static constexpr Severity severity = Severity::Error;
    std::string name;     ///< what kind of entry must match, e.g. "name"
    std::string pointer;  ///< printed pointer of the container of those entries
    std::string message() const { return "This value must match a '" + name + "' in '" + pointer + "'."; }
};

}  // namespace jsv
