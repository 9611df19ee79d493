// Private helpers of the HDF5 layer (includes hdf5.h; not for use outside src/dataio).
#pragma once

#include <hdf5.h>

#include <string>
#include <vector>

#include "dataio/H5Exception.hpp"
#include "dataio/H5Handle.hpp"

namespace dataio {
namespace detail {

/// Switches HDF5's automatic error printing off for its lifetime: failures are reported by our exceptions.
class SilenceHDF5 {
public:
    SilenceHDF5();
    ~SilenceHDF5();
    SilenceHDF5(const SilenceHDF5&) = delete;
    SilenceHDF5& operator=(const SilenceHDF5&) = delete;

private:
    H5E_auto2_t func_ = nullptr;
    void* data_ = nullptr;
};

/// Throws H5Exception with text + the innermost message of the current HDF5 error stack.
[[noreturn]] void fail(const std::string& text);

/// Returns a handle on id, or throws H5Exception(text ...) when id is negative.
H5Handle check(hid_t id, const std::string& text);

/// Throws H5Exception(text ...) when status is negative.
void check(herr_t status, const std::string& text);

/// Allocates the blocks of the open file up to the library's end of allocation, so that a flush cannot fail
/// half-way for want of room and leave metadata updated in place pointing at data that never reached the disk.
/// Returns 0 or the system's error number (file systems without allocation count as done).
int allocateToEnd(hid_t file);

/// After a failed flush: lengthens the file (without allocating) to the library's end of allocation, so that a
/// superblock that reached the disk with a larger end never makes the library refuse the file as truncated.
void lengthenToEnd(hid_t file);

/// Before the last close of a file written: its data flushed and the room allocated beyond the library's end of
/// allocation given back.
void trimToEnd(hid_t file);

/// Path components, empty pieces (leading, trailing or doubled "/") dropped.
std::vector<std::string> components(const std::string& path);

/// Native memory type of T.
template <typename T>
hid_t nativeType();
template <>
inline hid_t nativeType<int>()
{
    return H5T_NATIVE_INT;
}
template <>
inline hid_t nativeType<double>()
{
    return H5T_NATIVE_DOUBLE;
}

/// Variable-length UTF-8 string type (owned by the handle).
H5Handle variableStringType();

}  // namespace detail
}  // namespace dataio
