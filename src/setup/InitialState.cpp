#include "setup/InitialState.hpp"

#include <hdf5.h>

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>

#include "gis/GisError.hpp"
#include "gis/Raster.hpp"
#include "model/Identifiers.hpp"
#include "setup/SetupError.hpp"
#include "setup/mesh/TriangleLocator.hpp"

namespace setup {

namespace {

const std::string kInitial = "/SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/INITIAL";

std::string at(double x, double y)
{
    std::ostringstream s;
    s << std::setprecision(10) << "(" << x << ", " << y << ")";
    return s.str();
}

/// A cell mesh of a results file: node coordinates, cell nodes, cell bed, and a state record.
struct StoredState {
    std::vector<double> coord;
    std::vector<float> bed, state;
    std::vector<int> topology;
    int nCells = 0;
};

template <typename T>
std::vector<T> readDataset(hid_t file, const std::string& path, hid_t type, const std::string& source)
{
    H5E_BEGIN_TRY
    {
        const hid_t ds = H5Dopen2(file, path.c_str(), H5P_DEFAULT);
        if (ds >= 0) {
            const hid_t space = H5Dget_space(ds);
            const hssize_t n = H5Sget_simple_extent_npoints(space);
            std::vector<T> values(static_cast<size_t>(std::max<hssize_t>(n, 0)));
            const herr_t err = H5Dread(ds, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data());
            H5Sclose(space);
            H5Dclose(ds);
            if (err >= 0) return values;
        }
    }
    H5E_END_TRY;
    throw SetupError("INITIAL: hot start: the file <" + source + "> has no readable <" + path + ">");
}

struct TimeSearch {
    double wanted;
    std::vector<double> found;
    std::string match;
};

herr_t visitRecord(hid_t group, const char* name, const H5L_info_t*, void* data)
{
    auto* search = static_cast<TimeSearch*>(data);
    double t = -1;
    H5E_BEGIN_TRY
    {
        const hid_t attr = H5Aopen_by_name(group, name, "t", H5P_DEFAULT, H5P_DEFAULT);
        if (attr >= 0) {
            H5Aread(attr, H5T_NATIVE_DOUBLE, &t);
            H5Aclose(attr);
        }
    }
    H5E_END_TRY;
    if (t < 0) return 0;  // an invalidated record
    search->found.push_back(t);
    if (std::fabs(t - search->wanted) <= 1e-3 && search->match.empty()) search->match = name;
    return 0;
}

/// One float column of a cell set from a model file, of `n` cells.
std::vector<float> readModelColumn(const std::string& model, const std::string& path, int n, const std::string& results)
{
    hid_t file;
    H5E_BEGIN_TRY { file = H5Fopen(model.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT); }
    H5E_END_TRY;
    if (file < 0) throw SetupError("INITIAL: hot start: cannot open the model file <" + model + ">");
    std::vector<float> values;
    try {
        values = readDataset<float>(file, path, H5T_NATIVE_FLOAT, model);
    } catch (...) {
        H5Fclose(file);
        throw;
    }
    H5Fclose(file);
    if (static_cast<int>(values.size()) != n)
        throw SetupError("INITIAL: hot start: the model file <" + model + "> has " + std::to_string(values.size()) +
                         " cells, the results file <" + results + "> " + std::to_string(n));
    return values;
}

StoredState readStored(const std::string& path, double time)
{
    hid_t file;
    H5E_BEGIN_TRY { file = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT); }
    H5E_END_TRY;
    if (file < 0) throw SetupError("INITIAL: hot start: cannot open the results file <" + path + ">");
    StoredState s;
    try {
        const std::string group = "/RESULTS/CellsAll/HydState";
        TimeSearch search{time, {}, {}};
        hid_t g;
        H5E_BEGIN_TRY { g = H5Gopen2(file, group.c_str(), H5P_DEFAULT); }
        H5E_END_TRY;
        if (g < 0) throw SetupError("INITIAL: hot start: the results file <" + path + "> holds no hydraulic state");
        H5Literate(g, H5_INDEX_NAME, H5_ITER_INC, nullptr, visitRecord, &search);
        H5Gclose(g);
        if (search.match.empty()) {
            std::ostringstream msg;
            msg << "INITIAL: hot start: the results file <" << path << "> holds no state at t = " << time
                << " s; it holds:";
            std::sort(search.found.begin(), search.found.end());
            for (double t : search.found) msg << " " << t;
            throw SetupError(msg.str());
        }
        s.state = readDataset<float>(file, group + "/" + search.match, H5T_NATIVE_FLOAT, path);
        // The double copy of the mesh file's coordinates where the results file has one (older files: floats).
        if (H5Lexists(file, "/NodesAll", H5P_DEFAULT) > 0 && H5Lexists(file, "/NodesAll/CoordDbl", H5P_DEFAULT) > 0) {
            s.coord = readDataset<double>(file, "/NodesAll/CoordDbl", H5T_NATIVE_DOUBLE, path);
        } else {
            const std::vector<float> single = readDataset<float>(file, "/NodesAll/Coordnts", H5T_NATIVE_FLOAT, path);
            s.coord.assign(single.begin(), single.end());
        }
        s.topology = readDataset<int>(file, "/CellsAll/Topology", H5T_NATIVE_INT, path);
        s.nCells = static_cast<int>(s.topology.size() / 3);
        if (H5Lexists(file, "/CellsAll", H5P_DEFAULT) > 0 && H5Lexists(file, "/CellsAll/BottomEl", H5P_DEFAULT) > 0)
            s.bed = readDataset<float>(file, "/CellsAll/BottomEl", H5T_NATIVE_FLOAT, path);
        if (s.state.size() != s.topology.size() || (!s.bed.empty() && s.bed.size() != s.topology.size() / 3))
            throw SetupError("INITIAL: hot start: the results file <" + path + "> is inconsistent");
        const int nNodes = static_cast<int>(s.coord.size() / 3);
        for (int v : s.topology)
            if (v < 0 || v >= nNodes)
                throw SetupError("INITIAL: hot start: the results file <" + path + "> is inconsistent");
    } catch (...) {
        H5Fclose(file);
        throw;
    }
    H5Fclose(file);
    return s;
}

void hotStart(const InitialData& data, const TriMesh& mesh, const MeshGeometry& g, std::vector<float>& state)
{
    const StoredState s = readStored(data.file, data.time);
    const int nNodes = static_cast<int>(s.coord.size() / 3);
    std::vector<double> sx(nNodes), sy(nNodes);
    for (int n = 0; n < nNodes; ++n) {
        sx[n] = s.coord[3 * n];
        sy[n] = s.coord[3 * n + 1];
    }
    std::vector<double> cx(s.nCells), cy(s.nCells), area(s.nCells);
    for (int c = 0; c < s.nCells; ++c) {
        const int a = s.topology[3 * c], b = s.topology[3 * c + 1], d = s.topology[3 * c + 2];
        cx[c] = (sx[a] + sx[b] + sx[d]) / 3;
        cy[c] = (sy[a] + sy[b] + sy[d]) / 3;
        area[c] = 0.5 * std::fabs((sx[b] - sx[a]) * (sy[d] - sy[a]) - (sx[d] - sx[a]) * (sy[b] - sy[a]));
    }
    // The areas the simulation used (from node coordinates in float where the results file is older than its double
    // copy) come from the results file's model file when it is given.
    if (!data.model.empty()) {
        const std::vector<float> a = readModelColumn(data.model, "/CellsAll/GeomArea", s.nCells, data.file);
        area.assign(a.begin(), a.end());
    }
    // The bed under the stored state: in the results file when it stored depths, else in the model file.
    std::vector<float> bed = s.bed;
    if (bed.empty()) {
        if (data.model.empty())
            throw SetupError("INITIAL: hot start: the results file <" + data.file +
                             "> holds no bed elevations (CellsAll/BottomEl): give its model file as \"model\"");
        bed = readModelColumn(data.model, "/CellsAll/BottomEl", s.nCells, data.file);
    }
    // The same mesh: the same cells in the same order, at the same places (to the precision of the stored floats).
    bool same = s.nCells == g.nCells;
    for (int c = 0; same && c < g.nCells; ++c) {
        const double scale = 1e-6 * (std::fabs(cx[c]) + std::fabs(cy[c]) + 1);
        same = std::fabs(cx[c] - g.centroid[2 * c]) <= scale && std::fabs(cy[c] - g.centroid[2 * c + 1]) <= scale &&
               bed[c] == g.bottomEl[c];
    }
    if (same) {
        state = s.state;
        return;
    }
    std::fill(state.begin(), state.end(), 0.0f);
    if (s.nCells >= g.nCells) {
        // Each stored cell's volume and momentum to the new cell at its centroid.
        const Locator target(mesh.x, mesh.y, g.topology);
        std::vector<double> volume(g.nCells, 0.0), mx(g.nCells, 0.0), my(g.nCells, 0.0);
        for (int c = 0; c < s.nCells; ++c) {
            const double h = std::max(0.0, static_cast<double>(s.state[3 * c]) - bed[c]);
            if (h <= 0) continue;
            const int t = target.find(cx[c], cy[c]);
            if (t < 0)
                throw SetupError("INITIAL: hot start: cell " + std::to_string(c) + " of <" + data.file + "> at " +
                                 at(cx[c], cy[c]) + " holds water but lies outside the mesh");
            volume[t] += h * area[c];
            mx[t] += s.state[3 * c + 1] * area[c];
            my[t] += s.state[3 * c + 2] * area[c];
        }
        for (int c = 0; c < g.nCells; ++c) {
            const double a = g.geomArea[c];
            state[3 * c] = static_cast<float>(g.bottomEl[c] + volume[c] / a);
            state[3 * c + 1] = volume[c] > 0 ? static_cast<float>(mx[c] / a) : 0.0f;
            state[3 * c + 2] = volume[c] > 0 ? static_cast<float>(my[c] / a) : 0.0f;
        }
        return;
    }
    // A coarser stored mesh: each new cell takes the depth and discharge of the stored cell at its centroid.
    const Locator source(sx, sy, s.topology);
    for (int c = 0; c < g.nCells; ++c) {
        const int t = source.find(g.centroid[2 * c], g.centroid[2 * c + 1]);
        if (t < 0)
            throw SetupError("INITIAL: hot start: cell " + std::to_string(g.cellId[c]) + " at " +
                             at(g.centroid[2 * c], g.centroid[2 * c + 1]) + " lies outside the mesh of <" + data.file +
                             ">");
        const double h = std::max(0.0, static_cast<double>(s.state[3 * t]) - bed[t]);
        state[3 * c] = static_cast<float>(g.bottomEl[c] + h);
        state[3 * c + 1] = h > 0 ? s.state[3 * t + 1] : 0.0f;
        state[3 * c + 2] = h > 0 ? s.state[3 * t + 2] : 0.0f;
    }
}

}  // namespace

