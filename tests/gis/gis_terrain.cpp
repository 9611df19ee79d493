// Meshes from GIS layers (quality bounds, walls, breaklines, node strings, slivers), beds sampled from rasters
// (exact on a plane; the maximum or the mean over a cell), the time-step report, and the bad inputs of hydrova_mesh and
// hydrova_setup that must end with a located message, status 1 and no output file.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "gis/LayerMesher.hpp"
#include "gis/Layers.hpp"
#include "gis/Raster.hpp"
#include "setup/Terrain.hpp"
#include "setup/mesh/Geometry.hpp"
#include "support/H5Data.hpp"
#include "support/Process.hpp"
#include "support/ScratchDir.hpp"

using gis::Point;
using testsupport::program;
using testsupport::runProcess;
using testsupport::ScratchDir;
using testsupport::h5::readValues;

namespace {

// Projected coordinates of a real size, so that rounding at such magnitudes shows.
const double X0 = 500000.0, Y0 = 5400000.0;

std::string coords(const std::vector<Point>& pts)
{
    std::ostringstream s;
    s.precision(12);
    for (size_t i = 0; i < pts.size(); ++i) s << (i ? "," : "") << "[" << X0 + pts[i].x << "," << Y0 + pts[i].y << "]";
    return s.str();
}
std::string polygon(std::vector<Point> ring, const std::string& props = "{}")
{
    ring.push_back(ring.front());
    return R"({"type":"Feature","properties":)" + props + R"(,"geometry":{"type":"Polygon","coordinates":[[)" +
           coords(ring) + "]]}}";
}
std::string line(const std::vector<Point>& pts, const std::string& props = "{}")
{
    return R"({"type":"Feature","properties":)" + props + R"(,"geometry":{"type":"LineString","coordinates":[)" +
           coords(pts) + "]}}";
}
std::string layer(const std::vector<std::string>& features, int epsg = 25832)
{
    std::string s = R"({"type":"FeatureCollection","crs":{"type":"name","properties":{"name":"urn:ogc:def:crs:EPSG::)" +
                    std::to_string(epsg) + R"("}},"features":[)";
    for (size_t i = 0; i < features.size(); ++i) s += (i ? "," : "") + features[i];
    return s + "]}";
}
std::vector<Point> rect(double x, double y, double w, double h) { return {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}}; }

/// A 1000 m x 500 m domain, 50 buildings of 12 m x 10 m, two breaklines, a refinement polygon (5 m) and the
/// boundary lines "inflow" (left side, walked upwards) and "outflow" (right side, walked downwards).
void writeLayers(const ScratchDir& dir)
{
    dir.write("domain.geojson", layer({polygon(rect(0, 0, 1000, 500))}));
    std::vector<std::string> buildings;
    for (int i = 0; i < 10; ++i)
        for (int j = 0; j < 5; ++j) buildings.push_back(polygon(rect(300 + 30 * i, 150 + 30 * j, 12, 10)));
    dir.write("buildings.geojson", layer(buildings));
    dir.write("breaklines.geojson",
              layer({line({{50, 100}, {250, 120}, {280, 450}}), line({{700, 20}, {900, 480}})}));
    dir.write("refine.geojson", layer({polygon(rect(280, 130, 340, 180), R"({"size": 5.0})")}));
    dir.write("bounds.geojson", layer({line({{0, 0}, {0, 500}}, R"({"name":"inflow"})"),
                                       line({{1000, 500}, {1000, 0}}, R"({"name":"outflow"})")}));
}

/// ESRI ASCII grid of z = 0.25 (x - X0) + 0.5 (y - Y0) with 10 m pixels over the domain and 10 m beyond (every pixel
/// value exact in single precision), or `constant` everywhere; pixels whose centre is within 5 m of x = noDataX have
/// no data.
void writePlaneGrid(const std::string& path, double noDataX = 1e9, double constant = NAN)
{
    std::ofstream out(path);
    out.precision(12);
    out << "ncols 102\nnrows 52\nxllcorner " << X0 - 10 << "\nyllcorner " << Y0 - 10
        << "\ncellsize 10\nNODATA_value -9999\n";
    for (int j = 51; j >= 0; --j)
        for (int i = 0; i < 102; ++i) {
            const double x = -10 + (i + 0.5) * 10, y = -10 + (j + 0.5) * 10;
            const double z = std::isnan(constant) ? 0.25 * x + 0.5 * y : constant;
            out << (std::fabs(x - noDataX) < 5 ? -9999.0 : z) << (i == 101 ? "\n" : " ");
        }
}

