// Model-file content built from a generated channel: edge sets, boundary data, initial state, friction,
// regions and sources, and the errors that need the mesh to be found.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>
#include <string>

#include "setup/Coding.hpp"
#include "setup/ModelBuilder.hpp"
#include "setup/SetupError.hpp"
#include "setup/mesh/MeshGenerator.hpp"
#include "support/Tolerance.hpp"

using model::DataID;
using model::MapID;
using model::SetID;
using nlohmann::json;
using namespace setup;

namespace {

/// 10 m x 2 m channel of 10 x 2 rectangles, bed falling towards +x; material 1 for x < 5, 2 beyond.
/// Adds an inner string "middle" at x = 5 from bottom to top.
TriMesh channel(int cellsX = 10, int cellsY = 2)
{
    RectangleSpec spec;
    spec.lengthX = 10.0;
    spec.lengthY = 2.0;
    spec.cellsX = cellsX;
    spec.cellsY = cellsY;
    spec.bed = BedShape::parse("slope:0.01:0");
    spec.materials = MaterialInterval::parseList("0:5:1,5:10:2");
    TriMesh mesh = generateRectangle(spec);
    NodeString middle;
    middle.name = "middle";
    for (int j = 0; j <= cellsY; ++j) middle.nodes.push_back(cellsX / 2 + j * (cellsX + 1));
    mesh.strings.push_back(middle);
    return mesh;
}

json lamina(const std::string& hydraulics)
{
    json doc = json::parse(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "channel.2dm",
                     "STRINGDEF": [{"name": "left"}, {"name": "right"}, {"name": "middle", "upstream_direction": "left"}],
                     "REGIONDEF": [{"name": "upper", "index": [1]}, {"name": "all", "index": [1, 2]}]}}}}})");
    doc["SETUP"]["DOMAIN"]["LAMINA_2D"]["HYDRAULICS"] = json::parse(hydraulics);
    return doc;
}

struct Built {
    TriMesh mesh;
    MeshGeometry geometry;
    SetupDescription description;
    ModelContent content;
};

Built build(const std::string& hydraulics, TriMesh mesh = channel())
{
    Built b;
    b.mesh = std::move(mesh);
    b.geometry = computeGeometry(b.mesh);
    b.description = readCommandFile(lamina(hydraulics), "");
    b.content = buildModelContent(b.mesh, b.geometry, b.description);
    return b;
}

std::string errorOf(const std::string& hydraulics, TriMesh mesh = channel())
{
    try {
        build(hydraulics, std::move(mesh));
    } catch (const SetupError& e) {
        return e.what();
    }
    return "";
}

/// Piecewise-linear lookup of n stored pairs, holding the end values.
float lookup(const float* xy, int n, float x)
{
    if (x <= xy[0]) return xy[1];
    for (int j = 1; j < n; ++j)
        if (x <= xy[2 * j])
            return xy[2 * j - 1] + (x - xy[2 * j - 2]) / (xy[2 * j] - xy[2 * j - 2]) * (xy[2 * j + 1] - xy[2 * j - 1]);
    return xy[2 * n - 1];
}

const char* kInflowOutflow = R"({
    "BOUNDARY": [{"name": "up", "type": "discharge_inflow", "string": "left", "discharge": [[0, 2.0], [100, 4.0]],
                  "slope": 0.01},
                 {"name": "down", "type": "water_level", "string": "right", "water_surface": [[0, 0.5]]}]})";

}  // namespace

