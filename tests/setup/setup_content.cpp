// The set-up's own parts on a generated channel: the command file read into records (defaults, warnings), series,
// the model-file content (edge sets, strings, friction, initial state, gauges, morphology), and every located
// error of the command file, the series and the mesh-dependent checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "setup/ChannelCase.hpp"
#include "setup/Coding.hpp"
#include "setup/ModelBuilder.hpp"
#include "setup/Series.hpp"
#include "setup/SetupError.hpp"
#include "support/Tolerance.hpp"

using model::DataID;
using model::MapID;
using model::ParameterID;
using model::SetID;
using nlohmann::json;
using namespace setup;

namespace {

const std::string kPath = "/SETUP/DOMAIN/LAMINA_2D/";

/// Channel 10 m x 2 m of cellsX x cellsY rectangles, bed 0.1 - 0.01 x; material 1 for x < 5, 2 beyond; strings
/// left, right, bottom, top and the inner "middle" at x = 5 from bottom to top.
TriMesh channel(int cellsX = 10, int cellsY = 2)
{
    TriMesh mesh = setuptest::channel(10.0, 2.0, cellsX, cellsY, "slope:0.01:0", "0:5:1,5:10:2");
    NodeString middle{"middle", {}, 0};
    for (int j = 0; j <= cellsY; ++j) middle.nodes.push_back(cellsX / 2 + j * (cellsX + 1));
    mesh.strings.push_back(middle);
    return mesh;
}

/// The command file of the channel with `patch` merged into LAMINA_2D (a JSON merge patch: lists are replaced).
json document(const std::string& patch)
{
    json doc = json::parse(R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "channel.2dm",
                     "STRINGDEF": [{"name": "left"}, {"name": "right"},
                                   {"name": "middle", "upstream_direction": "left"}],
                     "REGIONDEF": [{"name": "upper", "index": [1]}, {"name": "lower", "index": [2]},
                                   {"name": "all", "index": [1, 2]}]},
        "HYDRAULICS": {}}}}})");
    doc["SETUP"]["DOMAIN"]["LAMINA_2D"].merge_patch(json::parse(patch));
    return doc;
}

struct Built {
    TriMesh mesh;
    MeshGeometry geometry;
    SetupDescription description;
    ModelContent content;
};

Built build(const std::string& patch, TriMesh mesh = channel(), const std::string& dir = "")
{
    Built b;
    b.mesh = std::move(mesh);
    b.geometry = computeGeometry(b.mesh);
    b.description = readCommandFile(document(patch), dir);
    b.content = buildModelContent(b.mesh, b.geometry, b.description);
    return b;
}

double parameter(const Built& b, ParameterID id, std::size_t k = 0) { return b.content.parameters.at(id).values.at(k); }

/// The least MORPHOLOGY keys, with the BEDLOAD object left open for more keys.
const std::string kMorphology = R"("BEDMATERIAL": {"grain_size": 0.002}, "BEDLOAD": {"formula": "meyer_peter_mueller")";

}  // namespace

