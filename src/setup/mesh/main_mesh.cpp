// hydrova_mesh: writes a rectangular channel mesh, or a mesh of GIS layers, as a 2DM file.
#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <memory>
#include <iostream>
#include <string>
#include <vector>

#include "gis/GisError.hpp"
#include "gis/LayerMesher.hpp"
#include "gis/Layers.hpp"
#include "gis/Raster.hpp"
#include "setup/mesh/Geometry.hpp"
#include "setup/mesh/Mesh2dm.hpp"
#include "setup/mesh/MeshGenerator.hpp"

namespace {

const char* const kUsage =
    "usage: hydrova_mesh --size LX LY --cells NX NY [--origin X0 Y0] [--bed SHAPE]\n"
    "                    [--material X0:X1:ID[,X0:X1:ID...]] [--default-material ID] [-o FILE]\n"
    "       hydrova_mesh --domain LAYER --element-size H [--holes LAYER] [--breaklines LAYER]\n"
    "                    [--refine LAYER [--refine-field NAME]] [--boundaries LAYER [--boundary-field NAME]]\n"
    "                    [--dem RASTER] [--snap D] [--grading G] [--smooth N] [-o FILE]\n"
    "       hydrova_mesh --info FILE\n"
    "\n"
    "Writes a rectangle of NX x NY rectangles, each cut into two triangles, as a 2DM mesh with the node\n"
    "strings \"left\", \"right\", \"bottom\" and \"top\".\n"
    "  --size LX LY            size of the rectangle [m] (required)\n"
    "  --cells NX NY           rectangles along x and y (required); the mesh has 2*NX*NY triangles\n"
    "  --origin X0 Y0          lower-left corner [m] (default 0 0)\n"
    "  --bed SHAPE             flat[:z0] | slope:S[:z0] | bump:a:b:c | step:xs:zl:zr (default flat)\n"
    "                          slope: z = z0 + S (xmax - x); bump: z = max(0, a - b (x - c)^2);\n"
    "                          step: zl for x < xs, zr from xs on\n"
    "  --material LIST         material ids by x-interval [x0, x1) of the cell centroid\n"
    "  --default-material ID   material id outside every interval (default 1)\n"
    "  -o, --output FILE       the 2DM file to write (default mesh.2dm)\n"
    "\n"
    "From GIS layers (LAYER is a file OGR reads - GeoJSON, GeoPackage, Shapefile, ... - as FILE or FILE:NAME):\n"
    "  --domain LAYER          polygons to mesh (required)\n"
    "  --element-size H        default element size [m] (required)\n"
    "  --holes LAYER           polygons cut out of the domain (buildings); their edges are walls\n"
    "  --breaklines LAYER      lines kept as mesh edges (levees, banks, road crowns)\n"
    "  --refine LAYER          polygons with their own element size, from the attribute --refine-field\n"
    "                          (default \"size\")\n"
    "  --boundaries LAYER      lines on the domain edge that become node strings named by the attribute\n"
    "                          --boundary-field (default \"name\")\n"
    "  --dem RASTER            node elevations sampled bilinearly from a raster GDAL reads (default: 0)\n"
    "  --snap D                breaklines are cut where they come closer than D to the domain edge or an\n"
    "                          earlier breakline and joined to it at a right angle (default H/2; 0: off)\n"
    "  --grading G             growth of the element size per metre away from a refinement polygon (0.3)\n"
    "  --smooth N              smoothing passes: a few degrees more for the smallest angle, at about\n"
    "                          twice the meshing time (default 0)\n"
    "\n"
    "  --info FILE             instead: read the 2DM file FILE, compute its geometry and print a summary\n"
    "  -h, --help              this text\n";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

double number(const std::string& text, const std::string& option)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0') throw UsageError(option + ": \"" + text + "\" is not a number");
    return v;
}

int integer(const std::string& text, const std::string& option)
{
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') throw UsageError(option + ": \"" + text + "\" is not an integer");
    return static_cast<int>(v);
}