TEST(SetupModelContent, EdgeSetsPartitionTheEdgesAndBoundaryEdgesNameTheirInnerCell)
{
    const Built b = build(kInflowOutflow);
    const auto& c = b.content;
    const auto& g = b.geometry;
    const auto& wall = c.maps.at(MapID::EdgHydWL_EdgesAll).ints;
    const auto& bc = c.maps.at(MapID::EdgHydBC_EdgesAll).ints;
    const auto& swe = c.maps.at(MapID::EdgesSWE_EdgesAll).ints;
    EXPECT_EQ(c.sets.at(SetID::EdgHydWL), static_cast<int>(wall.size()));
    EXPECT_EQ(c.sets.at(SetID::EdgHydBC), static_cast<int>(bc.size()));
    EXPECT_EQ(c.sets.at(SetID::EdgesSWE), static_cast<int>(swe.size()));
    std::multiset<int> all(wall.begin(), wall.end());
    all.insert(bc.begin(), bc.end());
    all.insert(swe.begin(), swe.end());
    ASSERT_EQ(static_cast<int>(all.size()), g.nEdges);
    EXPECT_EQ(static_cast<int>(std::set<int>(all.begin(), all.end()).size()), g.nEdges) << "an edge in two sets";

    // Two boundary strings of two edges each; the 20 other boundary edges are walls.
    EXPECT_EQ(bc.size(), 4u);
    EXPECT_EQ(wall.size(), 20u);
    const auto& bcCells = c.maps.at(MapID::EdgHydBC_CellsAll).ints;
    const auto& wallCells = c.maps.at(MapID::EdgHydWL_CellsAll).ints;
    for (std::size_t i = 0; i < bc.size(); ++i) {
        EXPECT_TRUE(g.isBoundary(bc[i]));
        EXPECT_EQ(bcCells[2 * i], g.edgeCells[2 * bc[i]]);
        EXPECT_EQ(bcCells[2 * i + 1], bcCells[2 * i]);
    }
    for (std::size_t i = 0; i < wall.size(); ++i) EXPECT_EQ(wallCells[i], g.edgeCells[2 * wall[i]]);
    const auto& sweCells = c.maps.at(MapID::EdgesSWE_CellsAll).ints;
    for (std::size_t i = 0; i < swe.size(); ++i) {
        EXPECT_EQ(sweCells[2 * i], g.edgeCells[2 * swe[i]]);
        EXPECT_EQ(sweCells[2 * i + 1], g.edgeCells[2 * swe[i] + 1]);
        EXPECT_NE(sweCells[2 * i], sweCells[2 * i + 1]);
    }
}

TEST(SetupModelContent, InflowDataRowDeliversTheSeriesDischargeIntoTheDomain)
{
    const Built b = build(kInflowOutflow);
    const auto& c = b.content;
    // Without friction the inflow uses the critical-depth code, with the factor that makes it enter.
    const auto& type = c.data.at(DataID::HydBType).ints;
    const auto& rowOf = c.maps.at(MapID::EdgHydBC_EdgeData).ints;
    const auto& bc = c.maps.at(MapID::EdgHydBC_EdgesAll).ints;
    ASSERT_EQ(c.sets.at(SetID::EdgeData), 2);
    ASSERT_EQ(c.sets.at(SetID::EdInterp), 2);
    ASSERT_EQ(c.sets.at(SetID::EdModDat), 1);
    ASSERT_EQ(c.sets.at(SetID::InSeries), 2);

    // Play the pipeline of the run at t = 50 s: interpolation, then modification, then the boundary flux.
    std::vector<float> rows = c.data.at(DataID::EdgeData_NumValue).floats;
    const auto& keys = c.data.at(DataID::EdInterp_KeyPostn).ints;
    const auto& series = c.data.at(DataID::InSeries_NumValue).floats;
    const auto& seriesOf = c.maps.at(MapID::EdInterp_InSeries).ints;
    const auto& used = c.data.at(DataID::InSeries_ListSize).ints;
    const auto& rowOfInterp = c.maps.at(MapID::EdInterp_EdgeData).ints;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(keys[2 * i], KeyTime);
        rows[7 * rowOfInterp[i] + keys[2 * i + 1]] =
            lookup(&series[static_cast<std::size_t>(seriesOf[i]) * 12000], used[seriesOf[i]] / 2, 50.0f);
    }
    const auto& info = c.data.at(DataID::EdModDat_ModfInfo).ints;
    ASSERT_EQ(info[0], ModSpecificDischarge);
    const int modRow = c.maps.at(MapID::EdModDat_EdgeData).ints[0];
    const int piece = c.maps.at(MapID::EdModDat_NodeStrg).ints[0];
    const float totalLen = c.data.at(DataID::TotalLen).floats[piece];
    rows[7 * modRow + info[1]] = rows[7 * modRow + info[2]] / totalLen;

    double inflow = 0.0;
    for (std::size_t i = 0; i < bc.size(); ++i) {
        if (type[2 * i] != CodeDischargeCriticalDepth) continue;
        EXPECT_EQ(type[2 * i + 1], -1);
        const float q = static_cast<float>(type[2 * i + 1]) * rows[7 * rowOf[i] + 2];  // outward mass flux [m^2/s]
        inflow -= q * b.geometry.geomLeng[bc[i]];
    }
    EXPECT_CLOSE(inflow, 3.0, 1e-6, 1e-5);  // the series' 3 m^3/s at t = 50 s, none lost on the string
    EXPECT_CLOSE(totalLen, 2.0, 1e-6, 1e-6);

    // The water level row: code 114, inflow allowed, level written at position 0.
    const auto down = std::find(type.begin(), type.end(), CodeWaterLevel) - type.begin();
    ASSERT_LT(down, static_cast<long>(type.size()));
    EXPECT_EQ(rows[7 * rowOf[down / 2] + 1], 1.0f);
    EXPECT_EQ(rows[7 * rowOf[down / 2] + 0], 0.5f);
}

