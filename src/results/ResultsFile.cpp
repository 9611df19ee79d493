#include "results/ResultsFile.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "common/FileChecks.hpp"
#include "common/TerraException.hpp"
#include "dataio/Archive.hpp"
#include "dataio/H5Exception.hpp"
#include "dataio/H5FileNameDefinitions.hpp"
#include "dataio/H5Reader.hpp"
#include "dataio/ResultReader.hpp"
#include "model/Factory.hpp"

namespace results {

const char* const FLOOD_VARIABLE_NAMES[4] = {"flood_arrival_time", "flood_max_depth", "flood_max_velocity",
                                             "flood_max_discharge"};

namespace {

const char* const TOPOLOGY = "/CellsAll/Topology";
const char* const COORDINATES = "/NodesAll/Coordnts";
const char* const STRING_NAMES = "/NodeStrg/StrNames";

std::string withSlash(const std::string& path) { return path.empty() || path[0] != '/' ? "/" + path : path; }

long long roundedAt3(double t) { return std::llround(t * 1000.0); }

/// A typed time names a stored one when it is within this of it (a time as --info prints it parses back exactly).
constexpr double kTimeTolerance = 1.0e-6;

}  // namespace

void ResultsFile::fail(const std::string& message) const
{
    std::cerr << " -> " << message << std::endl;
    throw TerraException();
}

ResultsFile::ResultsFile(const std::string& fileName) : fileName_(fileName)
{
    if (!std::ifstream(fileName).good()) fail("results file <" + fileName + "> not found");
    hydrova::refuseFileInUse(fileName, false);
    try {
        reader_ = std::make_unique<dataio::H5Reader>(fileName);
    } catch (const dataio::H5Exception& e) {
        // A file still open for writing by a running simulation ends here too; the library's text says so.
        fail("<" + fileName + "> is not an HDF5 file, hence not a results file (" + e.what() + ")");
    }
    const std::string config = "/" + dataio::Archive::ROOT + "/";
    if (!exists(config + dataio::Archive::MODEL) || !exists(config + dataio::Archive::SIMULATION) ||
        !exists(TOPOLOGY) || !exists(COORDINATES))
        fail("<" + fileName + "> is not a results file: it lacks the archived configurations or the mesh");
    if (!exists(dataio::ResultReader::RESULTPATH)) fail("results file <" + fileName + "> holds no output records");

    // The requested outputs of the run.
    const std::string simulationText = dataio::Archive::getSimulation(reader_.get());
    const nlohmann::json simulation = nlohmann::json::parse(simulationText, nullptr, false);
    if (simulation.is_discarded()) fail("the archived simulation configuration of <" + fileName + "> is not JSON");
    const auto pointer = nlohmann::json::json_pointer("/SIMULATION/OUTPUT");
    if (simulation.contains(pointer) && simulation.at(pointer).is_array())
        for (const auto& name : simulation.at(pointer))
            if (name.is_string()) requested_.push_back(name.get<std::string>());

    model_.reset(model::Factory::getModelFromH5File(fileName));
    model_->addOutputs(requested_);
    for (api::IOutput* o : model_->getOuts())
        if (o->getDataColumns().empty()) model_->defineOutput(o->getID());

    if (exists("/Parameters/MinWaterDepth")) minWaterDepth_ = reader_->readDoubleScalar("/Parameters/MinWaterDepth");
    readMesh();
    readTimes();

    // Elevations stored relative to RefBottomEl: the lowest stored bed is then 0 while RefBottomEl is not.
    if (exists("/Parameters/RefBottomEl") && model_->getComponent(model::DataID::BottomEl)) {
        const double ref = reader_->readDoubleScalar("/Parameters/RefBottomEl");
        const api::IData* bed = model_->getData(model::DataID::BottomEl);
        std::string path = withSlash(bed->getH5Path());
        if (exists(recordGroup(model::DataID::BottomEl)))
            path = dataio::ResultReader::getOutputPath(bed->getH5Path(), times_.front().record);
        if (exists(path)) {
            const std::vector<double> z = readColumn(path, 0);
            const double lowest = z.empty() ? 0.0 : *std::min_element(z.begin(), z.end());
            const double tol = 1e-6 * std::max(1.0, std::fabs(ref));
            if (std::fabs(lowest) <= tol && std::fabs(ref) > tol) elevationOffset_ = ref;
        }
    }
}

ResultsFile::~ResultsFile() = default;

bool ResultsFile::exists(const std::string& path) const { return reader_->existDataset(path); }

std::string ResultsFile::recordGroup(model::DataID id) const
{
    return dataio::ResultReader::getOutputGroup(model_->getData(id)->getH5Path());
}

ColumnSource ResultsFile::source(const std::string& path, int column) const
{
    ColumnSource s;
    s.dataset = withSlash(path);
    reader_->readDataset(s.dataset, s.rows, s.columns);
    if (s.columns == 0) s.columns = 1;  // a one-dimensional dataset reads as one column
    s.column = column;
    return s;
}

void ResultsFile::readMesh()
{
    topology_ = source(TOPOLOGY, 0);
    // The double-precision coordinates where the set-up wrote them; the float table of older files otherwise.
    const std::string precise = "/" + dataio::H5FileNameDefinitions::NODECOORDINATES;
    geometry_ = source(exists(precise) ? precise : std::string(COORDINATES), 0);
    if (topology_.columns != 3 || geometry_.columns != 3)
        fail("the mesh of <" + fileName_ + "> is not a triangle mesh with (x, y, z) nodes");
    for (const auto& row : reader_->readDoubleVecVec(geometry_.dataset)) nodes_.push_back({row[0], row[1], row[2]});
    for (const auto& row : reader_->readIntVecVec(topology_.dataset)) {
        for (const int n : row)
            if (n < 0 || n >= nodeCount())
                fail("the mesh of <" + fileName_ + "> names node " + std::to_string(n) + " of " +
                     std::to_string(nodeCount()));
        cells_.push_back({row[0], row[1], row[2]});
    }
    if (!model_->getComponent(model::SetID::NodeStrg)) return;
    if (exists(STRING_NAMES)) {
        stringNames_ = reader_->readStrVec(STRING_NAMES);
    } else if (exists("/NodeStrg/set")) {
        // Pieces without stored names are numbered.
        const int n = reader_->readIntScalar("/NodeStrg/set");
        for (int i = 0; i < n; ++i) stringNames_.push_back("string_" + std::to_string(i));
    }
}

bool ResultsFile::isTracked(model::DataID id) const
{
    for (const api::IOutput* o : model_->getOuts())
        if (o->isTracking())
            for (const model::DataID d : o->getData())
                if (d == id) return true;
    return false;
}

void ResultsFile::readTimes()
{
    // A record index is a valid time step when every time-varying output group holds it with the same time >= 0.
    std::vector<std::string> groups;
    for (const api::IData* d : model_->getDats())
        if (d->isVariableInTime() && !isTracked(d->getID()) && exists(recordGroup(d->getID())))
            groups.push_back(recordGroup(d->getID()));
    if (groups.empty()) fail("results file <" + fileName_ + "> holds no output records");

    std::map<int, std::vector<double>> found;
    for (const std::string& group : groups) {
        const int n = reader_->getNumberObjs(group);
        for (int i = 0; i < n; ++i) {
            char index[16];
            std::snprintf(index, sizeof(index), "%07i", i);
            const std::string path = group + "/" + index;
            if (reader_->existAttribute(path, "t"))
                found[i].push_back(reader_->readAttributeDouble(path, "t"));
            else if (exists(path))
                incomplete_.push_back(i);  // a run stopped while writing it: the other records are used
        }
    }
    for (const auto& entry : found) {
        const std::vector<double>& t = entry.second;
        if (t.size() != groups.size() || t.front() < 0.0) continue;
        if (std::any_of(t.begin(), t.end(), [&](double x) { return x != t.front(); })) {
            std::cerr << " -> "
                      << "record " << entry.first << " holds different times in different outputs; left out"
                      << std::endl;
            continue;
        }
        times_.push_back({t.front(), entry.first});
    }
    std::sort(incomplete_.begin(), incomplete_.end());
    incomplete_.erase(std::unique(incomplete_.begin(), incomplete_.end()), incomplete_.end());
    std::stable_sort(times_.begin(), times_.end(),
                     [](const TimeStep& a, const TimeStep& b) { return a.time < b.time; });
    if (times_.empty()) fail("results file <" + fileName_ + "> holds no valid output record");
}

TimeStep ResultsFile::findTime(double t) const
{
    // The nearest stored time within a microsecond. Failing that, a time given to the millisecond still names
    // a record that alone rounds to it (files whose times drifted in the last digits, typed as before).
    const TimeStep* nearest = nullptr;
    for (const TimeStep& s : times_)
        if (std::abs(s.time - t) <= kTimeTolerance &&
            (nearest == nullptr || std::abs(s.time - t) < std::abs(nearest->time - t)))
            nearest = &s;
    if (nearest != nullptr) return *nearest;
    std::vector<const TimeStep*> rounded;
    for (const TimeStep& s : times_)
        if (roundedAt3(s.time) == roundedAt3(t)) rounded.push_back(&s);
    if (rounded.size() == 1) return *rounded.front();
    std::ostringstream valid;
    for (const TimeStep& s : times_) valid << " " << dataio::ResultReader::timeText(s.time);
    fail("time " + dataio::ResultReader::timeText(t) + " s is not stored in <" + fileName_ + ">" +
         (rounded.empty() ? "" : " (several stored times round to it; give one as listed)") +
         "; valid times [s]:" + valid.str());
}

std::vector<api::IOutput*> ResultsFile::outputs() const
{
    std::vector<api::IOutput*> list;
    for (const std::string& name : requested_) {
        api::IOutput* o = findOutput(name);
        if (o != nullptr && std::find(list.begin(), list.end(), o) == list.end()) list.push_back(o);
    }
    for (api::IOutput* o : model_->getOuts())
        if (o->isTracking() && std::find(list.begin(), list.end(), o) == list.end()) list.push_back(o);
    return list;
}

api::IOutput* ResultsFile::findOutput(const std::string& name) const
{
    for (api::IOutput* o : model_->getOuts())
        if (o->getName() == name) return o;
    try {
        // An output not requested by the run may still be computable from what was stored.
        std::ostringstream silence;
        std::streambuf* old = std::cerr.rdbuf(silence.rdbuf());
        try {
            model_->addOutputs({name});
        } catch (...) {
            std::cerr.rdbuf(old);
            throw;
        }
        std::cerr.rdbuf(old);
    } catch (const TerraException&) {
        return nullptr;
    }
    for (api::IOutput* o : model_->getOuts())
        if (o->getName() == name) return o;
    return nullptr;
}

bool ResultsFile::canProvide(const api::IOutput* output, std::string& why) const
{
    const auto columns = output->getDataColumns();
    const auto init = output->getInitData();
    for (std::size_t p = 0; p < columns.size(); ++p) {
        const model::DataID id = columns[p].first;
        if (!model_->getComponent(id)) {
            why = "its data are not part of the model";
            return false;
        }
        const api::IData* d = model_->getData(id);
        const std::string group = recordGroup(id);
        const bool fromRecords = exists(group);
        if (output->isTracking()) {
            if (!exists(dataio::ResultReader::getOutputPath(d->getH5Path(), 0))) {
                why = "the tracked data <" + d->getH5Path() + "> are not stored";
                return false;
            }
            continue;
        }
        if (!fromRecords) {
            if (!exists(withSlash(d->getH5Path()))) {
                why = "the data <" + d->getH5Path() + "> are not stored";
                return false;
            }
            continue;
        }
        const bool initial = std::find(init.begin(), init.end(), static_cast<int>(p)) != init.end();
        for (const TimeStep& s : times_) {
            const int record = initial ? 0 : s.record;
            if (!exists(dataio::ResultReader::getOutputPath(d->getH5Path(), record))) {
                why = "record " + std::to_string(record) + " of <" + d->getH5Path() + "> is not stored";
                return false;
            }
        }
    }
    return true;
}

std::vector<ColumnSource> ResultsFile::columnSources(const api::IOutput* output, const TimeStep& step) const
{
    const auto columns = output->getDataColumns();
    const auto init = output->getInitData();
    std::vector<ColumnSource> sources;
    for (std::size_t p = 0; p < columns.size(); ++p) {
        const model::DataID id = columns[p].first;
        if (!model_->getComponent(id)) fail("output <" + output->getName() + "> cannot be provided by this model");
        const std::string h5Path = model_->getData(id)->getH5Path();
        const bool initial = std::find(init.begin(), init.end(), static_cast<int>(p)) != init.end();
        std::string path;
        if (output->isTracking())
            path = dataio::ResultReader::getOutputPath(h5Path, 0);
        else if (exists(recordGroup(id)))
            path = dataio::ResultReader::getOutputPath(h5Path, initial ? 0 : step.record);
        else
            path = withSlash(h5Path);
        if (!exists(path))
            fail("output <" + output->getName() + "> cannot be provided: <" + path + "> is not stored in <" +
                 fileName_ + ">");
        sources.push_back(source(path, columns[p].second));
        if (sources.back().column >= sources.back().columns)
            fail("dataset <" + path + "> has no component " + std::to_string(columns[p].second));
    }
    return sources;
}

std::vector<double> ResultsFile::readColumn(const std::string& path, int column) const
{
    int rows = 0;
    int cols = 0;
    reader_->readDataset(path, rows, cols);
    if (cols == 0) {
        // One-dimensional: the set-up copy of a one-element item.
        if (column != 0) fail("dataset <" + path + "> has no component " + std::to_string(column));
        return {reader_->readDoubleScalar(path)};
    }
    return reader_->readDoubleVecFrom2dDataset(path, column);
}

std::vector<std::vector<double>> ResultsFile::components(const api::IOutput* output, const TimeStep& step) const
{
    const std::vector<ColumnSource> sources = columnSources(output, step);
    std::vector<std::vector<double>> columns;
    for (const ColumnSource& s : sources) columns.push_back(readColumn(s.dataset, s.column));
    const std::size_t n = columns.empty() ? 0 : columns.front().size();
    for (const auto& c : columns)
        if (c.size() != n) fail("the columns of output <" + output->getName() + "> differ in length");

    std::vector<std::vector<double>> result;
    const int nFunctions = output->getNrDataFunctions();
    if (nFunctions > 0) {
        std::vector<double> row(columns.size());
        for (int k = 0; k < nFunctions; ++k) {
            const model::OutputOperation op = output->getDataFunction(k);
            std::vector<double> v(n);
            for (std::size_t i = 0; i < n; ++i) {
                for (std::size_t c = 0; c < columns.size(); ++c) row[c] = columns[c][i];
                v[i] = op.operation(minWaterDepth_, row);
            }
            result.push_back(std::move(v));
        }
    } else {
        result = std::move(columns);
    }
    if (isElevation(output->getName()))
        for (auto& v : result)
            for (double& x : v) x += elevationOffset_;
    return result;
}

std::vector<double> ResultsFile::values(const api::IOutput* output, int component, const TimeStep& step) const
{
    std::vector<std::vector<double>> all = components(output, step);
    if (component < 0 || component >= static_cast<int>(all.size()))
        fail("output <" + output->getName() + "> has no component " + std::to_string(component));
    return std::move(all[static_cast<std::size_t>(component)]);
}

std::vector<double> ResultsFile::depth(const TimeStep& step) const
{
    api::IOutput* o = findOutput("water_depth");
    if (o == nullptr) fail("the water depth cannot be computed from <" + fileName_ + ">");
    return values(o, 0, step);
}

bool ResultsFile::isElevation(const std::string& outputName)
{
    return outputName == "water_surface" || outputName == "bottom_elevation";
}

bool ResultsFile::hasMorphology() const { return model_->getComponent(model::AggregateID::morphology_aggr); }

std::vector<std::string> ResultsFile::gaugeNames() const
{
    const std::string path = "/" + dataio::H5FileNameDefinitions::GAUGENAMES;
    return exists(path) ? reader_->readStrVec(path) : std::vector<std::string>();
}

std::vector<std::vector<double>> ResultsFile::gaugeSamples() const
{
    std::vector<std::vector<double>> samples;
    const std::string group = "/" + dataio::H5FileNameDefinitions::GAUGESERIES;
    if (!exists(group)) return samples;
    const std::size_t columns = 1 + 4 * gaugeNames().size();
    const int n = reader_->getNumberObjs(group);
    for (int i = 0; i < n; ++i) {
        char path[64];
        std::snprintf(path, sizeof path, "%s/%07i", group.c_str(), i);
        if (!exists(path) || !reader_->existAttribute(path, "t") || reader_->readAttributeDouble(path, "t") < 0.0)
            continue;
        int rows = 0, cols = 0;
        reader_->readDataset(path, rows, cols);
        if (rows == 0) continue;
        for (auto& row : reader_->readDoubleVecVec(path)) {
            if (row.size() != columns)
                fail("the gauge block <" + std::string(path) + "> has " + std::to_string(row.size()) +
                     " columns for " + std::to_string(columns));
            for (std::size_t g = 1; g < columns; g += 4) row[g] += elevationOffset_;
            samples.push_back(std::move(row));
        }
    }
    return samples;
}

std::vector<std::pair<std::string, std::array<double, 2>>> ResultsFile::gaugePoints() const
{
    std::vector<std::pair<std::string, std::array<double, 2>>> points;
    const std::vector<std::string> names = gaugeNames();
    if (names.empty()) return points;
    const auto rows = reader_->readDoubleVecVec("/" + dataio::H5FileNameDefinitions::GAUGEPOINTS);
    for (std::size_t g = 0; g < names.size() && g < rows.size(); ++g)
        points.push_back({names[g], {rows[g].at(0), rows[g].at(1)}});
    return points;
}

std::vector<std::pair<std::string, std::vector<std::array<double, 2>>>> ResultsFile::stringLines() const
{
    std::vector<std::pair<std::string, std::vector<std::array<double, 2>>>> lines;
    const std::string names = "/" + dataio::H5FileNameDefinitions::STRINGLINENAMES;
    if (!exists(names)) return lines;
    for (const std::string& name : reader_->readStrVec(names)) lines.push_back({name, {}});
    for (const auto& row : reader_->readDoubleVecVec("/" + dataio::H5FileNameDefinitions::STRINGLINEPOINTS)) {
        const auto index = static_cast<std::size_t>(row.at(0));
        if (index < lines.size()) lines[index].second.push_back({row.at(1), row.at(2)});
    }
    return lines;
}

std::string ResultsFile::crsWkt() const
{
    const std::string path = "/" + dataio::Archive::ROOT + "/crs";
    return exists(path) ? dataio::Archive::getHash(reader_.get(), path) : std::string();
}

}  // namespace results