gis::VectorLayer layerOf(const ScratchDir& dir, const std::string& file, const std::string& role)
{
    return gis::VectorLayer(gis::LayerRef::parse(dir.file(file)), role);
}

/// Mesh edges that cross the lines, leaving out the strip of width `margin` along the bottom and top of the domain
/// (where lines are joined to its edge). Points within 1 micrometre of a line count as on it.
int crossings(const setup::TriMesh& mesh, const setup::MeshGeometry& g, const std::vector<std::vector<Point>>& lines,
              double margin)
{
    auto side = [](Point p, Point q, Point r) {
        const double o = ((q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x)) / std::hypot(q.x - p.x, q.y - p.y);
        return std::fabs(o) < 1e-6 ? 0 : (o > 0 ? 1 : -1);
    };
    int n = 0;
    for (int e = 0; e < g.nEdges; ++e) {
        const Point a{mesh.x[g.edgeNodes[2 * e]] - X0, mesh.y[g.edgeNodes[2 * e]] - Y0};
        const Point b{mesh.x[g.edgeNodes[2 * e + 1]] - X0, mesh.y[g.edgeNodes[2 * e + 1]] - Y0};
        if (std::min({a.y, b.y, 500 - a.y, 500 - b.y}) < margin) continue;
        for (const auto& l : lines)
            for (size_t k = 1; k < l.size(); ++k)
                n += side(a, b, l[k - 1]) * side(a, b, l[k]) < 0 &&
                     side(l[k - 1], l[k], a) * side(l[k - 1], l[k], b) < 0;
    }
    return n;
}

}  // namespace

TEST(GisMesh, BuildingsBreaklinesAndRefinementMeetTheBounds)
{
    ScratchDir dir("gis-mesh");
    writeLayers(dir);
    gis::MeshLayers L;
    L.size = 20;
    L.domain = layerOf(dir, "domain.geojson", "domain").polygons();
    L.holes = layerOf(dir, "buildings.geojson", "holes").polygons();
    L.breaklines = layerOf(dir, "breaklines.geojson", "breaklines").lines();
    for (const auto& p : layerOf(dir, "refine.geojson", "refine").polygons("size", true))
        L.refinement.push_back({p, p.value});
    L.boundaries = layerOf(dir, "bounds.geojson", "boundaries").lines("name");
    const setup::TriMesh mesh = gis::meshLayers(L, "layers");

    EXPECT_GE(gis::meshQuality(mesh).minAngle, 20.0);
    // Sizes: the mean edge of a triangle against the size asked for at its centroid.
    const gis::SizeField field(L);
    int off = 0;
    for (int c = 0; c < mesh.cellCount(); ++c) {
        const int* n = &mesh.cellNodes[3 * c];
        double edges = 0, x = 0, y = 0;
        for (int k = 0; k < 3; ++k) {
            edges += std::hypot(mesh.x[n[(k + 1) % 3]] - mesh.x[n[k]], mesh.y[n[(k + 1) % 3]] - mesh.y[n[k]]) / 3;
            x += mesh.x[n[k]] / 3;
            y += mesh.y[n[k]] / 3;
        }
        off += std::fabs(edges / field(x, y) - 1) > 0.3;
    }
    EXPECT_LT(off, mesh.cellCount() / 100) << off << " of " << mesh.cellCount() << " triangles off their size by 30 %";

    // Buildings are walls: the mesh covers the domain less the buildings, and its boundary runs round each one.
    const setup::MeshGeometry g = setup::computeGeometry(mesh);
    double area = 0, boundary = 0;
    for (float a : g.geomArea) area += a;
    for (int e : g.boundaryEdges) boundary += g.geomLeng[e];
    EXPECT_NEAR(area, 1000.0 * 500 - 50 * 120, 1.0);
    EXPECT_NEAR(boundary, 2 * (1000 + 500) + 50 * 44, 1e-3);

    // Breaklines are mesh edges: no edge crosses them (beyond the strip along the edge where they are joined to it).
    EXPECT_EQ(crossings(mesh, g, {{{50, 100}, {250, 120}, {280, 450}}, {{700, 20}, {900, 480}}}, L.size), 0);

    // Node strings: on the boundary, from the line's first point to its last, 500 m long.
    ASSERT_EQ(mesh.strings.size(), 2u);
    for (const auto& p : setup::cutNodeStrings(mesh, g, {{"inflow"}, {"outflow"}}))
        EXPECT_NEAR(p.totalLen, 500.0, 1e-3) << p.name;
    const auto& in = mesh.strings[0].nodes;
    EXPECT_EQ(mesh.strings[0].name, "inflow");
    EXPECT_TRUE(mesh.y[in.front()] == Y0 && mesh.y[in.back()] == Y0 + 500);
    EXPECT_EQ(mesh.y[mesh.strings[1].nodes.front()], Y0 + 500);  // outflow is walked downwards
}

