// Interface of a writer that creates or overwrites HDF5 datasets from standard containers.
#pragma once

#include <string>
#include <vector>

#include "dataio/IH5Base.hpp"

namespace api {

/// Typed whole-dataset writes. Integers are stored as native int, reals as native double, strings as
/// variable-length UTF-8 strings; missing parent groups are created; an existing dataset is overwritten and must
/// have the same extents (fatal "dimensions do not match" otherwise); every dataset gets the int attribute "size"
/// = number of values written.
class IH5Writer : public virtual IH5Base {
public:
    /// Dataset of extent {1}.
    virtual void writeIntScalar(const std::string& path, const int& value) = 0;
    virtual void writeDoubleScalar(const std::string& path, const double& value) = 0;
    /// Dataset of extent {rows, cols}; data[r] points to the cols values of row r.
    virtual void writeIntArray(const std::string& path, const int& rows, const int& cols, const int* const* data) = 0;
    virtual void writeDoubleArray(const std::string& path, const int& rows, const int& cols,
                                  const double* const* data) = 0;
    /// Dataset of extent {table.size(), table[0].size()}; every row must have the first row's length.
    virtual void writeIntVecVec(const std::string& path, const std::vector<std::vector<int>>& table) = 0;
    virtual void writeDoubleVecVec(const std::string& path, const std::vector<std::vector<double>>& table) = 0;
    /// Dataset of extent {n} holding strings[0..n-1].
    /// Copies the two-dimensional dataset `path` of the HDF5 file `source` to the same path here as native int
    /// (`integer`) or double values, a slice of rows at a time: the dataset that writeIntVecVec or
    /// writeDoubleVecVec writes from the whole table read, without holding the table.
    virtual void copyTable(const std::string& path, const std::string& source, const bool& integer) = 0;
    virtual void writeStringVec(const std::string& path, const int& n, const std::vector<std::string>& strings) = 0;
    /// Removes the dataset at `path` when there is one (so that it can be written again with other extents).
    virtual void removeDataset(const std::string& path) = 0;
};

}  // namespace api
