// Typed whole-dataset writes into an HDF5 file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dataio/H5Base.hpp"
#include "dataio/IH5Writer.hpp"

namespace dataio {

class H5Writer : public H5Base, public virtual api::IH5Writer {
public:
    /// Creates fileName, replacing an existing file (mode "w").
    explicit H5Writer(const std::string& fileName);
    H5Writer(const std::string& fileName, const std::string& mode);

    void writeIntScalar(const std::string& path, const int& value) override;
    void writeDoubleScalar(const std::string& path, const double& value) override;
    void writeIntArray(const std::string& path, const int& rows, const int& cols, const int* const* data) override;
    void writeDoubleArray(const std::string& path, const int& rows, const int& cols,
                          const double* const* data) override;
    void writeIntVecVec(const std::string& path, const std::vector<std::vector<int>>& table) override;
    void writeDoubleVecVec(const std::string& path, const std::vector<std::vector<double>>& table) override;
    void removeDataset(const std::string& path) override;
    void writeStringVec(const std::string& path, const int& n, const std::vector<std::string>& strings) override;
    void copyTable(const std::string& path, const std::string& source, const bool& integer) override;

    /// The path splitting of the base (the templated overload below does not hide it).
    using H5Base::getDataset;

private:
    /// Creates the dataset of value type T with extents dims, or opens the existing one whose extents must equal
    /// dims (fatal "dimensions do not match" otherwise).
    template <typename T>
    H5Handle getDataset(const std::string& path, const std::vector<std::uint64_t>& dims);
    template <typename T>
    void writeValues(const std::string& path, const std::vector<std::uint64_t>& dims, const T* values);
    template <typename T>
    void copyValues(const std::string& path, const std::string& source);
};

}  // namespace dataio
