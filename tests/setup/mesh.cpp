// The mesh of the set-up: 2DM reading and writing, geometry (normals, sizes, signs, neighbours, weights, numbering),
// node strings cut into pieces, and the located messages for bad meshes and strings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <random>
#include <set>
#include <sstream>

#include "setup/ChannelCase.hpp"
#include "setup/mesh/Geometry.hpp"
#include "setup/mesh/TextInput.hpp"
#include "support/Tolerance.hpp"

using namespace setup;

namespace {

TriMesh parse(const std::string& text, const std::string& name = "test.2dm")
{
    std::istringstream in(text);
    return parse2dm(in, name);
}

/// Edge joining the nodes with file ids a and b (node indices equal ids - 1 in these meshes), or -1.
int edgeBetween(const MeshGeometry& g, int a, int b)
{
    for (int e = 0; e < g.nEdges; ++e) {
        const int p = g.edgeNodes[2 * e] + 1, q = g.edgeNodes[2 * e + 1] + 1;
        if ((p == a && q == b) || (p == b && q == a)) return e;
    }
    return -1;
}

/// Cell whose centroid is (x, y), or -1.
int cellAt(const MeshGeometry& g, double x, double y)
{
    for (int c = 0; c < g.nCells; ++c)
        if (std::abs(g.centroid[2 * c] - x) < 1e-9 && std::abs(g.centroid[2 * c + 1] - y) < 1e-9) return c;
    return -1;
}

/// Local position of edge e in cell c (3 when absent).
int localOf(const MeshGeometry& g, int c, int e)
{
    return static_cast<int>(std::find(&g.cellEdges[3 * c], &g.cellEdges[3 * c] + 3, e) - &g.cellEdges[3 * c]);
}

/// Conventions that hold on any mesh: each cell's boundary is closed by its outward normals, edge j joins nodes j
/// and j+1, neighbour and sign agree with the edge's cells, normals are unit and point out of the left cell, and
/// within a tile an inner edge's left cell has the lower number.
void expectConsistent(const MeshGeometry& g)
{
    for (int c = 0; c < g.nCells; ++c) {
        double sx = 0, sy = 0;
        int trueNb = 0;
        for (int j = 0; j < 3; ++j) {
            const int e = g.cellEdges[3 * c + j], l = g.edgeCells[2 * e], r = g.edgeCells[2 * e + 1];
            const int s = g.edgeSign[3 * c + j];
            ASSERT_TRUE(l == c || r == c) << "cell " << c << " edge " << e;
            EXPECT_EQ(s, l == c ? 1 : -1);
            EXPECT_EQ(g.nbrCells[3 * c + j], l == c ? r : l);
            trueNb += (l != r) ? 1 : 0;
            const int a = g.topology[3 * c + j], b = g.topology[3 * c + (j + 1) % 3];
            EXPECT_TRUE((g.edgeNodes[2 * e] == a && g.edgeNodes[2 * e + 1] == b) ||
                        (g.edgeNodes[2 * e] == b && g.edgeNodes[2 * e + 1] == a));
            sx += s * g.geomLeng[e] * g.normVect[2 * e];
            sy += s * g.geomLeng[e] * g.normVect[2 * e + 1];
            const double mx = 0.5 * (g.coordnts[3 * a] + g.coordnts[3 * b]) - g.centroid[2 * c];
            const double my = 0.5 * (g.coordnts[3 * a + 1] + g.coordnts[3 * b + 1]) - g.centroid[2 * c + 1];
            EXPECT_GT(s * (g.normVect[2 * e] * mx + g.normVect[2 * e + 1] * my), 0.0);
        }
        EXPECT_EQ(g.nrTrueNb[c], trueNb);
        EXPECT_CLOSE(sx, 0.0, 1e-5, 0.0);
        EXPECT_CLOSE(sy, 0.0, 1e-5, 0.0);
        EXPECT_GT(g.geomArea[c], 0.0f);
    }
    for (int e = 0; e < g.nEdges; ++e) {
        const int l = g.edgeCells[2 * e], r = g.edgeCells[2 * e + 1];
        EXPECT_EQ(g.isBoundary(e), l == r);
        if (l != r && l / kTileCells == r / kTileCells) {
            EXPECT_LT(l, r);
        }
        EXPECT_CLOSE(std::hypot(g.normVect[2 * e], g.normVect[2 * e + 1]), 1.0, 1e-6, 0.0);
    }
}

}  // namespace

