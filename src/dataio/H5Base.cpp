#include "dataio/H5Base.hpp"

#include <cerrno>

#include "common/TerraException.hpp"
#include "dataio/H5Detail.hpp"

namespace dataio {

using detail::check;
using detail::SilenceHDF5;

unsigned getFileAccess(const std::string& mode)
{
    if (mode == "w") return ReadWrite | Create | Truncate;
    if (mode == "rw") return ReadWrite;
    return ReadOnly;
}

namespace {

H5Handle openFile(const std::string& fileName, unsigned access)
{
    const std::string text = "Unable to open file " + fileName;
    if (access & Create) {
        const unsigned flags = (access & Truncate) ? H5F_ACC_TRUNC : H5F_ACC_EXCL;
        return check(H5Fcreate(fileName.c_str(), flags, H5P_DEFAULT, H5P_DEFAULT), text);
    }
    const unsigned flags = (access & ReadWrite) ? H5F_ACC_RDWR : H5F_ACC_RDONLY;
    return check(H5Fopen(fileName.c_str(), flags, H5P_DEFAULT), text);
}

/// Whether a link of that name exists below loc; a failing query (e.g. through a dataset) counts as absent.
bool linkExists(hid_t loc, const std::string& name) { return H5Lexists(loc, name.c_str(), H5P_DEFAULT) > 0; }

}  // namespace

H5Base::H5Base(const std::string& fileName, const std::string& mode) : fileName_(fileName)
{
    SilenceHDF5 silence;
    file_ = openFile(fileName, getFileAccess(mode));
}

H5Base::~H5Base()
{
    if (file_.valid()) detail::trimToEnd(file_.id());
}

std::string H5Base::getFilename() const { return fileName_; }

std::string H5Base::getGroup(const std::string& path) const
{
    const auto slash = path.find('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string H5Base::getDataset(const std::string& path) const
{
    const auto slash = path.find('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool H5Base::existGroup(const std::string& path) const
{
    if (path.find('/') == std::string::npos) return true;
    SilenceHDF5 silence;
    return linkExists(fileId(), getGroup(path));
}

bool H5Base::existDataset(const std::string& path) const
{
    SilenceHDF5 silence;
    const auto parts = detail::components(path);
    if (parts.empty()) return false;
    std::string prefix;
    for (const auto& part : parts) {
        prefix += (prefix.empty() ? "" : "/") + part;
        if (!linkExists(fileId(), prefix)) return false;
    }
    return true;
}

void H5Base::createGroup(const std::string& path)
{
    SilenceHDF5 silence;
    const auto parts = detail::components(path);
    std::string prefix;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        prefix += (prefix.empty() ? "" : "/") + parts[i];
        if (linkExists(fileId(), prefix)) continue;
        check(H5Gcreate2(fileId(), prefix.c_str(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT),
              "Unable to create the group \"" + prefix + "\":");
    }
}

int H5Base::getNumberObjs(const std::string& path) const
{
    SilenceHDF5 silence;
    const std::string name = path.empty() ? "/" : path;
    H5Handle group = check(H5Gopen2(fileId(), name.c_str(), H5P_DEFAULT), "Unable to open the group \"" + name + "\":");
    H5G_info_t info;
    check(H5Gget_info(group.id(), &info), "Unable to count the objects of the group \"" + name + "\":");
    return static_cast<int>(info.nlinks);
}

bool H5Base::existAttribute(const std::string& path, const std::string& name) const
{
    SilenceHDF5 silence;
    return existDataset(path) && H5Aexists_by_name(fileId(), path.c_str(), name.c_str(), H5P_DEFAULT) > 0;
}

void H5Base::readAttribute(const std::string& path, const std::string& name, std::int64_t memType, void* value) const
{
    // A missing dataset and a dataset without that attribute are the same fatal case for the callers.
    HYDROVA_ASSERT(existAttribute(path, name),
                   "cannot read attribute to dataset <" << path << "> in file <" << fileName_ << ">");
    SilenceHDF5 silence;
    H5Handle object = check(H5Oopen(fileId(), path.c_str(), H5P_DEFAULT), "Unable to open \"" + path + "\":");
    H5Handle attribute =
        check(H5Aopen(object.id(), name.c_str(), H5P_DEFAULT), "Unable to open the attribute \"" + name + "\":");
    H5Handle space = check(H5Aget_space(attribute.id()), "Unable to get the space of attribute \"" + name + "\":");
    if (H5Sget_simple_extent_npoints(space.id()) != 1)
        throw H5Exception("Attribute \"" + name + "\" of \"" + path + "\" does not hold one value");
    check(H5Aread(attribute.id(), memType, value), "Error reading attribute \"" + name + "\":");
}

void H5Base::attachAttribute(const std::string& path, const std::string& name, std::int64_t memType, const void* value)
{
    HYDROVA_ASSERT(this->existDataset(path),
                   "cannot attach attribute to dataset <" << path << "> in file <" << fileName_ << ">");
    SilenceHDF5 silence;
    H5Handle object = check(H5Oopen(fileId(), path.c_str(), H5P_DEFAULT), "Unable to open \"" + path + "\":");
    H5Handle attribute;
    if (H5Aexists(object.id(), name.c_str()) > 0) {
        attribute =
            check(H5Aopen(object.id(), name.c_str(), H5P_DEFAULT), "Unable to open the attribute \"" + name + "\":");
    } else {
        H5Handle space = check(H5Screate(H5S_SCALAR), "Unable to create a data space");
        attribute = check(H5Acreate2(object.id(), name.c_str(), memType, space.id(), H5P_DEFAULT, H5P_DEFAULT),
                          "Unable to create the attribute \"" + name + "\":");
    }
    check(H5Awrite(attribute.id(), memType, value), "Error writing attribute \"" + name + "\":");
    attribute.reset();
    object.reset();
    // The room for what the library allocated first; after a failure nothing more is written.
    const int room = detail::allocateToEnd(fileId());
    errno = room;
    if (room != 0 || H5Fflush(fileId(), H5F_SCOPE_GLOBAL) < 0) {
        const int code = errno;
        detail::lengthenToEnd(fileId());
        errno = code;
        detail::fail("Unable to flush file " + fileName_);
    }
}

int H5Base::readAttributeInt(const std::string& path, const std::string& name) const
{
    int value = 0;
    readAttribute(path, name, H5T_NATIVE_INT, &value);
    return value;
}

double H5Base::readAttributeDouble(const std::string& path, const std::string& name) const
{
    double value = 0.0;
    readAttribute(path, name, H5T_NATIVE_DOUBLE, &value);
    return value;
}

void H5Base::attachAttributeInt(const std::string& path, const std::string& name, const int& value)
{
    attachAttribute(path, name, H5T_NATIVE_INT, &value);
}

void H5Base::attachAttributeDouble(const std::string& path, const std::string& name, const double& value)
{
    attachAttribute(path, name, H5T_NATIVE_DOUBLE, &value);
}

H5Handle H5Base::openDataset(const std::string& path) const
{
    SilenceHDF5 silence;
    return check(H5Dopen2(fileId(), path.c_str(), H5P_DEFAULT), "Unable to open the dataset \"" + path + "\":");
}

std::vector<std::uint64_t> H5Base::extents(const H5Handle& dataset)
{
    SilenceHDF5 silence;
    H5Handle space = check(H5Dget_space(dataset.id()), "Unable to get the data space of a dataset");
    const int rank = H5Sget_simple_extent_ndims(space.id());
    if (rank < 0) detail::fail("Unable to get the rank of a dataset");
    std::vector<hsize_t> dims(static_cast<std::size_t>(rank));
    if (rank > 0) H5Sget_simple_extent_dims(space.id(), dims.data(), nullptr);
    return std::vector<std::uint64_t>(dims.begin(), dims.end());
}

}  // namespace dataio
