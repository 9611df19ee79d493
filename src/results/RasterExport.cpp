#include "results/RasterExport.hpp"

#include <gdal.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <utility>

#include "common/TerraException.hpp"

namespace results {

namespace {

[[noreturn]] void fail(const std::string& message)
{
    std::cerr << " -> " << message << std::endl;
    throw TerraException();
}

/// One Float32 GeoTIFF band with the grid's geotransform, the no-data value and the coordinate system (WKT).
void writeGeoTiff(const std::string& path, const RasterGrid& grid, const std::vector<float>& values,
                  const std::string& crsWkt)
{
    GDALAllRegister();
    GDALDriverH driver = GDALGetDriverByName("GTiff");
    if (driver == nullptr) fail("GDAL has no GeoTIFF driver");
    char* options[] = {const_cast<char*>("COMPRESS=DEFLATE"), nullptr};
    GDALDatasetH ds = GDALCreate(driver, path.c_str(), grid.nx, grid.ny, 1, GDT_Float32, options);
    if (ds == nullptr) fail("cannot write the raster <" + path + ">: " + CPLGetLastErrorMsg());
    double transform[6] = {grid.x0, grid.size, 0.0, grid.y0, 0.0, -grid.size};
    GDALSetGeoTransform(ds, transform);
    if (!crsWkt.empty()) GDALSetProjection(ds, crsWkt.c_str());
    GDALRasterBandH band = GDALGetRasterBand(ds, 1);
    GDALSetRasterNoDataValue(band, kRasterNoData);
    const CPLErr written = GDALRasterIO(band, GF_Write, 0, 0, grid.nx, grid.ny, const_cast<float*>(values.data()),
                                        grid.nx, grid.ny, GDT_Float32, 0, 0);
    GDALClose(ds);
    if (written != CE_None) fail("cannot write the raster <" + path + ">: " + CPLGetLastErrorMsg());
}

}  // namespace

RasterGrid gridOver(const std::vector<std::array<double, 3>>& nodes, double size)
{
    double xMin = std::numeric_limits<double>::max(), xMax = -xMin, yMin = xMin, yMax = -xMin;
    for (const auto& n : nodes) {
        xMin = std::min(xMin, n[0]);
        xMax = std::max(xMax, n[0]);
        yMin = std::min(yMin, n[1]);
        yMax = std::max(yMax, n[1]);
    }
    RasterGrid g;
    g.size = size;
    g.x0 = xMin;
    g.y0 = yMax;
    // Whole cells covering the box; a box side that is a multiple of the size (to rounding) is not widened.
    g.nx = std::max(1, static_cast<int>(std::ceil((xMax - xMin) / size - 1e-9)));
    g.ny = std::max(1, static_cast<int>(std::ceil((yMax - yMin) / size - 1e-9)));
    return g;
}

std::vector<int> cellAtCentres(const RasterGrid& grid, const std::vector<std::array<double, 3>>& nodes,
                               const std::vector<std::array<int, 3>>& cells)
{
    std::vector<int> at(static_cast<std::size_t>(grid.nx) * static_cast<std::size_t>(grid.ny), -1);
    for (std::size_t c = 0; c < cells.size(); ++c) {
        const auto& a = nodes[cells[c][0]];
        const auto& b = nodes[cells[c][1]];
        const auto& d = nodes[cells[c][2]];
        const double ax = b[0] - a[0], ay = b[1] - a[1], bx = d[0] - a[0], by = d[1] - a[1];
        const double twice = ax * by - ay * bx;
        if (twice == 0.0) continue;
        // The raster columns and rows whose centres can lie in the triangle's box.
        const double lo = std::min({a[0], b[0], d[0]}), hi = std::max({a[0], b[0], d[0]});
        const double bottom = std::min({a[1], b[1], d[1]}), top = std::max({a[1], b[1], d[1]});
        const int i0 = std::max(0, static_cast<int>(std::floor((lo - grid.x0) / grid.size - 0.5)));
        const int i1 = std::min(grid.nx - 1, static_cast<int>(std::ceil((hi - grid.x0) / grid.size - 0.5)));
        const int j0 = std::max(0, static_cast<int>(std::floor((grid.y0 - top) / grid.size - 0.5)));
        const int j1 = std::min(grid.ny - 1, static_cast<int>(std::ceil((grid.y0 - bottom) / grid.size - 0.5)));
        for (int j = j0; j <= j1; ++j)
            for (int i = i0; i <= i1; ++i) {
                int& slot = at[static_cast<std::size_t>(j) * grid.nx + i];
                if (slot >= 0) continue;
                const double px = grid.x0 + (i + 0.5) * grid.size - a[0];
                const double py = grid.y0 - (j + 0.5) * grid.size - a[1];
                const double s = (px * by - py * bx) / twice, t = (ax * py - ay * px) / twice;
                constexpr double tolerance = 1e-12;
                if (s >= -tolerance && t >= -tolerance && s + t <= 1.0 + tolerance) slot = static_cast<int>(c);
            }
    }
    return at;
}

std::vector<std::string> writeRasters(const ResultsFile& file, const std::string& stem, double cellSize, double time)
{
    if (!(cellSize > 0.0)) fail("--cell must be greater than 0");
    const RasterGrid grid = gridOver(file.nodes(), cellSize);
    const double pixels = static_cast<double>(grid.nx) * grid.ny;
    if (pixels > 4.0e8)
        fail("rasters of " + std::to_string(grid.nx) + " x " + std::to_string(grid.ny) +
             " cells are too large: choose a larger --cell");
    const std::vector<int> cellAt = cellAtCentres(grid, file.nodes(), file.cells());
    const TimeStep step = time < 0.0 ? file.times().back() : file.findTime(time);
    const double hmin = file.minWaterDepth();
    const std::string crs = file.crsWkt();

    std::vector<std::string> written;
    // A raster of per-cell values: no data where `valid` is false.
    const auto emit = [&](const std::string& name, const std::vector<double>& v, const std::vector<bool>& valid) {
        std::vector<float> out(cellAt.size(), static_cast<float>(kRasterNoData));
        for (std::size_t k = 0; k < cellAt.size(); ++k) {
            const int c = cellAt[k];
            if (c >= 0 && valid[c]) out[k] = static_cast<float>(v[c]);
        }
        const std::string path = stem + "_" + name + ".tif";
        writeGeoTiff(path, grid, out, crs);
        written.push_back(path);
    };
    const auto need = [&](const std::string& name) {
        api::IOutput* o = file.findOutput(name);
        std::string why;
        if (o == nullptr || !file.canProvide(o, why))
            fail("the raster needs <" + name + ">, which <" + file.fileName() + "> cannot provide" +
                 (why.empty() ? "" : ": " + why));
        return o;
    };
    // Cells deeper than the minimum depth, and the hazard rating h (v + 0.5) of each cell.
    const auto wetAndHazard = [hmin](const std::vector<double>& depth, const std::vector<double>& speed) {
        std::pair<std::vector<bool>, std::vector<double>> r{std::vector<bool>(depth.size()),
                                                            std::vector<double>(depth.size())};
        for (std::size_t c = 0; c < depth.size(); ++c) {
            r.first[c] = depth[c] > hmin;
            r.second[c] = depth[c] * (speed[c] + 0.5);
        }
        return r;
    };
    const std::vector<double> h = file.depth(step);
    const std::vector<double> surface = file.values(need("water_surface"), 0, step);
    const std::vector<double> speed = file.values(need("flow_velocity_abs"), 0, step);
    const auto [wet, hazard] = wetAndHazard(h, speed);
    emit("depth", h, wet);
    emit("surface", surface, wet);
    emit("velocity", speed, wet);
    emit("hazard", hazard, wet);

    api::IOutput* flood = file.findOutput("flood_tracking");
    std::string why;
    if (flood != nullptr && file.canProvide(flood, why)) {
        const auto f = file.components(flood, file.times().back());
        // Columns: arrival time, maximum depth, maximum velocity, maximum specific discharge.
        const std::vector<double>&arrival = f.at(0), &maxDepth = f.at(1), &maxSpeed = f.at(2);
        const auto [reached, maxHazard] = wetAndHazard(maxDepth, maxSpeed);
        emit("max_depth", maxDepth, reached);
        emit("max_velocity", maxSpeed, reached);
        emit("arrival_time", arrival, reached);
        emit("max_hazard", maxHazard, reached);
    }
    std::cout << " -> rasters written (" << grid.nx << " x " << grid.ny << " cells of " << cellSize << " m, t = "
              << step.time << " s" << (crs.empty() ? ", no coordinate system" : "") << "): " << stem << "_*.tif"
              << std::endl;
    return written;
}

}  // namespace results
