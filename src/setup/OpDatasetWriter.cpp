#include "setup/OpDatasetWriter.hpp"

#include <hdf5.h>

#include <vector>

#include "setup/SetupError.hpp"

namespace setup {

namespace {

/// Closes an HDF5 identifier with its matching close function.
class Handle {
public:
    Handle(hid_t id, herr_t (*close)(hid_t)) : id(id), close(close) {}
    ~Handle()
    {
        if (id >= 0) close(id);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    hid_t get() const { return id; }
    bool ok() const { return id >= 0; }

private:
    hid_t id;
    herr_t (*close)(hid_t);
};

void attachInt(hid_t dataset, const char* name, int value)
{
    Handle space(H5Screate(H5S_SCALAR), H5Sclose);
    Handle attr(H5Acreate2(dataset, name, H5T_NATIVE_INT, space.get(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    if (!attr.ok() || H5Awrite(attr.get(), H5T_NATIVE_INT, &value) < 0)
        throw SetupError(std::string("cannot write the attribute '") + name + "'");
}

void attachText(hid_t dataset, const char* name, const std::string& text)
{
    Handle type(H5Tcopy(H5T_C_S1), H5Tclose);
    H5Tset_size(type.get(), text.size());
    Handle space(H5Screate(H5S_SCALAR), H5Sclose);
    Handle attr(H5Acreate2(dataset, name, type.get(), space.get(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    if (!attr.ok() || H5Awrite(attr.get(), type.get(), text.data()) < 0)
        throw SetupError(std::string("cannot write the attribute '") + name + "'");
}

}  // namespace

OpDatasetWriter::OpDatasetWriter(const std::string& name) : fileName(name)
{
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    file = H5Fopen(name.c_str(), H5F_ACC_RDWR, H5P_DEFAULT);
    if (file < 0) throw SetupError("cannot open the model file <" + name + "> for writing");
}

OpDatasetWriter::~OpDatasetWriter() { H5Fclose(static_cast<hid_t>(file)); }

void OpDatasetWriter::write(const std::string& path, const Table& table)
{
    const hid_t f = static_cast<hid_t>(file);
    const std::string where = "<" + path + "> in <" + fileName + ">";
    for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string group = path.substr(0, slash);
        if (H5Lexists(f, group.c_str(), H5P_DEFAULT) > 0) continue;
        Handle g(H5Gcreate2(f, group.c_str(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose);
        if (!g.ok()) throw SetupError("cannot create the group of " + where);
    }
    const std::size_t expected = static_cast<std::size_t>(table.rows) * static_cast<std::size_t>(table.cols);
    const std::size_t given = table.isInt ? table.ints.size() : table.floats.size();
    if (given != expected) throw SetupError("wrong number of values for " + where);

    const hsize_t dims[2] = {static_cast<hsize_t>(table.rows), static_cast<hsize_t>(table.cols)};
    const hid_t type = table.isInt ? H5T_NATIVE_INT : H5T_NATIVE_FLOAT;
    Handle space(H5Screate_simple(2, dims, nullptr), H5Sclose);
    Handle set(H5Dcreate2(f, path.c_str(), type, space.get(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Dclose);
    if (!set.ok()) throw SetupError("cannot create the dataset " + where);
    if (expected > 0) {
        const void* values =
            table.isInt ? static_cast<const void*>(table.ints.data()) : static_cast<const void*>(table.floats.data());
        if (H5Dwrite(set.get(), type, H5S_ALL, H5S_ALL, H5P_DEFAULT, values) < 0)
            throw SetupError("cannot write the dataset " + where);
    }
    attachInt(set.get(), "size", 4 * table.cols);
    attachInt(set.get(), "dim", table.cols);
    attachText(set.get(), "type", table.isInt ? "int" : "float");
}

}  // namespace setup
