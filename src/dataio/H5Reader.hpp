// Typed whole-dataset reads from an HDF5 file.
#pragma once

#include <string>
#include <vector>

#include "dataio/H5Base.hpp"
#include "dataio/IH5Reader.hpp"

namespace dataio {

class H5Reader : public H5Base, public virtual api::IH5Reader {
public:
    /// Opens fileName read-only.
    explicit H5Reader(const std::string& fileName);
    H5Reader(const std::string& fileName, const std::string& mode);

    /// Opens the dataset at path; rows = its first extent, cols = its second extent (0 for one dimension).
    H5Handle readDataset(const std::string& path, int& rows, int& cols) const;

    std::vector<std::string> readStrVec(const std::string& path) const override;
    int readIntScalar(const std::string& path) const override;
    double readDoubleScalar(const std::string& path) const override;
    std::vector<std::vector<int>> readIntVecVec(const std::string& path) const override;
    std::vector<std::vector<double>> readDoubleVecVec(const std::string& path) const override;
    std::vector<double> readDoubleVecFrom2dDataset(const std::string& path, const int& column) const override;

private:
    template <typename T>
    T readScalar(const std::string& path) const;
    template <typename T>
    std::vector<std::vector<T>> readVecVec(const std::string& path) const;
};

}  // namespace dataio
