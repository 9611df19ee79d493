#include "setup/CommandFile.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include "setup/SetupError.hpp"

namespace setup {

namespace {

using nlohmann::json;

const std::string kRoot = "/SETUP/DOMAIN/LAMINA_2D";

std::string child(const std::string& pointer, const std::string& key) { return pointer + "/" + key; }
std::string child(const std::string& pointer, std::size_t index) { return pointer + "/" + std::to_string(index); }

const json* find(const json& object, const char* key)
{
    if (!object.is_object()) return nullptr;
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

double number(const json& value, const std::string& pointer)
{
    if (!value.is_number()) throw SetupError(pointer + ": this value must be a number");
    const double x = value.get<double>();
    if (!std::isfinite(x)) throw SetupError(pointer + ": this value must be a finite number");
    return x;
}

bool boolean(const json& value, const std::string& pointer)
{
    if (!value.is_boolean()) throw SetupError(pointer + ": this value must be true or false");
    return value.get<bool>();
}

std::string text(const json& value, const std::string& pointer)
{
    if (!value.is_string()) throw SetupError(pointer + ": this value must be a string");
    return value.get<std::string>();
}

/// Fatal unless `value` is a list (a command file read without the schema may hold anything there).
void expectList(const json& value, const std::string& pointer)
{
    if (!value.is_array()) throw SetupError(pointer + ": a list is required");
}

std::vector<int> materialList(const json& value, const std::string& pointer)
{
    if (!value.is_array() || value.empty())
        throw SetupError(pointer + ": a non-empty list of material ids is required");
    std::vector<int> ids;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const json& v = value[i];
        // Unsigned or non-negative: a material id is a whole number from 0 to the largest int, never wrapped.
        const bool fits = v.is_number_unsigned() ? v.get<std::uint64_t>() <= std::numeric_limits<int>::max()
                                                 : v.is_number_integer() && v.get<std::int64_t>() >= 0;
        if (!fits)
            throw SetupError(child(pointer, i) + ": a material id must be a whole number from 0 to " +
                             std::to_string(std::numeric_limits<int>::max()));
        ids.push_back(v.get<int>());
    }
    return ids;
}

const json& required(const json& object, const char* key, const std::string& pointer)
{
    const json* value = find(object, key);
    if (value == nullptr) throw SetupError(child(pointer, key) + ": this item is required but missing");
    return *value;
}

double nonNegative(double value, const std::string& what)
{
    if (value < 0.0) {
        std::ostringstream msg;
        msg << what << " must not be negative (" << value << ")";
        throw SetupError(msg.str());
    }
    return value;
}

void readGeometry(const json& geometry, const std::string& pointer, const std::string& baseDir, SetupDescription& d)
{
    const std::string mesh = text(required(geometry, "mesh_file", pointer), child(pointer, "mesh_file"));
    d.meshFile = (mesh.empty() || mesh.front() == '/' || baseDir.empty()) ? mesh : baseDir + "/" + mesh;

    std::set<std::string> names;
    if (const json* strings = find(geometry, "STRINGDEF")) {
        const std::string p = child(pointer, "STRINGDEF");
        for (std::size_t i = 0; i < strings->size(); ++i) {
            const json& s = (*strings)[i];
            StringDef def;
            def.name = text(required(s, "name", child(p, i)), child(child(p, i), "name"));
            if (const json* side = find(s, "upstream_direction")) {
                const std::string dir = text(*side, child(child(p, i), "upstream_direction"));
                if (dir == "left")
                    def.upstream = UpstreamSide::Left;
                else if (dir == "right")
                    def.upstream = UpstreamSide::Right;
                else
                    throw SetupError("string <" + def.name + ">: upstream_direction must be \"left\" or \"right\"");
            }
            if (!names.insert(def.name).second)
                throw SetupError("string <" + def.name + "> is defined twice in STRINGDEF");
            d.strings.push_back(def);
        }
    }
    std::set<std::string> gaugeNames;
    if (const json* gauges = find(geometry, "GAUGEDEF")) {
        const std::string p = child(pointer, "GAUGEDEF");
        for (std::size_t i = 0; i < gauges->size(); ++i) {
            const json& g = (*gauges)[i];
            const std::string pi = child(p, i);
            GaugeDef def;
            def.name = text(required(g, "name", pi), child(pi, "name"));
            def.x = number(required(g, "x", pi), child(pi, "x"));
            def.y = number(required(g, "y", pi), child(pi, "y"));
            def.pointer = pi;
            // The name heads a column of the gauge table and names the series in the results file.
            if (def.name.empty() || def.name.find_first_of("/,\"\n") != std::string::npos)
                throw SetupError(child(pi, "name") + ": a gauge name must be non-empty and hold no '/', ',', '\"'");
            if (!gaugeNames.insert(def.name).second)
                throw SetupError(child(pi, "name") + ": gauge <" + def.name + "> is defined twice in GAUGEDEF");
            d.gauges.push_back(def);
        }
    }
    std::set<std::string> regionNames;
    if (const json* regions = find(geometry, "REGIONDEF")) {
        const std::string p = child(pointer, "REGIONDEF");
        for (std::size_t i = 0; i < regions->size(); ++i) {
            const json& r = (*regions)[i];
            RegionDef def;
            def.name = text(required(r, "name", child(p, i)), child(child(p, i), "name"));
            def.materials = materialList(required(r, "index", child(p, i)), child(child(p, i), "index"));
            if (!regionNames.insert(def.name).second)
                throw SetupError("region <" + def.name + "> is defined twice in REGIONDEF");
            d.regions.push_back(def);
        }
    }
}

void readParameters(const json& block, const std::string& pointer, HydraulicParameters& p,
                    std::vector<std::string>& warnings)
{
    if (const json* v = find(block, "CFL")) p.cfl = number(*v, child(pointer, "CFL"));
    if (const json* v = find(block, "max_time_step")) p.maxTimeStep = number(*v, child(pointer, "max_time_step"));
    if (const json* v = find(block, "minimum_water_depth"))
        p.minimumWaterDepth = number(*v, child(pointer, "minimum_water_depth"));
    if (const json* v = find(block, "gravity")) p.gravity = number(*v, child(pointer, "gravity"));
    if (const json* v = find(block, "safe_mode")) p.safeMode = boolean(*v, child(pointer, "safe_mode"));
    if (!(p.cfl > 0.0 && p.cfl <= 1.0)) throw SetupError(child(pointer, "CFL") + ": the CFL number must lie in (0, 1]");
    if (p.cfl > kStableCfl) {
        std::ostringstream msg;
        msg << child(pointer, "CFL") << ": Warning: CFL " << p.cfl << " is above " << kStableCfl
            << ", the largest CFL measured stable; the run may oscillate, lose water or stall";
        warnings.push_back(msg.str());
    }
    if (!(p.maxTimeStep > 0.0)) throw SetupError(child(pointer, "max_time_step") + ": must be greater than 0");
    // Below 1e-6 m the float depths of wet cells lose their meaning; above 0.1 m the cells that count as dry
    // hold water that the momentum equations no longer move.
    if (!(p.minimumWaterDepth >= 1e-6 && p.minimumWaterDepth <= 0.1))
        throw SetupError(child(pointer, "minimum_water_depth") + ": must lie in [1e-06, 0.1] m");
    if (!(p.gravity > 0.0)) throw SetupError(child(pointer, "gravity") + ": must be greater than 0");
}

void readInitial(const json& block, const std::string& pointer, InitialCondition& ini)
{
    const std::string type = text(required(block, "type", pointer), child(pointer, "type"));
    if (type == "dry") {
        ini.kind = InitialCondition::Kind::Dry;
    } else if (type == "water_surface") {
        ini.kind = InitialCondition::Kind::WaterSurface;
        ini.waterSurface = number(required(block, "value", pointer), child(pointer, "value"));
    } else if (type == "index_table") {
        ini.kind = InitialCondition::Kind::IndexTable;
        const std::string p = child(pointer, "values");
        const json& values = required(block, "values", pointer);
        expectList(values, p);
        for (std::size_t i = 0; i < values.size(); ++i) {
            const json& v = values[i];
            const std::string pi = child(p, i);
            InitialCondition::Entry e;
            e.materials = materialList(required(v, "index", pi), child(pi, "index"));
            e.waterSurface = number(required(v, "water_surface", pi), child(pi, "water_surface"));
            if (const json* q = find(v, "discharge")) {
                if (!q->is_array() || q->size() != 2)
                    throw SetupError(child(pi, "discharge") + ": the discharge is a pair [qx, qy]");
                e.qx = number((*q)[0], child(child(pi, "discharge"), 0));
                e.qy = number((*q)[1], child(child(pi, "discharge"), 1));
            }
            ini.entries.push_back(e);
        }
    } else if (type == "raster" || type == "hot_start") {
        ini.kind = InitialCondition::Kind::Dry;  // the state comes from the data afterwards (InitialState.hpp)
    } else {
        throw SetupError(child(pointer, "type") + ": unknown initial condition type '" + type + "'");
    }
}

void readFriction(const json& block, const std::string& pointer, FrictionSpec& f)
{
    static const std::map<std::string, int> kCodes = {
        {"manning", 1}, {"strickler", 2}, {"log_law", 3}, {"large_roughness", 4}};
    f.on = true;
    const std::string type = text(required(block, "type", pointer), child(pointer, "type"));
    const auto code = kCodes.find(type);
    if (code == kCodes.end()) throw SetupError(child(pointer, "type") + ": unknown friction type '" + type + "'");
    f.type = code->second;
    // Manning's n = 0 or Strickler's k = 0 would be read as infinite friction; a roughness height of 0 is smooth.
    const bool strictlyPositive = f.type == 1 || f.type == 2;
    const auto value = [&](const json& v, const std::string& at, const std::string& what) {
        const double x = number(v, at);
        if (strictlyPositive && x <= 0.0) {
            std::ostringstream msg;
            msg << what << " must be greater than 0 for " << type << " friction (" << x
                << "); leave FRICTION out for a frictionless run";
            throw SetupError(msg.str());
        }
        return nonNegative(x, what);
    };
    f.defaultValue = value(required(block, "default_friction", pointer), child(pointer, "default_friction"),
                           "FRICTION: default_friction");
    if (const json* regions = find(block, "regions")) {
        const std::string p = child(pointer, "regions");
        for (std::size_t i = 0; i < regions->size(); ++i) {
            const std::string pi = child(p, i);
            FrictionSpec::Region r;
            r.materials = materialList(required((*regions)[i], "index", pi), child(pi, "index"));
            r.value = value(required((*regions)[i], "friction", pi), child(pi, "friction"),
                            "FRICTION: friction of regions entry " + std::to_string(i));
            f.regions.push_back(r);
        }
    }
}

void warnUnused(const json& object, const std::string& pointer, const std::vector<std::string>& used,
                SetupDescription& d)
{
    for (const auto& item : object.items()) {
        bool known = false;
        for (const auto& k : used) known = known || k == item.key();
        if (!known)
            d.warnings.push_back(child(pointer, item.key()) + ": Warning: The value of this item will not be used.");
    }
}

SinkMode sinkMode(const json& s, const std::string& pointer, const std::string& label)
{
    const json* sink = find(s, "sink");
    if (sink == nullptr) return SinkMode::Exact;
    const std::string mode = text(*sink, child(pointer, "sink"));
    if (mode == "exact") return SinkMode::Exact;
    if (mode == "available") return SinkMode::Available;
    if (mode == "infinity") return SinkMode::Infinity;
    throw SetupError(label + ": unknown sink behaviour '" + mode + "'");
}

/// Name of an entry of a BOUNDARY or SOURCE list, unique within its list; label is what messages call the entry,
/// kind + " <" + name + ">".
std::string entryName(const json& entry, const std::string& pointer, const std::string& kind,
                      std::set<std::string>& names, std::string& label)
{
    const std::string name = text(required(entry, "name", pointer), child(pointer, "name"));
    label = kind + " <" + name + ">";
    if (!names.insert(name).second) throw SetupError(label + " is defined twice");
    return name;
}

/// The node string ("string") or region ("region") an entry applies to, which its definition list must hold.
template <typename Defined>
std::string entryPlace(const json& entry, const std::string& pointer, const char* key, const std::string& label,
                       const std::vector<Defined>& defined, const char* definitionBlock)
{
    const std::string place = text(required(entry, key, pointer), child(pointer, key));
    for (const auto& p : defined)
        if (p.name == place) return place;
    throw SetupError(label + ": " + key + " <" + place + "> is not defined in " + definitionBlock);
}

/// Lets one condition of a list own a node string: a second one on the same string is an error.
void claimString(std::map<std::string, std::string>& owners, const std::string& string, const std::string& name,
                 const char* conditions)
{
    const auto owner = owners.emplace(string, name);
    if (!owner.second)
        throw SetupError("string <" + string + "> carries two " + conditions + ": <" + owner.first->second + "> and <" +
                         name + ">");
}

struct BoundaryTypeInfo {
    BoundaryType type;
    const char* name;
    const char* seriesKey;          // nullptr: no series
    std::vector<std::string> keys;  // keys the type uses besides name, type, string
};

const std::vector<BoundaryTypeInfo>& boundaryTypes()
{
    static const std::vector<BoundaryTypeInfo> kTypes = {
        {BoundaryType::Wall, "wall", nullptr, {}},
        {BoundaryType::DischargeInflow, "discharge_inflow", "discharge", {"discharge", "slope"}},
        {BoundaryType::WaterLevel, "water_level", "water_surface", {"water_surface", "allow_inflow"}},
        {BoundaryType::RatingCurve, "rating_curve", "rating", {"rating"}},
        {BoundaryType::NormalOutflow, "normal_outflow", nullptr, {"slope"}},
        {BoundaryType::FreeOutflow, "free_outflow", nullptr, {}},
        {BoundaryType::IncidentWave, "incident_wave", "water_surface", {"water_surface", "still_level"}},
    };
    return kTypes;
}

void readBoundaries(const json& list, const std::string& pointer, const std::string& baseDir, SetupDescription& d)
{
    expectList(list, pointer);
    std::set<std::string> names;
    std::map<std::string, std::string> stringOwner;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const json& b = list[i];
        const std::string pi = child(pointer, i);
        BoundarySpec spec;
        std::string label;
        spec.name = entryName(b, pi, "boundary", names, label);
        spec.typeName = text(required(b, "type", pi), child(pi, "type"));
        const BoundaryTypeInfo* info = nullptr;
        for (const auto& t : boundaryTypes())
            if (spec.typeName == t.name) info = &t;
        if (info == nullptr) throw SetupError(label + ": unknown boundary type '" + spec.typeName + "'");
        spec.type = info->type;
        spec.string = entryPlace(b, pi, "string", label, d.strings, "STRINGDEF");
        claimString(stringOwner, spec.string, spec.name, "conditions");
        std::vector<std::string> used = {"name", "type", "string"};
        used.insert(used.end(), info->keys.begin(), info->keys.end());
        warnUnused(b, pi, used, d);
        if (info->seriesKey != nullptr) {
            const json& value = required(b, info->seriesKey, pi);
            spec.series = readSeries(value, baseDir, label + ": " + info->seriesKey);
        }
        if (spec.type == BoundaryType::DischargeInflow || spec.type == BoundaryType::NormalOutflow) {
            spec.slope = number(required(b, "slope", pi), child(pi, "slope"));
            if (!(spec.slope > 0.0)) throw SetupError(label + ": slope must be greater than 0");
        }
        if (spec.type == BoundaryType::WaterLevel)
            if (const json* v = find(b, "allow_inflow")) spec.allowInflow = boolean(*v, child(pi, "allow_inflow"));
        if (spec.type == BoundaryType::IncidentWave)
            spec.stillLevel = number(required(b, "still_level", pi), child(pi, "still_level"));
        d.boundaries.push_back(spec);
    }
}

void readSources(const json& list, const std::string& pointer, const std::string& baseDir, SetupDescription& d)
{
    expectList(list, pointer);
    std::set<std::string> names;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const json& s = list[i];
        const std::string pi = child(pointer, i);
        SourceSpec spec;
        std::string label;
        spec.name = entryName(s, pi, "source", names, label);
        const std::string type = text(required(s, "type", pi), child(pi, "type"));
        spec.region = entryPlace(s, pi, "region", label, d.regions, "REGIONDEF");
        if (type == "rain") {
            spec.type = SourceType::Rain;
            spec.series = readSeries(required(s, "intensity", pi), baseDir, label + ": intensity");
            warnUnused(s, pi, {"name", "type", "region", "intensity"}, d);
        } else if (type == "inflow") {
            spec.type = SourceType::Inflow;
            spec.series = readSeries(required(s, "discharge", pi), baseDir, label + ": discharge");
            spec.sink = sinkMode(s, pi, label);
            warnUnused(s, pi, {"name", "type", "region", "discharge", "sink"}, d);
        } else {
            throw SetupError(label + ": unknown source type '" + type + "'");
        }
        d.sources.push_back(spec);
    }
}

