// The set-up command file read into plain records: geometry, hydraulic parameters, initial state, friction,
// boundary conditions, sources and flood tracking.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "setup/Series.hpp"
#include "setup/mesh/Geometry.hpp"

namespace setup {

struct StringDef {
    std::string name;
    UpstreamSide upstream = UpstreamSide::Automatic;  ///< Left/Right only for strings inside the domain
};

/// A named point whose cell the simulation records as a time series.
struct GaugeDef {
    std::string name;
    double x = 0.0, y = 0.0;  ///< [m], in the mesh's coordinates
    std::string pointer;      ///< JSON pointer of its entry, for messages about it
};

struct RegionDef {
    std::string name;
    std::vector<int> materials;  ///< material ids of the cells that make up the region
};

/// Largest CFL number at which the time step was measured stable on meshes of right-angled triangles (0.7 is not;
/// Delaunay meshes stay stable up to 0.8), docs/stability.md; the set-up warns above it.
constexpr double kStableCfl = 0.65;

/// HYDRAULICS/PARAMETER with the defaults used when the command file is silent.
struct HydraulicParameters {
    double cfl = 0.5;
    double maxTimeStep = 2.0;          ///< [s]; CFL x this is the step of a dry domain (docs/stability.md)
    double minimumWaterDepth = 0.001;  ///< [m]
    double gravity = 9.81;             ///< [m/s^2]
    bool safeMode = false;             ///< true: a mass-balance failure ends the run
};

struct InitialCondition {
    enum class Kind { Dry, WaterSurface, IndexTable };
    struct Entry {
        std::vector<int> materials;
        double waterSurface = 0.0;  ///< [m]
        double qx = 0.0, qy = 0.0;  ///< specific discharge [m^2/s]
    };
    Kind kind = Kind::Dry;
    double waterSurface = 0.0;   ///< for Kind::WaterSurface [m]
    std::vector<Entry> entries;  ///< for Kind::IndexTable, first matching entry wins
};

struct FrictionSpec {
    bool on = false;
    int type = 0;               ///< closure code: 1 Manning, 2 Strickler, 3 log law, 4 large roughness
    double defaultValue = 0.0;  ///< in the closure's metric
    struct Region {
        std::vector<int> materials;
        double value = 0.0;
    };
    std::vector<Region> regions;  ///< later entries override earlier ones
};

enum class BoundaryType { Wall, DischargeInflow, WaterLevel, RatingCurve, NormalOutflow, FreeOutflow, IncidentWave };

struct BoundarySpec {
    std::string name;
    BoundaryType type = BoundaryType::Wall;
    std::string typeName;
    std::string string;            ///< name of the STRINGDEF string it lies on
    std::optional<Series> series;  ///< discharge, water_surface or rating, by type
    double slope = 0.0;            ///< bed slope for the normal depth [-]
    bool allowInflow = true;       ///< water_level only
    double stillLevel = 0.0;       ///< incident_wave: the water surface at rest [m]
};

enum class SourceType { Rain, Inflow };
enum class SinkMode { Exact, Available, Infinity };

struct SourceSpec {
    std::string name;
    SourceType type = SourceType::Rain;
    std::string region;  ///< name of the REGIONDEF region
    Series series;       ///< rain intensity [mm/h] or discharge [m^3/s] over time [s]
    SinkMode sink = SinkMode::Exact;
};

/// A value per material id: the default, overridden by the region entries in their order.
struct MaterialValues {
    double defaultValue = 0.0;
    struct Region {
        std::vector<int> materials;
        double value = 0.0;
    };
    std::vector<Region> regions;
};

/// Bed-load formulas; the code is what the transport kernel distinguishes (BeadloadType).
enum class BedloadFormula { MeyerPeterMueller = 1, ShieldsPowerLaw = 2, VelocityPowerLaw = 3, EngelundHansen = 4 };

enum class MorBoundaryType { Wall, BedLevel, SedimentInflow };
/// How a sediment inflow is spread over the string: evenly per metre, by water depth, by conveyance.
enum class SedimentDistribution { Uniform, Depth, Conveyance };

struct MorBoundarySpec {
    std::string name;
    MorBoundaryType type = MorBoundaryType::Wall;
    std::string string;            ///< name of the STRINGDEF string it lies on
    std::optional<Series> series;  ///< bed level [m] or sediment discharge [m^3/s of solids], over time [s]
    bool lowerLimit = true;        ///< bed_level: true keeps the bed from falling below the level, false from rising
    SedimentDistribution distribution = SedimentDistribution::Uniform;
    bool inflowOnly = true;  ///< sediment_inflow with a series: false lets a negative discharge remove sediment
};

struct MorSourceSpec {
    std::string name;
    std::string region;  ///< name of the REGIONDEF region
    Series series;       ///< bed volume added [m^3/s] over time [s] (negative removes)
    SinkMode sink = SinkMode::Exact;
};

/// The MORPHOLOGY block, with the defaults used when the command file is silent.
struct MorphologySpec {
    bool on = false;
    double startTime = 0.0;           ///< [s] from the start of the run's time axis
    double porosity = 0.4;            ///< [-]
    double fluidDensity = 1000.0;     ///< [kg/m^3]
    double sedimentDensity = 2650.0;  ///< [kg/m^3]
    MaterialValues grainSize;         ///< median grain size [m]
    BedloadFormula formula = BedloadFormula::MeyerPeterMueller;
    double coefficient = 8.0;  ///< A of A (x - x_cr)^B
    double exponent = 1.5;     ///< B
    double critical = 0.047;   ///< critical Shields value, or critical velocity [m/s] for the velocity law
    double factor = 1.0;       ///< calibration pre-factor of every sediment flux
    bool ikeda = false;
    double ikedaFactor = 0.0;
    bool curvature = false;
    double curvatureFactor = 0.0;
    bool incipientMotion = false;
    int incipientType = 1;        ///< 1 van Rijn, 2 Chen et al.
    double reposeAngle = 0.5236;  ///< [rad]
    bool fixedBed = false;
    bool fixedBedIsDepth = false;  ///< true: values are depths below the initial bed, false: elevations
    std::vector<MaterialValues::Region> fixedRegions;
    double fixedAccuracy = 0.001;  ///< [m]
    int fixedMaxIterations = 10;
    std::vector<MorBoundarySpec> boundaries;
    std::vector<MorSourceSpec> sources;
};

struct SetupDescription {
    std::string meshFile;  ///< resolved against the command file's folder
    std::vector<StringDef> strings;
    std::vector<RegionDef> regions;
    std::vector<GaugeDef> gauges;
    HydraulicParameters parameters;
    InitialCondition initial;
    FrictionSpec friction;
    std::vector<BoundarySpec> boundaries;
    std::vector<SourceSpec> sources;
    bool flood = false;
    MorphologySpec morphology;
    /// Located warnings ("<pointer>: Warning: <text>") for keys that a type does not use.
    std::vector<std::string> warnings;
};

/// Interprets a command file that passed the schema check. `baseDir` is the command file's folder, against
/// which relative file names are resolved. Throws SetupError for content the schema cannot catch (unknown
/// names, negative friction, bad series, two conditions on one string, missing keys of a type, ...).
SetupDescription readCommandFile(const nlohmann::json& doc, const std::string& baseDir);

/// Names of the boundary types in command-file spelling.
const char* boundaryTypeName(BoundaryType type);

}  // namespace setup
