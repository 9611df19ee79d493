// Annotation kind StringIsURIAnnotation.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// The string value was checked as a URI.
struct StringIsURIAnnotation {
    static constexpr Severity severity = Severity::Information;
    std::string message() const { return ""; }
};

}  // namespace jsv
