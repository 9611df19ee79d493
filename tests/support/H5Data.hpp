// HDF5 files of the tests: numeric and string datasets read back as values, and datasets written or replaced.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

namespace h5 {

/// Whether the object at `path` exists in the HDF5 file (every component checked).
bool exists(const std::string& file, const std::string& path);
/// All values of a numeric dataset, converted to double, row-major.
std::vector<double> readValues(const std::string& file, const std::string& path);
/// The double attribute `name` of the object at `path`.
double readAttribute(const std::string& file, const std::string& path, const std::string& name);
/// Element 0 of a string dataset.
std::string readString(const std::string& file, const std::string& path);
/// Number of links in the group at `path`.
int countObjects(const std::string& file, const std::string& path);
/// Overwrites a numeric dataset's values (converted from double).
void overwriteValues(const std::string& file, const std::string& path, const std::vector<double>& values);

}  // namespace h5

/// An HDF5 file open for writing, closed by the destructor. Every dataset written through it replaces one of the
/// same path and creates the missing groups above it; `rows` x `cols` values, cols 0 for a one-dimensional set.
/// Failures throw std::runtime_error.
class H5Output {
public:
    /// Creates `path`, replacing any file there.
    static H5Output create(const std::string& path);
    /// Opens the existing file `path` for reading and writing.
    static H5Output open(const std::string& path);

    ~H5Output();
    H5Output(H5Output&& other) noexcept;
    H5Output(const H5Output&) = delete;
    H5Output& operator=(const H5Output&) = delete;
    H5Output& operator=(H5Output&&) = delete;

    void ints(const std::string& path, int rows, int cols, const std::vector<int>& values);
    void doubles(const std::string& path, int rows, int cols, const std::vector<double>& values);
    /// A one-element variable-length UTF-8 string dataset.
    void text(const std::string& path, const std::string& value);

private:
    explicit H5Output(std::int64_t id) : id_(id) {}
    void numeric(const std::string& path, std::int64_t type, int rows, int cols, const void* values);

    std::int64_t id_;  ///< the HDF5 file identifier (hid_t)
};

}  // namespace testsupport