double positive(const json& object, const char* key, const std::string& pointer, double fallback)
{
    const json* v = find(object, key);
    if (v == nullptr) return fallback;
    const double value = number(*v, child(pointer, key));
    if (!(value > 0.0)) throw SetupError(child(pointer, key) + ": must be greater than 0");
    return value;
}

void readMorParameters(const json& block, const std::string& pointer, MorphologySpec& m)
{
    if (const json* v = find(block, "start_time")) m.startTime = number(*v, child(pointer, "start_time"));
    if (const json* v = find(block, "porosity")) m.porosity = number(*v, child(pointer, "porosity"));
    if (!(m.porosity >= 0.0 && m.porosity < 1.0))
        throw SetupError(child(pointer, "porosity") + ": the porosity must lie in [0, 1)");
    m.fluidDensity = positive(block, "fluid_density", pointer, m.fluidDensity);
    m.sedimentDensity = positive(block, "sediment_density", pointer, m.sedimentDensity);
    if (!(m.sedimentDensity > m.fluidDensity))
        throw SetupError(child(pointer, "sediment_density") + ": the sediment must be denser than the fluid");
}

void readBedMaterial(const json& block, const std::string& pointer, MorphologySpec& m)
{
    m.grainSize.defaultValue = number(required(block, "grain_size", pointer), child(pointer, "grain_size"));
    if (!(m.grainSize.defaultValue > 0.0)) throw SetupError(child(pointer, "grain_size") + ": must be greater than 0");
    if (const json* regions = find(block, "regions")) {
        const std::string p = child(pointer, "regions");
        for (std::size_t i = 0; i < regions->size(); ++i) {
            const std::string pi = child(p, i);
            MaterialValues::Region r;
            r.materials = materialList(required((*regions)[i], "index", pi), child(pi, "index"));
            r.value = number(required((*regions)[i], "grain_size", pi), child(pi, "grain_size"));
            if (!(r.value > 0.0)) throw SetupError(child(pi, "grain_size") + ": must be greater than 0");
            m.grainSize.regions.push_back(r);
        }
    }
    if (const json* fixed = find(block, "FIXED_BED")) {
        const std::string p = child(pointer, "FIXED_BED");
        m.fixedBed = true;
        const std::string type = text(required(*fixed, "type", p), child(p, "type"));
        if (type == "elevation")
            m.fixedBedIsDepth = false;
        else if (type == "depth")
            m.fixedBedIsDepth = true;
        else
            throw SetupError(child(p, "type") + ": unknown fixed-bed type '" + type + "'");
        const json& regions = required(*fixed, "regions", p);
        expectList(regions, child(p, "regions"));
        for (std::size_t i = 0; i < regions.size(); ++i) {
            const std::string pi = child(child(p, "regions"), i);
            MaterialValues::Region r;
            r.materials = materialList(required(regions[i], "index", pi), child(pi, "index"));
            r.value = number(required(regions[i], "value", pi), child(pi, "value"));
            if (m.fixedBedIsDepth && r.value < 0.0)
                throw SetupError(child(pi, "value") + ": a depth below the bed must not be negative");
            m.fixedRegions.push_back(r);
        }
        m.fixedAccuracy = positive(*fixed, "accuracy", p, m.fixedAccuracy);
        if (const json* v = find(*fixed, "max_iterations")) {
            if (!v->is_number_integer() || v->get<int>() < 1)
                throw SetupError(child(p, "max_iterations") + ": must be an integer of at least 1");
            m.fixedMaxIterations = v->get<int>();
        }
    }
}