TEST(SetupModelContent, FrictionSelectsTheNormalDepthCodesAndPerCellValues)
{
    const Built b = build(R"({
        "FRICTION": {"type": "manning", "default_friction": 0.03, "regions": [{"index": [2], "friction": 0.05}]},
        "BOUNDARY": [{"name": "up", "type": "discharge_inflow", "string": "left", "discharge": [[0, 1]], "slope": 0.002},
                     {"name": "down", "type": "normal_outflow", "string": "right", "slope": 0.004}]})");
    const auto& c = b.content;
    const auto& type = c.data.at(DataID::HydBType).ints;
    const auto& rows = c.data.at(DataID::EdgeData_NumValue).floats;
    const auto& rowOf = c.maps.at(MapID::EdgHydBC_EdgeData).ints;
    std::set<int> codes;
    for (std::size_t i = 0; i < rowOf.size(); ++i) {
        codes.insert(type[2 * i]);
        if (type[2 * i] == CodeDischargeNormalDepth) {
            EXPECT_EQ(rows[7 * rowOf[i] + 1], 0.002f);
        }
        if (type[2 * i] == CodeNormalOutflow) {
            EXPECT_EQ(rows[7 * rowOf[i] + 0], 0.004f);
        }
    }
    EXPECT_EQ(codes, (std::set<int>{CodeDischargeNormalDepth, CodeNormalOutflow}));
    const auto& friction = c.data.at(DataID::Friction).floats;
    for (int cell = 0; cell < b.geometry.nCells; ++cell)
        EXPECT_EQ(friction[cell], b.geometry.material[cell] == 2 ? 0.05f : 0.03f) << "cell " << cell;
    EXPECT_EQ(c.parameters.at(model::ParameterID::FrictionOn).values[0], 1.0);
    EXPECT_EQ(c.parameters.at(model::ParameterID::FrictionType).values[0], 1.0);
}

TEST(SetupModelContent, InitialStateIsDryWhereTheLevelIsBelowTheBed)
{
    // Bed from 0.1 m (x = 0) to 0 m (x = 10); material 1 filled to 0.08 m: only its lower cells are wet.
    const Built b = build(R"({"INITIAL": {"type": "index_table",
        "values": [{"index": [1], "water_surface": 0.08, "discharge": [0.1, 0.0]}]}})");
    const auto& g = b.geometry;
    const auto& state = b.content.data.at(DataID::HydState).floats;
    int wet = 0;
    for (int cell = 0; cell < g.nCells; ++cell) {
        const float zb = g.bottomEl[cell];
        const bool shouldBeWet = g.material[cell] == 1 && zb < 0.08f;
        EXPECT_EQ(state[3 * cell], shouldBeWet ? 0.08f : zb) << "cell " << cell;
        EXPECT_EQ(state[3 * cell + 1], shouldBeWet ? 0.1f : 0.0f) << "cell " << cell;
        wet += shouldBeWet;
    }
    EXPECT_GT(wet, 0);
    EXPECT_LT(wet, g.nCells / 2);
    EXPECT_EQ(b.content.parameters.at(model::ParameterID::RefBottomEl).values[0],
              *std::min_element(g.bottomEl.begin(), g.bottomEl.end()));
}

