#include "support/H5Data.hpp"

#include <hdf5.h>

#include <stdexcept>
#include <type_traits>

static_assert(std::is_same<hid_t, std::int64_t>::value, "H5Output keeps the file identifier as std::int64_t");

namespace testsupport {

namespace {

/// Closes an HDF5 identifier with the matching close function.
class Handle {
public:
    Handle(hid_t id, herr_t (*close)(hid_t)) : id_(id), close_(close)
    {
        if (id_ < 0) throw std::runtime_error("HDF5 call failed");
    }
    ~Handle() { close_(id_); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    operator hid_t() const { return id_; }

private:
    hid_t id_;
    herr_t (*close_)(hid_t);
};

hid_t linkCreationWithParents()
{
    hid_t lcpl = H5Pcreate(H5P_LINK_CREATE);
    H5Pset_create_intermediate_group(lcpl, 1);
    return lcpl;
}

/// Unlinks the object at `path` if it exists (a missing parent group is no error).
void removeIfPresent(hid_t file, const std::string& path)
{
    htri_t present = 0;
    H5E_BEGIN_TRY { present = H5Lexists(file, path.c_str(), H5P_DEFAULT); }
    H5E_END_TRY;
    if (present > 0) H5Ldelete(file, path.c_str(), H5P_DEFAULT);
}

hid_t checked(hid_t id, const std::string& what)
{
    if (id < 0) throw std::runtime_error("HDF5 cannot " + what);
    return id;
}

}  // namespace

bool h5::exists(const std::string& file, const std::string& path)
{
    Handle f(H5Fopen(file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
    std::string prefix;
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = path.find('/', start);
        prefix = path.substr(0, slash);
        if (!prefix.empty() && H5Lexists(f, prefix.c_str(), H5P_DEFAULT) <= 0) return false;
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}

std::vector<double> h5::readValues(const std::string& file, const std::string& path)
{
    Handle f(H5Fopen(file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
    Handle set(H5Dopen2(f, path.c_str(), H5P_DEFAULT), H5Dclose);
    Handle space(H5Dget_space(set), H5Sclose);
    std::vector<double> values(static_cast<std::size_t>(H5Sget_simple_extent_npoints(space)));
    if (H5Dread(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()) < 0)
        throw std::runtime_error("read " + path);
    return values;
}

double h5::readAttribute(const std::string& file, const std::string& path, const std::string& name)
{
    Handle f(H5Fopen(file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
    Handle attribute(H5Aopen_by_name(f, path.c_str(), name.c_str(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    double value = 0.0;
    if (H5Aread(attribute, H5T_NATIVE_DOUBLE, &value) < 0) throw std::runtime_error("read attribute " + name);
    return value;
}

std::string h5::readString(const std::string& file, const std::string& path)
{
    Handle f(H5Fopen(file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
    Handle set(H5Dopen2(f, path.c_str(), H5P_DEFAULT), H5Dclose);
    Handle fileType(H5Dget_type(set), H5Tclose);
    Handle type(H5Tcopy(H5T_C_S1), H5Tclose);
    H5Tset_size(type, H5T_VARIABLE);
    H5Tset_cset(type, H5Tget_cset(fileType));
    char* data[1] = {nullptr};
    if (H5Dread(set, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data) < 0) throw std::runtime_error("read " + path);
    std::string value = data[0] != nullptr ? data[0] : "";
    H5free_memory(data[0]);
    return value;
}

int h5::countObjects(const std::string& file, const std::string& path)
{
    Handle f(H5Fopen(file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
    Handle group(H5Gopen2(f, path.c_str(), H5P_DEFAULT), H5Gclose);
    H5G_info_t info;
    H5Gget_info(group, &info);
    return static_cast<int>(info.nlinks);
}

void h5::overwriteValues(const std::string& file, const std::string& path, const std::vector<double>& values)
{
    Handle f(H5Fopen(file.c_str(), H5F_ACC_RDWR, H5P_DEFAULT), H5Fclose);
    Handle set(H5Dopen2(f, path.c_str(), H5P_DEFAULT), H5Dclose);
    if (H5Dwrite(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()) < 0)
        throw std::runtime_error("write " + path);
}

H5Output H5Output::create(const std::string& path)
{
    return H5Output(checked(H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT), "create " + path));
}

H5Output H5Output::open(const std::string& path)
{
    return H5Output(checked(H5Fopen(path.c_str(), H5F_ACC_RDWR, H5P_DEFAULT), "open " + path));
}

H5Output::H5Output(H5Output&& other) noexcept : id_(other.id_) { other.id_ = -1; }

H5Output::~H5Output()
{
    if (id_ >= 0) H5Fclose(id_);
}

void H5Output::numeric(const std::string& path, std::int64_t type, int rows, int cols, const void* values)
{
    removeIfPresent(id_, path);
    Handle lcpl(linkCreationWithParents(), H5Pclose);
    const hsize_t dims[2] = {static_cast<hsize_t>(rows), static_cast<hsize_t>(cols)};
    Handle space(H5Screate_simple(cols > 0 ? 2 : 1, dims, nullptr), H5Sclose);
    Handle set(H5Dcreate2(id_, path.c_str(), type, space, lcpl, H5P_DEFAULT, H5P_DEFAULT), H5Dclose);
    if (H5Dwrite(set, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, values) < 0) throw std::runtime_error("write " + path);
}

void H5Output::ints(const std::string& path, int rows, int cols, const std::vector<int>& values)
{
    numeric(path, H5T_NATIVE_INT, rows, cols, values.data());
}

void H5Output::doubles(const std::string& path, int rows, int cols, const std::vector<double>& values)
{
    numeric(path, H5T_NATIVE_DOUBLE, rows, cols, values.data());
}

void H5Output::text(const std::string& path, const std::string& value)
{
    removeIfPresent(id_, path);
    Handle type(H5Tcopy(H5T_C_S1), H5Tclose);
    H5Tset_size(type, H5T_VARIABLE);
    H5Tset_cset(type, H5T_CSET_UTF8);
    Handle lcpl(linkCreationWithParents(), H5Pclose);
    const hsize_t one = 1;
    Handle space(H5Screate_simple(1, &one, nullptr), H5Sclose);
    Handle set(H5Dcreate2(id_, path.c_str(), type, space, lcpl, H5P_DEFAULT, H5P_DEFAULT), H5Dclose);
    const char* data[1] = {value.c_str()};
    if (H5Dwrite(set, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data) < 0) throw std::runtime_error("write " + path);
}

}  // namespace testsupport
