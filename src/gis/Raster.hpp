// Single-band rasters read through GDAL (GeoTIFF, ESRI ASCII grid, any format GDAL reads), sampled bilinearly.
#pragma once

#include <string>
#include <vector>

namespace gis {

/// The first band of a north-up raster, held in memory as double.
///
/// Values are located at the pixel centres; between four centres the value is bilinear. A point inside the
/// raster's extent but outside the hull of the pixel centres (the outer half pixel) takes the bilinear value of
/// the nearest centres (constant across the half pixel). A pixel equal to the band's no-data value has no value,
/// and a point whose interpolation needs it has none either.
class Raster {
public:
    /// Opens and reads the raster; throws GisError naming the file when GDAL cannot read it, when it is rotated
    /// or has no band.
    explicit Raster(const std::string& path);

    enum class Status { Ok, Outside, NoData };
    /// Bilinear value at (x, y) in the raster's coordinates.
    Status sample(double x, double y, double& value) const;

    /// The value of the pixel that holds (x, y), not interpolated (for class rasters such as land use).
    Status pixel(double x, double y, double& value) const;

    /// Statistics of the pixel values inside a triangle (pixels whose centre lies inside it); when no centre lies
    /// inside, the bilinear value at the centroid. Returns NoData when a covered pixel has no value.
    Status triangleMean(const double* x, const double* y, double& value) const;
    Status triangleMax(const double* x, const double* y, double& value) const;

    const std::string& path() const { return path_; }
    /// The coordinate reference system as WKT (empty when the file has none).
    const std::string& crsWkt() const { return crs_; }
    int width() const { return nx_; }
    int height() const { return ny_; }

private:
    Status triangleStat(const double* x, const double* y, bool maximum, double& value) const;
    bool isNoData(double v) const;

    std::string path_, crs_;
    int nx_ = 0, ny_ = 0;
    double x0_ = 0, dx_ = 1, y0_ = 0, dy_ = -1;  ///< geotransform: pixel (i, j) covers x0 + [i, i+1) dx, ...
    bool hasNoData_ = false;
    double noData_ = 0;
    std::vector<double> v_;  ///< row-major, row 0 at y0
};

}  // namespace gis

namespace setup {
struct TriMesh;
}

namespace gis {

/// Sets every node's z to the raster's bilinear value. Throws GisError listing the first nodes (2DM id and
/// coordinates, at most five) that lie outside the raster or on its no-data cells.
void sampleNodeElevations(const Raster& raster, setup::TriMesh& mesh);

}  // namespace gis
