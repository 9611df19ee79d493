// GeoTIFF rasters of a results file for GIS: the cell values of the triangles sampled at raster cell centres.
#pragma once

#include <string>
#include <vector>

#include "results/ResultsFile.hpp"

namespace results {

/// A north-up grid of nx x ny cells of `size` whose upper-left corner is (x0, y0).
struct RasterGrid {
    double x0 = 0.0, y0 = 0.0, size = 1.0;
    int nx = 0, ny = 0;
};

/// The grid of cells of `size` over the bounding box of the mesh, its corner on the box's upper-left corner.
RasterGrid gridOver(const std::vector<std::array<double, 3>>& nodes, double size);

/// For every raster cell (row-major, row 0 at the top) the mesh cell whose triangle holds its centre, -1 when
/// none does (a centre on an edge takes the first of its triangles).
std::vector<int> cellAtCentres(const RasterGrid& grid, const std::vector<std::array<double, 3>>& nodes,
                               const std::vector<std::array<int, 3>>& cells);

/// Value of a raster without data.
constexpr double kRasterNoData = -9999.0;

/// Writes stem + "_<quantity>.tif" for the water depth, water surface, velocity magnitude and hazard rating
/// (depth x (velocity + 0.5)) at the stored time nearest `time` (the last one when `time` is negative), and, when
/// the run tracked flood variables, for the maximum depth, maximum velocity, arrival time and the hazard rating of
/// the maxima; dry cells (and cells no water reached) and centres outside the mesh have no data. Each GeoTIFF
/// carries the model's coordinate system when the file records one. Returns the files written.
std::vector<std::string> writeRasters(const ResultsFile& file, const std::string& stem, double cellSize, double time);

}  // namespace results
