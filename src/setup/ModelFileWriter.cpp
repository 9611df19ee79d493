#include "setup/ModelFileWriter.hpp"

#include <cstdio>
#include <iostream>
#include <memory>

#include "dataio/Archive.hpp"
#include "dataio/Factory.hpp"
#include "dataio/H5FileNameDefinitions.hpp"
#include "model/Kernel.hpp"
#include "setup/OpDatasetWriter.hpp"
#include "setup/SetupError.hpp"

namespace setup {

namespace {

template <typename ID, typename Value>
const Value& lookup(const std::map<ID, Value>& values, ID id, const std::string& what)
{
    const auto it = values.find(id);
    if (it == values.end()) throw SetupError("the set-up cannot provide " + what + " of the composed model");
    return it->second;
}

/// Sets, parameters, node-string names, kernel schedule and command text, through the data layer.
void writeThroughDataLayer(const std::string& file, const api::IModel& model, const ModelContent& content,
                           const std::string& commandText, int logLevel)
{
    std::unique_ptr<api::IH5Writer> writer(dataio::Factory::createH5Writer(file, "w"));
    for (const api::ISet* set : model.getSets()) {
        const int n = lookup(content.sets, set->getID(), "the set <" + set->getName() + ">");
        if (logLevel > 2)
            std::cout << " -> "
                      << "writing set <" << set->getH5Path() << "> (N=" << n << ")" << std::endl;
        writer->writeIntScalar(set->getH5Path(), n);
    }
    for (const api::IParameter* par : model.getPars()) {
        if (par->isSimulationOnly()) continue;
        const auto& value = lookup(content.parameters, par->getID(), "the parameter <" + par->getName() + ">");
        if (logLevel > 2)
            std::cout << " -> "
                      << "writing parameter <" << par->getH5Path() << ">" << std::endl;
        if (value.values.size() == 1) {
            if (value.isInt)
                writer->writeIntScalar(par->getH5Path(), static_cast<int>(value.values[0]));
            else
                writer->writeDoubleScalar(par->getH5Path(), value.values[0]);
        } else if (value.isInt) {
            writer->writeIntVecVec(par->getH5Path(), {std::vector<int>(value.values.begin(), value.values.end())});
        } else {
            writer->writeDoubleVecVec(par->getH5Path(), {value.values});
        }
    }
    for (const api::IData* data : model.getDats())
        if (data->getID() == model::DataID::StrNames) {
            const int n = static_cast<int>(content.stringNames.size());
            writer->writeStringVec(data->getH5Path(), n, content.stringNames);
        }
    std::vector<std::vector<int>> ids;
    std::vector<std::vector<double>> timing;
    for (const api::IKernel* kernel : model.getKernels()) {
        const KernelTiming t = kernelTiming(kernel->getID());
        ids.push_back({model::toInt(kernel->getID())});
        timing.push_back({t.start, t.increment, t.end});
    }
    if (!ids.empty()) {
        writer->writeIntVecVec(model::Kernel::kernelPath, ids);
        writer->writeDoubleVecVec(model::Kernel::kernelTimingPath, timing);
    }
    dataio::Archive::addModel(writer.get(), commandText);
    if (!content.gauges.empty()) {
        std::vector<std::string> names;
        std::vector<std::vector<double>> points;
        std::vector<std::vector<int>> cells;
        for (const auto& gauge : content.gauges) {
            names.push_back(gauge.name);
            points.push_back({gauge.x, gauge.y});
            cells.push_back({gauge.cell});
        }
        writer->writeStringVec(dataio::H5FileNameDefinitions::GAUGENAMES, static_cast<int>(names.size()), names);
        writer->writeDoubleVecVec(dataio::H5FileNameDefinitions::GAUGEPOINTS, points);
        writer->writeIntVecVec(dataio::H5FileNameDefinitions::GAUGECELLS, cells);
    }
    if (!content.linePoints.empty()) {
        writer->writeStringVec(dataio::H5FileNameDefinitions::STRINGLINENAMES,
                               static_cast<int>(content.lineNames.size()), content.lineNames);
        writer->writeDoubleVecVec(dataio::H5FileNameDefinitions::STRINGLINEPOINTS, content.linePoints);
    }
    if (!content.nodeCoordinates.empty()) {
        std::vector<const double*> rows;
        for (std::size_t i = 0; i < content.nodeCoordinates.size(); i += 3) rows.push_back(&content.nodeCoordinates[i]);
        writer->writeDoubleArray(dataio::H5FileNameDefinitions::NODECOORDINATES, static_cast<int>(rows.size()), 3,
                                 rows.data());
    }
    if (!content.crsWkt.empty())
        dataio::Archive::addHash(writer.get(), content.crsWkt, dataio::Archive::ROOT + "/crs");
}

/// Maps and data in the mesh framework's convention.
void writeMeshObjects(const std::string& file, const api::IModel& model, const ModelContent& content, int logLevel)
{
    OpDatasetWriter writer(file);
    for (const api::IMap* map : model.getMaps()) {
        const Table& t = lookup(content.maps, map->getID(), "the map <" + map->getH5Path() + ">");
        if (t.cols != map->getSize())
            throw SetupError("the map <" + map->getH5Path() + "> has the wrong number of columns");
        if (logLevel > 2)
            std::cout << " -> "
                      << "writing map <" << map->getH5Path() << ">" << std::endl;
        writer.write(map->getH5Path(), t);
    }
    for (const api::IData* data : model.getDats()) {
        if (data->isSimulationOnly() || data->getType() == "string") continue;
        const Table& t = lookup(content.data, data->getID(), "the data <" + data->getH5Path() + ">");
        if (t.cols != data->getSize() || t.isInt != (data->getType() == "int"))
            throw SetupError("the data <" + data->getH5Path() + "> has the wrong shape or type");
        if (logLevel > 2)
            std::cout << " -> "
                      << "writing data <" << data->getH5Path() << ">" << std::endl;
        writer.write(data->getH5Path(), t);
    }
}

}  // namespace

std::string temporaryName(const std::string& path) { return path + ".incomplete"; }

void writeModelFile(const std::string& path, const api::IModel& model, const ModelContent& content,
                    const std::string& commandText, int logLevel)
{
    const std::string temporary = temporaryName(path);
    try {
        writeThroughDataLayer(temporary, model, content, commandText, logLevel);
        writeMeshObjects(temporary, model, content, logLevel);
    } catch (...) {
        std::remove(temporary.c_str());
        throw;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw SetupError("cannot rename <" + temporary + "> to <" + path + ">");
    }
}

}  // namespace setup