TEST(SetupModelContent, SourcesCoverTheCellsOfTheirRegion)
{
    const Built b = build(R"({"SOURCE": [
        {"name": "rain", "type": "rain", "region": "all", "intensity": [[0, 36]]},
        {"name": "well", "type": "inflow", "region": "upper", "discharge": [[0, -0.5]], "sink": "infinity"}]})");
    const auto& c = b.content;
    const auto& g = b.geometry;
    ASSERT_EQ(c.sets.at(SetID::MatIDRgn), 2);
    const auto& area = c.data.at(DataID::MatIDRgn_GeomArea).floats;
    EXPECT_CLOSE(area[0], 10.0, 1e-6, 1e-6);
    EXPECT_CLOSE(area[1], 20.0, 1e-6, 1e-6);
    const int upperCells = static_cast<int>(std::count(g.material.begin(), g.material.end(), 1));
    ASSERT_EQ(c.sets.at(SetID::ClHydSrc), g.nCells + upperCells);
    const auto& sink = c.data.at(DataID::ClHydSrc_SinkType).ints;
    const auto& cells = c.maps.at(MapID::ClHydSrc_CellsAll).ints;
    const auto& rowOf = c.maps.at(MapID::ClHydSrc_CellData).ints;
    for (int i = 0; i < c.sets.at(SetID::ClHydSrc); ++i) {
        EXPECT_EQ(sink[i], rowOf[i] == 0 ? 10 : 22);
        if (rowOf[i] == 1) {
            EXPECT_EQ(g.material[cells[i]], 1);
        }
    }
    EXPECT_EQ(c.data.at(DataID::ClModDat_ModfInfo).ints[0], ModMillimetresPerHour);
    EXPECT_EQ(c.data.at(DataID::ClModDat_ModfInfo).ints[7], ModPerRegionArea);
    EXPECT_EQ(c.maps.at(MapID::ClModDat_MatIDRgn).ints, (std::vector<int>{1, 0}));
}

TEST(SetupModelContent, MeshDependentErrorsNameTheItem)
{
    EXPECT_EQ(errorOf(R"({"BOUNDARY": [{"name": "weir", "type": "free_outflow", "string": "middle"}]})"),
              "boundary <weir>: string <middle> does not lie on the domain boundary");
    EXPECT_EQ(errorOf(R"({"SOURCE": [{"name": "r", "type": "rain", "region": "all", "intensity": [[0, 1]]}]})",
                      [] {
                          TriMesh m = channel();
                          for (auto& id : m.material) id = 1;
                          return m;
                      }()),
              "region <all>: no triangle has material id 2");
    EXPECT_EQ(errorOf(R"({"FRICTION": {"type": "manning", "default_friction": 0.03,
                                       "regions": [{"index": [7], "friction": 0.05}]}})"),
              "FRICTION: regions entry 0 names material id 7, which no triangle has");
    EXPECT_EQ(
        errorOf(R"({"BOUNDARY": [{"name": "out", "type": "normal_outflow", "string": "right", "slope": 0.01}]})"),
        "boundary <out>: type 'normal_outflow' needs the FRICTION block (the normal depth uses the friction law)");
    TriMesh noMiddle = channel();
    noMiddle.strings.pop_back();
    EXPECT_EQ(errorOf(R"({"BOUNDARY": [{"name": "w", "type": "wall", "string": "middle"}]})", noMiddle),
              "boundary <w>: string <middle> does not exist in the mesh <generated rectangle>");
    // 41 edges on "left": two pieces, which a rating curve cannot use.
    EXPECT_EQ(errorOf(R"({"BOUNDARY": [{"name": "out", "type": "rating_curve", "string": "left",
                                        "rating": [[0, 0], [10, 1]]}]})",
                      channel(2, 41)),
              "boundary <out>: a rating curve needs a string of at most 40 edges, <left> has more");
}

