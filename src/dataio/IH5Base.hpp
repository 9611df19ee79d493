// Interface of an open HDF5 file: questions about groups, datasets and attributes.
#pragma once

#include <string>

namespace api {

/// One open HDF5 file. Paths are relative to the file root, components separated by "/".
class IH5Base {
public:
    virtual ~IH5Base() = default;

    /// The file name given at construction.
    virtual std::string getFilename() const = 0;
    /// Text of path before its first "/" (empty when there is none).
    virtual std::string getGroup(const std::string& path) const = 0;
    /// Text of path after its first "/" (the whole path when there is none).
    virtual std::string getDataset(const std::string& path) const = 0;
    /// True for a path without "/"; otherwise whether the link named by the text before the first "/" exists.
    virtual bool existGroup(const std::string& path) const = 0;
    /// Whether every component of path exists (a missing intermediate group gives false, not an error).
    virtual bool existDataset(const std::string& path) const = 0;
    /// Creates, in order, every missing group along path up to (not including) its last component.
    virtual void createGroup(const std::string& path) = 0;
    /// Number of objects (links) in the group at path.
    virtual int getNumberObjs(const std::string& path) const = 0;

    /// Whether the object at path exists and carries the attribute `name`.
    virtual bool existAttribute(const std::string& path, const std::string& name) const = 0;
    /// Value of the one-value attribute `name` of the object at path; fatal when path does not exist.
    virtual int readAttributeInt(const std::string& path, const std::string& name) const = 0;
    virtual double readAttributeDouble(const std::string& path, const std::string& name) const = 0;
    /// Creates the one-value attribute if missing (else opens it), writes value and flushes the file; fatal when
    /// path does not exist.
    virtual void attachAttributeInt(const std::string& path, const std::string& name, const int& value) = 0;
    virtual void attachAttributeDouble(const std::string& path, const std::string& name, const double& value) = 0;
};

}  // namespace api