TEST(GisMesh, LinesMeetingAtSmallAnglesLeaveNoSliver)
{
    ScratchDir dir("gis-sliver");
    dir.write("domain.geojson", layer({polygon(rect(0, 0, 1000, 500))}));
    const std::vector<Point> levee = {{100, 250}, {900, 250}};
    const std::vector<std::pair<const char*, std::vector<std::vector<Point>>>> cases = {
        {"a road edge reaching the domain edge at 14 degrees", {{{100, 200}, {100 + 200 / std::tan(14 * M_PI / 180), 0}}}},
        {"two lines crossing at 4 degrees", {levee, {{100, 220}, {900, 280}}}},
        {"two lines 8 to 12 m apart", {levee, {{100, 258}, {900, 262}}}},
        {"a line ending 3 m short of another", {levee, {{500, 450}, {500, 253}}}},
    };
    for (const auto& [what, lines] : cases) {
        std::vector<std::string> features;
        for (const auto& l : lines) features.push_back(line(l));
        dir.write("lines.geojson", layer(features));
        gis::MeshLayers L;
        L.size = 20;
        L.domain = layerOf(dir, "domain.geojson", "domain").polygons();
        L.breaklines = layerOf(dir, "lines.geojson", "breaklines").lines();
        L.snap = 0;
        EXPECT_LT(gis::meshQuality(gis::meshLayers(L, "lines")).minAngle, 20.0) << what << ", taken as drawn";
        L.snap = -1;
        const setup::TriMesh mesh = gis::meshLayers(L, "lines");
        EXPECT_GE(gis::meshQuality(mesh).minAngle, 20.0) << what;
        // The first line stays a line of mesh edges: no edge crosses it (beyond the strip along the domain edge).
        EXPECT_EQ(crossings(mesh, setup::computeGeometry(mesh), {lines[0]}, L.size), 0) << what;
    }
}

TEST(GisRaster, PlaneIsExactAndCellBedsTakeTheMaximumOrTheMean)
{
    ScratchDir dir("gis-raster");
    writePlaneGrid(dir.file("plane.asc"));
    setup::TriMesh mesh;
    mesh.source = "points";
    for (int k = 0; k < 200; ++k) {  // scattered over the domain, some on pixel centres and on its edge
        mesh.nodeId.push_back(k + 1);
        mesh.x.push_back(X0 + std::fmod(k * 37.77, 1000.0) + (k % 7 == 0 ? -4.9 : 0));
        mesh.y.push_back(Y0 + std::fmod(k * 91.3, 500.0));
        mesh.z.push_back(0);
    }
    gis::sampleNodeElevations(gis::Raster(dir.file("plane.asc")), mesh);
    for (int k = 0; k < mesh.nodeCount(); ++k)
        EXPECT_NEAR(mesh.z[k], 0.25 * (mesh.x[k] - X0) + 0.5 * (mesh.y[k] - Y0), 1e-9) << "node " << k + 1;

    // A cell's bed over a raised block: the maximum keeps the block, the mean smears it, the centroid misses it.
    dir.write("block.asc", "ncols 6\nnrows 6\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n"
                           "0 0 0 0 0 0\n0 0 0 0 0 0\n0 0 0 0 0 0\n0 0 0 0 0 0\n0 0 0 0 0 0\n3 0 0 0 0 0\n");
    const gis::Raster block(dir.file("block.asc"));
    const double x[3] = {0, 6, 0}, y[3] = {0, 0, 6};
    double max = 0, mean = 0, centroid = 0;
    ASSERT_EQ(block.triangleMax(x, y, max), gis::Raster::Status::Ok);
    ASSERT_EQ(block.triangleMean(x, y, mean), gis::Raster::Status::Ok);
    ASSERT_EQ(block.sample(2, 2, centroid), gis::Raster::Status::Ok);
    EXPECT_EQ(max, 3.0);
    EXPECT_DOUBLE_EQ(mean, 3.0 / 21);  // 21 pixel centres inside the triangle
    EXPECT_EQ(centroid, 0.0);
}

