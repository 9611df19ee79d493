// Locating points in a triangle mesh: the triangles sorted into the buckets of a uniform grid over their bounding
// boxes, so that a point is tested against the few triangles of its bucket only.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace setup {

/// Triangles `tri` (three node indices each) over the nodes (x, y); the vectors must outlive the locator.
class Locator {
public:
    Locator(const std::vector<double>& x, const std::vector<double>& y, const std::vector<int>& tri)
        : x_(x), y_(y), tri_(tri)
    {
        const int n = static_cast<int>(tri.size() / 3);
        minX_ = *std::min_element(x.begin(), x.end());
        minY_ = *std::min_element(y.begin(), y.end());
        const double w = *std::max_element(x.begin(), x.end()) - minX_, h = *std::max_element(y.begin(), y.end()) - minY_;
        nx_ = ny_ = std::max(1, static_cast<int>(std::sqrt(n)));
        cw_ = std::max(w, 1e-9) / nx_;
        ch_ = std::max(h, 1e-9) / ny_;
        cells_.resize(static_cast<size_t>(nx_) * ny_);
        for (int t = 0; t < n; ++t) {
            double x0 = HUGE_VAL, x1 = -HUGE_VAL, y0 = HUGE_VAL, y1 = -HUGE_VAL;
            for (int k = 0; k < 3; ++k) {
                x0 = std::min(x0, x[tri[3 * t + k]]);
                x1 = std::max(x1, x[tri[3 * t + k]]);
                y0 = std::min(y0, y[tri[3 * t + k]]);
                y1 = std::max(y1, y[tri[3 * t + k]]);
            }
            for (int j = row(y0); j <= row(y1); ++j)
                for (int i = col(x0); i <= col(x1); ++i) cells_[static_cast<size_t>(j) * nx_ + i].push_back(t);
        }
    }

    /// The triangle that holds (px, py), -1 when none does.
    int find(double px, double py) const
    {
        const double tol = 1e-9;
        for (int t : cells_[static_cast<size_t>(row(py)) * nx_ + col(px)]) {
            const int a = tri_[3 * t], b = tri_[3 * t + 1], c = tri_[3 * t + 2];
            const double area = (x_[b] - x_[a]) * (y_[c] - y_[a]) - (x_[c] - x_[a]) * (y_[b] - y_[a]);
            const double s = ((x_[b] - px) * (y_[c] - py) - (x_[c] - px) * (y_[b] - py)) / area;
            const double u = ((x_[c] - px) * (y_[a] - py) - (x_[a] - px) * (y_[c] - py)) / area;
            if (s >= -tol && u >= -tol && 1 - s - u >= -tol) return t;
        }
        return -1;
    }

private:
    int col(double x) const { return std::clamp(static_cast<int>((x - minX_) / cw_), 0, nx_ - 1); }
    int row(double y) const { return std::clamp(static_cast<int>((y - minY_) / ch_), 0, ny_ - 1); }
    const std::vector<double>&x_, &y_;
    const std::vector<int>& tri_;
    double minX_, minY_, cw_, ch_;
    int nx_, ny_;
    std::vector<std::vector<int>> cells_;
};

}  // namespace setup
