// hydrova_mesh: writes a rectangular channel mesh as a 2DM file.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "setup/mesh/Geometry.hpp"
#include "setup/mesh/Mesh2dm.hpp"
#include "setup/mesh/MeshGenerator.hpp"

namespace {

const char* const kUsage =
    "usage: hydrova_mesh --size LX LY --cells NX NY [--origin X0 Y0] [--bed SHAPE]\n"
    "                    [--material X0:X1:ID[,X0:X1:ID...]] [--default-material ID] [-o FILE]\n"
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

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        setup::RectangleSpec spec;
        std::string output = "mesh.2dm";
        bool haveSize = false, haveCells = false;
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
            } else if (opt == "-o" || opt == "--output") {
                output = value(1);
                i += 1;
            } else {
                throw UsageError("unknown option \"" + opt + "\"");
            }
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