void readFormula(const json& block, const std::string& pointer, SetupDescription& d)
{
    MorphologySpec& m = d.morphology;
    const bool frictionOn = d.friction.on;
    static const std::map<std::string, BedloadFormula> kFormulas = {
        {"meyer_peter_mueller", BedloadFormula::MeyerPeterMueller},
        {"shields_power_law", BedloadFormula::ShieldsPowerLaw},
        {"velocity_power_law", BedloadFormula::VelocityPowerLaw},
        {"engelund_hansen", BedloadFormula::EngelundHansen}};
    const std::string name = text(required(block, "formula", pointer), child(pointer, "formula"));
    const auto it = kFormulas.find(name);
    if (it == kFormulas.end())
        throw SetupError(child(pointer, "formula") + ": unknown bed-load formula '" + name + "'");
    m.formula = it->second;
    if (m.formula != BedloadFormula::VelocityPowerLaw && !frictionOn)
        throw SetupError("BEDLOAD: the formula '" + name +
                         "' needs the FRICTION block (it uses the bed shear stress of the friction law)");
    std::vector<std::string> used = {"formula", "factor", "DIRECTION", "BOUNDARY"};
    if (m.formula == BedloadFormula::MeyerPeterMueller) {
        m.coefficient = positive(block, "coefficient", pointer, 8.0);
        m.exponent = positive(block, "exponent", pointer, 1.5);
        if (const json* v = find(block, "critical")) m.critical = number(*v, child(pointer, "critical"));
        used.insert(used.end(), {"coefficient", "exponent", "critical"});
    } else if (m.formula != BedloadFormula::EngelundHansen) {
        for (const char* key : {"coefficient", "exponent", "critical"}) required(block, key, pointer);
        m.coefficient = positive(block, "coefficient", pointer, 0.0);
        m.exponent = positive(block, "exponent", pointer, 0.0);
        m.critical = number(*find(block, "critical"), child(pointer, "critical"));
        used.insert(used.end(), {"coefficient", "exponent", "critical"});
    }
    if (m.critical < 0.0) throw SetupError(child(pointer, "critical") + ": must not be negative");
    m.factor = positive(block, "factor", pointer, 1.0);
    warnUnused(block, pointer, used, d);
}

