#include "gis/Raster.hpp"

#include <gdal_priv.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "gis/GisError.hpp"

namespace gis {

namespace {

struct DatasetCloser {
    void operator()(GDALDataset* ds) const { GDALClose(ds); }
};

std::string lastGdalError()
{
    const std::string msg = CPLGetLastErrorMsg();
    return msg.empty() ? std::string() : ": " + msg;
}

}  // namespace

Raster::Raster(const std::string& path) : path_(path)
{
    GDALAllRegister();
    CPLErrorReset();
    CPLPushErrorHandler(CPLQuietErrorHandler);
    std::unique_ptr<GDALDataset, DatasetCloser> ds(
        static_cast<GDALDataset*>(GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr,
                                             nullptr)));
    CPLPopErrorHandler();
    if (!ds) throw GisError("raster <" + path + ">: cannot be read" + lastGdalError());
    if (ds->GetRasterCount() < 1) throw GisError("raster <" + path + ">: has no band");
    double gt[6];
    if (ds->GetGeoTransform(gt) != CE_None)
        throw GisError("raster <" + path + ">: has no georeference (no geotransform)");
    if (gt[2] != 0.0 || gt[4] != 0.0) throw GisError("raster <" + path + ">: rotated rasters are not supported");
    x0_ = gt[0];
    dx_ = gt[1];
    y0_ = gt[3];
    dy_ = gt[5];
    nx_ = ds->GetRasterXSize();
    ny_ = ds->GetRasterYSize();
    if (const OGRSpatialReference* srs = ds->GetSpatialRef()) {
        char* wkt = nullptr;
        if (srs->exportToWkt(&wkt) == OGRERR_NONE && wkt) crs_ = wkt;
        CPLFree(wkt);
    }
    GDALRasterBand* band = ds->GetRasterBand(1);
    int has = 0;
    noData_ = band->GetNoDataValue(&has);
    hasNoData_ = has != 0;
    v_.resize(static_cast<size_t>(nx_) * ny_);
    CPLPushErrorHandler(CPLQuietErrorHandler);
    const CPLErr err = band->RasterIO(GF_Read, 0, 0, nx_, ny_, v_.data(), nx_, ny_, GDT_Float64, 0, 0);
    CPLPopErrorHandler();
    if (err != CE_None) throw GisError("raster <" + path + ">: cannot read its values" + lastGdalError());
}

bool Raster::isNoData(double v) const
{
    return std::isnan(v) || (hasNoData_ && (v == noData_ || static_cast<float>(v) == static_cast<float>(noData_)));
}

Raster::Status Raster::sample(double x, double y, double& value) const
{
    const double px = (x - x0_) / dx_, py = (y - y0_) / dy_;  // pixel coordinates, 0 at the raster's corner
    if (!(px >= 0.0 && px <= nx_ && py >= 0.0 && py <= ny_)) return Status::Outside;
    // Centre coordinates, clamped to the hull of the centres.
    const double fx = std::clamp(px - 0.5, 0.0, nx_ - 1.0), fy = std::clamp(py - 0.5, 0.0, ny_ - 1.0);
    const int i = std::min(static_cast<int>(fx), std::max(nx_ - 2, 0));
    const int j = std::min(static_cast<int>(fy), std::max(ny_ - 2, 0));
    const double tx = fx - i, ty = fy - j;
    const int i1 = std::min(i + 1, nx_ - 1), j1 = std::min(j + 1, ny_ - 1);
    const double w[4] = {(1 - tx) * (1 - ty), tx * (1 - ty), (1 - tx) * ty, tx * ty};
    const size_t k[4] = {static_cast<size_t>(j) * nx_ + i, static_cast<size_t>(j) * nx_ + i1,
                         static_cast<size_t>(j1) * nx_ + i, static_cast<size_t>(j1) * nx_ + i1};
    double sum = 0.0;
    for (int c = 0; c < 4; ++c) {
        if (w[c] == 0.0) continue;
        if (isNoData(v_[k[c]])) return Status::NoData;
        sum += w[c] * v_[k[c]];
    }
    value = sum;
    return Status::Ok;
}