TEST(SetupCommandFile, DefaultsPathsAndLocatedWarnings)
{
    // Without the optional blocks: the documented defaults, a dry start, no friction, no flood tracking and no
    // warning; the mesh is looked for beside the command file unless its path is absolute.
    const auto d = readCommandFile(document("{}"), "/case");
    EXPECT_EQ(d.meshFile, "/case/channel.2dm");
    EXPECT_EQ(readCommandFile(document(R"({"GEOMETRY": {"mesh_file": "/m/a.2dm"}})"), "/case").meshFile, "/m/a.2dm");
    const auto& p = d.parameters;
    EXPECT_TRUE(p.cfl == 0.5 && p.maxTimeStep == 2.0 && p.minimumWaterDepth == 0.001 && p.gravity == 9.81);
    EXPECT_FALSE(p.safeMode || d.friction.on || d.flood || d.initial.kind != InitialCondition::Kind::Dry);
    EXPECT_TRUE(d.warnings.empty() && d.strings.at(0).upstream == UpstreamSide::Automatic &&
                d.strings.at(2).upstream == UpstreamSide::Left);

    // Keys that another type does not use, and a CFL above the largest one measured stable.
    const auto w = readCommandFile(document(R"({"HYDRAULICS": {"PARAMETER": {"CFL": 0.9}, "BOUNDARY": [
        {"name": "out", "type": "free_outflow", "string": "right", "slope": 0.01, "rating": [[0, 1]]}]}})"),
                                   "");
    const std::string warning = ": Warning: The value of this item will not be used.";
    EXPECT_EQ(w.warnings, (std::vector<std::string>{
                              kPath + "HYDRAULICS/PARAMETER/CFL: Warning: CFL 0.9 is above 0.65, the largest CFL "
                                      "measured stable; the run may oscillate, lose water or stall",
                              kPath + "HYDRAULICS/BOUNDARY/0/rating" + warning,
                              kPath + "HYDRAULICS/BOUNDARY/0/slope" + warning}));
    const json stable = {{"HYDRAULICS", {{"PARAMETER", {{"CFL", kStableCfl}}}}}};
    EXPECT_TRUE(readCommandFile(document(stable.dump()), "").warnings.empty());
}

TEST(SetupSeries, InlinePairsAndFilesGiveTheSamePoints)
{
    testsupport::ScratchDir dir("setup-series");
    dir.write("q.txt", "# time discharge\n0 1.5\n\n10,\t2.5\n  # comment\n20\t3\r\n");
    const auto inlined = readSeries(json::parse("[[0, 1.5], [10, 2.5], [20, 3]]"), "", "s");
    EXPECT_EQ(inlined.points, readSeries(json{{"file", "q.txt"}}, dir.path(), "s").points);
    EXPECT_EQ(inlined.points.at(1), std::make_pair(10.0, 2.5));
    // 6000 pairs are allowed (6001 are not: a row of SetupErrors).
    json full = json::array();
    for (int i = 0; i < 6000; ++i) full.push_back({i, 1.0});
    EXPECT_EQ(readSeries(full, "", "s").points.size(), 6000u);
}