TEST(Mesh2dmReader, ReadsSparseIdsReorientsClockwiseTrianglesAndWritesBackUnchanged)
{
    TriMesh m = parse(
        "MESH2D\nMESHNAME \"demo\"\n# a comment\n"
        "E3T 10 5 7 9 3\n"   // counter-clockwise
        "E3T 20 5 7 11 1\n"  // clockwise
        "ND 5 0.0 0.0 1.5\nND 7 2.0 0.0 1.0\nND 9 0.0 2.0 2.0\nND 11 2.0 -2.0 0.5\n"
        "NS 9 5\nNS 11 -7 low side\n");
    EXPECT_EQ(m.nodeId, (std::vector<int>{5, 7, 9, 11}));
    EXPECT_TRUE(m.cellId == (std::vector<int>{10, 20}) && m.material == (std::vector<int>{3, 1}));
    EXPECT_EQ(m.cellLine, (std::vector<int>{4, 5}));
    EXPECT_EQ(m.z, (std::vector<double>{1.5, 1.0, 2.0, 0.5}));
    // The first triangle as given, the second turned counter-clockwise with the same nodes.
    EXPECT_EQ(std::vector<int>(m.cellNodes.begin(), m.cellNodes.begin() + 3), (std::vector<int>{0, 1, 2}));
    const int* t = &m.cellNodes[3];
    EXPECT_GT((m.x[t[1]] - m.x[t[0]]) * (m.y[t[2]] - m.y[t[0]]) - (m.x[t[2]] - m.x[t[0]]) * (m.y[t[1]] - m.y[t[0]]), 0);
    EXPECT_EQ(std::set<int>(t, t + 3), (std::set<int>{0, 1, 3}));
    // The string spans two NS lines; its name is the rest of the line after the negative id.
    ASSERT_EQ(m.strings.size(), 1u);
    EXPECT_EQ(m.strings[0].name, "low side");
    EXPECT_EQ(m.strings[0].nodes, (std::vector<int>{2, 0, 3, 1}));
    EXPECT_EQ(m.strings[0].line, 10);
    // Windows line endings and blank-padded cards.
    const TriMesh w = parse("MESH2D\r\n  E3T 1 1 2 3 1\r\nND 1 0 0 0\r\nND 2 1 0 0\r\nND 3 0 1 0\r\n\r\nNS 1 -2 in\r\n",
                            "crlf.2dm");
    ASSERT_EQ(w.strings.size(), 1u);
    EXPECT_EQ(w.strings[0].name, "in");
    EXPECT_EQ(w.strings[0].nodes, (std::vector<int>{0, 1}));

    // Written and read back: every bit of projected coordinates; a string of 12 ids goes over two NS lines.
    m.x[1] = 500000.1234567891;
    m.y[2] = 5400000.987654321;
    m.strings[0].nodes = {2, 0, 3, 1, 2, 0, 3, 1, 2, 0, 3, 1};
    testsupport::ScratchDir dir("mesh_reader");
    write2dm(m, dir.file("a.2dm"));
    const TriMesh b = read2dm(dir.file("a.2dm"));
    EXPECT_TRUE(b.nodeId == m.nodeId && b.x == m.x && b.y == m.y && b.z == m.z);
    EXPECT_TRUE(b.cellId == m.cellId && b.cellNodes == m.cellNodes && b.material == m.material);
    ASSERT_EQ(b.strings.size(), 1u);
    EXPECT_EQ(b.strings[0].name, "low side");
    EXPECT_EQ(b.strings[0].nodes, m.strings[0].nodes);
}