TEST(GisSetup, TimeStepReportNamesTheSliver)
{
    // A 10 m square of two triangles (ids 7, 8) and a sliver 0.5 m wide along its right side (id 9).
    std::istringstream in("MESH2D\nE3T 7 1 2 3 1\nE3T 8 1 3 4 1\nE3T 9 2 5 3 1\n"
                          "ND 1 0 0 0\nND 2 10 0 0\nND 3 10 10 0\nND 4 0 10 0\nND 5 10.5 5 0\n");
    const setup::TriMesh mesh = setup::parse2dm(in, "hand");
    std::ostringstream out;
    setup::reportTimeStepCells(mesh, setup::computeGeometry(mesh), 0.5, 9.81, out, 1);
    // Size: twice the 1/6 m from the shared edge to the sliver's centroid; step 0.5 * 1/3 / sqrt(9.81) = 0.0532 s;
    // angle atan(0.5 / 5) = 5.71 deg.
    EXPECT_NE(out.str().find("cell 9 at (10.1666"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("size 0.333 m, smallest angle 5.71 deg, time step 0.0532 s"), std::string::npos)
        << out.str();
}

TEST(GisPrograms, BadInputsAreLocatedAndWriteNothing)
{
    ScratchDir dir("gis-bad");
    writeLayers(dir);
    writePlaneGrid(dir.file("plane.asc"));
    writePlaneGrid(dir.file("holey.asc"), 505);  // no data on the column of pixels at x = 505 m
    dir.write("bowtie.geojson", layer({polygon({{0, 0}, {100, 100}, {100, 0}, {0, 100}})}));
    dir.write("utm33.geojson", layer({polygon(rect(300, 150, 12, 10))}, 25833));
    dir.write("small.asc", "ncols 2\nnrows 2\nxllcorner 500000\nyllcorner 5400000\ncellsize 100\nNODATA_value -9999\n"
                           "1 1\n1 1\n");
    dir.write("off.geojson", layer({line({{0, 0}, {0, 500}}, R"({"name":"inflow"})"),
                                    line({{990, 500}, {990, 0}}, R"({"name":"outflow"})")}));
    const std::string mesh = program("hydrova_mesh") + " --element-size 50 -o out.2dm --domain ";
    struct Case {
        std::string command, message, output;
    };
    std::vector<Case> cases = {
        {mesh + "domain.geojson:rivers", "domain layer <domain.geojson:rivers>: no such layer", "out.2dm"},
        {mesh + "domain.geojson --boundaries bounds.geojson --boundary-field label",
         "boundaries layer <bounds.geojson>: no attribute <label> (the layer has: name)", "out.2dm"},
        {mesh + "domain.geojson --holes utm33.geojson",
         "domain layer <domain.geojson> and holes layer <utm33.geojson> have different coordinate reference systems",
         "out.2dm"},
        {mesh + "bowtie.geojson", "domain layer <bowtie.geojson>, feature 0: not a valid polygon", "out.2dm"},
        {mesh + "domain.geojson --boundaries off.geojson",
         "boundaries layer <off.geojson>, feature 1 <outflow>: the line at (500990, 5400375), between its points 0 "
         "and 1, is not on the domain edge (10 m from it)",
         "out.2dm"},
        {mesh + "domain.geojson --dem small.asc", "raster <small.asc> does not cover the mesh <out.2dm>", "out.2dm"},
        {program("hydrova_mesh") + " --size 100 10 -o out.2dm", "hydrova_mesh: --size and --cells are required", "out.2dm"},
        {program("hydrova_mesh") + " --size 100 10 --cells 10 2 --bed wave:1 -o out.2dm", "unknown bed shape \"wave:1\"",
         "out.2dm"},
    };
    // The set-up on a mesh of the layers (with its coordinate system beside it as m.prj).
    ASSERT_EQ(runProcess(mesh + "domain.geojson -o m.2dm", dir.path()).status, 0);
    const std::string setup = program("hydrova_setup") + " -o model.h5 -f ";
    auto command = [&](const std::string& name, const std::string& geometry) {
        dir.write(name, R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"GEOMETRY": {"mesh_file": "m.2dm", )" + geometry +
                            R"(}, "HYDRAULICS": {}}}}})");
        return setup + name;
    };
    cases.push_back({command("nodata.json", R"("bed_raster": "holey.asc")"),
                     "nodes of the mesh <m.2dm> lie on no-data cells: node ", "model.h5"});
    cases.push_back({command("crs.json", R"("bed_raster": "plane.asc", "crs": "EPSG:25833")"),
                     "GEOMETRY/crs <EPSG:25833> and the mesh's <m.prj> have different coordinate reference systems",
                     "model.h5"});
    cases.push_back({command("outside.json", R"("bed_raster": "small.asc")"),
                     "raster <small.asc> does not cover the mesh <m.2dm>: ", "model.h5"});
    for (const Case& c : cases) {
        const auto r = runProcess(c.command, dir.path());
        EXPECT_EQ(r.status, 1) << c.command;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.command << "\n" << r.err;
        EXPECT_FALSE(std::ifstream(dir.file(c.output)).good()) << c.command;
    }
}

TEST(GisPrograms, HotStartTakesTheStoredStateAndKeepsTheVolume)
{
    ScratchDir dir("gis-hot");
    writeLayers(dir);
    writePlaneGrid(dir.file("plane.asc"));
    const std::string mesh = program("hydrova_mesh") + " --domain domain.geojson --holes buildings.geojson";
    ASSERT_EQ(runProcess(mesh + " --element-size 20 --refine refine.geojson -o fine.2dm", dir.path()).status, 0);
    ASSERT_EQ(runProcess(mesh + " --element-size 40 -o coarse.2dm", dir.path()).status, 0);
    auto setup = [&](const std::string& name, const std::string& meshFile, const std::string& initial) {
        dir.write(name + ".json", R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"GEOMETRY": {"mesh_file": ")" + meshFile +
                                      R"(", "bed_raster": "plane.asc"}, "HYDRAULICS": {"INITIAL": )" + initial + "}}}}}");
        const auto r = runProcess(program("hydrova_setup") + " -f " + name + ".json -o " + name + ".h5", dir.path());
        EXPECT_EQ(r.status, 0) << r.err;
    };
    setup("fine", "fine.2dm", R"({"type": "water_surface", "value": 150.0})");
    dir.write("config.json", R"({"SIMULATION": {"TIME": {"start": 0, "end": 20, "out": 10},
        "TIMESTEP": {"init": 0.01, "minimum": 0.0001}, "OUTPUT": ["water_surface", "water_depth"]}})");
    ASSERT_EQ(runProcess(program("hydrova_simulation") + " -f config.json -r fine.h5 -o results.h5", dir.path()).status, 0);
    setup("same", "fine.2dm", R"({"type": "hot_start", "file": "results.h5", "time": 20})");
    setup("coarse", "coarse.2dm", R"({"type": "hot_start", "file": "results.h5", "time": 20, "model": "fine.h5"})");

    // The coordinate system of the layers went through the model file into the results file.
    EXPECT_TRUE(testsupport::h5::exists(dir.file("results.h5"), "/.config/crs"));
    // A depth raster: 0.5 m everywhere but on a column of no-data pixels (x = 500 m), where cells start dry.
    writePlaneGrid(dir.file("depth.asc"), 505, 0.5);
    setup("depth", "fine.2dm", R"({"type": "raster", "file": "depth.asc", "quantity": "depth"})");
    const auto depthState = readValues(dir.file("depth.h5"), "/CellsAll/HydState");
    const auto depthBed = readValues(dir.file("depth.h5"), "/CellsAll/BottomEl");
    int dry = 0;
    for (size_t c = 0; c < depthBed.size(); ++c) {
        const double h = depthState[3 * c] - depthBed[c];
        dry += h == 0;
        EXPECT_TRUE(h == 0 || std::fabs(h - 0.5) < 1e-4) << "cell " << c << ": " << h;
    }
    EXPECT_TRUE(dry > 0 && dry < static_cast<int>(depthBed.size()) / 10) << dry;

    // The same mesh starts from the stored state itself, as a re-run from t = 20 s would.
    const auto stored = readValues(dir.file("results.h5"), "/RESULTS/CellsAll/HydState/0000002");
    EXPECT_EQ(readValues(dir.file("same.h5"), "/CellsAll/HydState"), stored);
    // A coarser mesh gathers the water of the finer one.
    auto volume = [&](const std::string& model, const std::vector<double>& state) {
        const auto bed = readValues(dir.file(model), "/CellsAll/BottomEl");
        const auto area = readValues(dir.file(model), "/CellsAll/GeomArea");
        double v = 0;
        for (size_t c = 0; c < bed.size(); ++c) v += std::max(0.0, state[3 * c] - bed[c]) * area[c];
        return v;
    };
    const double before = volume("fine.h5", stored);
    EXPECT_GT(before, 1e5);
    EXPECT_NEAR(volume("coarse.h5", readValues(dir.file("coarse.h5"), "/CellsAll/HydState")), before, 1e-6 * before);
}