/// Every error of the command file, its series and the checks that need the mesh names the item (its path in the
/// command file, or the boundary, source, region or string) and why. "" marks a case that must be accepted.
TEST(SetupErrors, NameTheItem)
{
    testsupport::ScratchDir dir("setup-errors");
    dir.write("a.txt", "0 1\n5 2 3\n");  // series lines that do not hold exactly two numbers
    dir.write("b.txt", "0 1\nfive 2\n");
    dir.write("c.txt", "0 1\n7\n");
    std::string longSeries = "[[0, 1]";
    for (int i = 1; i < 6001; ++i) longSeries += ", [" + std::to_string(i) + ", 1]";
    auto h = [](const std::string& block) { return R"({"HYDRAULICS": )" + block + "}"; };
    auto b = [&](const std::string& list) { return h(R"({"BOUNDARY": )" + list + "}"); };
    auto q = [&](const std::string& series) {
        return b(R"([{"name": "up", "type": "discharge_inflow", "string": "left", "slope": 0.01, "discharge": )" +
                 series + "}]");
    };
    auto f = [&](const std::string& friction) { return h(R"({"FRICTION": )" + friction + "}"); };
    auto mor = [](const std::string& block) {
        return R"({"HYDRAULICS": {"FRICTION": {"type": "manning", "default_friction": 0.03}}, "MORPHOLOGY": )" +
               block + "}";
    };
    const std::string hyd = kPath + "HYDRAULICS/", series = "boundary <up>: discharge: ";
    const std::string frictionless = "; leave FRICTION out for a frictionless run";
    const std::string increase = "the abscissae must increase, but pair ";
    const std::string twoNumbers = "> must hold exactly two numbers";
    const std::string materialId = kPath + "GEOMETRY/REGIONDEF/0/index/1: a material id must be a whole number from 0 "
                                           "to 2147483647";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {b(R"([{"name": "a", "type": "wall", "string": "nowhere"}])"),
         "boundary <a>: string <nowhere> is not defined in STRINGDEF"},
        {b(R"([{"name": "a", "type": "weir", "string": "left"}])"), "boundary <a>: unknown boundary type 'weir'"},
        {b(R"([{"name": "a", "type": "water_level", "string": "left"}])"),
         hyd + "BOUNDARY/0/water_surface: this item is required but missing"},
        {b(R"([{"name": "a", "type": "normal_outflow", "string": "left", "slope": 0}])"),
         "boundary <a>: slope must be greater than 0"},
        {b(R"([{"name": "a", "type": "water_level", "string": "left", "water_surface": [[0,1]], "allow_inflow": 1}])"),
         hyd + "BOUNDARY/0/allow_inflow: this value must be true or false"},
        {b(R"([{"name": "a", "type": "wall", "string": "left"}, {"name": "a", "type": "wall", "string": "right"}])"),
         "boundary <a> is defined twice"},
        {b(R"([{"name": "weir", "type": "free_outflow", "string": "middle"}])"),
         "boundary <weir>: string <middle> does not lie on the domain boundary"},
        {b(R"([{"name": "out", "type": "normal_outflow", "string": "right", "slope": 0.01}])"),
         "boundary <out>: type 'normal_outflow' needs the FRICTION block (the normal depth uses the friction law)"},
        {R"({"GEOMETRY": {"STRINGDEF": [{"name": "inner"}]},
             "HYDRAULICS": {"BOUNDARY": [{"name": "w", "type": "wall", "string": "inner"}]}})",
         "boundary <w>: string <inner> does not exist in the mesh <generated rectangle>"},
        // "left" has 41 edges in the mesh of this table: two pieces, which a rating curve cannot use.
        {b(R"([{"name": "out", "type": "rating_curve", "string": "left", "rating": [[0, 0], [10, 1]]}])"),
         "boundary <out>: a rating curve needs a string of at most 40 edges, <left> has more"},
        // Series; an abscissa 0 after the first pair would end the stored series early.
        {q("[]"), series + "the series is empty"},
        {q("[[0, 1], [10, 2], [10, 3]]"), series + increase + "2 has x = 10 after x = 10"},
        {q("[[5, 1], [2, 2]]"), series + increase + "1 has x = 2 after x = 5"},
        {q("[[-10, 1], [0, 2], [10, 3]]"), series + "x = 0 is allowed only in the first pair (pair 1)"},
        {q("[[0, 1], [10]]"), series + "entry 1 must be a pair of numbers [x, y]"},
        {q("12"), series + "a series is a list of pairs [[x0, y0], ...] or {\"file\": \"name\"}"},
        {q(longSeries + "]"), series + "the series has 6001 pairs, at most 6000 are allowed"},
        {q(R"({"file": "missing.txt"})"), series + "cannot read the series file <" + dir.file("missing.txt") + ">"},
        {q(R"({"file": "a.txt"})"), series + "line 2 of <" + dir.file("a.txt") + twoNumbers},
        {q(R"({"file": "b.txt"})"), series + "line 2 of <" + dir.file("b.txt") + twoNumbers},
        {q(R"({"file": "c.txt"})"), series + "line 2 of <" + dir.file("c.txt") + twoNumbers},
        // Manning's n and Strickler's k of 0 would act as infinite friction; a log-law roughness of 0 is smooth.
        {f(R"({"type": "log_law", "default_friction": -0.01})"),
         "FRICTION: default_friction must not be negative (-0.01)"},
        {f(R"({"type": "strickler", "default_friction": 0})"),
         "FRICTION: default_friction must be greater than 0 for strickler friction (0)" + frictionless},
        {f(R"({"type": "manning", "default_friction": 0.01, "regions": [{"index": [1], "friction": 0}]})"),
         "FRICTION: friction of regions entry 0 must be greater than 0 for manning friction (0)" + frictionless},
        {f(R"({"type": "log_law", "default_friction": 0})"), ""},
        {f(R"({"type": "chezy", "default_friction": 0.01})"), hyd + "FRICTION/type: unknown friction type 'chezy'"},
        {f(R"({"type": "manning", "default_friction": 0.03, "regions": [{"index": [7], "friction": 0.05}]})"),
         "FRICTION: regions entry 0 names material id 7, which no triangle has"},
        {h(R"({"SOURCE": [{"name": "r", "type": "rain", "region": "hills", "intensity": [[0, 1]]}]})"),
         "source <r>: region <hills> is not defined in REGIONDEF"},
        {h(R"({"SOURCE": [{"name": "r", "type": "snow", "region": "all"}]})"),
         "source <r>: unknown source type 'snow'"},
        {h(R"({"SOURCE": [{"name": "r", "type": "rain", "region": "all", "intensity": [[5, 1], [1, 0]]}]})"),
         "source <r>: intensity: " + increase + "1 has x = 1 after x = 5"},
        {R"({"GEOMETRY": {"REGIONDEF": [{"name": "all", "index": [1, 9]}]},
             "HYDRAULICS": {"SOURCE": [{"name": "r", "type": "rain", "region": "all", "intensity": [[0, 1]]}]}})",
         "region <all>: no triangle has material id 9"},
        // Parameters outside the ranges the scheme runs in; material ids that are not whole numbers of int.
        {h(R"({"PARAMETER": {"CFL": 0}})"), hyd + "PARAMETER/CFL: the CFL number must lie in (0, 1]"},
        {h(R"({"PARAMETER": {"CFL": 1.01}})"), hyd + "PARAMETER/CFL: the CFL number must lie in (0, 1]"},
        {h(R"({"PARAMETER": {"minimum_water_depth": 1e-9}})"),
         hyd + "PARAMETER/minimum_water_depth: must lie in [1e-06, 0.1] m"},
        {h(R"({"PARAMETER": {"minimum_water_depth": 0.11}})"),
         hyd + "PARAMETER/minimum_water_depth: must lie in [1e-06, 0.1] m"},
        {h(R"({"PARAMETER": {"max_time_step": 0}})"), hyd + "PARAMETER/max_time_step: must be greater than 0"},
        {R"({"GEOMETRY": {"REGIONDEF": [{"name": "all", "index": [1, -1]}]}})", materialId},
        {R"({"GEOMETRY": {"REGIONDEF": [{"name": "all", "index": [1, 99999999999]}]}})",
         materialId},
        {R"({"GEOMETRY": {"REGIONDEF": [{"name": "all", "index": [1, 1.5]}]}})", materialId},
        // Gauges: a point just outside the mesh, a name given twice.
        {R"({"GEOMETRY": {"GAUGEDEF": [{"name": "in", "x": 2, "y": 1}, {"name": "far", "x": 10.001, "y": 1}]}})",
         kPath + "GEOMETRY/GAUGEDEF/1: gauge <far> at (10.001, 1) lies outside the mesh <" + dir.file("channel.2dm") +
             ">"},
        {R"({"GEOMETRY": {"GAUGEDEF": [{"name": "a", "x": 2, "y": 1}, {"name": "a", "x": 3, "y": 1}]}})",
         kPath + "GEOMETRY/GAUGEDEF/1/name: gauge <a> is defined twice in GAUGEDEF"},
        // Morphology.
        {R"({"MORPHOLOGY": {}})", kPath + "MORPHOLOGY/BEDMATERIAL: this item is required but missing"},
        {R"({"MORPHOLOGY": {)" + kMorphology + "}}}",
         "BEDLOAD: the formula 'meyer_peter_mueller' needs the FRICTION block (it uses the bed shear stress of the "
         "friction law)"},
        {mor(R"({"BEDMATERIAL": {"grain_size": 0.002}, "BEDLOAD": {"formula": "shields_power_law"}})"),
         kPath + "MORPHOLOGY/BEDLOAD/coefficient: this item is required but missing"},
        {mor("{" + kMorphology + R"(}, "SOURCE": [{"name": "s", "region": "upper", "discharge": [[0, -1]],
                                              "sink": "infinity"}]})"),
         "morphological source <s>: sink 'infinity' needs a FIXED_BED on every cell of region <upper>"},
        {mor("{" + kMorphology + R"(, "BOUNDARY": [{"name": "a", "type": "wall", "string": "left"},
                                             {"name": "b", "type": "bed_level", "string": "left"}]}})"),
         "string <left> carries two morphological conditions: <a> and <b>"},
        {mor(R"({"BEDMATERIAL": {"grain_size": 0.002, "FIXED_BED": {"type": "depth", "regions": [{"index": [7],
                 "value": 0.1}]}}, "BEDLOAD": {"formula": "meyer_peter_mueller"}})"),
         "FIXED_BED: regions entry 0 names material id 7, which no triangle has"},
        {mor(R"({"PARAMETER": {"sediment_density": 900}, )" + kMorphology + "}}"),
         kPath + "MORPHOLOGY/PARAMETER/sediment_density: the sediment must be denser than the fluid"},
    };
    const TriMesh mesh41 = channel(10, 41);
    for (const auto& [patch, message] : cases) {
        SCOPED_TRACE(patch);
        std::string error;
        try {
            build(patch, mesh41, dir.path());
        } catch (const SetupError& e) {
            error = e.what();
        }
        EXPECT_EQ(error, message);
    }
}

