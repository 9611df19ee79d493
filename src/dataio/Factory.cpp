#include "dataio/Factory.hpp"

#include "dataio/H5Reader.hpp"
#include "dataio/H5Writer.hpp"
#include "dataio/JSONReader.hpp"
#include "dataio/ResultReader.hpp"
#include "dataio/XdmfWriter.hpp"

namespace dataio {

api::IH5Reader* Factory::createH5Reader(const std::string& fileName) { return new H5Reader(fileName, "r"); }

api::IH5Writer* Factory::createH5Writer(const std::string& fileName) { return new H5Writer(fileName, "w"); }

api::IH5Writer* Factory::createH5Writer(const std::string& fileName, const std::string& mode)
{
    return new H5Writer(fileName, mode);
}

api::IResultReader* Factory::createResultReader(const std::string& fileName) { return new ResultReader(fileName); }

api::ICommandFileReader* Factory::createCommandFileReader(const std::string& fileNameOrText)
{
    return new JSONReader(fileNameOrText);
}

api::IXdmfWriter* Factory::createXdmfWriter(const std::string& h5FileName) { return new XdmfWriter(h5FileName); }

}  // namespace dataio