InitialData readInitialData(const nlohmann::json& doc, const std::string& baseDir)
{
    InitialData data;
    const nlohmann::json* block = nullptr;
    try {
        block = &doc.at(nlohmann::json::json_pointer(kInitial));
    } catch (const nlohmann::json::exception&) {
        return data;
    }
    const std::string type = block->value("type", "");
    if (type != "raster" && type != "hot_start") return data;
    data.kind = type == "raster" ? InitialData::Kind::Raster : InitialData::Kind::HotStart;
    const auto file = block->find("file");
    if (file == block->end() || !file->is_string() || file->get<std::string>().empty())
        throw SetupError(kInitial + "/file: a file name is required");
    const std::string name = file->get<std::string>();
    data.file = (name.front() == '/' || baseDir.empty()) ? name : baseDir + "/" + name;
    if (data.kind == InitialData::Kind::Raster) {
        const std::string quantity = block->value("quantity", "water_surface");
        if (quantity != "water_surface" && quantity != "depth")
            throw SetupError(kInitial + "/quantity: must be \"water_surface\" or \"depth\"");
        data.depth = quantity == "depth";
    } else {
        const auto model = block->find("model");
        if (model != block->end()) {
            if (!model->is_string() || model->get<std::string>().empty())
                throw SetupError(kInitial + "/model: a file name is required");
            const std::string m = model->get<std::string>();
            data.model = (m.front() == '/' || baseDir.empty()) ? m : baseDir + "/" + m;
        }
        const auto time = block->find("time");
        if (time == block->end() || !time->is_number()) throw SetupError(kInitial + "/time: the time [s] is required");
        data.time = time->get<double>();
    }
    return data;
}