void readDirection(const json& block, const std::string& pointer, MorphologySpec& m)
{
    if (const json* ikeda = find(block, "IKEDA")) {
        m.ikeda = true;
        m.ikedaFactor = positive(*ikeda, "factor", child(pointer, "IKEDA"), 0.45);
    }
    if (const json* curvature = find(block, "CURVATURE")) {
        m.curvature = true;
        m.curvatureFactor = positive(*curvature, "factor", child(pointer, "CURVATURE"), 7.0);
    }
}

void readIncipientMotion(const json& block, const std::string& pointer, MorphologySpec& m)
{
    m.incipientMotion = true;
    const std::string formula = text(required(block, "formula", pointer), child(pointer, "formula"));
    if (formula == "van_rijn")
        m.incipientType = 1;
    else if (formula == "chen")
        m.incipientType = 2;
    else
        throw SetupError(child(pointer, "formula") + ": unknown incipient-motion formula '" + formula + "'");
    const double degrees = positive(block, "repose_angle", pointer, 30.0);
    if (!(degrees < 90.0)) throw SetupError(child(pointer, "repose_angle") + ": must be below 90 degrees");
    m.reposeAngle = degrees * 3.14159265358979323846 / 180.0;
}

void readMorBoundaries(const json& list, const std::string& pointer, const std::string& baseDir, SetupDescription& d)
{
    expectList(list, pointer);
    auto& m = d.morphology;
    std::set<std::string> names;
    std::map<std::string, std::string> stringOwner;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const json& b = list[i];
        const std::string pi = child(pointer, i);
        MorBoundarySpec spec;
        std::string label;
        spec.name = entryName(b, pi, "morphological boundary", names, label);
        const std::string type = text(required(b, "type", pi), child(pi, "type"));
        spec.string = entryPlace(b, pi, "string", label, d.strings, "STRINGDEF");
        claimString(stringOwner, spec.string, spec.name, "morphological conditions");
        if (type == "wall") {
            spec.type = MorBoundaryType::Wall;
            warnUnused(b, pi, {"name", "type", "string"}, d);
        } else if (type == "bed_level") {
            spec.type = MorBoundaryType::BedLevel;
            if (const json* level = find(b, "level")) spec.series = readSeries(*level, baseDir, label + ": level");
            if (const json* limit = find(b, "limit")) {
                const std::string l = text(*limit, child(pi, "limit"));
                if (l != "lower" && l != "upper") throw SetupError(label + ": limit must be \"lower\" or \"upper\"");
                spec.lowerLimit = l == "lower";
            }
            warnUnused(b, pi, {"name", "type", "string", "level", "limit"}, d);
        } else if (type == "sediment_inflow") {
            spec.type = MorBoundaryType::SedimentInflow;
            if (const json* q = find(b, "discharge")) spec.series = readSeries(*q, baseDir, label + ": discharge");
            if (const json* dist = find(b, "distribution")) {
                const std::string v = text(*dist, child(pi, "distribution"));
                if (v == "uniform")
                    spec.distribution = SedimentDistribution::Uniform;
                else if (v == "depth")
                    spec.distribution = SedimentDistribution::Depth;
                else if (v == "conveyance")
                    spec.distribution = SedimentDistribution::Conveyance;
                else
                    throw SetupError(label + ": unknown distribution '" + v + "'");
            }
            if (const json* v = find(b, "inflow_only")) spec.inflowOnly = boolean(*v, child(pi, "inflow_only"));
            if (spec.distribution == SedimentDistribution::Conveyance && !d.friction.on)
                throw SetupError(label + ": the distribution 'conveyance' needs the FRICTION block");
            std::vector<std::string> used = {"name", "type", "string", "discharge", "distribution"};
            if (spec.series) used.push_back("inflow_only");
            warnUnused(b, pi, used, d);
        } else {
            throw SetupError(label + ": unknown boundary type '" + type + "'");
        }
        m.boundaries.push_back(spec);
    }
}

