// Morphological model-file content from a generated channel: per-cell bed material and fixed bed, the
// morphological edge sets and boundary rows beside the hydraulic ones, sediment sources, parameters, and errors.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "setup/Coding.hpp"
#include "setup/ModelBuilder.hpp"
#include "setup/SetupError.hpp"
#include "setup/mesh/MeshGenerator.hpp"
#include "support/Tolerance.hpp"

using model::DataID;
using model::MapID;
using model::ParameterID;
using model::SetID;
using nlohmann::json;
using namespace setup;

namespace {

/// 10 m x 2 m channel of 10 x 2 rectangles, bed 0.1 - 0.01 x; material 1 for x < 5, 2 beyond.
TriMesh channel()
{
    RectangleSpec spec;
    spec.lengthX = 10.0;
    spec.lengthY = 2.0;
    spec.cellsX = 10;
    spec.cellsY = 2;
    spec.bed = BedShape::parse("slope:0.01:0");
    spec.materials = MaterialInterval::parseList("0:5:1,5:10:2");
    return generateRectangle(spec);
}

const char* kHydraulics = R"({"FRICTION": {"type": "manning", "default_friction": 0.03},
    "BOUNDARY": [{"name": "up", "type": "discharge_inflow", "string": "left", "discharge": [[0, 2.0]], "slope": 0.01},
                 {"name": "down", "type": "free_outflow", "string": "right"}]})";

json document(const std::string& morphology, const std::string& hydraulics = kHydraulics)
{
    json doc = json::parse(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "channel.2dm", "STRINGDEF": [{"name": "left"}, {"name": "right"}],
                     "REGIONDEF": [{"name": "upper", "index": [1]}, {"name": "lower", "index": [2]}]}}}}})");
    auto& lamina = doc["SETUP"]["DOMAIN"]["LAMINA_2D"];
    lamina["HYDRAULICS"] = json::parse(hydraulics);
    lamina["MORPHOLOGY"] = json::parse(morphology);
    return doc;
}

struct Built {
    TriMesh mesh = channel();
    MeshGeometry geometry;
    SetupDescription description;
    ModelContent content;
};

Built build(const std::string& morphology, const std::string& hydraulics = kHydraulics)
{
    Built b;
    b.geometry = computeGeometry(b.mesh);
    b.description = readCommandFile(document(morphology, hydraulics), "");
    b.content = buildModelContent(b.mesh, b.geometry, b.description);
    return b;
}

std::string errorOf(const std::string& morphology, const std::string& hydraulics = kHydraulics)
{
    try {
        build(morphology, hydraulics);
    } catch (const SetupError& e) {
        return e.what();
    }
    return "";
}

double parameter(const Built& b, ParameterID id, std::size_t k = 0) { return b.content.parameters.at(id).values.at(k); }

}  // namespace