TEST(SetupModelContent, EdgeSetsStringsFrictionInitialStateAndGauges)
{
    // Bed from 0.1 m (x = 0) to 0 m (x = 10); material 1 filled to 0.08 m: only its lower cells are wet. Gauges
    // inside a triangle, on an inner edge, on an inner node and on the domain's corners.
    const Built b = build(R"({"GEOMETRY": {"GAUGEDEF": [{"name": "in", "x": 2.3, "y": 0.41}, {"name": "edge",
        "x": 5, "y": 0.5}, {"name": "node", "x": 5, "y": 0.4}, {"name": "low", "x": 0, "y": 0}, {"name": "high",
        "x": 10, "y": 2}]}, "HYDRAULICS": {
        "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 0.08, "discharge": [0.1, 0]}]},
        "FRICTION": {"type": "manning", "default_friction": 0.03, "regions": [{"index": [2], "friction": 0.05}]},
        "BOUNDARY": [{"name": "up", "type": "discharge_inflow", "string": "left", "discharge": [[0, 1]],
                      "slope": 0.002},
                     {"name": "down", "type": "normal_outflow", "string": "right", "slope": 0.004}]}})",
                          channel(2, 45));
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
    // Two strings of 45 edges each, the 4 other boundary edges walls; boundary edges name their inner cell.
    EXPECT_EQ(bc.size(), 90u);
    EXPECT_EQ(wall.size(), 4u);
    const auto& bcCells = c.maps.at(MapID::EdgHydBC_CellsAll).ints;
    for (std::size_t i = 0; i < bc.size(); ++i)
        EXPECT_TRUE(bcCells[2 * i] == g.edgeCells[2 * bc[i]] && bcCells[2 * i + 1] == bcCells[2 * i]) << i;
    // left, right and middle in two pieces each, every piece with the whole length.
    EXPECT_EQ(c.data.at(DataID::NodeStrg_ListSize).ints, (std::vector<int>{40, 5, 40, 5, 40, 5}));
    for (float len : c.data.at(DataID::TotalLen).floats) EXPECT_CLOSE(len, 2.0, 1e-6, 1e-6);
    EXPECT_EQ(c.stringNames.front(), "left");

    // With friction the normal-depth codes; the slopes: of the inflow at position 1 of its row, of the outflow at 0.
    EXPECT_EQ(c.sets.at(SetID::EdgeData), 2);
    const auto& type = c.data.at(DataID::HydBType).ints;
    const auto& rows = c.data.at(DataID::EdgeData_NumValue).floats;
    const auto& rowOf = c.maps.at(MapID::EdgHydBC_EdgeData).ints;
    std::set<int> codes;
    for (std::size_t i = 0; i < rowOf.size(); ++i) {
        const bool inflow = type[2 * i] == CodeDischargeNormalDepth;
        codes.insert(type[2 * i]);
        EXPECT_EQ(rows[7 * rowOf[i] + (inflow ? 1 : 0)], inflow ? 0.002f : 0.004f);
    }
    EXPECT_EQ(codes, (std::set<int>{CodeDischargeNormalDepth, CodeNormalOutflow}));
    const auto& state = c.data.at(DataID::HydState).floats;
    int wet = 0;
    for (int cell = 0; cell < g.nCells; ++cell) {
        SCOPED_TRACE(cell);
        EXPECT_EQ(c.data.at(DataID::Friction).floats[cell], g.material[cell] == 2 ? 0.05f : 0.03f);
        const float zb = g.bottomEl[cell];
        const bool shouldBeWet = g.material[cell] == 1 && zb < 0.08f;
        EXPECT_EQ(state[3 * cell], shouldBeWet ? 0.08f : zb);
        EXPECT_EQ(state[3 * cell + 1], shouldBeWet ? 0.1f : 0.0f);
        wet += shouldBeWet;
    }
    EXPECT_GT(wet, 0);
    EXPECT_LT(wet, g.nCells / 2);
    EXPECT_EQ(parameter(b, ParameterID::RefBottomEl), *std::min_element(g.bottomEl.begin(), g.bottomEl.end()));
    EXPECT_EQ(parameter(b, ParameterID::FrictionType), 1.0);

    // Each gauge gets a cell whose triangle holds its point: the point's three sub-triangles fill the cell's area.
    ASSERT_EQ(c.gauges.size(), 5u);
    for (const auto& gauge : c.gauges) {
        ASSERT_TRUE(gauge.cell >= 0 && gauge.cell < g.nCells) << gauge.name;
        const int* n = &g.topology[3 * static_cast<std::size_t>(gauge.cell)];
        double parts = 0.0;
        for (int k = 0; k < 3; ++k) {
            const double ax = b.mesh.x[n[k]] - gauge.x, ay = b.mesh.y[n[k]] - gauge.y;
            const double bx = b.mesh.x[n[(k + 1) % 3]] - gauge.x, by = b.mesh.y[n[(k + 1) % 3]] - gauge.y;
            parts += std::abs(ax * by - ay * bx);
        }
        EXPECT_NEAR(parts, 2.0 * g.geomArea[gauge.cell], 1e-6 * parts) << gauge.name;
    }
}

