#include "dataio/H5Writer.hpp"

#include <algorithm>

#include "common/TerraException.hpp"
#include "dataio/H5Detail.hpp"

namespace dataio {

using detail::check;
using detail::SilenceHDF5;

namespace {

/// File and memory type of the values of a dataset: native int, native double, variable-length UTF-8 string.
template <typename T>
H5Handle valueType()
{
    return check(H5Tcopy(detail::nativeType<T>()), "Unable to copy a type");
}
template <>
H5Handle valueType<const char*>()
{
    return detail::variableStringType();
}

std::string describe(const std::vector<std::uint64_t>& dims)
{
    std::string text = "{";
    for (std::size_t i = 0; i < dims.size(); ++i) text += (i ? ", " : "") + std::to_string(dims[i]);
    return text + "}";
}

template <typename T>
std::vector<T> flattenRows(const std::string& path, const std::vector<std::vector<T>>& table)
{
    const std::size_t cols = table.empty() ? 0 : table[0].size();
    std::vector<T> flat;
    flat.reserve(table.size() * cols);
    for (std::size_t r = 0; r < table.size(); ++r) {
        if (table[r].size() != cols)
            throw H5Exception("Mismatching dimensions writing dataset \"" + path + "\": row " + std::to_string(r) +
                              " has " + std::to_string(table[r].size()) + " values, the first row " +
                              std::to_string(cols));
        flat.insert(flat.end(), table[r].begin(), table[r].end());
    }
    return flat;
}

template <typename T>
std::vector<T> flattenPointers(const int& rows, const int& cols, const T* const* data)
{
    std::vector<T> flat;
    if (rows <= 0 || cols <= 0) return flat;
    flat.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    for (int r = 0; r < rows; ++r) flat.insert(flat.end(), data[r], data[r] + cols);
    return flat;
}

std::vector<std::uint64_t> tableDims(const int& rows, const int& cols)
{
    return {static_cast<std::uint64_t>(rows < 0 ? 0 : rows), static_cast<std::uint64_t>(cols < 0 ? 0 : cols)};
}

}  // namespace

H5Writer::H5Writer(const std::string& fileName) : H5Base(fileName, "w") {}

H5Writer::H5Writer(const std::string& fileName, const std::string& mode) : H5Base(fileName, mode) {}

template <typename T>
H5Handle H5Writer::getDataset(const std::string& path, const std::vector<std::uint64_t>& dims)
{
    if (existDataset(path)) {
        H5Handle dataset = openDataset(path);
        const auto d = extents(dataset);
        HYDROVA_ASSERT(d.size() == dims.size(), "dimensions do not match");
        for (std::size_t ii = 0; ii < d.size(); ++ii)
            HYDROVA_ASSERT(d.at(ii) == dims.at(ii), "dimensions do not match");
        return dataset;
    }
    SilenceHDF5 silence;
    const std::vector<hsize_t> extent(dims.begin(), dims.end());
    H5Handle space = check(H5Screate_simple(static_cast<int>(extent.size()), extent.data(), nullptr),
                           "Unable to create a data space of extent " + describe(dims));
    H5Handle type = valueType<T>();
    return check(H5Dcreate2(fileId(), path.c_str(), type.id(), space.id(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT),
                 "Unable to create the dataset \"" + path + "\":");
}

template <typename T>
void H5Writer::writeValues(const std::string& path, const std::vector<std::uint64_t>& dims, const T* values)
{
    createGroup(path);
    H5Handle dataset = getDataset<T>(path, dims);
    std::uint64_t n = 1;
    for (auto d : dims) n *= d;
    if (n > 0) {
        SilenceHDF5 silence;
        H5Handle type = valueType<T>();
        check(H5Dwrite(dataset.id(), type.id(), H5S_ALL, H5S_ALL, H5P_DEFAULT, values),
              "Error writing to the dataset \"" + path + "\":");
    }
    dataset.reset();
    attachAttributeInt(path, "size", static_cast<int>(n));
}

void H5Writer::writeIntScalar(const std::string& path, const int& value) { writeValues<int>(path, {1}, &value); }

void H5Writer::writeDoubleScalar(const std::string& path, const double& value)
{
    writeValues<double>(path, {1}, &value);
}

void H5Writer::writeIntArray(const std::string& path, const int& rows, const int& cols, const int* const* data)
{
    const auto flat = flattenPointers(rows, cols, data);
    writeValues<int>(path, tableDims(rows, cols), flat.data());
}

void H5Writer::writeDoubleArray(const std::string& path, const int& rows, const int& cols, const double* const* data)
{
    const auto flat = flattenPointers(rows, cols, data);
    writeValues<double>(path, tableDims(rows, cols), flat.data());
}

void H5Writer::writeIntVecVec(const std::string& path, const std::vector<std::vector<int>>& table)
{
    const auto flat = flattenRows(path, table);
    writeValues<int>(path, {table.size(), table.empty() ? 0u : table[0].size()}, flat.data());
}

void H5Writer::writeDoubleVecVec(const std::string& path, const std::vector<std::vector<double>>& table)
{
    const auto flat = flattenRows(path, table);
    writeValues<double>(path, {table.size(), table.empty() ? 0u : table[0].size()}, flat.data());
}

template <typename T>
void H5Writer::copyValues(const std::string& path, const std::string& source)
{
    H5Handle file;
    H5Handle from;
    {
        SilenceHDF5 silence;
        file = check(H5Fopen(source.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), "Unable to open the file \"" + source + "\":");
        from = check(H5Dopen2(file.id(), path.c_str(), H5P_DEFAULT),
                     "Unable to open the dataset \"" + path + "\" of \"" + source + "\":");
    }
    const auto dims = extents(from);
    if (dims.size() != 2)
        throw H5Exception("Dataset \"" + path + "\" of \"" + source + "\" is not two-dimensional: " + describe(dims));
    createGroup(path);
    H5Handle to = getDataset<T>(path, dims);
    // About a megabyte a slice.
    const hsize_t cols = dims[1] > 0 ? dims[1] : 1;
    const hsize_t slice = std::max<hsize_t>(1, (1u << 20) / (cols * sizeof(T)));
    std::vector<T> buffer(static_cast<std::size_t>(std::min<hsize_t>(slice, dims[0]) * dims[1]));
    SilenceHDF5 silence;
    H5Handle type = valueType<T>();
    H5Handle fromSpace = check(H5Dget_space(from.id()), "Unable to get the data space of \"" + path + "\":");
    H5Handle toSpace = check(H5Dget_space(to.id()), "Unable to get the data space of \"" + path + "\":");
    for (hsize_t first = 0; first < dims[0] && dims[1] > 0; first += slice) {
        const hsize_t start[2] = {first, 0};
        const hsize_t count[2] = {std::min(slice, dims[0] - first), dims[1]};
        H5Handle memory = check(H5Screate_simple(2, count, nullptr), "Unable to create a data space");
        check(H5Sselect_hyperslab(fromSpace.id(), H5S_SELECT_SET, start, nullptr, count, nullptr),
              "Unable to select rows of \"" + path + "\":");
        check(H5Sselect_hyperslab(toSpace.id(), H5S_SELECT_SET, start, nullptr, count, nullptr),
              "Unable to select rows of \"" + path + "\":");
        check(H5Dread(from.id(), type.id(), memory.id(), fromSpace.id(), H5P_DEFAULT, buffer.data()),
              "Error during HDF5 Read of \"" + path + "\":");
        check(H5Dwrite(to.id(), type.id(), memory.id(), toSpace.id(), H5P_DEFAULT, buffer.data()),
              "Error writing to the dataset \"" + path + "\":");
    }
    to.reset();
    attachAttributeInt(path, "size", static_cast<int>(dims[0] * dims[1]));
}

void H5Writer::copyTable(const std::string& path, const std::string& source, const bool& integer)
{
    if (integer)
        copyValues<int>(path, source);
    else
        copyValues<double>(path, source);
}

void H5Writer::writeStringVec(const std::string& path, const int& n, const std::vector<std::string>& strings)
{
    const std::size_t count = n < 0 ? 0 : static_cast<std::size_t>(n);
    if (strings.size() < count)
        throw H5Exception("Impossible to write buffer of " + std::to_string(strings.size()) +
                          " strings into dataset \"" + path + "\" of extent {" + std::to_string(count) + "}");
    std::vector<const char*> pointers(count);
    for (std::size_t i = 0; i < count; ++i) pointers[i] = strings[i].c_str();
    writeValues<const char*>(path, {count}, pointers.data());
}

void H5Writer::removeDataset(const std::string& path)
{
    if (!existDataset(path)) return;
    SilenceHDF5 silence;
    check(H5Ldelete(fileId(), path.c_str(), H5P_DEFAULT), "Unable to remove the dataset \"" + path + "\":");
}

}  // namespace dataio