void readMorSources(const json& list, const std::string& pointer, const std::string& baseDir, SetupDescription& d)
{
    expectList(list, pointer);
    std::set<std::string> names;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const json& s = list[i];
        const std::string pi = child(pointer, i);
        MorSourceSpec spec;
        std::string label;
        spec.name = entryName(s, pi, "morphological source", names, label);
        spec.region = entryPlace(s, pi, "region", label, d.regions, "REGIONDEF");
        spec.series = readSeries(required(s, "discharge", pi), baseDir, label + ": discharge");
        spec.sink = sinkMode(s, pi, label);
        warnUnused(s, pi, {"name", "region", "discharge", "sink"}, d);
        d.morphology.sources.push_back(spec);
    }
}

void readMorphology(const json& block, const std::string& pointer, const std::string& baseDir, SetupDescription& d)
{
    auto& m = d.morphology;
    m.on = true;
    if (const json* v = find(block, "PARAMETER")) readMorParameters(*v, child(pointer, "PARAMETER"), m);
    readBedMaterial(required(block, "BEDMATERIAL", pointer), child(pointer, "BEDMATERIAL"), m);
    const std::string bp = child(pointer, "BEDLOAD");
    const json& bedload = required(block, "BEDLOAD", pointer);
    readFormula(bedload, bp, d);
    if (const json* v = find(bedload, "DIRECTION")) readDirection(*v, child(bp, "DIRECTION"), m);
    if (const json* v = find(bedload, "BOUNDARY")) readMorBoundaries(*v, child(bp, "BOUNDARY"), baseDir, d);
    if (const json* v = find(block, "INCIPIENT_MOTION")) readIncipientMotion(*v, child(pointer, "INCIPIENT_MOTION"), m);
    if (const json* v = find(block, "SOURCE")) readMorSources(*v, child(pointer, "SOURCE"), baseDir, d);
}

}  // namespace

