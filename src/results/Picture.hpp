// PNG pictures with cairo: cell fields on the triangle mesh with a colour bar, and time-series line plots.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace results {

/// Colour maps: sequential light-to-dark blue (water), perceptually ordered dark-blue-to-yellow (magnitudes),
/// green-to-brown-to-white (terrain), blue-white-red centred on zero (signed changes).
enum class ColourMap { Blues, Viridis, Terrain, Diverging };

/// RGB in [0, 1] of the map at s in [0, 1] (clamped).
std::array<double, 3> colourAt(ColourMap map, double s);

/// A named line or point drawn over a field (node strings, gauges), in map coordinates.
struct Overlay {
    std::string name;
    std::vector<std::array<double, 2>> points;  ///< one point: a marker; more: a line through them
};

/// How a field is drawn.
struct FieldStyle {
    std::string title;  ///< e.g. "water_depth at t = 600 s"
    std::string unit;   ///< e.g. "m", written beside the colour bar as "[m]"
    ColourMap map = ColourMap::Viridis;
    /// A chosen colour range [min, max] instead of that of the values; values beyond it take the end colours.
    bool fixedRange = false;
    double rangeMin = 0.0, rangeMax = 1.0;
    std::vector<Overlay> overlays;
};

/// Where the mesh lies in the picture: pixel = (left + (x - xMin) * scale, top + (yMax - y) * scale).
struct PictureFrame {
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
    double xMin = 0.0;
    double yMax = 0.0;
    double scale = 1.0;
    double vMin = 0.0;  ///< value at the bottom of the colour bar
    double vMax = 0.0;  ///< value at the top
    std::array<double, 2> pixel(double x, double y) const
    {
        return {left + (x - xMin) * scale, top + (yMax - y) * scale};
    }
};

/// Fills every cell whose `blank` flag is false and whose value is finite with the colour of its value on a white
/// background (blank cells stay white), outlines the domain boundary in grey, draws the overlays, and adds map
/// coordinates on the axes, a scale bar, the colour bar and the title. The range is the style's chosen one, else
/// that of the drawn values (symmetric about 0 for the diverging map). Fatal when the PNG cannot be written.
PictureFrame renderField(const std::vector<std::array<double, 3>>& nodes, const std::vector<std::array<int, 3>>& cells,
                         const std::vector<double>& values, const std::vector<bool>& blank, const FieldStyle& style,
                         const std::string& pngFile);

/// Line plot of one series per name over the common times, with axes, ticks and a legend.
void renderLines(const std::vector<double>& times, const std::vector<std::vector<double>>& series,
                 const std::vector<std::string>& names, const std::string& title, const std::string& yLabel,
                 const std::string& pngFile, bool includeZero = true);

/// Length of a scale bar [map units] for a domain `width` wide: the largest 1, 2 or 5 × 10^k not above a quarter
/// of it.
double scaleBarLength(double width);

}  // namespace results