TEST(SetupModelContent, LongStringsAreCutButKeepTheirWholeLength)
{
    const Built b = build(R"({"BOUNDARY": [{"name": "up", "type": "discharge_inflow", "string": "left",
                                             "discharge": [[0, 1]], "slope": 0.01}]})",
                          channel(2, 45));
    const auto& c = b.content;
    // left, right (two pieces each) and middle (two pieces).
    ASSERT_EQ(c.sets.at(SetID::NodeStrg), 6);
    EXPECT_EQ(c.data.at(DataID::NodeStrg_ListSize).ints, (std::vector<int>{40, 5, 40, 5, 40, 5}));
    for (float len : c.data.at(DataID::TotalLen).floats) EXPECT_CLOSE(len, 2.0, 1e-6, 1e-6);
    EXPECT_EQ(c.sets.at(SetID::EdgHydBC), 45);
    EXPECT_EQ(c.sets.at(SetID::EdgeData), 1);
    EXPECT_EQ(c.stringNames.front(), "left");
}

/// Gauges inside a triangle, on an inner edge, on an inner node and on the domain's corners each get a cell whose
/// triangle holds the point (its three sub-triangles fill the cell's area); a point just outside the mesh and a
/// name given twice are errors naming the entry.
TEST(SetupModelContent, GaugesFindTheCellHoldingTheirPointAndAPointOutsideIsNamed)
{
    const TriMesh mesh = channel();
    const MeshGeometry g = computeGeometry(mesh);
    const auto gaugesAt = [&](const char* points) {
        json doc = lamina("{}");
        doc["SETUP"]["DOMAIN"]["LAMINA_2D"]["GEOMETRY"]["GAUGEDEF"] = json::parse(points);
        return buildModelContent(mesh, g, readCommandFile(doc, "")).gauges;
    };
    const auto found = gaugesAt(R"([{"name": "in", "x": 2.3, "y": 0.4}, {"name": "edge", "x": 5, "y": 0.5},
                                    {"name": "node", "x": 4, "y": 1}, {"name": "low", "x": 0, "y": 0},
                                    {"name": "high", "x": 10, "y": 2}])");
    ASSERT_EQ(found.size(), 5u);
    const auto twiceArea = [](double ax, double ay, double bx, double by, double cx, double cy) {
        return std::abs((bx - ax) * (cy - ay) - (by - ay) * (cx - ax));
    };
    for (const auto& gauge : found) {
        ASSERT_GE(gauge.cell, 0) << gauge.name;
        ASSERT_LT(gauge.cell, g.nCells) << gauge.name;
        const int* n = &g.topology[3 * static_cast<std::size_t>(gauge.cell)];
        double x[3], y[3];
        for (int k = 0; k < 3; ++k) x[k] = mesh.x[n[k]], y[k] = mesh.y[n[k]];
        const double whole = twiceArea(x[0], y[0], x[1], y[1], x[2], y[2]);
        double parts = 0.0;
        for (int k = 0; k < 3; ++k)
            parts += twiceArea(gauge.x, gauge.y, x[k], y[k], x[(k + 1) % 3], y[(k + 1) % 3]);
        EXPECT_NEAR(parts, whole, 1e-12 * whole) << gauge.name;
    }
    const auto errorFor = [&](const char* points) {
        try {
            gaugesAt(points);
        } catch (const SetupError& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(errorFor(R"([{"name": "in", "x": 2, "y": 1}, {"name": "far", "x": 10.001, "y": 1}])"),
              "/SETUP/DOMAIN/LAMINA_2D/GEOMETRY/GAUGEDEF/1: gauge <far> at (10.001, 1) lies outside the mesh "
              "<channel.2dm>");
    EXPECT_EQ(errorFor(R"([{"name": "a", "x": 2, "y": 1}, {"name": "a", "x": 3, "y": 1}])"),
              "/SETUP/DOMAIN/LAMINA_2D/GEOMETRY/GAUGEDEF/1/name: gauge <a> is defined twice in GAUGEDEF");
}
