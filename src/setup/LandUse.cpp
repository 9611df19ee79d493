#include "setup/LandUse.hpp"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>

#include "gis/GisError.hpp"
#include "gis/Layers.hpp"
#include "gis/Raster.hpp"
#include "model/Identifiers.hpp"
#include "setup/SetupError.hpp"

namespace setup {

namespace {

const std::string kGeometry = "/SETUP/DOMAIN/LAMINA_2D/GEOMETRY";
const std::string kFriction = "/SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/FRICTION";

const nlohmann::json* at(const nlohmann::json& doc, const std::string& pointer)
{
    try {
        return &doc.at(nlohmann::json::json_pointer(pointer));
    } catch (const nlohmann::json::exception&) {
        return nullptr;
    }
}

std::string fileOf(const nlohmann::json& block, const std::string& pointer, const std::string& baseDir)
{
    const auto f = block.find("file");
    if (f == block.end() || !f->is_string() || f->get<std::string>().empty())
        throw SetupError(pointer + "/file: a file name is required");
    const std::string name = f->get<std::string>();
    return (name.front() == '/' || baseDir.empty()) ? name : baseDir + "/" + name;
}

std::string attributeOf(const nlohmann::json& block, const std::string& pointer)
{
    const auto a = block.find("attribute");
    if (a == block.end() || !a->is_string() || a->get<std::string>().empty())
        throw SetupError(pointer + "/attribute: the attribute's name is required");
    return a->get<std::string>();
}

/// Polygons with their bounding boxes, for testing many points.
struct PolygonIndex {
    struct Entry {
        gis::PolygonFeature f;
        double minX, minY, maxX, maxY;
    };
    std::vector<Entry> entries;

