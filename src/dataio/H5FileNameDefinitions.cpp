#include "dataio/H5FileNameDefinitions.hpp"

namespace dataio {

const std::string H5FileNameDefinitions::H5EXTENSION = ".h5";
const std::string H5FileNameDefinitions::RESULTSID = "_results";
const std::string H5FileNameDefinitions::NODECOORDINATES = "NodesAll/CoordDbl";
const std::string H5FileNameDefinitions::GAUGENAMES = "Gauges/Names";
const std::string H5FileNameDefinitions::GAUGEPOINTS = "Gauges/Points";
const std::string H5FileNameDefinitions::GAUGECELLS = "Gauges/Cells";
const std::string H5FileNameDefinitions::GAUGESERIES = "Gauges/Series";
const std::string H5FileNameDefinitions::STRINGLINENAMES = "StringLines/Names";
const std::string H5FileNameDefinitions::STRINGLINEPOINTS = "StringLines/Points";

std::string H5FileNameDefinitions::getResultFileName(const std::string& name)
{
    const auto pos = name.find(H5EXTENSION);
    if (pos == std::string::npos) return name;
    return name.substr(0, pos + H5EXTENSION.size());
}

}  // namespace dataio
