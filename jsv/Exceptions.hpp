// The two ways a validation can fail as a whole: an unusable schema, or input that cannot be read.
#pragma once

#include <stdexcept>
#include <string>

#include "jsv/JsonPointer.hpp"

namespace jsv {

/// The schema breaks the dialect; the text names the offending schema position and the reason:
/// "<pointer>: Parsing the schema file failed (<reason>)."
class InvalidSchemaException : public std::runtime_error {
public:
    InvalidSchemaException(const JsonPointer& schemaPointer, const std::string& reason);
    const JsonPointer& schemaPointer() const { return pointer_; }
    const std::string& reason() const { return reason_; }

private:
    JsonPointer pointer_;
    std::string reason_;
};

/// The data or the schema text is not JSON; the text is complete and printed as it is.
class CannotValidateException : public std::runtime_error {
public:
    explicit CannotValidateException(const std::string& text) : std::runtime_error(text) {}
};

}  // namespace jsv