    explicit PolygonIndex(std::vector<gis::PolygonFeature> features)
    {
        for (auto& f : features) {
            Entry e{std::move(f), HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
            for (const gis::Point& p : e.f.rings[0]) {
                e.minX = std::min(e.minX, p.x);
                e.maxX = std::max(e.maxX, p.x);
                e.minY = std::min(e.minY, p.y);
                e.maxY = std::max(e.maxY, p.y);
            }
            entries.push_back(std::move(e));
        }
    }

    /// The last polygon that holds (x, y), or nullptr.
    const gis::PolygonFeature* find(double x, double y) const
    {
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            if (x < it->minX || x > it->maxX || y < it->minY || y > it->maxY) continue;
            bool inside = false;
            for (const auto& r : it->f.rings)
                for (size_t i = 0, j = r.size() - 1; i < r.size(); j = i++)
                    if ((r[i].y > y) != (r[j].y > y) &&
                        x < (r[j].x - r[i].x) * (y - r[i].y) / (r[j].y - r[i].y) + r[i].x)
                        inside = !inside;
            if (inside) return &it->f;
        }
        return nullptr;
    }
};

}  // namespace

LandUseSpec readLandUse(const nlohmann::json& doc, const std::string& baseDir)
{
    LandUseSpec spec;
    if (const nlohmann::json* m = at(doc, kGeometry + "/material_polygons")) {
        spec.materialPolygons = fileOf(*m, kGeometry + "/material_polygons", baseDir);
        spec.materialAttribute = attributeOf(*m, kGeometry + "/material_polygons");
    }
    if (const nlohmann::json* p = at(doc, kFriction + "/polygons")) {
        spec.frictionPolygons = fileOf(*p, kFriction + "/polygons", baseDir);
        spec.frictionAttribute = attributeOf(*p, kFriction + "/polygons");
    }
    if (const nlohmann::json* r = at(doc, kFriction + "/raster")) {
        const std::string pointer = kFriction + "/raster";
        spec.frictionRaster = fileOf(*r, pointer, baseDir);
        const auto classes = r->find("classes");
        if (classes == r->end() || !classes->is_array() || classes->empty())
            throw SetupError(pointer + "/classes: a table of pixel values and friction values is required");
        for (size_t i = 0; i < classes->size(); ++i) {
            const auto& c = (*classes)[i];
            const std::string pi = pointer + "/classes/" + std::to_string(i);
            if (!c.is_object() || !c.contains("value") || !c["value"].is_number() || !c.contains("friction") ||
                !c["friction"].is_number())
                throw SetupError(pi + ": a class needs a number \"value\" and a number \"friction\"");
            if (c["friction"].get<double>() < 0) throw SetupError(pi + "/friction: must not be negative");
            spec.classes.push_back({c["value"].get<double>(), c["friction"].get<double>()});
        }
    }
    return spec;
}

void applyMaterialPolygons(const LandUseSpec& spec, TriMesh& mesh)
{
    if (spec.materialPolygons.empty()) return;
    const gis::VectorLayer layer(gis::LayerRef::parse(spec.materialPolygons), "material_polygons");
    std::vector<gis::PolygonFeature> polygons = layer.polygons(spec.materialAttribute, true);
    for (const auto& p : polygons)
        if (p.value != std::floor(p.value))
            throw gis::GisError(layer.label() + ", feature " + std::to_string(p.fid) + ": the material id <" + p.text +
                                "> is not an integer");
    const PolygonIndex index(std::move(polygons));
    for (int c = 0; c < mesh.cellCount(); ++c) {
        const int* n = &mesh.cellNodes[3 * c];
        const double x = (mesh.x[n[0]] + mesh.x[n[1]] + mesh.x[n[2]]) / 3, y = (mesh.y[n[0]] + mesh.y[n[1]] + mesh.y[n[2]]) / 3;
        if (const gis::PolygonFeature* f = index.find(x, y)) mesh.material[c] = static_cast<int>(f->value);
    }
}

void applyFriction(const LandUseSpec& spec, const MeshGeometry& g, ModelContent& content)
{
    if (spec.frictionRaster.empty() && spec.frictionPolygons.empty()) return;
    const auto it = content.data.find(model::DataID::Friction);
    if (it == content.data.end()) return;
    std::vector<float>& friction = it->second.floats;
    if (!spec.frictionRaster.empty()) {
        const gis::Raster raster(spec.frictionRaster);
        for (int c = 0; c < g.nCells; ++c) {
            double v = 0;
            const gis::Raster::Status s = raster.pixel(g.centroid[2 * c], g.centroid[2 * c + 1], v);
            if (s != gis::Raster::Status::Ok) continue;
            const auto cls = std::find_if(spec.classes.begin(), spec.classes.end(),
                                          [v](const std::pair<double, double>& k) { return k.first == v; });
            if (cls == spec.classes.end()) {
                std::ostringstream msg;
                msg << std::setprecision(10) << "FRICTION: raster <" << spec.frictionRaster << ">: class " << v
                    << " under cell " << g.cellId[c] << " at (" << g.centroid[2 * c] << ", " << g.centroid[2 * c + 1]
                    << ") is not in the classes table";
                throw gis::GisError(msg.str());
            }
            friction[c] = static_cast<float>(cls->second);
        }
    }
    if (!spec.frictionPolygons.empty()) {
        const gis::VectorLayer layer(gis::LayerRef::parse(spec.frictionPolygons), "FRICTION polygons");
        std::vector<gis::PolygonFeature> polygons = layer.polygons(spec.frictionAttribute, true);
        for (const auto& p : polygons)
            if (p.value < 0)
                throw gis::GisError(layer.label() + ", feature " + std::to_string(p.fid) + ": the friction <" + p.text +
                                    "> must not be negative");
        const PolygonIndex index(std::move(polygons));
        for (int c = 0; c < g.nCells; ++c)
            if (const gis::PolygonFeature* f = index.find(g.centroid[2 * c], g.centroid[2 * c + 1]))
                friction[c] = static_cast<float>(f->value);
    }
}

}  // namespace setup
