// Mesh geometry on hand-made meshes: normals, lengths, sizes, signs, neighbours, gradient weights, numbering.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <sstream>

#include "setup/mesh/Geometry.hpp"
#include "setup/mesh/MeshGenerator.hpp"
#include "support/Tolerance.hpp"

using setup::computeGeometry;
using setup::MeshError;
using setup::MeshGeometry;
using setup::TriMesh;

namespace {

TriMesh parse(const std::string& text)
{
    std::istringstream in(text);
    return setup::parse2dm(in, "test.2dm");
}

/// Cell whose centroid is (x, y), or -1.
int cellAt(const MeshGeometry& g, double x, double y)
{
    for (int c = 0; c < g.nCells; ++c)
        if (std::abs(g.centroid[2 * c] - x) < 1e-9 && std::abs(g.centroid[2 * c + 1] - y) < 1e-9) return c;
    return -1;
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

/// Local position of edge e in cell c, or -1.
int localOf(const MeshGeometry& g, int c, int e)
{
    for (int j = 0; j < 3; ++j)
        if (g.cellEdges[3 * c + j] == e) return j;
    return -1;
}

/// Checks every convention that must hold on any mesh: each cell's boundary is closed by its outward normals,
/// edge j joins nodes j and j+1, the neighbour and sign agree with the edge's cells, normals point left to right,
/// and within a tile an inner edge's left cell has the lower number.
void expectConsistent(const MeshGeometry& g)
{
    for (int c = 0; c < g.nCells; ++c) {
        double sx = 0, sy = 0;
        int trueNb = 0;
        for (int j = 0; j < 3; ++j) {
            const int e = g.cellEdges[3 * c + j];
            const int l = g.edgeCells[2 * e], r = g.edgeCells[2 * e + 1];
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
            // The outward normal of the cell across edge j points away from its centroid.
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
        if (l != r && l / setup::kTileCells == r / setup::kTileCells) {
            EXPECT_LT(l, r);  // within a tile the numbers follow the curve
        }
        EXPECT_CLOSE(std::hypot(g.normVect[2 * e], g.normVect[2 * e + 1]), 1.0, 1e-6, 0.0);
    }
}

// Lower-right and upper-left halves of the square (0,0)-(2,2), cut along its diagonal.
const char* const kTwoTriangles =
    "MESH2D\nE3T 1 1 2 3 1\nE3T 2 1 3 4 7\n"
    "ND 1 0 0 0\nND 2 2 0 2\nND 3 2 2 4\nND 4 0 2 2\n";

// A central triangle (0,0) (4,0) (0,4) with one triangle on each of its edges.
const char* const kFourTriangles =
    "MESH2D\nE3T 1 1 2 3 1\nE3T 2 1 5 2 1\nE3T 3 2 6 3 1\nE3T 4 3 7 1 1\n"
    "ND 1 0 0 0\nND 2 4 0 0\nND 3 0 4 0\nND 5 2 -2 0\nND 6 4 4 0\nND 7 -2 2 0\n";

}  // namespace

TEST(MeshGeometry, TwoTrianglesMatchHandComputedValues)
{
    const MeshGeometry g = computeGeometry(parse(kTwoTriangles));
    ASSERT_EQ(g.nCells, 2);
    ASSERT_EQ(g.nEdges, 5);
    ASSERT_EQ(g.nNodes, 4);
    expectConsistent(g);
    EXPECT_EQ(g.boundaryEdges.size(), 4u);
    ASSERT_EQ(g.internalEdges.size(), 1u);

    const int lower = cellAt(g, 4.0 / 3, 2.0 / 3), upper = cellAt(g, 2.0 / 3, 4.0 / 3);
    ASSERT_GE(lower, 0);
    ASSERT_GE(upper, 0);
    EXPECT_FLOAT_EQ(g.geomArea[lower], 2.0f);
    EXPECT_FLOAT_EQ(g.geomArea[upper], 2.0f);
    EXPECT_EQ(g.material[upper], 7);
    EXPECT_FLOAT_EQ(g.bottomEl[lower], 2.0f);  // mean of 0, 2, 4
    EXPECT_FLOAT_EQ(g.bottomEl[upper], 2.0f);
    EXPECT_EQ(g.nrTrueNb[lower], 1);

    // The diagonal: length 2*sqrt(2); each centroid lies sqrt(2)/3 from it.
    const int d = edgeBetween(g, 1, 3);
    ASSERT_EQ(d, g.internalEdges[0]);
    const int l = g.edgeCells[2 * d], r = g.edgeCells[2 * d + 1];
    EXPECT_EQ(std::min(l, r), std::min(lower, upper));
    EXPECT_FLOAT_EQ(g.geomLeng[d], 2 * std::sqrt(2.0f));
    const float sign = (l == lower) ? 1.0f : -1.0f;  // the normal points from the lower-right to the upper-left
    EXPECT_FLOAT_EQ(g.normVect[2 * d], -sign / std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(g.normVect[2 * d + 1], sign / std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(g.charSize[2 * d], 2 * std::sqrt(2.0f) / 3);
    EXPECT_FLOAT_EQ(g.charSize[2 * d + 1], 2 * std::sqrt(2.0f) / 3);
    EXPECT_FLOAT_EQ(g.distCent[d], 2 * std::sqrt(2.0f) / 3);
    EXPECT_FLOAT_EQ(g.unitCent[2 * d], g.normVect[2 * d]);
    EXPECT_FLOAT_EQ(g.unitCent[2 * d + 1], g.normVect[2 * d + 1]);
    EXPECT_EQ(g.edgeSign[3 * lower + localOf(g, lower, d)], l == lower ? 1 : -1);
    EXPECT_EQ(g.edgeSign[3 * upper + localOf(g, upper, d)], l == upper ? 1 : -1);
    EXPECT_EQ(g.nbrCells[3 * lower + localOf(g, lower, d)], upper);

    // The bottom boundary: inner cell in both columns, outward normal, the inner cell mirrored for the sizes.
    const int b = edgeBetween(g, 1, 2);
    ASSERT_GE(b, 0);
    EXPECT_EQ(g.edgeCells[2 * b], lower);
    EXPECT_EQ(g.edgeCells[2 * b + 1], lower);
    EXPECT_FLOAT_EQ(g.geomLeng[b], 2.0f);
    EXPECT_FLOAT_EQ(g.normVect[2 * b], 0.0f);
    EXPECT_FLOAT_EQ(g.normVect[2 * b + 1], -1.0f);
    EXPECT_FLOAT_EQ(g.charSize[2 * b], 4.0f / 3);
    EXPECT_FLOAT_EQ(g.charSize[2 * b + 1], 4.0f / 3);
    EXPECT_FLOAT_EQ(g.distCent[b], 4.0f / 3);
    EXPECT_FLOAT_EQ(g.unitCent[2 * b + 1], -1.0f);
    const int jb = localOf(g, lower, b);
    EXPECT_EQ(g.edgeSign[3 * lower + jb], 1);
    EXPECT_EQ(g.nbrCells[3 * lower + jb], lower);
    EXPECT_FLOAT_EQ(g.geomWght[6 * lower + 2 * jb], 0.0f);
    EXPECT_FLOAT_EQ(g.geomWght[6 * lower + 2 * jb + 1], 0.0f);

    // One neighbour: the weights give the gradient along the centroid offset (-2/3, 2/3): w = d / |d|^2.
    const int jd = localOf(g, lower, d);
    EXPECT_FLOAT_EQ(g.geomWght[6 * lower + 2 * jd], -0.75f);
    EXPECT_FLOAT_EQ(g.geomWght[6 * lower + 2 * jd + 1], 0.75f);
}

TEST(MeshGeometry, FourTrianglesGiveThreeNeighboursAndExactLinearGradient)
{
    const TriMesh mesh = parse(kFourTriangles);
    const MeshGeometry g = computeGeometry(mesh);
    ASSERT_EQ(g.nCells, 4);
    ASSERT_EQ(g.nEdges, 9);
    expectConsistent(g);
    EXPECT_EQ(g.internalEdges.size(), 3u);
    EXPECT_EQ(g.boundaryEdges.size(), 6u);

    const int centre = cellAt(g, 4.0 / 3, 4.0 / 3), below = cellAt(g, 2, -2.0 / 3);
    const int beyond = cellAt(g, 8.0 / 3, 8.0 / 3), left = cellAt(g, -2.0 / 3, 2);
    ASSERT_TRUE(centre >= 0 && below >= 0 && beyond >= 0 && left >= 0);
    EXPECT_EQ(g.nrTrueNb[centre], 3);
    EXPECT_EQ(g.nrTrueNb[below], 1);
    EXPECT_FLOAT_EQ(g.geomArea[centre], 8.0f);
    EXPECT_FLOAT_EQ(g.geomArea[below], 4.0f);
    EXPECT_FLOAT_EQ(g.geomArea[beyond], 8.0f);

    // Edge (4,0)-(0,4): both centroids lie 4/(3 sqrt 2) from it.
    const int e = edgeBetween(g, 2, 3);
    EXPECT_FLOAT_EQ(g.charSize[2 * e], 8.0f / (3 * std::sqrt(2.0f)));
    EXPECT_FLOAT_EQ(g.charSize[2 * e + 1], 8.0f / (3 * std::sqrt(2.0f)));
    // Edge (0,0)-(4,0): centroids at 4/3 above and 2/3 below it.
    const int ab = edgeBetween(g, 1, 2);
    const bool centreLeft = g.edgeCells[2 * ab] == centre;
    EXPECT_FLOAT_EQ(g.charSize[2 * ab + (centreLeft ? 0 : 1)], 8.0f / 3);
    EXPECT_FLOAT_EQ(g.charSize[2 * ab + (centreLeft ? 1 : 0)], 4.0f / 3);
    EXPECT_FLOAT_EQ(g.distCent[ab], std::hypot(2.0f / 3, 2.0f));

    // Neighbours in the order of the edges, and the least-squares weight of the neighbour below, worked by hand:
    // offsets (2/3, -2), (4/3, 4/3), (-2, 2/3); sum d d^T = [[56, -8], [-8, 56]] / 9; w = M^-1 (2/3, -2).
    std::vector<int> nbrs(g.nbrCells.begin() + 3 * centre, g.nbrCells.begin() + 3 * centre + 3);
    std::sort(nbrs.begin(), nbrs.end());
    std::vector<int> expected{below, beyond, left};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(nbrs, expected);
    const int jb = localOf(g, centre, ab);
    EXPECT_EQ(g.nbrCells[3 * centre + jb], below);
    EXPECT_FLOAT_EQ(g.geomWght[6 * centre + 2 * jb], 0.0625f);
    EXPECT_FLOAT_EQ(g.geomWght[6 * centre + 2 * jb + 1], -0.3125f);

    // z = 3x - 2y + 5 sampled at the centroids: the weights give back (3, -2).
    auto z = [&](int c) { return 3 * g.centroid[2 * c] - 2 * g.centroid[2 * c + 1] + 5; };
    double gx = 0, gy = 0;
    for (int j = 0; j < 3; ++j) {
        const int k = g.nbrCells[3 * centre + j];
        gx += g.geomWght[6 * centre + 2 * j] * (z(k) - z(centre));
        gy += g.geomWght[6 * centre + 2 * j + 1] * (z(k) - z(centre));
    }
    EXPECT_CLOSE(gx, 3.0, 1e-5, 0.0);
    EXPECT_CLOSE(gy, -2.0, 1e-5, 0.0);
}

TEST(MeshGeometry, WeightsReproduceLinearBedGradientInEveryInteriorCell)
{
    setup::RectangleSpec spec;
    spec.lengthX = 30;
    spec.lengthY = 12;
    spec.cellsX = 10;
    spec.cellsY = 6;
    TriMesh mesh = setup::generateRectangle(spec);
    // Distort the inner nodes so that the cells are not all alike.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> shift(-0.6, 0.6);
    for (int n = 0; n < mesh.nodeCount(); ++n)
        if (mesh.x[n] > 0 && mesh.x[n] < 30 && mesh.y[n] > 0 && mesh.y[n] < 12) {
            mesh.x[n] += shift(rng);
            mesh.y[n] += shift(rng);
        }
    const MeshGeometry g = computeGeometry(mesh);
    expectConsistent(g);
    // Boundary cells with two neighbours reproduce the gradient too; only one-neighbour corners cannot.
    int checked = 0;
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
    EXPECT_EQ(checked, g.nCells - 2);  // the two corner triangles touch one neighbour only
}

TEST(MeshGeometry, EdgesSharedByThreeTrianglesOrOverlappingAreErrors)
{
    try {
        computeGeometry(
            parse("MESH2D\nE3T 1 1 2 3 1\nE3T 2 2 1 4 1\nE3T 3 1 2 5 1\n"
                  "ND 1 0 0 0\nND 2 1 0 0\nND 3 0 1 0\nND 4 0 -1 0\nND 5 1 1 0\n"));
        FAIL() << "no error";
    } catch (const MeshError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "test.2dm: the edge between nodes 1 and 2 is shared by more than two elements "
                  "(element 1 (line 2), element 2 (line 3), element 3 (line 4))");
    }
    try {
        computeGeometry(
            parse("MESH2D\nE3T 1 1 2 3 1\nE3T 2 1 2 4 1\nND 1 0 0 0\nND 2 2 0 0\nND 3 0 2 0\nND 4 1 1 0\n"));
        FAIL() << "no error";
    } catch (const MeshError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "test.2dm: element 1 (line 2) and element 2 (line 3) overlap: they lie on the same side of their "
                  "common edge");
    }
}

TEST(MeshGeometry, PermutedFileGivesTheSameGeometryAndLocalNumbering)
{
    setup::RectangleSpec spec;
    spec.lengthX = 40;
    spec.lengthY = 40;
    spec.cellsX = 40;
    spec.cellsY = 40;
    spec.bed = setup::BedShape::parse("bump:2:0.01:20");
    const TriMesh ordered = setup::generateRectangle(spec);

    // Shuffle the nodes and the triangles, and rotate each triangle's node list.
    std::mt19937 rng(11);
    const int nn = ordered.nodeCount(), nc = ordered.cellCount();
    std::vector<int> nodePerm(nn), cellPerm(nc), newIndex(nn);
    std::iota(nodePerm.begin(), nodePerm.end(), 0);
    std::iota(cellPerm.begin(), cellPerm.end(), 0);
    std::shuffle(nodePerm.begin(), nodePerm.end(), rng);
    std::shuffle(cellPerm.begin(), cellPerm.end(), rng);
    TriMesh shuffled = ordered;
    for (int n = 0; n < nn; ++n) {
        const int o = nodePerm[n];
        newIndex[o] = n;
        shuffled.nodeId[n] = 1000 + 3 * o;
        shuffled.x[n] = ordered.x[o];
        shuffled.y[n] = ordered.y[o];
        shuffled.z[n] = ordered.z[o];
    }
    for (int c = 0; c < nc; ++c) {
        const int f = cellPerm[c];
        for (int k = 0; k < 3; ++k) shuffled.cellNodes[3 * c + k] = newIndex[ordered.cellNodes[3 * f + (k + c) % 3]];
        shuffled.cellId[c] = ordered.cellId[f];
        shuffled.material[c] = ordered.material[f];
    }

    const MeshGeometry a = computeGeometry(ordered), b = computeGeometry(shuffled);
    expectConsistent(b);
    // Cells, edges and local positions depend on positions only: every cell and edge array is identical, and the
    // node arrays agree once the nodes are mapped.
    EXPECT_EQ(a.nEdges, b.nEdges);
    EXPECT_EQ(a.cellId, b.cellId);
    EXPECT_EQ(a.cellEdges, b.cellEdges);
    EXPECT_EQ(a.nbrCells, b.nbrCells);
    EXPECT_EQ(a.edgeSign, b.edgeSign);
    EXPECT_EQ(a.geomArea, b.geomArea);
    EXPECT_EQ(a.geomWght, b.geomWght);
    EXPECT_EQ(a.nrTrueNb, b.nrTrueNb);
    EXPECT_EQ(a.bottomEl, b.bottomEl);
    EXPECT_EQ(a.edgeCells, b.edgeCells);
    EXPECT_EQ(a.normVect, b.normVect);
    EXPECT_EQ(a.geomLeng, b.geomLeng);
    EXPECT_EQ(a.charSize, b.charSize);
    EXPECT_EQ(a.unitCent, b.unitCent);
    EXPECT_EQ(a.distCent, b.distCent);
    std::vector<int> mapped(a.topology.size());
    for (size_t i = 0; i < mapped.size(); ++i) mapped[i] = newIndex[a.topology[i]];
    EXPECT_EQ(mapped, b.topology);
    for (int f = 0; f < nc; ++f) EXPECT_EQ(b.cellOfFile[f], a.cellOfFile[cellPerm[f]]);

    // Neighbours in memory are neighbours in space: the mean index distance across inner edges is far below the
    // n/3 of a random numbering.
    double sum = 0;
    for (int e : b.internalEdges) sum += std::abs(b.edgeCells[2 * e + 1] - b.edgeCells[2 * e]);
    EXPECT_LT(sum / b.internalEdges.size(), b.nCells / 50.0);
}

TEST(MeshGeometry, TilesSpreadEveryHalfOfTheNumberingOverTheDomainAndKeepTheCurveOrientation)
{
    // A 4:1 channel of exactly eight tiles. Along the curve alone the first half of the cells would be one end of
    // the channel; with the tiles taken in bit-reversed order (0, 4, 2, 6, 1, 5, 3, 7) each half of the numbering
    // holds every other tile, spread over the whole length.
    constexpr int tile = setup::kTileCells;
    setup::RectangleSpec spec;
    spec.lengthX = 2048;
    spec.lengthY = 512;
    spec.cellsX = 512;
    spec.cellsY = 128;
    static_assert(512 * 128 * 2 == 8 * tile, "the channel is meant to hold eight tiles");
    const MeshGeometry g = computeGeometry(setup::generateRectangle(spec));
    ASSERT_EQ(g.nCells, 8 * tile);
    expectConsistent(g);

    for (int half = 0; half < 2; ++half) {
        int upstream = 0;
        for (int c = half * g.nCells / 2; c < (half + 1) * g.nCells / 2; ++c)
            if (g.centroid[2 * c] < 1024) ++upstream;
        const double share = upstream / (g.nCells / 2.0);
        EXPECT_GT(share, 0.4) << "half " << half;
        EXPECT_LT(share, 0.6) << "half " << half;
    }

    // Position along the curve of the cell numbered c: slot c / tile holds curve tile reverse(slot).
    auto curvePos = [&](int c) {
        const int slot = c / tile, reversed = ((slot & 1) << 2) | (slot & 2) | ((slot & 4) >> 2);
        return reversed * tile + c % tile;
    };
    // An inner edge's left cell is the one that comes first along the curve, as in a numbering without tiles, so
    // fluxes keep their orientation; edges between tiles are few.
    int across = 0, wrong = 0;
    for (int e : g.internalEdges) {
        const int l = g.edgeCells[2 * e], r = g.edgeCells[2 * e + 1];
        if (l / tile != r / tile) ++across;
        if (curvePos(l) >= curvePos(r)) ++wrong;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(across, 0);
    EXPECT_LT(across, static_cast<int>(g.internalEdges.size()) / 50);
}