TEST(SetupMorphologyContent, BedMaterialAndFixedBedPerMaterialId)
{
    const Built b = build(R"({"PARAMETER": {"start_time": 30, "porosity": 0.35},
        "BEDMATERIAL": {"grain_size": 0.002, "regions": [{"index": [2], "grain_size": 0.004}],
                        "FIXED_BED": {"type": "depth", "regions": [{"index": [2], "value": 0.05}], "accuracy": 0.01,
                                      "max_iterations": 4}},
        "BEDLOAD": {"formula": "meyer_peter_mueller", "critical": 0.05}})");
    const auto& g = b.geometry;
    const auto& size = b.content.data.at(DataID::MSedSize).floats;
    const auto& theta = b.content.data.at(DataID::ThetaCrt).floats;
    int lower = 0;
    for (int c = 0; c < g.nCells; ++c) {
        EXPECT_FLOAT_EQ(size[c], g.material[c] == 2 ? 0.004f : 0.002f) << "cell " << c;
        EXPECT_FLOAT_EQ(theta[c], 0.05f);
        lower += g.material[c] == 2 ? 1 : 0;
    }
    // Only the cells of material 2 have a layer, 5 cm below their own initial bed; each row maps to its cell's edges.
    ASSERT_EQ(b.content.sets.at(SetID::CellsFix), lower);
    const auto& cells = b.content.maps.at(MapID::CellsFix_CellsAll).ints;
    const auto& edges = b.content.maps.at(MapID::CellsFix_EdgesAll).ints;
    const auto& fixed = b.content.data.at(DataID::FixBedEl).floats;
    for (int f = 0; f < lower; ++f) {
        EXPECT_EQ(g.material[cells[f]], 2);
        EXPECT_CLOSE(fixed[f], g.bottomEl[cells[f]] - 0.05, 1e-6, 0.0);
        for (int j = 0; j < 3; ++j) EXPECT_EQ(edges[3 * f + j], g.cellEdges[3 * cells[f] + j]);
    }
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::MorphStart), 30.0);
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::BedPorosity), 0.35);
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::FixBedAccuracy), 0.01);
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::FixBedMaxIter), 4.0);
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::BeadloadType), 1.0);
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::BedloadCoeff), 8.0);
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::BedloadExpon), 1.5);
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::ThetaCritical), 0.05);
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::BedloadInts, 0), 0.0);
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::BedloadInts, 1), 0.0);

    // Elevations are taken as given.
    const Built e = build(R"({"BEDMATERIAL": {"grain_size": 0.002,
        "FIXED_BED": {"type": "elevation", "regions": [{"index": [1, 2], "value": -1.5}]}},
        "BEDLOAD": {"formula": "velocity_power_law", "coefficient": 0.1, "exponent": 3, "critical": 0.2},
        "INCIPIENT_MOTION": {"formula": "chen", "repose_angle": 30}})");
    EXPECT_EQ(e.content.sets.at(SetID::CellsFix), e.geometry.nCells);
    for (float z : e.content.data.at(DataID::FixBedEl).floats) EXPECT_FLOAT_EQ(z, -1.5f);
    EXPECT_DOUBLE_EQ(parameter(e, ParameterID::BeadloadType), 3.0);
    EXPECT_DOUBLE_EQ(parameter(e, ParameterID::IncipientMotType), 2.0);
    EXPECT_CLOSE(parameter(e, ParameterID::ReposeAngle), 0.5235987755982988, 1e-12, 0.0);
}

TEST(SetupMorphologyContent, BoundaryRowsFollowTheHydraulicOnesAndEdgeSetsPartitionTheEdges)
{
    const Built b = build(R"({"BEDMATERIAL": {"grain_size": 0.002},
        "BEDLOAD": {"formula": "meyer_peter_mueller", "DIRECTION": {"IKEDA": {}, "CURVATURE": {"factor": 5}},
          "BOUNDARY": [{"name": "feed", "type": "sediment_inflow", "string": "left", "discharge": [[0, 0.01]]},
                       {"name": "keep", "type": "bed_level", "string": "right", "limit": "upper"}]}})");
    const auto& g = b.geometry;
    const auto& c = b.content;
    // One hydraulic row (the inflow; free outflow has a row too), then the feed's row, then one row per edge of
    // the bed level without a series.
    const int hydraulicRows = 2;
    const int bcEdges = c.sets.at(SetID::EdgMorBC);
    EXPECT_EQ(bcEdges, 4);
    EXPECT_EQ(c.sets.at(SetID::EdgeData), hydraulicRows + 1 + 2);
    EXPECT_EQ(c.data.at(DataID::EdgeData_NumValue).rows, c.sets.at(SetID::EdgeData));
    const auto& type = c.data.at(DataID::MorBType).ints;
    const auto& row = c.maps.at(MapID::EdgMorBC_EdgeData).ints;
    const auto& edges = c.maps.at(MapID::EdgMorBC_EdgesAll).ints;
    const auto& values = c.data.at(DataID::EdgeData_NumValue).floats;
    for (int k = 0; k < bcEdges; ++k) {
        const int inner = g.edgeCells[2 * edges[k]];
        EXPECT_EQ(c.maps.at(MapID::EdgMorBC_CellsAll).ints[2 * k], inner);
        EXPECT_EQ(c.maps.at(MapID::EdgMorBC_CellsAll).ints[2 * k + 1], inner);
        if (type[2 * k] == CodeInflowPerLength) {
            EXPECT_EQ(type[2 * k + 1], -1) << "a positive inflow must enter";
            EXPECT_EQ(row[k], hydraulicRows);
        } else {
            EXPECT_EQ(type[2 * k], CodeBedLevelUpper);
            EXPECT_GT(row[k], hydraulicRows);
            EXPECT_FLOAT_EQ(values[7 * row[k]], g.bottomEl[inner]) << "the level is the cell's initial bed";
        }
    }
    // The feed's series writes D[4] of its row and the modification divides it by the string length into D[1].
    const auto& key = c.data.at(DataID::EdInterp_KeyPostn).ints;
    const auto& interpRow = c.maps.at(MapID::EdInterp_EdgeData).ints;
    ASSERT_EQ(c.sets.at(SetID::EdInterp), 2);
    EXPECT_EQ(interpRow[1], hydraulicRows);
    EXPECT_EQ(key[2], KeyTime);
    EXPECT_EQ(key[3], 4);
    const auto& info = c.data.at(DataID::EdModDat_ModfInfo).ints;
    ASSERT_EQ(c.sets.at(SetID::EdModDat), 2);
    EXPECT_EQ(info[7], ModSpecificDischarge);
    EXPECT_EQ(info[8], 1);
    EXPECT_EQ(info[9], 4);

    // Every boundary edge is a morphological wall or carries a condition; all internal edges are Exner edges.
    std::set<int> seen(edges.begin(), edges.end());
    for (int e : c.maps.at(MapID::EdgMorWL_EdgesAll).ints) EXPECT_TRUE(seen.insert(e).second) << "edge " << e;
    EXPECT_EQ(seen.size(), g.boundaryEdges.size());
    EXPECT_EQ(c.maps.at(MapID::EdgesEXN_EdgesAll).ints, g.internalEdges);
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::BedloadIkeda), 0.45);
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::BedloadCurvature), 5.0);
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::BedloadInts, 0), 1.0);
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::BedloadInts, 1), 1.0);
}

