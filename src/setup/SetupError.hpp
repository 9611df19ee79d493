// The error type of the set-up program: bad command-file content, detected after the schema check.
#pragma once

#include <stdexcept>
#include <string>

namespace setup {

/// A set-up that cannot be completed; the message names the item at fault (boundary, source, series, ...).
class SetupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace setup
