// Checks of what the simulation reads from the model file, before it is used: a damaged or hand-edited model file
// ends the run with a message naming the item and its first bad element (status 1), before the results file is
// created or touched, instead of a crash, a hang or a run to NaN.
#include <hdf5.h>

#include <cmath>
#include <limits>
#include <iostream>
#include <sstream>
#include <type_traits>

#include "common/TerraException.hpp"
#include "dataio/ICommandFileReader.hpp"
#include "dataio/IH5Reader.hpp"
#include "model/Dimensions.hpp"
#include "model/IModel.hpp"
#include "simulation/Distribution.hpp"
#include "simulation/IdOf.hpp"
#include "simulation/TERRAcommon_op.hpp"

namespace simulation {

namespace {

[[noreturn]] void refuse(const std::string& file, const std::string& item, const std::string& what)
{
    std::cerr << " -> damaged model file <" << file << ">: " << item << ": " << what << std::endl;
    throw TerraException();
}

/// Rows and columns of the datasets of one HDF5 file, read without the data (a rank-1 dataset has one column).
class Extents {
public:
    explicit Extents(const std::string& file)
    {
        // The library's own error report is silenced while this reader is open: a missing dataset is an answer.
        H5Eget_auto2(H5E_DEFAULT, &report_, &reportData_);
        H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
        file_ = H5Fopen(file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    }
    ~Extents()
    {
        if (file_ >= 0) H5Fclose(file_);
        H5Eset_auto2(H5E_DEFAULT, report_, reportData_);
    }
    Extents(const Extents&) = delete;
    Extents& operator=(const Extents&) = delete;

    /// False when `path` is no readable dataset of rank 1 or 2.
    bool of(const std::string& path, long& rows, long& cols) const
    {
        if (file_ < 0 || H5Lexists(file_, path.substr(0, path.find('/')).c_str(), H5P_DEFAULT) <= 0 ||
            H5Lexists(file_, path.c_str(), H5P_DEFAULT) <= 0)
            return false;
        const hid_t set = H5Dopen2(file_, path.c_str(), H5P_DEFAULT);
        if (set < 0) return false;
        const hid_t space = H5Dget_space(set);
        hsize_t dims[2] = {0, 1};
        const int rank = space < 0 ? -1 : H5Sget_simple_extent_ndims(space);
        if (rank == 1 || rank == 2) H5Sget_simple_extent_dims(space, dims, nullptr);
        if (space >= 0) H5Sclose(space);
        H5Dclose(set);
        rows = static_cast<long>(dims[0]);
        cols = static_cast<long>(dims[1]);
        return rank == 1 || rank == 2;
    }

private:
    hid_t file_ = -1;
    H5E_auto2_t report_ = nullptr;
    void* reportData_ = nullptr;
};

std::string shape(long rows, long cols) { return std::to_string(rows) + " x " + std::to_string(cols); }

}  // namespace

void TERRAcommon::checkModelFileShapes(const std::string& file)
{
    const Extents extents(file);
    long rows = 0, cols = 0;
    std::map<model::SetID, long> sizes;
    for (const auto& entry : model->getSets()) {
        const api::ISet* set = model->getSet(idOf(entry));
        const std::string path = set->getH5Path();
        if (!h5Reader->existDataset(path)) refuse(file, path, "the element count of the set is missing");
        const int n = h5Reader->readIntScalar(path);
        if (n < 0) refuse(file, path, "the element count " + std::to_string(n) + " is negative");
        sizes[set->getID()] = n;
    }
    for (const auto& entry : model->getMaps()) {
        const api::IMap* map = model->getMap(idOf(entry));
        const std::string path = map->getH5Path();
        if (!h5Reader->existDataset(path)) continue;  // absent maps are the model's business (logged at -l 1)
        const long n = sizes.at(map->getSet()->getID());
        if (!extents.of(path, rows, cols) || rows != n || cols != map->getSize())
            refuse(file, path,
                   "the map has " + shape(rows, cols) + " entries where its set and width give " +
                       shape(n, map->getSize()));
    }
    for (const auto& entry : model->getDats()) {
        const api::IData* d = model->getData(idOf(entry));
        if (d->isSimulationOnly() || d->isSetupOnly() || !h5Reader->existDataset(d->getH5Path())) continue;
        const long n = sizes.at(d->getSet()->getID());
        if (!extents.of(d->getH5Path(), rows, cols) || rows != n || cols != d->getSize())
            refuse(file, d->getH5Path(),
                   "the data have " + shape(rows, cols) + " values where the set and the catalogue give " +
                       shape(n, d->getSize()));
    }

    checkModelFileParameters(file);

    // The kernel schedule: one known kernel id per row of kernels/ID and a (start, increment, end) row each.
    const std::vector<std::vector<int>> ids = h5Reader->readIntVecVec("kernels/ID");
    const std::vector<std::vector<double>> timing = h5Reader->readDoubleVecVec("kernels/execution");
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::string row = "row " + std::to_string(i);
        if (ids[i].empty() || ids[i][0] < 0 || ids[i][0] >= model::Dimensions::NrKernels)
            refuse(file, "kernels/ID",
                   row + " names no kernel of the catalogue (ids 0 to " +
                       std::to_string(model::Dimensions::NrKernels - 1) + ")");
        if (i >= timing.size() || timing[i].size() < 3 || !std::isfinite(timing[i][0]) ||
            !std::isfinite(timing[i][1]) || !std::isfinite(timing[i][2]))
            refuse(file, "kernels/execution", row + " is not three finite numbers (start, increment, end)");
    }
}

void TERRAcommon::checkModelFileParameters(const std::string& file)
{
    using model::ParameterID;
    // The switches must agree with the composition: the kernels read friction and morphology data only when they
    // are on, and only the friction and morphology aggregates bring those data.
    bool hasFriction = false, hasMorphology = false;
    for (const auto& entry : model->getDats()) {
        hasFriction = hasFriction || idOf(entry) == model::DataID::ChezyCoe;
        hasMorphology = hasMorphology || idOf(entry) == model::DataID::FluxesMo;
    }
    for (const auto& entry : model->getPars()) {
        const api::IParameter* p = model->getParameter(idOf(entry));
        const std::string path = p->getH5Path();
        if (p->isSimulationOnly() || !h5Reader->existDataset(path)) continue;
        const ParameterID id = p->getID();
        std::vector<double> values;
        if (p->getSize() == 1) {
            values.push_back(p->getType() == "int" ? h5Reader->readIntScalar(path) : h5Reader->readDoubleScalar(path));
        } else {
            // A vector parameter fills getSize() consecutive slots of the constant tables: one row of that length.
            const auto rows = h5Reader->readDoubleVecVec(path);
            if (rows.size() != 1 || rows[0].size() != static_cast<std::size_t>(p->getSize()))
                refuse(file, path, "the parameter needs one row of " + std::to_string(p->getSize()) + " values");
            values = rows[0];
        }
        for (const double v : values)
            if (!(std::abs(v) <= std::numeric_limits<float>::max()))
                refuse(file, path, "the value is not a finite number of single precision");
        const double v = values[0];
        std::ostringstream why;
        if (id == ParameterID::CFLnumber && !(v > 0.0 && v <= 1.0)) why << "the CFL number " << v << " is outside (0, 1]";
        if ((id == ParameterID::DTmax || id == ParameterID::Gravity || id == ParameterID::MinWaterDepth) && !(v > 0.0))
            why << "the value " << v << " is not positive";
        if (id == ParameterID::FrictionOn && !(v == 0.0 || (v == 1.0 && hasFriction)))
            why << "the friction switch is " << v << (hasFriction ? ", not 0 or 1" : ", but the model has no friction");
        // (Without an end time the run reports that itself, later.)
        const double end = commandFileReader->getOptionalDouble("SIMULATION/TIME/end", -HUGE_VAL);
        if (id == ParameterID::MorphStart && !hasMorphology && !(v > end))
            why << "morphology would start at t = " << v << " s, but the model has no morphology";
        if (!why.str().empty()) refuse(file, path, why.str());
    }
}

void TERRAcommon::checkModelFileContents() const
{
    const std::string file = h5Reader->getFilename();
    for (const auto& [id, map] : maps) {
        if (map == nullptr) continue;
        const long n = static_cast<long>(map->from->size) * map->dim;
        // A process of a distributed run also reaches the imported elements that follow its own.
        const int extent = op_local_extent(map->to);
        for (long k = 0; k < n; ++k)
            if (map->map[k] < 0 || map->map[k] >= extent) {
                std::ostringstream what;
                what << "element " << fileIndex(map->from, k / map->dim) << " maps to " << map->map[k]
                     << ", outside its target set of " << wholeSize(map->to) << " elements";
                refuse(file, model->getMap(id)->getH5Path(), what.str());
            }
    }
    // Node-string pieces use at most the width of their maps.
    const auto listSize = data.find(model::DataID::NodeStrg_ListSize);
    if (listSize != data.end() && listSize->second != nullptr) {
        const int* size = reinterpret_cast<const int*>(listSize->second->data);
        for (int e = 0; e < listSize->second->set->size; ++e)
            if (size[e] < 0 || size[e] > model::Dimensions::NodeStringMaxEdges)
                refuse(file, model->getData(model::DataID::NodeStrg_ListSize)->getH5Path(),
"element " + std::to_string(fileIndex(listSize->second->set, e)) + " lists " + std::to_string(size[e]) + " edges, at most " +
                           std::to_string(model::Dimensions::NodeStringMaxEdges) + " fit");
    }
    // Real numbers are finite; areas, lengths and sizes, which the kernels divide by, positive.
    for (const auto& [id, d] : data) {
        if (d == nullptr || model->getData(id)->isSimulationOnly() || model->getData(id)->getType() != "float")
            continue;
        const bool positive = id == model::DataID::CellsAll_GeomArea || id == model::DataID::MatIDRgn_GeomArea ||
                              id == model::DataID::GeomLeng || id == model::DataID::CharSize ||
                              id == model::DataID::DistCent;
        const float* v = reinterpret_cast<const float*>(d->data);
        const long n = static_cast<long>(d->set->size) * d->dim;
        for (long k = 0; k < n; ++k)
            if (!std::isfinite(v[k]) || (positive && !(v[k] > 0.0f))) {
                std::ostringstream what;
                what << "element " << fileIndex(d->set, k / d->dim) << " holds " << v[k] << ", which is not "
                     << (positive ? "a positive finite number" : "a finite number");
                refuse(file, model->getData(id)->getH5Path(), what.str());
            }
    }
}

}  // namespace simulation
