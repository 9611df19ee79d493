// Creation of the file readers and writers of this layer; the caller owns (deletes) every object returned.
#pragma once

#include <string>

#include "dataio/ICommandFileReader.hpp"
#include "dataio/IH5Reader.hpp"
#include "dataio/IH5Writer.hpp"
#include "dataio/IResultReader.hpp"
#include "dataio/IXdmfWriter.hpp"

namespace dataio {

class Factory {
public:
    /// H5Reader on fileName, mode "r".
    static api::IH5Reader* createH5Reader(const std::string& fileName);
    /// H5Writer on fileName, mode "w" (an existing file is replaced).
    static api::IH5Writer* createH5Writer(const std::string& fileName);
    /// H5Writer on fileName with mode "w", "rw" or "r".
    static api::IH5Writer* createH5Writer(const std::string& fileName, const std::string& mode);
    /// ResultReader on an existing results file (opened "rw").
    static api::IResultReader* createResultReader(const std::string& fileName);
    /// JSONReader on a JSON text or, when the argument does not parse as JSON, on the file it names.
    static api::ICommandFileReader* createCommandFileReader(const std::string& fileNameOrText);
    /// XdmfWriter describing datasets of the HDF5 file h5FileName.
    static api::IXdmfWriter* createXdmfWriter(const std::string& h5FileName);
};

}  // namespace dataio
