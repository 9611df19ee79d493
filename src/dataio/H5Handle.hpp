// Owning handle of one HDF5 identifier (file, group, dataset, attribute, data space, type or property list).
#pragma once

#include <cstdint>

namespace dataio {

/// Move-only owner of an HDF5 identifier; closes it with the matching close function when destroyed.
/// The identifier is kept as a 64-bit integer so that public headers need not include hdf5.h.
class H5Handle {
public:
    H5Handle() = default;
    explicit H5Handle(std::int64_t id) : id_(id) {}
    ~H5Handle() { reset(); }
    H5Handle(const H5Handle&) = delete;
    H5Handle& operator=(const H5Handle&) = delete;
    H5Handle(H5Handle&& other) noexcept : id_(other.release()) {}
    H5Handle& operator=(H5Handle&& other) noexcept
    {
        if (this != &other) {
            reset();
            id_ = other.release();
        }
        return *this;
    }

    /// The identifier (negative when empty); still owned by the handle.
    std::int64_t id() const { return id_; }
    bool valid() const { return id_ >= 0; }
    /// Closes the identifier now (no-op when empty).
    void reset();
    /// Gives up ownership without closing.
    std::int64_t release()
    {
        const std::int64_t id = id_;
        id_ = -1;
        return id;
    }

private:
    std::int64_t id_ = -1;
};

}  // namespace dataio
