// Node strings cut into pieces of at most 40 edges: edges, upstream cells, signs and lengths.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "setup/mesh/Geometry.hpp"
#include "setup/mesh/MeshGenerator.hpp"
#include "support/Tolerance.hpp"

using setup::MeshError;
using setup::StringRequest;
using setup::UpstreamSide;

namespace {

setup::TriMesh rectangle(double lx, double ly, int nx, int ny)
{
    setup::RectangleSpec spec;
    spec.lengthX = lx;
    spec.lengthY = ly;
    spec.cellsX = nx;
    spec.cellsY = ny;
    return setup::generateRectangle(spec);
}

std::string errorOf(const setup::TriMesh& mesh, const std::vector<StringRequest>& requests)
{
    try {
        setup::cutNodeStrings(mesh, setup::computeGeometry(mesh), requests);
    } catch (const MeshError& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace

TEST(NodeStrings, LongBoundaryStringSplitsIntoPiecesKeepingItsWholeLength)
{
    const setup::TriMesh mesh = rectangle(93.0, 2.0, 93, 1);  // "bottom" has 93 edges of 1 m
    const setup::MeshGeometry g = setup::computeGeometry(mesh);
    const auto pieces = setup::cutNodeStrings(mesh, g, {{"left"}, {"bottom"}});
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(pieces[0].name, "left");
    EXPECT_EQ(pieces[0].listSize, 1);
    EXPECT_FLOAT_EQ(pieces[0].totalLen, 2.0f);
    const int sizes[3] = {40, 40, 13};
    for (int p = 0; p < 3; ++p) {
        const setup::StringPiece& s = pieces[1 + p];
        EXPECT_EQ(s.name, "bottom");
        EXPECT_EQ(s.request, 1);
        EXPECT_EQ(s.piece, p);
        EXPECT_EQ(s.listSize, sizes[p]);
        EXPECT_FLOAT_EQ(s.totalLen, 93.0f);
        for (int k = 0; k < setup::kMaxStringEdges; ++k) {
            if (k >= s.listSize) {  // unused tail
                EXPECT_EQ(s.edges[k], 0);
                EXPECT_EQ(s.edgeSign[k], 0);
                continue;
            }
            const int e = s.edges[k];
            // Edge k of piece p is the bottom edge from x = 40p + k to x = 40p + k + 1.
            const int a = g.edgeNodes[2 * e], b = g.edgeNodes[2 * e + 1];
            EXPECT_FLOAT_EQ(std::min(g.coordnts[3 * a], g.coordnts[3 * b]), static_cast<float>(40 * p + k));
            EXPECT_FLOAT_EQ(g.coordnts[3 * a + 1] + g.coordnts[3 * b + 1], 0.0f);
            // On the boundary the inner cell is upstream and the edge's left cell: outflow counts positive.
            EXPECT_TRUE(g.isBoundary(e));
            EXPECT_EQ(s.upstreamCells[k], g.edgeCells[2 * e]);
            EXPECT_EQ(s.edgeSign[k], 1);
            EXPECT_FLOAT_EQ(s.edgeSign[k] * g.normVect[2 * e + 1], -1.0f);
        }
    }
}

TEST(NodeStrings, GaugeInsideTheMeshTakesTheChosenUpstreamSide)
{
    setup::TriMesh mesh = rectangle(4.0, 2.0, 4, 2);
    // Vertical line x = 2: nodes (2,0), (2,1), (2,2) are indices 2, 7, 12; walked upwards and downwards.
    mesh.strings.push_back({"up", {2, 7, 12}, 0});
    mesh.strings.push_back({"down", {12, 7, 2}, 0});
    const setup::MeshGeometry g = setup::computeGeometry(mesh);
    for (const char* name : {"up", "down"})
        for (UpstreamSide side : {UpstreamSide::Left, UpstreamSide::Right}) {
            const auto pieces = setup::cutNodeStrings(mesh, g, {{name, side}});
            ASSERT_EQ(pieces.size(), 1u);
            const setup::StringPiece& s = pieces[0];
            ASSERT_EQ(s.listSize, 2);
            EXPECT_FLOAT_EQ(s.totalLen, 2.0f);
            // Walking up, the left side is x < 2 (walking down, x > 2); the signed normal points from upstream to
            // downstream.
            const bool upstreamWest = (side == UpstreamSide::Left) == (std::string(name) == "up");
            const float flow = upstreamWest ? 1.0f : -1.0f;
            for (int k = 0; k < 2; ++k) {
                const int e = s.edges[k], c = s.upstreamCells[k];
                EXPECT_FALSE(g.isBoundary(e));
                EXPECT_EQ(g.centroid[2 * c] < 2.0, upstreamWest) << name << ": upstream cell on the wrong side";
                EXPECT_EQ(s.edgeSign[k], c == g.edgeCells[2 * e] ? 1 : -1);
                EXPECT_FLOAT_EQ(s.edgeSign[k] * g.normVect[2 * e], flow);
                EXPECT_FLOAT_EQ(s.edgeSign[k] * g.normVect[2 * e + 1], 0.0f);
            }
        }
}

TEST(NodeStrings, BadRequestsNameTheString)
{
    setup::TriMesh mesh = rectangle(4.0, 2.0, 4, 2);
    mesh.strings.push_back({"gauge", {2, 7, 12}, 0});
    mesh.strings.push_back({"skew", {1, 5}, 9});  // (1,0) to (0,1): across a cell, not along an edge
    mesh.strings.push_back({"dot", {3}, 11});
    mesh.source = "m.2dm";
    EXPECT_EQ(errorOf(mesh, {{"gauge"}}),
              "m.2dm: node string \"gauge\" runs through the inside of the mesh (nodes 3 to 8): its upstream "
              "direction, left or right, must be given");
    EXPECT_EQ(errorOf(mesh, {{"skew", UpstreamSide::Left}}),
              "m.2dm: node string \"skew\" (line 9) steps from node 2 to node 6, which are not joined by a mesh edge");
    EXPECT_EQ(errorOf(mesh, {{"dot"}}), "m.2dm: node string \"dot\" (line 11) has fewer than two nodes");
    EXPECT_EQ(errorOf(mesh, {{"outlet"}}), "m.2dm: node string \"outlet\" is not defined in the mesh");
    mesh.strings.push_back({"left", {0, 5}, 12});
    EXPECT_EQ(errorOf(mesh, {{"left"}}), "m.2dm: node string name \"left\" is used twice");
    mesh.strings.push_back({"skew", {0, 5}, 14});
    EXPECT_EQ(errorOf(mesh, {{"skew", UpstreamSide::Left}}),
              "m.2dm: node string name \"skew\" is used twice (lines 9 and 14)");
}