TEST(GisPrograms, FrictionAndMaterialsFromLandUse)
{
    ScratchDir dir("gis-landuse");
    writeLayers(dir);
    // Classes: 1 for x < 500 m, 2 beyond; a meadow polygon (n = 0.1) overrides them; a zone polygon gives id 5.
    std::ostringstream grid;
    grid << "ncols 2\nnrows 1\nxllcorner " << X0 << "\nyllcorner " << Y0 << "\ncellsize 500\nNODATA_value -9999\n1 2\n";
    dir.write("landuse.asc", grid.str());
    dir.write("meadow.geojson", layer({polygon(rect(100, 100, 200, 100), R"({"n": 0.1})")}));
    dir.write("zones.geojson", layer({polygon(rect(600, 0, 400, 500), R"({"id": 5})")}));
    ASSERT_EQ(runProcess(program("hydrova_mesh") + " --domain domain.geojson --element-size 50 -o m.2dm", dir.path()).status, 0);
    auto setup = [&](const std::string& materials) {
        dir.write("setup.json", R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"GEOMETRY": {"mesh_file": "m.2dm",
            "REGIONDEF": [{"name": "zone", "index": [5]}])" + materials + R"(},
            "HYDRAULICS": {"FRICTION": {"type": "manning", "default_friction": 0.03,
                "raster": {"file": "landuse.asc", "classes": [{"value": 1, "friction": 0.02}, {"value": 2, "friction": 0.04}]},
                "polygons": {"file": "meadow.geojson", "attribute": "n"}},
              "SOURCE": [{"name": "rain", "type": "rain", "region": "zone", "intensity": [[0, 10.0]]}]}}}}})");
        return runProcess(program("hydrova_setup") + " -f setup.json -o model.h5", dir.path());
    };
    // The rain's region exists only through the material polygons.
    const auto with = setup(R"(, "material_polygons": {"file": "zones.geojson", "attribute": "id"})");
    ASSERT_EQ(with.status, 0) << with.err;

    const auto xyz = readValues(dir.file("model.h5"), "/NodesAll/Coordnts");
    const auto topology = readValues(dir.file("model.h5"), "/CellsAll/Topology");
    const auto friction = readValues(dir.file("model.h5"), "/CellsAll/Friction");
    for (size_t c = 0; c < friction.size(); ++c) {
        double x = 0, y = 0;
        for (int k = 0; k < 3; ++k) {
            x += (xyz[3 * static_cast<size_t>(topology[3 * c + k])] - X0) / 3;
            y += (xyz[3 * static_cast<size_t>(topology[3 * c + k]) + 1] - Y0) / 3;
        }
        // Centroids from the stored single-precision coordinates: cells on the class edges are left out.
        if (std::min({std::fabs(x - 500), std::fabs(x - 100), std::fabs(x - 300), std::fabs(y - 100), std::fabs(y - 200)}) < 0.1)
            continue;
        const bool meadow = x > 100 && x < 300 && y > 100 && y < 200;
        EXPECT_FLOAT_EQ(friction[c], meadow ? 0.1f : (x < 500 ? 0.02f : 0.04f)) << "cell at " << x << ", " << y;
    }
}
