// Exceptions raised when the HDF5 library itself fails (file, group, dataset, attribute or transfer).
#pragma once

#include <stdexcept>
#include <string>

namespace dataio {

/// Failure inside HDF5. The text starts with what could not be done ("Unable to open file ...",
/// "Unable to create the group \"...\":", "Unable to open the dataset \"...\":") followed by the innermost
/// message of the library's error stack. Not caught inside this layer.
class H5Exception : public std::runtime_error {
public:
    explicit H5Exception(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace dataio
