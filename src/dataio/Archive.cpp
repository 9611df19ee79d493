#include "dataio/Archive.hpp"

#include <fstream>
#include <iostream>

#include "common/TerraException.hpp"

namespace dataio {

const std::string Archive::ROOT = ".config";
const std::string Archive::MODEL = "model";
const std::string Archive::SIMULATION = "simulation";

void Archive::addModel(api::IH5Writer* writer, const std::string& text) { addHash(writer, text, ROOT + "/" + MODEL); }

void Archive::addSimulation(api::IH5Writer* writer, const std::string& text)
{
    addHash(writer, text, ROOT + "/" + SIMULATION);
}

void Archive::addHash(api::IH5Writer* writer, const std::string& text, const std::string& path)
{
    HYDROVA_ASSERT(writer != nullptr, "no file to archive <" << path << "> in");
    writer->writeStringVec(path, 1, {text});
}

std::string Archive::getModel(const api::IH5Reader* reader) { return getHash(reader, ROOT + "/" + MODEL); }

std::string Archive::getSimulation(const api::IH5Reader* reader) { return getHash(reader, ROOT + "/" + SIMULATION); }

std::string Archive::getHash(const api::IH5Reader* reader, const std::string& path)
{
    HYDROVA_ASSERT(reader != nullptr, "no file to read the archive <" << path << "> from");
    return reader->readStrVec(path).at(0);
}

void Archive::restore(const api::IH5Reader* reader, const std::string& fileName)
{
    const std::string text = getModel(reader);
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) {
        std::cerr << " -> cannot write the archived model configuration to file <" << fileName << ">" << std::endl;
        throw TerraException();
    }
    out << text;
    out.close();
    if (!out) {
        std::cerr << " -> cannot write the archived model configuration to file <" << fileName << ">" << std::endl;
        throw TerraException();
    }
}

}  // namespace dataio