void applyInitialData(const InitialData& data, const TriMesh& mesh, const MeshGeometry& g, ModelContent& content)
{
    if (data.kind == InitialData::Kind::None) return;
    const auto it = content.data.find(model::DataID::HydState);
    if (it == content.data.end()) return;
    std::vector<float>& state = it->second.floats;
    if (data.kind == InitialData::Kind::HotStart) {
        hotStart(data, mesh, g, state);
        return;
    }
    const gis::Raster raster(data.file);
    for (int c = 0; c < g.nCells; ++c) {
        const double zb = g.bottomEl[c];
        double v = 0;
        const gis::Raster::Status s = raster.sample(g.centroid[2 * c], g.centroid[2 * c + 1], v);
        if (s == gis::Raster::Status::Outside)
            throw gis::GisError("INITIAL: raster <" + data.file + ">: cell " + std::to_string(g.cellId[c]) + " at " +
                                at(g.centroid[2 * c], g.centroid[2 * c + 1]) + " lies outside it");
        double level = s == gis::Raster::Status::Ok ? (data.depth ? zb + v : v) : zb;  // no data: dry
        if (level <= zb) level = zb;
        state[3 * c] = static_cast<float>(level);
        state[3 * c + 1] = state[3 * c + 2] = 0.0f;
    }
}

}  // namespace setup