const char* boundaryTypeName(BoundaryType type)
{
    for (const auto& t : boundaryTypes())
        if (t.type == type) return t.name;
    return "";
}

SetupDescription readCommandFile(const json& doc, const std::string& baseDir)
{
    const json* lamina = nullptr;
    if (const json* s = find(doc, "SETUP"))
        if (const json* dom = find(*s, "DOMAIN")) lamina = find(*dom, "LAMINA_2D");
    if (lamina == nullptr) throw SetupError(kRoot + ": this item is required but missing");

    SetupDescription d;
    readGeometry(required(*lamina, "GEOMETRY", kRoot), kRoot + "/GEOMETRY", baseDir, d);
    const std::string hp = kRoot + "/HYDRAULICS";
    const json& hyd = required(*lamina, "HYDRAULICS", kRoot);
    if (const json* v = find(hyd, "PARAMETER")) readParameters(*v, hp + "/PARAMETER", d.parameters, d.warnings);
    if (const json* v = find(hyd, "INITIAL")) readInitial(*v, hp + "/INITIAL", d.initial);
    if (const json* v = find(hyd, "FRICTION")) readFriction(*v, hp + "/FRICTION", d.friction);
    if (const json* v = find(hyd, "BOUNDARY")) readBoundaries(*v, hp + "/BOUNDARY", baseDir, d);
    if (const json* v = find(hyd, "SOURCE")) readSources(*v, hp + "/SOURCE", baseDir, d);
    d.flood = find(hyd, "FLOOD") != nullptr;
    if (const json* v = find(*lamina, "MORPHOLOGY")) readMorphology(*v, kRoot + "/MORPHOLOGY", baseDir, d);
    return d;
}

}  // namespace setup
