#include "results/Picture.hpp"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <map>
#include <utility>

#include "common/TerraException.hpp"

namespace results {

namespace {

using RGB = std::array<double, 3>;

/// Piecewise-linear colour scale through equally spaced stops.
RGB interpolate(const std::vector<RGB>& stops, double s)
{
    s = std::min(1.0, std::max(0.0, s));
    const double x = s * static_cast<double>(stops.size() - 1);
    const std::size_t i = std::min(stops.size() - 2, static_cast<std::size_t>(x));
    const double f = x - static_cast<double>(i);
    RGB c{};
    for (int k = 0; k < 3; ++k) c[k] = stops[i][k] + f * (stops[i + 1][k] - stops[i][k]);
    return c;
}

std::string number(double v)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.4g", std::fabs(v) < 1e-12 ? 0.0 : v);
    return text;
}

struct Surface {
    cairo_surface_t* surface;
    cairo_t* cr;
    Surface(int w, int h) : surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h)), cr(cairo_create(surface))
    {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    }
    ~Surface()
    {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    /// Text with its baseline at y; align 0 starts it at x, 0.5 centres it on x, 1 ends it at x.
    void text(double x, double y, const std::string& s, double size, double align = 0.0)
    {
        cairo_set_font_size(cr, size);
        if (align != 0.0) {
            cairo_text_extents_t e;
            cairo_text_extents(cr, s.c_str(), &e);
            x -= align * e.x_advance;
        }
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_move_to(cr, x, y);
        cairo_show_text(cr, s.c_str());
    }

    void save(const std::string& file)
    {
        cairo_surface_flush(surface);
        if (cairo_surface_write_to_png(surface, file.c_str()) != CAIRO_STATUS_SUCCESS) {
            std::cerr << " -> "
                      << "cannot write picture <" << file << ">" << std::endl;
            throw TerraException();
        }
    }
};

/// Round tick values covering [lo, hi], about n of them.
std::vector<double> ticks(double lo, double hi, int n)
{
    std::vector<double> t;
    if (!(hi > lo)) return {lo};
    const double raw = (hi - lo) / n;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    double step = mag;
    for (const double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * mag >= raw) {
            step = m * mag;
            break;
        }
    for (double v = std::ceil(lo / step) * step; v <= hi + 1e-9 * step; v += step) t.push_back(v);
    return t;
}

/// A coordinate label with as many decimals as the tick step needs (map coordinates can have seven digits).
std::string coordinate(double v, double step)
{
    const int decimals = step >= 1.0 ? 0 : std::min(6, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
    char text[40];
    std::snprintf(text, sizeof(text), "%.*f", decimals, std::fabs(v) < 1e-12 ? 0.0 : v);
    return text;
}

}  // namespace

double scaleBarLength(double width)
{
    if (!(width > 0.0)) return 0.0;
    const double quarter = width / 4.0;
    const double mag = std::pow(10.0, std::floor(std::log10(quarter)));
    double length = mag;
    for (const double m : {2.0, 5.0})
        if (m * mag <= quarter) length = m * mag;
    return length;
}

std::array<double, 3> colourAt(ColourMap map, double s)
{
    switch (map) {
        case ColourMap::Blues:
            return interpolate({{0.87, 0.92, 0.97}, {0.42, 0.68, 0.84}, {0.13, 0.44, 0.71}, {0.03, 0.19, 0.42}}, s);
        case ColourMap::Viridis:
            return interpolate({{0.267, 0.005, 0.329},
                                {0.230, 0.322, 0.546},
                                {0.128, 0.567, 0.551},
                                {0.369, 0.789, 0.383},
                                {0.993, 0.906, 0.144}},
                               s);
        case ColourMap::Terrain:
            return interpolate(
                {{0.16, 0.44, 0.20}, {0.55, 0.71, 0.33}, {0.93, 0.87, 0.55}, {0.60, 0.42, 0.26}, {0.93, 0.93, 0.93}},
                s);
        case ColourMap::Diverging:
            return interpolate(
                {{0.02, 0.19, 0.38}, {0.57, 0.77, 0.87}, {0.97, 0.97, 0.97}, {0.96, 0.65, 0.51}, {0.40, 0.00, 0.12}},
                s);
    }
    return {0, 0, 0};
}

