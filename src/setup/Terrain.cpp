#include "setup/Terrain.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iomanip>
#include <numeric>
#include <sstream>

#include "gis/GisError.hpp"
#include "gis/Layers.hpp"
#include "gis/Raster.hpp"
#include "setup/SetupError.hpp"

namespace setup {

namespace {

const std::string kGeometry = "/SETUP/DOMAIN/LAMINA_2D/GEOMETRY";

std::string prjOf(const std::string& meshFile)
{
    const auto dot = meshFile.find_last_of('.');
    const auto slash = meshFile.find_last_of('/');
    const std::string stem =
        dot != std::string::npos && (slash == std::string::npos || dot > slash) ? meshFile.substr(0, dot) : meshFile;
    return stem + ".prj";
}

std::string coordinates(double x, double y)
{
    std::ostringstream s;
    s << std::setprecision(10) << "(" << x << ", " << y << ")";
    return s.str();
}

}  // namespace

Terrain::Terrain() = default;
Terrain::Terrain(Terrain&&) noexcept = default;
Terrain::~Terrain() = default;

TerrainSpec readTerrain(const nlohmann::json& doc, const std::string& baseDir)
{
    TerrainSpec spec;
    const nlohmann::json* geometry = nullptr;
    try {
        geometry = &doc.at(nlohmann::json::json_pointer(kGeometry));
    } catch (const nlohmann::json::exception&) {
        return spec;
    }
    auto text = [&](const char* key) -> std::string {
        const auto it = geometry->find(key);
        if (it == geometry->end()) return "";
        if (!it->is_string() || it->get<std::string>().empty())
            throw SetupError(kGeometry + "/" + key + ": this value must be a non-empty string");
        return it->get<std::string>();
    };
    const std::string raster = text("bed_raster");
    spec.bedRaster = (raster.empty() || raster.front() == '/' || baseDir.empty()) ? raster : baseDir + "/" + raster;
    const std::string cell = text("cell_bed");
    if (cell == "centroid")
        spec.cellBed = CellBed::Centroid;
    else if (cell == "mean")
        spec.cellBed = CellBed::Mean;
    else if (cell == "max")
        spec.cellBed = CellBed::Max;
    else if (!cell.empty() && cell != "nodes")
        throw SetupError(kGeometry + "/cell_bed: must be \"nodes\", \"centroid\", \"mean\" or \"max\"");
    if (spec.cellBed != CellBed::Nodes && spec.bedRaster.empty())
        throw SetupError(kGeometry + "/cell_bed: \"" + cell + "\" needs a bed_raster");
    spec.crs = text("crs");
    return spec;
}

Terrain prepareTerrain(const TerrainSpec& spec, const std::string& meshFile, TriMesh& mesh)
{
    Terrain terrain;
    std::vector<gis::NamedCrs> crs;
    if (!spec.crs.empty()) {
        try {
            crs.push_back({"GEOMETRY/crs <" + spec.crs + ">", gis::crsFromDefinition(spec.crs)});
        } catch (const gis::GisError& e) {
            throw SetupError(kGeometry + "/crs: " + e.what());
        }
    }
    const std::string prj = prjOf(meshFile);
    if (std::ifstream in{prj}) {
        std::ostringstream wkt;
        wkt << in.rdbuf();
        std::string text = wkt.str();
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
        crs.push_back({"the mesh's <" + prj + ">", gis::crsFromDefinition(text)});
    }
    if (!spec.bedRaster.empty()) {
        terrain.raster = std::make_unique<gis::Raster>(spec.bedRaster);
        crs.push_back({"bed raster <" + spec.bedRaster + ">", terrain.raster->crsWkt()});
    }
    terrain.crsWkt = gis::commonCrs(crs);
    if (terrain.raster) gis::sampleNodeElevations(*terrain.raster, mesh);
    return terrain;
}

void applyCellBed(const TerrainSpec& spec, const Terrain& terrain, const TriMesh& mesh, MeshGeometry& g)
{
    if (spec.cellBed == CellBed::Nodes || !terrain.raster) return;
    const gis::Raster& r = *terrain.raster;
    for (int c = 0; c < g.nCells; ++c) {
        double x[3], y[3], z = 0;
        for (int k = 0; k < 3; ++k) {
            x[k] = mesh.x[g.topology[3 * c + k]];
            y[k] = mesh.y[g.topology[3 * c + k]];
        }
        gis::Raster::Status s;
        if (spec.cellBed == CellBed::Centroid)
            s = r.sample(g.centroid[2 * c], g.centroid[2 * c + 1], z);
        else
            s = spec.cellBed == CellBed::Mean ? r.triangleMean(x, y, z) : r.triangleMax(x, y, z);
        if (s != gis::Raster::Status::Ok)
            throw gis::GisError("raster <" + r.path() + ">: cell " + std::to_string(g.cellId[c]) + " at " +
                                coordinates(g.centroid[2 * c], g.centroid[2 * c + 1]) +
                                (s == gis::Raster::Status::Outside ? " lies outside it" : " covers no-data pixels"));
        g.bottomEl[c] = static_cast<float>(z);
    }
}

void reportTimeStepCells(const TriMesh& mesh, const MeshGeometry& g, double cfl, double gravity, std::ostream& out,
                         int count)
{
    if (g.nCells == 0) return;
    // The smallest characteristic size of each cell, over its three edges, on the cell's own side.
    std::vector<double> size(g.nCells, HUGE_VAL);
    for (int e = 0; e < g.nEdges; ++e)
        for (int side = 0; side < 2; ++side) {
            const int c = g.edgeCells[2 * e + side];
            size[c] = std::min(size[c], static_cast<double>(g.charSize[2 * e + side]));
        }
    std::vector<int> order(g.nCells);
    std::iota(order.begin(), order.end(), 0);
    const int shown = std::min(count, g.nCells);
    std::partial_sort(order.begin(), order.begin() + shown, order.end(),
                      [&](int a, int b) { return size[a] != size[b] ? size[a] < size[b] : a < b; });
    std::vector<double> sorted(size);
    std::nth_element(sorted.begin(), sorted.begin() + g.nCells / 2, sorted.end());
    const double wave = std::sqrt(gravity * 1.0);
    out << std::setprecision(3) << " -> time step at 1 m of still water: " << cfl * sorted[g.nCells / 2] / wave
        << " s on the median cell, " << cfl * size[order[0]] / wave << " s on the cell that limits it:\n";
    for (int k = 0; k < shown; ++k) {
        const int c = order[k];
        double minAngle = 180;
        for (int j = 0; j < 3; ++j) {
            const int a = g.topology[3 * c + j], b = g.topology[3 * c + (j + 1) % 3], o = g.topology[3 * c + (j + 2) % 3];
            const double ux = mesh.x[b] - mesh.x[a], uy = mesh.y[b] - mesh.y[a];
            const double vx = mesh.x[o] - mesh.x[a], vy = mesh.y[o] - mesh.y[a];
            minAngle = std::min(minAngle, std::atan2(std::fabs(ux * vy - uy * vx), ux * vx + uy * vy) * 180.0 / M_PI);
        }
        out << " ->   cell " << g.cellId[c] << " at " << coordinates(g.centroid[2 * c], g.centroid[2 * c + 1])
            << ": size " << std::setprecision(3) << size[c] << " m, smallest angle " << std::setprecision(3) << minAngle
            << " deg, time step " << cfl * size[c] / wave << " s\n";
    }
    out.flush();
}

}  // namespace setup