TEST(SetupMorphologyContent, BedMaterialFixedBedAndBoundaryRowsFollowingTheHydraulicOnes)
{
    const Built b = build(R"({"HYDRAULICS": {"FRICTION": {"type": "manning", "default_friction": 0.03},
        "BOUNDARY": [{"name": "up", "type": "discharge_inflow", "string": "left", "discharge": [[0, 2]], "slope": 0.01},
                     {"name": "down", "type": "free_outflow", "string": "right"}]},
      "MORPHOLOGY": {"PARAMETER": {"start_time": 30, "porosity": 0.35},
        "BEDMATERIAL": {"grain_size": 0.002, "regions": [{"index": [2], "grain_size": 0.004}],
          "FIXED_BED": {"type": "depth", "regions": [{"index": [2], "value": 0.05}], "max_iterations": 4}},
        "BEDLOAD": {"formula": "meyer_peter_mueller", "critical": 0.05,
          "BOUNDARY": [{"name": "feed", "type": "sediment_inflow", "string": "left", "discharge": [[0, 0.01]]},
                       {"name": "keep", "type": "bed_level", "string": "right", "limit": "upper"}]}}})");
    const auto& g = b.geometry;
    const auto& c = b.content;
    // (The start time shows in the whole runs, which hold the bed until it; the porosity they use is the default.)
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::BedPorosity), 0.35);
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::FixBedMaxIter), 4.0);
    EXPECT_DOUBLE_EQ(parameter(b, ParameterID::ThetaCritical), 0.05);
    // Per material: the grain size, and a fixed bed 5 cm below the initial bed of the cells of material 2 only, each
    // row mapped to its cell's edges.
    int lower = 0;
    for (int cell = 0; cell < g.nCells; ++cell) {
        EXPECT_FLOAT_EQ(c.data.at(DataID::MSedSize).floats[cell], g.material[cell] == 2 ? 0.004f : 0.002f) << cell;
        EXPECT_FLOAT_EQ(c.data.at(DataID::ThetaCrt).floats[cell], 0.05f);
        lower += g.material[cell] == 2;
    }
    ASSERT_EQ(c.sets.at(SetID::CellsFix), lower);
    for (int f = 0; f < lower; ++f) {
        const int cell = c.maps.at(MapID::CellsFix_CellsAll).ints[f];
        EXPECT_EQ(g.material[cell], 2);
        EXPECT_CLOSE(c.data.at(DataID::FixBedEl).floats[f], g.bottomEl[cell] - 0.05, 1e-6, 0.0);
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(c.maps.at(MapID::CellsFix_EdgesAll).ints[3 * f + j], g.cellEdges[3 * cell + j]);
    }

    // Two hydraulic rows (free outflow has one too), then the feed's row, then one row per edge of the bed level.
    const int hydraulicRows = 2;
    ASSERT_EQ(c.sets.at(SetID::EdgMorBC), 4);
    EXPECT_EQ(c.sets.at(SetID::EdgeData), hydraulicRows + 1 + 2);
    EXPECT_EQ(c.data.at(DataID::EdgeData_NumValue).rows, c.sets.at(SetID::EdgeData));
    const auto& type = c.data.at(DataID::MorBType).ints;
    const auto& row = c.maps.at(MapID::EdgMorBC_EdgeData).ints;
    const auto& edges = c.maps.at(MapID::EdgMorBC_EdgesAll).ints;
    for (int k = 0; k < 4; ++k) {
        const int inner = g.edgeCells[2 * edges[k]];
        EXPECT_EQ(c.maps.at(MapID::EdgMorBC_CellsAll).ints[2 * k + 1], inner);
        if (type[2 * k] == CodeInflowPerLength) {
            EXPECT_EQ(type[2 * k + 1], -1) << "a positive inflow must enter";
            EXPECT_EQ(row[k], hydraulicRows);
        } else {
            EXPECT_EQ(type[2 * k], CodeBedLevelUpper);
            EXPECT_GT(row[k], hydraulicRows);
            EXPECT_FLOAT_EQ(c.data.at(DataID::EdgeData_NumValue).floats[7 * row[k]], g.bottomEl[inner])
                << "the level is the cell's initial bed";
        }
    }
    // The feed's series writes D[4] of its row and the modification divides it by the string length into D[1].
    ASSERT_EQ(c.sets.at(SetID::EdInterp), 2);
    EXPECT_EQ(c.maps.at(MapID::EdInterp_EdgeData).ints[1], hydraulicRows);
    EXPECT_EQ(c.data.at(DataID::EdInterp_KeyPostn).ints[3], 4);
    const auto& info = c.data.at(DataID::EdModDat_ModfInfo).ints;
    ASSERT_EQ(c.sets.at(SetID::EdModDat), 2);
    EXPECT_EQ(std::vector<int>(info.begin() + 7, info.begin() + 10), (std::vector<int>{ModSpecificDischarge, 1, 4}));
    // Every boundary edge is a morphological wall or carries a condition; all internal edges are Exner edges.
    std::set<int> seen(edges.begin(), edges.end());
    for (int e : c.maps.at(MapID::EdgMorWL_EdgesAll).ints) EXPECT_TRUE(seen.insert(e).second) << "edge " << e;
    EXPECT_EQ(seen.size(), g.boundaryEdges.size());
    EXPECT_EQ(c.maps.at(MapID::EdgesEXN_EdgesAll).ints, g.internalEdges);
}