PictureFrame renderField(const std::vector<std::array<double, 3>>& nodes, const std::vector<std::array<int, 3>>& cells,
                         const std::vector<double>& values, const std::vector<bool>& blank, const FieldStyle& style,
                         const std::string& pngFile)
{
    PictureFrame f;
    double xMin = std::numeric_limits<double>::max(), xMax = -xMin, yMin = xMin, yMax = -xMin;
    for (const auto& c : cells)
        for (const int n : c) {
            xMin = std::min(xMin, nodes[n][0]);
            xMax = std::max(xMax, nodes[n][0]);
            yMin = std::min(yMin, nodes[n][1]);
            yMax = std::max(yMax, nodes[n][1]);
        }
    if (cells.empty()) xMin = xMax = yMin = yMax = 0.0;
    const double dx = std::max(xMax - xMin, 1e-9), dy = std::max(yMax - yMin, 1e-9);
    // The colour bar needs minHeight pixels; a flat domain leaves no more room below it.
    const int plotWidth = 760, maxHeight = 700, minHeight = 180;
    f.scale = std::min(plotWidth / dx, maxHeight / dy);
    f.left = 90;
    f.top = 60;
    f.xMin = xMin;
    f.yMax = yMax;
    const int meshWidth = static_cast<int>(std::ceil(dx * f.scale));
    const int meshHeight = static_cast<int>(std::ceil(dy * f.scale));
    f.width = f.left + std::max(meshWidth, 300) + 200;
    // Below the mesh: the x coordinates and the scale bar.
    f.height = f.top + std::max(meshHeight, minHeight) + 80;

    // Range of the drawn values.
    double lo = std::numeric_limits<double>::max(), hi = -lo;
    for (std::size_t i = 0; i < cells.size(); ++i)
        if (!blank[i] && std::isfinite(values[i])) {
            lo = std::min(lo, values[i]);
            hi = std::max(hi, values[i]);
        }
    if (lo > hi) lo = hi = 0.0;
    if (style.map == ColourMap::Diverging) {
        const double m = std::max(std::fabs(lo), std::fabs(hi));
        lo = -m;
        hi = m;
    }
    if (style.fixedRange) {
        lo = style.rangeMin;
        hi = style.rangeMax;
    }
    if (hi - lo <= 1e-12 * std::max(1.0, std::fabs(hi))) {
        const double pad = std::max(0.5, 0.05 * std::fabs(hi));
        lo -= pad;
        hi += pad;
    }
    f.vMin = lo;
    f.vMax = hi;

    Surface s(f.width, f.height);
    cairo_t* cr = s.cr;
    // Cells without antialiasing: neighbouring triangles meet without seams and each shows its own colour.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (blank[i] || !std::isfinite(values[i])) continue;
        const RGB c = colourAt(style.map, (values[i] - lo) / (hi - lo));
        cairo_set_source_rgb(cr, c[0], c[1], c[2]);
        for (int k = 0; k < 3; ++k) {
            const auto p = f.pixel(nodes[cells[i][k]][0], nodes[cells[i][k]][1]);
            k == 0 ? cairo_move_to(cr, p[0], p[1]) : cairo_line_to(cr, p[0], p[1]);
        }
        cairo_close_path(cr);
        cairo_fill(cr);
    }
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);

    // Domain outline: edges used by one cell only.
    std::map<std::pair<int, int>, int> edgeUse;
    for (const auto& c : cells)
        for (int k = 0; k < 3; ++k) ++edgeUse[std::minmax(c[k], c[(k + 1) % 3])];
    cairo_set_source_rgb(cr, 0.45, 0.45, 0.45);
    cairo_set_line_width(cr, 1.0);
    for (const auto& e : edgeUse) {
        if (e.second != 1) continue;
        const auto a = f.pixel(nodes[e.first.first][0], nodes[e.first.first][1]);
        const auto b = f.pixel(nodes[e.first.second][0], nodes[e.first.second][1]);
        cairo_move_to(cr, a[0], a[1]);
        cairo_line_to(cr, b[0], b[1]);
    }
    cairo_stroke(cr);

    // Node strings as dark lines, gauges as ringed points, each with its name.
    for (const Overlay& o : style.overlays) {
        if (o.points.empty()) continue;
        const auto first = f.pixel(o.points[0][0], o.points[0][1]);
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        if (o.points.size() == 1) {
            cairo_set_line_width(cr, 2.0);
            cairo_new_path(cr);
            cairo_arc(cr, first[0], first[1], 4.0, 0.0, 2.0 * M_PI);
            cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
            cairo_fill_preserve(cr);
            cairo_set_source_rgb(cr, 0.8, 0.0, 0.0);
            cairo_stroke(cr);
        } else {
            cairo_set_line_width(cr, 2.5);
            cairo_new_path(cr);
            for (std::size_t k = 0; k < o.points.size(); ++k) {
                const auto p = f.pixel(o.points[k][0], o.points[k][1]);
                k == 0 ? cairo_move_to(cr, p[0], p[1]) : cairo_line_to(cr, p[0], p[1]);
            }
            cairo_stroke(cr);
        }
        s.text(first[0] + 6, first[1] - 6, o.name, 12);
    }

    // Map coordinates along the bottom and the left side of the mesh's box.
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1.0);
    const double boxBottom = f.top + dy * f.scale;
    const std::vector<double> xTicks = ticks(xMin, xMax, 5), yTicks = ticks(yMin, yMax, 5);
    const double xStep = xTicks.size() > 1 ? xTicks[1] - xTicks[0] : dx;
    const double yStep = yTicks.size() > 1 ? yTicks[1] - yTicks[0] : dy;
    for (const double x : xTicks) {
        const double px = f.pixel(x, yMin)[0];
        cairo_move_to(cr, px, boxBottom);
        cairo_line_to(cr, px, boxBottom + 5);
        cairo_stroke(cr);
        s.text(px, boxBottom + 18, coordinate(x, xStep), 11, 0.5);
    }
    for (const double y : yTicks) {
        const double py = f.pixel(xMin, y)[1];
        cairo_move_to(cr, f.left - 5, py);
        cairo_line_to(cr, f.left, py);
        cairo_stroke(cr);
        s.text(f.left - 8, py + 4, coordinate(y, yStep), 11, 1.0);
    }
    // Scale bar under the coordinates.
    const double bar = scaleBarLength(dx);
    if (bar > 0.0) {
        const double x0 = f.left, y0 = boxBottom + 40, w = bar * f.scale;
        cairo_rectangle(cr, x0, y0, w / 2, 5);
        cairo_fill(cr);
        cairo_rectangle(cr, x0, y0, w, 5);
        cairo_stroke(cr);
        char label[40];
        if (bar >= 1000.0)
            std::snprintf(label, sizeof label, "%g km", bar / 1000.0);
        else
            std::snprintf(label, sizeof label, "%g m", bar);
        s.text(x0 + w + 8, y0 + 6, label, 12);
    }

    // Colour bar.
    const double barX = f.width - 140, barTop = f.top, barHeight = std::min(360, std::max(meshHeight, minHeight));
    const int steps = 200;
    for (int k = 0; k < steps; ++k) {
        const RGB c = colourAt(style.map, (k + 0.5) / steps);
        cairo_set_source_rgb(cr, c[0], c[1], c[2]);
        cairo_rectangle(cr, barX, barTop + barHeight * (1.0 - (k + 1.0) / steps), 22, barHeight / steps + 0.5);
        cairo_fill(cr);
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, barX, barTop, 22, barHeight);
    cairo_stroke(cr);
    for (const double v : ticks(lo, hi, 5)) {
        const double y = barTop + barHeight * (1.0 - (v - lo) / (hi - lo));
        cairo_move_to(cr, barX + 22, y);
        cairo_line_to(cr, barX + 27, y);
        cairo_stroke(cr);
        s.text(barX + 30, y + 4, number(v), 12);
    }
    s.text(barX, barTop - 10, "[" + style.unit + "]", 13);
    s.text(f.left, 35, style.title, 18);
    s.save(pngFile);
    return f;
}

