// Interface of a reader that returns whole HDF5 datasets as standard containers.
#pragma once

#include <string>
#include <vector>

#include "dataio/IH5Base.hpp"

namespace api {

/// Typed whole-dataset reads. Shape errors print " -> <message>" on standard error and throw TerraException.
class IH5Reader : public virtual IH5Base {
public:
    /// Strings of a one-dimensional, non-empty string dataset (variable or fixed length).
    virtual std::vector<std::string> readStrVec(const std::string& path) const = 0;
    /// The single value of a one-dimensional dataset of extent 1.
    virtual int readIntScalar(const std::string& path) const = 0;
    virtual double readDoubleScalar(const std::string& path) const = 0;
    /// A two-dimensional dataset as a vector of rows.
    virtual std::vector<std::vector<int>> readIntVecVec(const std::string& path) const = 0;
    virtual std::vector<std::vector<double>> readDoubleVecVec(const std::string& path) const = 0;
    /// Column `column` (0-based) of a two-dimensional double dataset: one value per row.
    virtual std::vector<double> readDoubleVecFrom2dDataset(const std::string& path, const int& column) const = 0;
};

}  // namespace api