/// Every message for a bad mesh file, a bad mesh or a bad node-string request names the file, and the line or the
/// element where one applies.
TEST(MeshErrors, NameTheFileLineAndItem)
{
    const std::string nodes = "ND 1 0 0 0\nND 2 1 0 0\nND 3 0 1 0\nND 4 1 1 0\n", one = "MESH2D\nE3T 1 1 2 3 1\n";
    testsupport::ScratchDir dir("mesh_errors");
    TriMesh strings = setuptest::channel(4.0, 2.0, 4, 2);
    strings.strings.push_back({"gauge", {2, 7, 12}, 0});
    strings.strings.push_back({"skew", {1, 5}, 9});  // (1,0) to (0,1): across a cell, not along an edge
    strings.strings.push_back({"dot", {3}, 11});
    strings.source = "m.2dm";
    TriMesh twice = strings;
    twice.strings.push_back({"left", {0, 5}, 12});
    twice.strings.push_back({"skew", {0, 5}, 14});
    const auto cut = [](const TriMesh& m, StringRequest r) { cutNodeStrings(m, computeGeometry(m), {r}); };
    const auto p = [](const std::string& text) { return std::function<void()>([text] { parse(text); }); };
    const std::string e3t = "test.2dm:2: E3T card: the ", whole = " whole number within the range of int";
    const std::string notFile = ": not a regular file (a folder or a device cannot be a mesh file)";
    const std::vector<std::pair<std::function<void()>, std::string>> cases = {
        {p("ND 1 0 0 0\n"), "test.2dm:1: not a 2DM mesh: the first card is \"ND\", expected MESH2D"},
        {p(one + "E4Q 2 1 2 4 3 1\n" + nodes),
         "test.2dm:3: element card E4Q is not supported: the mesh must consist of E3T triangles only"},
        {p("MESH2D\nE6T 1 1 2 3 4 5 6 1\n" + nodes),
         "test.2dm:2: element card E6T is not supported: the mesh must consist of E3T triangles only"},
        {p(one + "E3T 7 1 2 8 1\n" + nodes), "test.2dm:3: element 7 uses unknown node 8"},
        {p(one + "E3T 9 1 2 5 1\n" + nodes + "ND 5 3 0 0\n"), "test.2dm:3: element 9 has zero area"},
        {p("MESH2D\nE3T 4 1 2 2 1\n" + nodes), "test.2dm:2: element 4 uses one node twice"},
        {p(one + nodes + "ND 3 5 5 0\n"), "test.2dm:7: node id 3 is defined twice"},
        {p(one + "E3T 1 2 4 3 1\n" + nodes), "test.2dm:3: element id 1 is defined twice"},
        {p(one + nodes + "NS 1 2\nNS 3 -12 inflow\n"), "test.2dm:7: node string \"inflow\" uses unknown node 12"},
        {p(one + nodes + "NS 1 2 3\n"), "test.2dm:7: node string is not terminated by a negative node id"},
        {p(one + nodes + "NS 1 2 outlet\n"),
         "test.2dm:7: node string: \"outlet\" is not a node id (a name must follow the negative id that ends the "
         "string)"},
        // Ids and materials whole, within int and not negative (never truncated or wrapped); coordinates finite.
        {p("MESH2D\nE3T 1 1 2 x 1\n" + nodes), e3t + "third node id \"x\" is not a positive" + whole},
        {p("MESH2D\nE3T 1 4294967297 2 3 1\n" + nodes), e3t + "first node id \"4294967297\" is not a positive" + whole},
        {p("MESH2D\nE3T 1 1 2 3 1.5\n" + nodes), e3t + "material id \"1.5\" is not a non-negative" + whole},
        {p("MESH2D\nE3T 1 1 2 3 -2\n" + nodes), e3t + "material id \"-2\" is not a non-negative" + whole},
        {p("MESH2D\nE3T 1 1 2 3\n" + nodes), e3t + "material id is missing"},
        {p("MESH2D\nE3T -1 1 2 3 1\n" + nodes), e3t + "element id \"-1\" is not a positive" + whole},
        {p(one + "ND 1 0 nan 0\n"), "test.2dm:3: ND card: the y coordinate \"nan\" is not a finite number"},
        {p(one + "ND 1 0 0 -inf\n"), "test.2dm:3: ND card: the elevation \"-inf\" is not a finite number"},
        {p(one + "ND 1 0 0\n"), "test.2dm:3: ND card: the elevation is missing"},
        {p(one + nodes + "NS 1 -4294967298 x\n"), "test.2dm:7: NS card: the node id \"-4294967298\" is not a" + whole},
        {p("MESH2D\n" + std::string(kMaxLineLength + 1, ' ') + "\n"),
         "test.2dm:2: the line is longer than 1 MB: this is not a 2DM mesh"},
        {p("MESH2D\n" + nodes), "test.2dm: the mesh has no E3T triangles"},
        {p(""), "test.2dm: empty file, expected a MESH2D mesh"},
        {[&] { read2dm(dir.file("missing.2dm")); }, dir.file("missing.2dm") + ": cannot open the mesh file"},
        // A device or a folder is refused before a byte is read (/dev/zero would be one endless line).
        {[] { read2dm("/dev/zero"); }, "/dev/zero" + notFile},
        {[&] { read2dm(dir.path()); }, dir.path() + notFile},
        {[&] {
             computeGeometry(parse(one + "E3T 2 2 1 4 1\nE3T 3 1 2 5 1\nND 1 0 0 0\nND 2 1 0 0\nND 3 0 1 0\n"
                                         "ND 4 0 -1 0\nND 5 1 1 0\n"));
         },
         "test.2dm: the edge between nodes 1 and 2 is shared by more than two elements (element 1 (line 2), element 2 "
         "(line 3), element 3 (line 4))"},
        {[&] { computeGeometry(parse(one + "E3T 2 1 2 4 1\n" + nodes)); },
         "test.2dm: element 1 (line 2) and element 2 (line 3) overlap: they lie on the same side of their common edge"},
        {[&] { cut(strings, {"gauge"}); },
         "m.2dm: node string \"gauge\" runs through the inside of the mesh (nodes 3 to 8): its upstream direction, "
         "left or right, must be given"},
        {[&] { cut(strings, {"skew", UpstreamSide::Left}); },
         "m.2dm: node string \"skew\" (line 9) steps from node 2 to node 6, which are not joined by a mesh edge"},
        {[&] { cut(strings, {"dot"}); }, "m.2dm: node string \"dot\" (line 11) has fewer than two nodes"},
        {[&] { cut(strings, {"outlet"}); }, "m.2dm: node string \"outlet\" is not defined in the mesh"},
        {[&] { cut(twice, {"left"}); }, "m.2dm: node string name \"left\" is used twice"},
        {[&] { cut(twice, {"skew", UpstreamSide::Left}); },
         "m.2dm: node string name \"skew\" is used twice (lines 9 and 14)"},
    };
    for (const auto& [action, message] : cases) {
        SCOPED_TRACE(message);
        try {
            action();
            ADD_FAILURE() << "no error";
        } catch (const MeshError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

TEST(MeshGeometry, TwoTrianglesMatchHandComputedValues)
{
    // Lower-right and upper-left halves of the square (0,0)-(2,2), cut along its diagonal.
    const MeshGeometry g = computeGeometry(
        parse("MESH2D\nE3T 1 1 2 3 1\nE3T 2 1 3 4 7\nND 1 0 0 0\nND 2 2 0 2\nND 3 2 2 4\nND 4 0 2 2\n"));
    ASSERT_TRUE(g.nCells == 2 && g.nEdges == 5);
    expectConsistent(g);
    const int lower = cellAt(g, 4.0 / 3, 2.0 / 3), upper = cellAt(g, 2.0 / 3, 4.0 / 3);
    ASSERT_TRUE(lower >= 0 && upper >= 0);
    EXPECT_FLOAT_EQ(g.geomArea[lower], 2.0f);
    EXPECT_EQ(g.material[upper], 7);
    EXPECT_FLOAT_EQ(g.bottomEl[lower], 2.0f);  // mean of 0, 2, 4

    // The diagonal: length 2 sqrt 2, each centroid sqrt(2)/3 from it, the normal from lower-right to upper-left.
    const int d = edgeBetween(g, 1, 3);
    ASSERT_EQ(g.internalEdges, std::vector<int>{d});
    const int l = g.edgeCells[2 * d];
    EXPECT_EQ(l, std::min(lower, upper));
    EXPECT_FLOAT_EQ(g.geomLeng[d], 2 * std::sqrt(2.0f));
    const float sign = (l == lower) ? 1.0f : -1.0f;
    EXPECT_FLOAT_EQ(g.normVect[2 * d], -sign / std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(g.normVect[2 * d + 1], sign / std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(g.charSize[2 * d], 2 * std::sqrt(2.0f) / 3);
    EXPECT_FLOAT_EQ(g.charSize[2 * d + 1], 2 * std::sqrt(2.0f) / 3);
    EXPECT_FLOAT_EQ(g.distCent[d], 2 * std::sqrt(2.0f) / 3);
    EXPECT_FLOAT_EQ(g.unitCent[2 * d], g.normVect[2 * d]);

    // The bottom boundary: the inner cell in both columns, outward normal, the inner cell mirrored for the sizes.
    const int b = edgeBetween(g, 1, 2), jb = localOf(g, lower, b);
    EXPECT_TRUE(g.edgeCells[2 * b] == lower && g.edgeCells[2 * b + 1] == lower);
    EXPECT_FLOAT_EQ(g.normVect[2 * b + 1], -1.0f);
    EXPECT_FLOAT_EQ(g.charSize[2 * b], 4.0f / 3);
    EXPECT_FLOAT_EQ(g.charSize[2 * b + 1], 4.0f / 3);
    EXPECT_FLOAT_EQ(g.distCent[b], 4.0f / 3);
    EXPECT_FLOAT_EQ(g.geomWght[6 * lower + 2 * jb], 0.0f);
    // One neighbour: the weights give the gradient along the centroid offset (-2/3, 2/3): w = d / |d|^2.
    const int jd = localOf(g, lower, d);
    EXPECT_FLOAT_EQ(g.geomWght[6 * lower + 2 * jd], -0.75f);
    EXPECT_FLOAT_EQ(g.geomWght[6 * lower + 2 * jd + 1], 0.75f);
}

/// A mesh of uneven cells read from a shuffled file gives the geometry of the ordered file, numbered the same way
/// (close in memory where close in space), and its weights reproduce a linear bed's gradient.
TEST(MeshGeometry, ShuffledFileGivesTheSameGeometryAndWeightsReproduceALinearGradient)
{
    TriMesh ordered = setuptest::channel(120, 120, 40, 40, "bump:2:0.001:60");
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> shift(-0.6, 0.6);  // inner nodes moved so that the cells are not all alike
    for (int n = 0; n < ordered.nodeCount(); ++n)
        if (ordered.x[n] > 0 && ordered.x[n] < 120 && ordered.y[n] > 0 && ordered.y[n] < 120) {
            ordered.x[n] += shift(rng);
            ordered.y[n] += shift(rng);
        }
    // Nodes and triangles shuffled, node ids changed, each triangle's node list rotated.
    const int nn = ordered.nodeCount(), nc = ordered.cellCount();
    std::vector<int> nodePerm(nn), cellPerm(nc), newIndex(nn);
    for (auto* perm : {&nodePerm, &cellPerm}) {
        std::iota(perm->begin(), perm->end(), 0);
        std::shuffle(perm->begin(), perm->end(), rng);
    }
    TriMesh shuffled = ordered;
    for (int n = 0; n < nn; ++n) {
        const int o = nodePerm[n];
        newIndex[o] = n;
        shuffled.nodeId[n] = 1000 + 3 * o;
        std::tie(shuffled.x[n], shuffled.y[n], shuffled.z[n]) = std::tie(ordered.x[o], ordered.y[o], ordered.z[o]);
    }
    for (int c = 0; c < nc; ++c) {
        const int f = cellPerm[c];
        for (int k = 0; k < 3; ++k) shuffled.cellNodes[3 * c + k] = newIndex[ordered.cellNodes[3 * f + (k + c) % 3]];
        shuffled.cellId[c] = ordered.cellId[f];
        shuffled.material[c] = ordered.material[f];
    }
    const MeshGeometry a = computeGeometry(ordered), g = computeGeometry(shuffled);
    expectConsistent(g);
    EXPECT_TRUE(a.cellId == g.cellId && a.cellEdges == g.cellEdges && a.edgeSign == g.edgeSign);
    EXPECT_TRUE(a.geomWght == g.geomWght && a.bottomEl == g.bottomEl && a.edgeCells == g.edgeCells);
    EXPECT_TRUE(a.normVect == g.normVect && a.charSize == g.charSize && a.unitCent == g.unitCent);
    std::vector<int> mapped(a.topology.size());
    for (size_t i = 0; i < mapped.size(); ++i) mapped[i] = newIndex[a.topology[i]];
    EXPECT_EQ(mapped, g.topology);
    for (int f = 0; f < nc; ++f) EXPECT_EQ(g.cellOfFile[f], a.cellOfFile[cellPerm[f]]);
    // Neighbours in memory are neighbours in space: far below the n/3 of a random numbering.
    double sum = 0;
    for (int e : g.internalEdges) sum += std::abs(g.edgeCells[2 * e + 1] - g.edgeCells[2 * e]);
    EXPECT_LT(sum / g.internalEdges.size(), g.nCells / 50.0);

    int checked = 0;  // boundary cells with two neighbours too; only one-neighbour corners cannot
    for (int c = 0; c < g.nCells; ++c) {
        if (g.nrTrueNb[c] < 2) continue;
        double gx = 0, gy = 0;
        for (int j = 0; j < 3; ++j) {
            const int k = g.nbrCells[3 * c + j];
            const double dz = -0.01 * (g.centroid[2 * k] - g.centroid[2 * c]) +
                              0.002 * (g.centroid[2 * k + 1] - g.centroid[2 * c + 1]);
            gx += g.geomWght[6 * c + 2 * j] * dz;
            gy += g.geomWght[6 * c + 2 * j + 1] * dz;
        }
        EXPECT_CLOSE(gx, -0.01, 1e-7, 0.0) << "cell " << c;
        EXPECT_CLOSE(gy, 0.002, 1e-7, 0.0) << "cell " << c;
        ++checked;
    }
    EXPECT_EQ(checked, g.nCells - 2);
}

TEST(NodeStrings, LongBoundaryStringSplitsIntoPiecesKeepingItsWholeLength)
{
    const TriMesh mesh = setuptest::channel(93.0, 2.0, 93, 1);  // "bottom" has 93 edges of 1 m
    const MeshGeometry g = computeGeometry(mesh);
    const auto pieces = cutNodeStrings(mesh, g, {{"left"}, {"bottom"}});
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_TRUE(pieces[0].name == "left" && pieces[0].listSize == 1);
    EXPECT_FLOAT_EQ(pieces[0].totalLen, 2.0f);
    const int sizes[3] = {40, 40, 13};
    for (int p = 0; p < 3; ++p) {
        const StringPiece& s = pieces[1 + p];
        SCOPED_TRACE(p);
        EXPECT_TRUE(s.name == "bottom" && s.request == 1 && s.piece == p);
        EXPECT_EQ(s.listSize, sizes[p]);
        EXPECT_FLOAT_EQ(s.totalLen, 93.0f);
        for (int k = 0; k < kMaxStringEdges; ++k) {
            if (k >= s.listSize) {  // unused tail
                EXPECT_TRUE(s.edges[k] == 0 && s.edgeSign[k] == 0) << k;
                continue;
            }
            // Edge k of piece p runs from x = 40p + k to 40p + k + 1 on y = 0; the inner cell is upstream and the
            // edge's left cell, so outflow counts positive.
            const int e = s.edges[k], a = g.edgeNodes[2 * e], b = g.edgeNodes[2 * e + 1];
            EXPECT_FLOAT_EQ(std::min(g.coordnts[3 * a], g.coordnts[3 * b]), static_cast<float>(40 * p + k));
            EXPECT_FLOAT_EQ(g.coordnts[3 * a + 1] + g.coordnts[3 * b + 1], 0.0f);
            EXPECT_EQ(s.upstreamCells[k], g.edgeCells[2 * e]);
            EXPECT_FLOAT_EQ(s.edgeSign[k] * g.normVect[2 * e + 1], -1.0f);
        }
    }
}

TEST(NodeStrings, GaugeInsideTheMeshTakesTheChosenUpstreamSide)
{
    TriMesh mesh = setuptest::channel(4.0, 2.0, 4, 2);
    // Vertical line x = 2: nodes (2,0), (2,1), (2,2) are indices 2, 7, 12; walked upwards and downwards.
    mesh.strings.push_back({"up", {2, 7, 12}, 0});
    mesh.strings.push_back({"down", {12, 7, 2}, 0});
    const MeshGeometry g = computeGeometry(mesh);
    for (const char* name : {"up", "down"})
        for (UpstreamSide side : {UpstreamSide::Left, UpstreamSide::Right}) {
            SCOPED_TRACE(std::string(name) + (side == UpstreamSide::Left ? " left" : " right"));
            const auto pieces = cutNodeStrings(mesh, g, {{name, side}});
            ASSERT_EQ(pieces.size(), 1u);
            const StringPiece& s = pieces[0];
            ASSERT_EQ(s.listSize, 2);
            EXPECT_FLOAT_EQ(s.totalLen, 2.0f);
            // Walking up, the left side is x < 2; the signed normal points from upstream to downstream.
            const bool upstreamWest = (side == UpstreamSide::Left) == (std::string(name) == "up");
            for (int k = 0; k < 2; ++k) {
                const int e = s.edges[k], c = s.upstreamCells[k];
                EXPECT_FALSE(g.isBoundary(e));
                EXPECT_EQ(g.centroid[2 * c] < 2.0, upstreamWest);
                EXPECT_EQ(s.edgeSign[k], c == g.edgeCells[2 * e] ? 1 : -1);
                EXPECT_FLOAT_EQ(s.edgeSign[k] * g.normVect[2 * e], upstreamWest ? 1.0f : -1.0f);
            }
        }
}
