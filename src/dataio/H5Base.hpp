// One open HDF5 file: the common base of the reader and the writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dataio/H5Handle.hpp"
#include "dataio/IH5Base.hpp"

namespace dataio {

/// Access flags of a file, with the bit values of the HighFive convention.
enum FileAccess : unsigned {
    ReadOnly = 0x00u,
    ReadWrite = 0x01u,
    Truncate = 0x02u,
    Create = 0x10u,
};

/// "w" -> ReadWrite | Create | Truncate (0x13); "rw" -> ReadWrite (1); anything else ("r") -> ReadOnly (0).
unsigned getFileAccess(const std::string& mode);

/// Owns one open HDF5 file, closed at destruction. Failures of the library raise H5Exception.
class H5Base : public virtual api::IH5Base {
public:
    /// Opens (ReadOnly, ReadWrite) or creates (Create | Truncate) fileName according to mode.
    H5Base(const std::string& fileName, const std::string& mode);
    ~H5Base() override;
    H5Base(const H5Base&) = delete;
    H5Base& operator=(const H5Base&) = delete;

    std::string getFilename() const override;
    std::string getGroup(const std::string& path) const override;
    std::string getDataset(const std::string& path) const override;
    bool existGroup(const std::string& path) const override;
    bool existDataset(const std::string& path) const override;
    void createGroup(const std::string& path) override;
    int getNumberObjs(const std::string& path) const override;
    bool existAttribute(const std::string& path, const std::string& name) const override;
    int readAttributeInt(const std::string& path, const std::string& name) const override;
    double readAttributeDouble(const std::string& path, const std::string& name) const override;
    void attachAttributeInt(const std::string& path, const std::string& name, const int& value) override;
    void attachAttributeDouble(const std::string& path, const std::string& name, const double& value) override;

protected:
    /// Identifier of the open file (owned by this object).
    std::int64_t fileId() const { return file_.id(); }
    /// Opens the dataset at path; H5Exception "Unable to open the dataset ..." when it cannot.
    H5Handle openDataset(const std::string& path) const;
    /// Extents of an open dataset's data space (empty for a scalar space).
    static std::vector<std::uint64_t> extents(const H5Handle& dataset);

private:
    void readAttribute(const std::string& path, const std::string& name, std::int64_t memType, void* value) const;
    void attachAttribute(const std::string& path, const std::string& name, std::int64_t memType, const void* value);

    std::string fileName_;
    H5Handle file_;
};

}  // namespace dataio