void renderLines(const std::vector<double>& times, const std::vector<std::vector<double>>& series,
                 const std::vector<std::string>& names, const std::string& title, const std::string& yLabel,
                 const std::string& pngFile, bool includeZero)
{
    const int width = 900, height = 520, left = 80, right = 180, top = 50, bottom = 60;
    const double plotW = width - left - right, plotH = height - top - bottom;
    double tLo = times.empty() ? 0.0 : times.front(), tHi = times.empty() ? 1.0 : times.back();
    if (!(tHi > tLo)) tHi = tLo + 1.0;
    double lo = std::numeric_limits<double>::max(), hi = -lo;
    for (const auto& s : series)
        for (const double v : s)
            if (std::isfinite(v)) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
    if (lo > hi) lo = hi = 0.0;
    if (includeZero) {
        lo = std::min(lo, 0.0);
        hi = std::max(hi, 0.0);
    }
    if (hi - lo <= 1e-12) hi = lo + 1.0;
    const double pad = 0.05 * (hi - lo);
    lo = lo < 0.0 || !includeZero ? lo - pad : lo;
    hi += pad;
    auto px = [&](double t) { return left + (t - tLo) / (tHi - tLo) * plotW; };
    auto py = [&](double v) { return top + (hi - v) / (hi - lo) * plotH; };

    Surface s(width, height);
    cairo_t* cr = s.cr;
    cairo_set_line_width(cr, 1.0);
    for (const double v : ticks(lo, hi, 6)) {
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, left, py(v));
        cairo_line_to(cr, left + plotW, py(v));
        cairo_stroke(cr);
        s.text(left - 6, py(v) + 4, number(v), 11, 1.0);
    }
    for (const double t : ticks(tLo, tHi, 6)) s.text(px(t), top + plotH + 18, number(t), 11, 0.5);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, left, top, plotW, plotH);
    cairo_stroke(cr);
    s.text(left + plotW / 2, height - 15, "t [s]", 13, 0.5);
    s.text(10, top - 12, yLabel, 13);
    s.text(left, 30, title, 17);

    cairo_set_line_width(cr, 2.0);
    for (std::size_t k = 0; k < series.size(); ++k) {
        const RGB c = colourAt(ColourMap::Viridis, series.size() == 1 ? 0.2 : 0.85 * k / (series.size() - 1.0));
        cairo_set_source_rgb(cr, c[0], c[1], c[2]);
        bool pen = false;
        for (std::size_t i = 0; i < times.size() && i < series[k].size(); ++i) {
            if (!std::isfinite(series[k][i])) {
                pen = false;
                continue;
            }
            pen ? cairo_line_to(cr, px(times[i]), py(series[k][i])) : cairo_move_to(cr, px(times[i]), py(series[k][i]));
            pen = true;
        }
        cairo_stroke(cr);
        const double ly = top + 10 + 20 * static_cast<double>(k);
        cairo_move_to(cr, left + plotW + 15, ly);
        cairo_line_to(cr, left + plotW + 40, ly);
        cairo_stroke(cr);
        s.text(left + plotW + 46, ly + 4, k < names.size() ? names[k] : "", 12);
    }
    s.save(pngFile);
}

}  // namespace results