/// Reads and processes a mesh as the set-up program does, and prints what it found.
int info(const std::string& path)
{
    const auto start = std::chrono::steady_clock::now();
    const setup::TriMesh mesh = setup::read2dm(path);
    const setup::MeshGeometry g = setup::computeGeometry(mesh);
    std::vector<setup::StringRequest> requests;
    for (const setup::NodeString& s : mesh.strings)
        if (!s.name.empty()) requests.push_back({s.name, setup::UpstreamSide::Left});
    const std::vector<setup::StringPiece> pieces = setup::cutNodeStrings(mesh, g, requests);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double area = 0;
    for (float a : g.geomArea) area += a;
    std::printf(" -> %s: %d nodes, %d cells, %d edges (%zu on the boundary), area %.6g m2\n", path.c_str(), g.nNodes,
                g.nCells, g.nEdges, g.boundaryEdges.size(), area);
    for (const setup::StringPiece& p : pieces)
        std::printf(" -> node string \"%s\" piece %d: %d edges, total length %.6g m\n", p.name.c_str(), p.piece,
                    p.listSize, p.totalLen);
    std::printf(" -> read and processed in %.2f s\n", seconds);
    return 0;
}

struct LayerOptions {
    std::string domain, holes, breaklines, refine, boundaries, dem;
    std::string refineField = "size", boundaryField = "name";
    double size = 0, snap = -1, grading = 0.3;
    int smooth = 0;
};

