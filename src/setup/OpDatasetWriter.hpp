// Writes maps and data in the mesh framework's dataset convention: a [elements][components] dataset of native
// int or float with the attributes "size" (bytes per element), "dim" (components) and "type" ("int"/"float").
#pragma once

#include <string>

#include "setup/ModelContent.hpp"

namespace setup {

/// An HDF5 file opened for appending op-convention datasets; closed by the destructor.
class OpDatasetWriter {
public:
    /// Opens the existing file `fileName` read-write; throws SetupError when it cannot.
    explicit OpDatasetWriter(const std::string& fileName);
    ~OpDatasetWriter();
    OpDatasetWriter(const OpDatasetWriter&) = delete;
    OpDatasetWriter& operator=(const OpDatasetWriter&) = delete;

    /// Writes `table` at `path` (intermediate groups are created); throws SetupError on any HDF5 failure.
    void write(const std::string& path, const Table& table);

private:
    std::string fileName;
    long long file;  // hid_t, kept out of this header
};

}  // namespace setup