TEST(SetupMorphologyContent, InflowFormsSelectCodesAndModifications)
{
    auto coding = [](const std::string& spec) {
        MorBoundarySpec b;
        const json j = json::parse(spec);
        b.name = "b";
        b.type = MorBoundaryType::SedimentInflow;
        if (j.contains("series")) b.series = Series{"s", {{0.0, 1.0}}, ""};
        if (j.contains("depth")) b.distribution = SedimentDistribution::Depth;
        if (j.contains("conveyance")) b.distribution = SedimentDistribution::Conveyance;
        if (j.contains("both")) b.inflowOnly = false;
        return codeMorBoundary(b, true);
    };
    auto c = coding(R"({})");  // equilibrium: the capacity of the string per metre
    EXPECT_EQ(c.code, CodeInflowPerLength);
    EXPECT_EQ(c.modifications.at(0).type, ModCapacityPerLength);
    EXPECT_TRUE(c.interpolations.empty());
    EXPECT_TRUE(c.needsSinglePiece);
    c = coding(R"({"series": 1, "depth": 1})");
    EXPECT_EQ(c.code, CodeInflowPerDepth);
    EXPECT_EQ(c.modifications.at(0).type, ModPerWettedArea);
    EXPECT_EQ(c.factor, -1);
    c = coding(R"({"series": 1, "conveyance": 1, "both": 1})");
    EXPECT_EQ(c.code, CodeExchangePerConveyance);
    EXPECT_EQ(c.modifications.at(0).type, ModPerConveyance);
    EXPECT_FLOAT_EQ(c.values[0], 1.0f);
    EXPECT_EQ(c.factor, 1);
    c = coding(R"({"series": 1})");
    EXPECT_FALSE(c.needsSinglePiece) << "the whole length of a long string is known";
}

