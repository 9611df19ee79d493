// Annotation kind ConstConstraintViolation.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// The value differs from the schema's "const" value.
struct ConstConstraintViolation {
    static constexpr Severity severity = Severity::Error;
    nlohmann::json value;
    std::string message() const { return "This value must be equal to '" + text::plain(value) + "'."; }
};

}  // namespace jsv