Raster::Status Raster::pixel(double x, double y, double& value) const
{
    const double px = (x - x0_) / dx_, py = (y - y0_) / dy_;
    if (!(px >= 0.0 && px <= nx_ && py >= 0.0 && py <= ny_)) return Status::Outside;
    const int i = std::min(static_cast<int>(px), nx_ - 1), j = std::min(static_cast<int>(py), ny_ - 1);
    const double v = v_[static_cast<size_t>(j) * nx_ + i];
    if (isNoData(v)) return Status::NoData;
    value = v;
    return Status::Ok;
}

Raster::Status Raster::triangleStat(const double* x, const double* y, bool maximum, double& value) const
{
    // Pixel index ranges of the triangle's bounding box.
    const double minX = std::min({x[0], x[1], x[2]}), maxX = std::max({x[0], x[1], x[2]});
    const double minY = std::min({y[0], y[1], y[2]}), maxY = std::max({y[0], y[1], y[2]});
    auto range = [](double a, double b, double origin, double step, int n, int& lo, int& hi) {
        double p0 = (a - origin) / step - 0.5, p1 = (b - origin) / step - 0.5;
        if (p0 > p1) std::swap(p0, p1);
        lo = std::max(0, static_cast<int>(std::ceil(p0)));
        hi = std::min(n - 1, static_cast<int>(std::floor(p1)));
    };
    int i0, i1, j0, j1;
    range(minX, maxX, x0_, dx_, nx_, i0, i1);
    range(minY, maxY, y0_, dy_, ny_, j0, j1);
    const double area2 = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    double sum = 0.0, best = -HUGE_VAL;
    long count = 0;
    for (int j = j0; j <= j1; ++j)
        for (int i = i0; i <= i1; ++i) {
            const double cx = x0_ + (i + 0.5) * dx_, cy = y0_ + (j + 0.5) * dy_;
            bool inside = true;
            for (int e = 0; e < 3 && inside; ++e) {
                const int a = e, b = (e + 1) % 3;
                const double cross = (x[b] - x[a]) * (cy - y[a]) - (y[b] - y[a]) * (cx - x[a]);
                inside = cross * area2 >= 0.0;
            }
            if (!inside) continue;
            const double v = v_[static_cast<size_t>(j) * nx_ + i];
            if (isNoData(v)) return Status::NoData;
            sum += v;
            best = std::max(best, v);
            ++count;
        }
    if (count == 0) return sample((x[0] + x[1] + x[2]) / 3.0, (y[0] + y[1] + y[2]) / 3.0, value);
    value = maximum ? best : sum / count;
    return Status::Ok;
}

Raster::Status Raster::triangleMean(const double* x, const double* y, double& value) const
{
    return triangleStat(x, y, false, value);
}

Raster::Status Raster::triangleMax(const double* x, const double* y, double& value) const
{
    return triangleStat(x, y, true, value);
}

}  // namespace gis

#include <sstream>

#include "setup/mesh/Mesh2dm.hpp"

namespace gis {

void sampleNodeElevations(const Raster& raster, setup::TriMesh& mesh)
{
    std::vector<int> outside, noData;
    for (int n = 0; n < mesh.nodeCount(); ++n) {
        double z = 0;
        const Raster::Status s = raster.sample(mesh.x[n], mesh.y[n], z);
        if (s == Raster::Status::Ok)
            mesh.z[n] = z;
        else
            (s == Raster::Status::Outside ? outside : noData).push_back(n);
    }
    auto list = [&](const std::vector<int>& nodes) {
        std::ostringstream s;
        s.precision(10);
        for (size_t k = 0; k < nodes.size() && k < 5; ++k)
            s << (k ? ", " : "") << "node " << mesh.nodeId[nodes[k]] << " (" << mesh.x[nodes[k]] << ", "
              << mesh.y[nodes[k]] << ")";
        if (nodes.size() > 5) s << " and " << nodes.size() - 5 << " more";
        return s.str();
    };
    if (!outside.empty())
        throw GisError("raster <" + raster.path() + "> does not cover the mesh <" + mesh.source + ">: " +
                       std::to_string(outside.size()) + " nodes lie outside it: " + list(outside));
    if (!noData.empty())
        throw GisError("raster <" + raster.path() + ">: " + std::to_string(noData.size()) + " nodes of the mesh <" +
                       mesh.source + "> lie on no-data cells: " + list(noData));
}

}  // namespace gis