TEST(SetupMorphologyContent, SedimentSourcesReadTheFixedBedOfTheirCells)
{
    const Built b = build(R"({"BEDMATERIAL": {"grain_size": 0.002,
        "FIXED_BED": {"type": "depth", "regions": [{"index": [2], "value": 0.1}]}},
        "BEDLOAD": {"formula": "meyer_peter_mueller"},
        "SOURCE": [{"name": "dump", "region": "upper", "discharge": [[0, 0.001]]},
                   {"name": "dredge", "region": "lower", "discharge": [[0, -0.001]], "sink": "available"}]})",
                          R"({"FRICTION": {"type": "manning", "default_friction": 0.03},
                              "SOURCE": [{"name": "rain", "type": "rain", "region": "upper", "intensity": [[0, 5]]}]})");
    const auto& c = b.content;
    const auto& g = b.geometry;
    // All cells are source cells; CellsFix holds them all, the upper ones without a layer (far below the bed).
    ASSERT_EQ(c.sets.at(SetID::ClMorSrc), g.nCells);
    ASSERT_EQ(c.sets.at(SetID::CellsFix), g.nCells);
    const auto& srcCell = c.maps.at(MapID::ClMorSrc_CellsAll).ints;
    const auto& srcFix = c.maps.at(MapID::ClMorSrc_CellsFix).ints;
    const auto& srcRow = c.maps.at(MapID::ClMorSrc_CellData).ints;
    const auto& sink = c.data.at(DataID::ClMorSrc_SinkType).ints;
    for (int s = 0; s < g.nCells; ++s) {
        const int cell = srcCell[s];
        EXPECT_EQ(c.maps.at(MapID::CellsFix_CellsAll).ints[srcFix[s]], cell);
        const float fix = c.data.at(DataID::FixBedEl).floats[srcFix[s]];
        if (g.material[cell] == 2) {
            EXPECT_CLOSE(fix, g.bottomEl[cell] - 0.1, 1e-6, 0.0);
            EXPECT_EQ(sink[s], 31);
            EXPECT_EQ(srcRow[s], 2) << "after the rain's row and the dump's row";
        } else {
            EXPECT_LT(fix, -1e9f);
            EXPECT_EQ(sink[s], 30);
            EXPECT_EQ(srcRow[s], 1);
        }
    }
    EXPECT_EQ(c.sets.at(SetID::CellData), 3);
    EXPECT_EQ(c.sets.at(SetID::ClModDat), 3);
    EXPECT_EQ(c.data.at(DataID::ClModDat_ModfInfo).ints[7], ModPerRegionArea);
    EXPECT_EQ(c.sets.at(SetID::InSeries), 3) << "rain, dump and dredge";
}

TEST(SetupMorphologyContent, ErrorsNameTheItem)
{
    EXPECT_EQ(
        errorOf(R"({"BEDMATERIAL": {"grain_size": 0.002}, "BEDLOAD": {"formula": "meyer_peter_mueller"}})", R"({})"),
        "BEDLOAD: the formula 'meyer_peter_mueller' needs the FRICTION block (it uses the bed shear stress of "
        "the friction law)");
    EXPECT_EQ(errorOf(R"({"BEDMATERIAL": {"grain_size": 0.002}, "BEDLOAD": {"formula": "shields_power_law"}})"),
              "/SETUP/DOMAIN/LAMINA_2D/MORPHOLOGY/BEDLOAD/coefficient: this item is required but missing");
    EXPECT_EQ(errorOf(R"({"BEDMATERIAL": {"grain_size": 0.002}, "BEDLOAD": {"formula": "meyer_peter_mueller"},
                          "SOURCE": [{"name": "s", "region": "upper", "discharge": [[0, -1]], "sink": "infinity"}]})"),
              "morphological source <s>: sink 'infinity' needs a FIXED_BED on every cell of region <upper>");
    EXPECT_EQ(errorOf(R"({"BEDMATERIAL": {"grain_size": 0.002}, "BEDLOAD": {"formula": "meyer_peter_mueller",
                          "BOUNDARY": [{"name": "a", "type": "wall", "string": "left"},
                                       {"name": "b", "type": "bed_level", "string": "left"}]}})"),
              "string <left> carries two morphological conditions: <a> and <b>");
    EXPECT_EQ(errorOf(R"({"BEDMATERIAL": {"grain_size": 0.002,
                          "FIXED_BED": {"type": "depth", "regions": [{"index": [7], "value": 0.1}]}},
                          "BEDLOAD": {"formula": "meyer_peter_mueller"}})"),
              "FIXED_BED: regions entry 0 names material id 7, which no triangle has");
    EXPECT_EQ(errorOf(R"({"PARAMETER": {"sediment_density": 900}, "BEDMATERIAL": {"grain_size": 0.002},
                          "BEDLOAD": {"formula": "meyer_peter_mueller"}})"),
              "/SETUP/DOMAIN/LAMINA_2D/MORPHOLOGY/PARAMETER/sediment_density: the sediment must be denser than the "
              "fluid");
}
