#include "dataio/H5Reader.hpp"

#include <cstring>
#include <iostream>

#include "common/TerraException.hpp"
#include "dataio/H5Detail.hpp"

namespace dataio {

using detail::check;
using detail::SilenceHDF5;

namespace {

[[noreturn]] void shapeError(const std::string& message)
{
    std::cerr << " -> " << message << std::endl;
    throw TerraException();
}

std::size_t product(const std::vector<std::uint64_t>& dims)
{
    std::size_t n = 1;
    for (auto d : dims) n *= static_cast<std::size_t>(d);
    return n;
}

}  // namespace

H5Reader::H5Reader(const std::string& fileName) : H5Base(fileName, "r") {}

H5Reader::H5Reader(const std::string& fileName, const std::string& mode) : H5Base(fileName, mode) {}

H5Handle H5Reader::readDataset(const std::string& path, int& rows, int& cols) const
{
    H5Handle dataset = openDataset(path);
    const auto dims = extents(dataset);
    rows = dims.size() > 0 ? static_cast<int>(dims[0]) : 0;
    cols = dims.size() > 1 ? static_cast<int>(dims[1]) : 0;
    return dataset;
}

std::vector<std::string> H5Reader::readStrVec(const std::string& path) const
{
    H5Handle dataset = openDataset(path);
    const auto dims = extents(dataset);
    // A list of strings: at least one value, at most one extent above 1 (an n x 1 table is read as a list too).
    std::size_t wide = 0;
    for (auto d : dims) wide += d > 1 ? 1 : 0;
    const std::size_t n = product(dims);
    if (dims.empty() || n == 0 || wide > 1) shapeError("dataset <" + path + "> not a 1-d array!");

    SilenceHDF5 silence;
    H5Handle fileType = check(H5Dget_type(dataset.id()), "Unable to get the type of dataset \"" + path + "\":");
    std::vector<std::string> result;
    result.reserve(n);
    if (H5Tis_variable_str(fileType.id()) > 0) {
        H5Handle memType = detail::variableStringType();
        check(H5Tset_cset(memType.id(), H5Tget_cset(fileType.id())), "Unable to create a string type");
        std::vector<char*> buffer(n, nullptr);
        check(H5Dread(dataset.id(), memType.id(), H5S_ALL, H5S_ALL, H5P_DEFAULT, buffer.data()),
              "Error during HDF5 Read of \"" + path + "\":");
        for (char* s : buffer) result.emplace_back(s ? s : "");
        H5Handle space = check(H5Dget_space(dataset.id()), "Unable to get the data space of \"" + path + "\":");
#if H5_VERSION_GE(1, 12, 0)
        H5Treclaim(memType.id(), space.id(), H5P_DEFAULT, buffer.data());
#else
        H5Dvlen_reclaim(memType.id(), space.id(), H5P_DEFAULT, buffer.data());
#endif
    } else {
        const std::size_t size = H5Tget_size(fileType.id());
        if (size == 0) detail::fail("Unable to get the string size of dataset \"" + path + "\":");
        H5Handle memType = check(H5Tcopy(H5T_C_S1), "Unable to create a string type");
        check(H5Tset_size(memType.id(), size), "Unable to create a string type");
        std::vector<char> buffer(n * size, '\0');
        check(H5Dread(dataset.id(), memType.id(), H5S_ALL, H5S_ALL, H5P_DEFAULT, buffer.data()),
              "Error during HDF5 Read of \"" + path + "\":");
        for (std::size_t i = 0; i < n; ++i) {
            const char* s = buffer.data() + i * size;
            result.emplace_back(s, strnlen(s, size));
        }
    }
    return result;
}

template <typename T>
T H5Reader::readScalar(const std::string& path) const
{
    H5Handle dataset = openDataset(path);
    const auto dims = extents(dataset);
    if (dims.size() != 1 || dims[0] != 1) shapeError("non-scalar dataset <" + path + ">!");
    SilenceHDF5 silence;
    T value{};
    check(H5Dread(dataset.id(), detail::nativeType<T>(), H5S_ALL, H5S_ALL, H5P_DEFAULT, &value),
          "Error during HDF5 Read of \"" + path + "\":");
    return value;
}

int H5Reader::readIntScalar(const std::string& path) const { return readScalar<int>(path); }

double H5Reader::readDoubleScalar(const std::string& path) const { return readScalar<double>(path); }

template <typename T>
std::vector<std::vector<T>> H5Reader::readVecVec(const std::string& path) const
{
    H5Handle dataset = openDataset(path);
    const auto dims = extents(dataset);
    if (dims.size() != 2) shapeError("dataset <" + path + "> not 2-dimensional!");
    const auto rows = static_cast<std::size_t>(dims[0]);
    const auto cols = static_cast<std::size_t>(dims[1]);
    std::vector<T> flat(rows * cols);
    if (!flat.empty()) {
        SilenceHDF5 silence;
        check(H5Dread(dataset.id(), detail::nativeType<T>(), H5S_ALL, H5S_ALL, H5P_DEFAULT, flat.data()),
              "Error during HDF5 Read of \"" + path + "\":");
    }
    std::vector<std::vector<T>> table(rows);
    for (std::size_t r = 0; r < rows; ++r)
        table[r].assign(flat.begin() + static_cast<std::ptrdiff_t>(r * cols),
                        flat.begin() + static_cast<std::ptrdiff_t>((r + 1) * cols));
    return table;
}

std::vector<std::vector<int>> H5Reader::readIntVecVec(const std::string& path) const { return readVecVec<int>(path); }

std::vector<std::vector<double>> H5Reader::readDoubleVecVec(const std::string& path) const
{
    return readVecVec<double>(path);
}

std::vector<double> H5Reader::readDoubleVecFrom2dDataset(const std::string& path, const int& column) const
{
    int n = 0;
    int cols = 0;
    H5Handle dataset = readDataset(path, n, cols);
    if (extents(dataset).size() != 2) shapeError("dataset <" + path + "> not 2-dimensional!");
    if (column < 0 || column >= cols)
        shapeError("dataset <" + path + "> does not contain column " + std::to_string(column));

    SilenceHDF5 silence;
    const hsize_t start[2] = {0, static_cast<hsize_t>(column)};
    const hsize_t count[2] = {static_cast<hsize_t>(n), 1};
    H5Handle fileSpace = check(H5Dget_space(dataset.id()), "Unable to get the data space of \"" + path + "\":");
    check(H5Sselect_hyperslab(fileSpace.id(), H5S_SELECT_SET, start, nullptr, count, nullptr),
          "Unable to select a column of \"" + path + "\":");
    H5Handle memSpace = check(H5Screate_simple(2, count, nullptr), "Unable to create a data space");
    std::vector<double> slice(static_cast<std::size_t>(n));
    if (n > 0) {
        check(H5Dread(dataset.id(), H5T_NATIVE_DOUBLE, memSpace.id(), fileSpace.id(), H5P_DEFAULT, slice.data()),
              "Error during HDF5 Read of \"" + path + "\":");
    }
    HYDROVA_ASSERT(static_cast<int>(slice.size()) == n, "the number of slice rows is incorrect");
    return slice;
}

}  // namespace dataio
