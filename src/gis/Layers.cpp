#include "gis/Layers.hpp"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <sys/stat.h>

#include <memory>
#include <sstream>

#include "gis/GisError.hpp"

namespace gis {

namespace {

bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

struct DatasetCloser {
    void operator()(GDALDataset* ds) const { GDALClose(ds); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

std::string lastGdalError()
{
    const std::string msg = CPLGetLastErrorMsg();
    return msg.empty() ? std::string() : ": " + msg;
}

std::vector<Point> ringPoints(const OGRLinearRing* ring)
{
    std::vector<Point> pts;
    const int n = ring->getNumPoints();
    for (int i = 0; i < n; ++i) pts.push_back({ring->getX(i), ring->getY(i)});
    if (pts.size() > 1 && pts.front().x == pts.back().x && pts.front().y == pts.back().y) pts.pop_back();
    return pts;
}

/// Opens the layer and visits its features with their geometry (features without geometry are skipped).
template <typename Visit>
void forEachFeature(const LayerRef& ref, const std::string& label, std::string* crs, Visit visit)
{
    GDALAllRegister();
    if (!exists(ref.file)) throw GisError(label + ": the file <" + ref.file + "> does not exist");
    CPLErrorReset();
    CPLPushErrorHandler(CPLQuietErrorHandler);
    Dataset ds(static_cast<GDALDataset*>(
        GDALOpenEx(ref.file.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr)));
    CPLPopErrorHandler();
    if (!ds) throw GisError(label + ": cannot be read as a vector layer" + lastGdalError());
    OGRLayer* layer = ref.layer.empty() ? ds->GetLayer(0) : ds->GetLayerByName(ref.layer.c_str());
    if (!layer) {
        std::string names;
        for (int i = 0; i < ds->GetLayerCount(); ++i)
            names += std::string(i ? ", " : "") + ds->GetLayer(i)->GetName();
        throw GisError(label + ": no such layer (the file has: " + (names.empty() ? "none" : names) + ")");
    }
    if (crs) {
        crs->clear();
        if (const OGRSpatialReference* srs = layer->GetSpatialRef()) {
            char* wkt = nullptr;
            if (srs->exportToWkt(&wkt) == OGRERR_NONE && wkt) *crs = wkt;
            CPLFree(wkt);
        }
        return;
    }
    layer->ResetReading();
    for (auto& feature : *layer)
        if (feature->GetGeometryRef()) visit(*feature, *layer->GetLayerDefn());
}

/// Index of the attribute in the layer, or an error listing the attributes it has.
int fieldIndex(const OGRFeatureDefn& defn, const std::string& attribute, const std::string& label)
{
    const int idx = defn.GetFieldIndex(attribute.c_str());
    if (idx >= 0) return idx;
    std::string names;
    for (int i = 0; i < defn.GetFieldCount(); ++i)
        names += std::string(i ? ", " : "") + defn.GetFieldDefn(i)->GetNameRef();
    throw GisError(label + ": no attribute <" + attribute + "> (the layer has: " + (names.empty() ? "none" : names) +
                   ")");
}

template <typename F>
void readAttribute(const OGRFeature& feature, const OGRFeatureDefn& defn, const std::string& attribute, bool numeric,
                   const std::string& label, F& out)
{
    if (attribute.empty()) return;
    const int idx = fieldIndex(defn, attribute, label);
    if (!feature.IsFieldSetAndNotNull(idx))
        throw GisError(label + ", feature " + std::to_string(feature.GetFID()) + ": attribute <" + attribute +
                       "> is empty");
    out.text = feature.GetFieldAsString(idx);
    if (numeric) {
        const OGRFieldType type = defn.GetFieldDefn(idx)->GetType();
        if (type == OFTInteger || type == OFTInteger64 || type == OFTReal) {
            out.value = feature.GetFieldAsDouble(idx);
        } else {
            std::istringstream in(out.text);
            if (!(in >> out.value) || !(in >> std::ws).eof())
                throw GisError(label + ", feature " + std::to_string(feature.GetFID()) + ": attribute <" + attribute +
                               "> is not a number (\"" + out.text + "\")");
        }
    }
}

std::string featureLabel(const std::string& label, long fid) { return label + ", feature " + std::to_string(fid); }

}  // namespace

LayerRef LayerRef::parse(const std::string& text)
{
    LayerRef ref{text, ""};
    const auto colon = text.find_last_of(':');
    if (!exists(text) && colon != std::string::npos && colon > 0 && exists(text.substr(0, colon)))
        ref = {text.substr(0, colon), text.substr(colon + 1)};
    return ref;
}

VectorLayer::VectorLayer(const LayerRef& ref, const std::string& role) : ref_(ref), role_(role)
{
    forEachFeature(ref_, label(), &crs_, [](const OGRFeature&, const OGRFeatureDefn&) {});
}

std::vector<PolygonFeature> VectorLayer::polygons(const std::string& attribute, bool numeric) const
{
    std::vector<PolygonFeature> out;
    const std::string lab = label();
    forEachFeature(ref_, lab, nullptr, [&](const OGRFeature& feature, const OGRFeatureDefn& defn) {
        const OGRGeometry* geom = feature.GetGeometryRef();
        const long fid = static_cast<long>(feature.GetFID());
        PolygonFeature base;
        base.fid = fid;
        readAttribute(feature, defn, attribute, numeric, lab, base);
        const OGRwkbGeometryType type = wkbFlatten(geom->getGeometryType());
        if (type != wkbPolygon && type != wkbMultiPolygon)
            throw GisError(featureLabel(lab, fid) + ": a " + geom->getGeometryName() + ", not a polygon");
        if (!geom->IsValid())
            throw GisError(featureLabel(lab, fid) +
                           ": not a valid polygon (self-intersecting ring, or a hole outside its polygon)");
        auto add = [&](const OGRPolygon* poly) {
            PolygonFeature f = base;
            if (const OGRLinearRing* r = poly->getExteriorRing()) f.rings.push_back(ringPoints(r));
            for (int i = 0; i < poly->getNumInteriorRings(); ++i) f.rings.push_back(ringPoints(poly->getInteriorRing(i)));
            if (!f.rings.empty() && f.rings[0].size() >= 3) out.push_back(std::move(f));
        };
        if (type == wkbPolygon)
            add(geom->toPolygon());
        else
            for (const OGRPolygon* p : *geom->toMultiPolygon()) add(p);
    });
    if (out.empty()) throw GisError(lab + ": has no polygon");
    return out;
}

std::vector<LineFeature> VectorLayer::lines(const std::string& attribute, bool numeric) const
{
    std::vector<LineFeature> out;
    const std::string lab = label();
    forEachFeature(ref_, lab, nullptr, [&](const OGRFeature& feature, const OGRFeatureDefn& defn) {
        const OGRGeometry* geom = feature.GetGeometryRef();
        const long fid = static_cast<long>(feature.GetFID());
        LineFeature base;
        base.fid = fid;
        readAttribute(feature, defn, attribute, numeric, lab, base);
        const OGRwkbGeometryType type = wkbFlatten(geom->getGeometryType());
        auto add = [&](const OGRLineString* line) {
            LineFeature f = base;
            for (int i = 0; i < line->getNumPoints(); ++i) f.points.push_back({line->getX(i), line->getY(i)});
            if (f.points.size() < 2) throw GisError(featureLabel(lab, fid) + ": a line needs two points");
            out.push_back(std::move(f));
        };
        if (type == wkbLineString)
            add(geom->toLineString());
        else if (type == wkbMultiLineString)
            for (const OGRLineString* l : *geom->toMultiLineString()) add(l);
        else
            throw GisError(featureLabel(lab, fid) + ": a " + geom->getGeometryName() + ", not a line");
    });
    if (out.empty()) throw GisError(lab + ": has no line");
    return out;
}

std::string crsName(const std::string& wkt)
{
    OGRSpatialReference srs;
    if (wkt.empty() || srs.importFromWkt(wkt.c_str()) != OGRERR_NONE) return "unknown";
    std::string name = srs.GetName() ? srs.GetName() : "unnamed";
    const char* auth = srs.GetAuthorityName(nullptr);
    const char* code = srs.GetAuthorityCode(nullptr);
    if (auth && code) name += std::string(" (") + auth + ":" + code + ")";
    return name;
}

std::string commonCrs(const std::vector<NamedCrs>& inputs)
{
    const NamedCrs* first = nullptr;
    OGRSpatialReference ref;
    for (const NamedCrs& in : inputs) {
        if (in.wkt.empty()) continue;
        if (!first) {
            first = &in;
            ref.importFromWkt(in.wkt.c_str());
            continue;
        }
        OGRSpatialReference other;
        other.importFromWkt(in.wkt.c_str());
        const char* options[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES", "CRITERION=EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS",
                                 nullptr};
        if (!ref.IsSame(&other, options))
            throw GisError(first->what + " and " + in.what + " have different coordinate reference systems: " +
                           crsName(first->wkt) + " and " + crsName(in.wkt));
    }
    return first ? first->wkt : std::string();
}

std::string crsFromDefinition(const std::string& definition)
{
    OGRSpatialReference srs;
    CPLPushErrorHandler(CPLQuietErrorHandler);
    const OGRErr err = srs.SetFromUserInput(definition.c_str());
    CPLPopErrorHandler();
    if (err != OGRERR_NONE) throw GisError("unknown coordinate reference system \"" + definition + "\"");
    char* wkt = nullptr;
    srs.exportToWkt(&wkt);
    std::string out = wkt ? wkt : "";
    CPLFree(wkt);
    return out;
}

}  // namespace gis