/// Meshes the layers, samples the elevations, writes the 2DM file (and the coordinate system beside it as
/// FILE.prj) and prints the summary line.
int meshFromLayers(const LayerOptions& o, const std::string& output)
{
    using gis::LayerRef;
    if (o.domain.empty()) throw UsageError("--domain is required with layers");
    if (!(o.size > 0)) throw UsageError("--element-size must be given and positive");
    const auto start = std::chrono::steady_clock::now();
    gis::MeshLayers layers;
    layers.size = o.size;
    layers.snap = o.snap;
    layers.grading = o.grading;
    layers.smoothing = o.smooth;
    std::vector<gis::NamedCrs> crs;
    const gis::VectorLayer domain(LayerRef::parse(o.domain), "domain");
    layers.domain = domain.polygons();
    crs.push_back({domain.label(), domain.crsWkt()});
    if (!o.holes.empty()) {
        const gis::VectorLayer holes(LayerRef::parse(o.holes), "holes");
        layers.holes = holes.polygons();
        crs.push_back({holes.label(), holes.crsWkt()});
    }
    if (!o.breaklines.empty()) {
        const gis::VectorLayer lines(LayerRef::parse(o.breaklines), "breaklines");
        layers.breaklines = lines.lines();
        crs.push_back({lines.label(), lines.crsWkt()});
    }
    if (!o.refine.empty()) {
        const gis::VectorLayer refine(LayerRef::parse(o.refine), "refine");
        for (auto& p : refine.polygons(o.refineField, true)) {
            if (!(p.value > 0))
                throw gis::GisError(refine.label() + ", feature " + std::to_string(p.fid) + ": the size <" + p.text +
                                    "> must be positive");
            layers.refinement.push_back({p, p.value});
        }
        crs.push_back({refine.label(), refine.crsWkt()});
    }
    if (!o.boundaries.empty()) {
        const gis::VectorLayer boundaries(LayerRef::parse(o.boundaries), "boundaries");
        layers.boundaries = boundaries.lines(o.boundaryField);
        layers.boundariesLabel = boundaries.label();
        crs.push_back({boundaries.label(), boundaries.crsWkt()});
    }
    std::unique_ptr<gis::Raster> dem;
    if (!o.dem.empty()) {
        dem = std::make_unique<gis::Raster>(o.dem);
        crs.push_back({"raster <" + o.dem + ">", dem->crsWkt()});
    }
    const std::string wkt = gis::commonCrs(crs);
    layers.threads = 1;
    setup::TriMesh mesh = gis::meshLayers(layers, output);
    if (dem) gis::sampleNodeElevations(*dem, mesh);
    const gis::MeshQuality q = gis::meshQuality(mesh);
    // Written under a temporary name and renamed when complete: a failed run leaves no mesh behind.
    const std::string temporary = output + ".incomplete";
    try {
        setup::write2dm(mesh, temporary);
    } catch (...) {
        std::remove(temporary.c_str());
        throw;
    }
    if (std::rename(temporary.c_str(), output.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw std::runtime_error("cannot rename <" + temporary + "> to <" + output + ">");
    }
    const std::string prj = (output.size() > 4 && output.substr(output.size() - 4) == ".2dm"
                                 ? output.substr(0, output.size() - 4)
                                 : output) +
                            ".prj";
    if (!wkt.empty()) {
        std::ofstream out(prj);
        out << wkt << "\n";
        if (!out) throw std::runtime_error("cannot write <" + prj + ">");
    } else {
        std::remove(prj.c_str());  // a coordinate system left from an earlier mesh would be wrong for this one
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(" -> %s: %d nodes, %d triangles, smallest angle %.1f deg, edges %.3g to %.3g m, %zu node strings, "
                "%.1f s\n",
                output.c_str(), mesh.nodeCount(), mesh.cellCount(), q.minAngle, q.minEdge, q.maxEdge,
                mesh.strings.size(), seconds);
    if (q.minAngle < 20.0)
        std::printf(" -> warning: a triangle at (%.10g, %.10g) has an angle of %.1f deg, below 20 deg: the layers "
                    "meet at a small angle there\n",
                    q.minAngleX, q.minAngleY, q.minAngle);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        setup::RectangleSpec spec;
        std::string output = "mesh.2dm";
        bool haveSize = false, haveCells = false;
        LayerOptions layers;
        bool haveLayers = false;
        auto layerOption = [&](std::string& target, const std::string& v) {
            target = v;
            haveLayers = true;
        };
        for (size_t i = 0; i < args.size(); ++i) {
            const std::string& opt = args[i];
            auto value = [&](int k) -> const std::string& {
                if (i + k >= args.size()) throw UsageError(opt + " needs " + std::to_string(k) + " value(s)");
                return args[i + k];
            };
            if (opt == "-h" || opt == "--help") {
                std::cout << kUsage;
                return 0;
            } else if (opt == "--info") {
                return info(value(1));
            } else if (opt == "--size") {
                spec.lengthX = number(value(1), opt);
                spec.lengthY = number(value(2), opt);
                i += 2;
                haveSize = true;
            } else if (opt == "--cells") {
                spec.cellsX = integer(value(1), opt);
                spec.cellsY = integer(value(2), opt);
                i += 2;
                haveCells = true;
            } else if (opt == "--origin") {
                spec.x0 = number(value(1), opt);
                spec.y0 = number(value(2), opt);
                i += 2;
            } else if (opt == "--bed") {
                spec.bed = setup::BedShape::parse(value(1));
                i += 1;
            } else if (opt == "--material") {
                spec.materials = setup::MaterialInterval::parseList(value(1));
                i += 1;
            } else if (opt == "--default-material") {
                spec.defaultMaterial = integer(value(1), opt);
                i += 1;
            } else if (opt == "--domain") {
                layerOption(layers.domain, value(1));
                i += 1;
            } else if (opt == "--holes") {
                layerOption(layers.holes, value(1));
                i += 1;
            } else if (opt == "--breaklines") {
                layerOption(layers.breaklines, value(1));
                i += 1;
            } else if (opt == "--refine") {
                layerOption(layers.refine, value(1));
                i += 1;
            } else if (opt == "--refine-field") {
                layers.refineField = value(1);
                i += 1;
            } else if (opt == "--boundaries") {
                layerOption(layers.boundaries, value(1));
                i += 1;
            } else if (opt == "--boundary-field") {
                layers.boundaryField = value(1);
                i += 1;
            } else if (opt == "--dem") {
                layerOption(layers.dem, value(1));
                i += 1;
            } else if (opt == "--element-size") {
                layers.size = number(value(1), opt);
                haveLayers = true;
                i += 1;
            } else if (opt == "--snap") {
                layers.snap = number(value(1), opt);
                i += 1;
            } else if (opt == "--grading") {
                layers.grading = number(value(1), opt);
                i += 1;
            } else if (opt == "--smooth") {
                const double n = number(value(1), opt);
                if (n < 0 || n != std::floor(n)) throw UsageError(opt + ": \"" + value(1) + "\" is not a count");
                layers.smooth = static_cast<int>(n);
                i += 1;
            } else if (opt == "-o" || opt == "--output") {
                output = value(1);
                i += 1;
            } else {
                throw UsageError("unknown option \"" + opt + "\"");
            }
        }
        if (haveLayers) {
            if (haveSize || haveCells) throw UsageError("--size/--cells and layers cannot be combined");
            return meshFromLayers(layers, output);
        }
        if (!haveSize || !haveCells) throw UsageError("--size and --cells are required");
        const setup::TriMesh mesh = setup::generateRectangle(spec);
        setup::write2dm(mesh, output);
        std::cout << " -> " << output << ": " << mesh.nodeCount() << " nodes, " << mesh.cellCount() << " triangles\n";
        return 0;
    } catch (const UsageError& e) {
        std::cerr << "hydrova_mesh: " << e.what() << "\n\n" << kUsage;
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "hydrova_mesh: " << e.what() << "\n";
        return 1;
    }
}
