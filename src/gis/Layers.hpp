// Vector layers read through OGR (GeoJSON, GeoPackage, Shapefile, any source OGR reads): polygons and lines with
// their feature ids and one attribute, and the coordinate reference systems of layers and rasters.
#pragma once

#include <string>
#include <vector>

namespace gis {

struct Point {
    double x = 0, y = 0;
};

/// A layer named on the command line as FILE or FILE:LAYER (the first layer of FILE when no layer is given).
struct LayerRef {
    std::string file, layer;
    /// "FILE" or "FILE:LAYER", as in messages.
    std::string label() const { return layer.empty() ? file : file + ":" + layer; }
    /// Splits at the last ':' only when FILE alone does not exist but the part before the ':' does.
    static LayerRef parse(const std::string& text);
};

struct PolygonFeature {
    long fid = 0;
    std::vector<std::vector<Point>> rings;  ///< outer ring first; rings are open (last point != first)
    std::string text;                       ///< the requested attribute as text (empty without one)
    double value = 0;                       ///< the requested attribute as a number
};

struct LineFeature {
    long fid = 0;
    std::vector<Point> points;
    std::string text;
    double value = 0;
};

/// A vector layer, its features read at construction.
class VectorLayer {
public:
    /// `role` names the layer in messages ("domain", "holes", ...). Throws GisError for a file that OGR cannot
    /// open or a missing layer.
    VectorLayer(const LayerRef& ref, const std::string& role);

    /// The polygon features (multi-polygons give one feature per part). Every polygon must be valid (simple
    /// rings, holes inside); `attribute` (optional) must exist; with `numeric` its values must be numbers.
    /// Features of other geometry types are errors naming the feature.
    std::vector<PolygonFeature> polygons(const std::string& attribute = "", bool numeric = false) const;
    std::vector<LineFeature> lines(const std::string& attribute = "", bool numeric = false) const;

    /// "role layer <FILE:LAYER>" for messages.
    std::string label() const { return role_ + " layer <" + ref_.label() + ">"; }
    const std::string& crsWkt() const { return crs_; }

private:
    LayerRef ref_;
    std::string role_, crs_;
};

/// A named coordinate reference system as WKT (empty: none known).
struct NamedCrs {
    std::string what;  ///< e.g. "domain layer <domain.geojson>"
    std::string wkt;
};

/// Checks that every input with a CRS has the same one; throws GisError naming the first two that differ.
/// Returns the common CRS as WKT (empty when none has one).
std::string commonCrs(const std::vector<NamedCrs>& inputs);

/// The WKT of a CRS given as "EPSG:n" (or any definition OGR accepts); throws GisError.
std::string crsFromDefinition(const std::string& definition);

/// Short name of a CRS for messages ("ETRS89 / UTM zone 32N (EPSG:25832)").
std::string crsName(const std::string& wkt);

}  // namespace gis
