// Annotation kind EnumConstraintViolation.
#pragma once

#include "jsv/annotations/Formatting.hpp"

namespace jsv {

/// The value equals none of the schema's "enum" options.
struct EnumConstraintViolation {
    static constexpr Severity severity = Severity::Error;
    nlohmann::json options;  ///< the JSON array of allowed values, in schema order
    std::string message() const
    {
        return text::quotedList("This value must be equal to one of the following:", text::plainItems(options));
    }
};

}  // namespace jsv
