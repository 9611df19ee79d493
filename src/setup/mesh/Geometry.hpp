// Mesh geometry of the model file: edges, left/right cells, normals, sizes, neighbours, gradient weights, node strings.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "setup/mesh/Mesh2dm.hpp"

namespace setup {

/// Maximum number of edges of one node-string piece (width of the node-string maps).
constexpr int kMaxStringEdges = 40;

/// Cells per tile of the cell numbering (see MeshGeometry).
constexpr int kTileCells = 16384;

/// Everything the model file needs about the mesh, computed in double and stored as float.
///
/// Cells are ordered along a Hilbert curve over their centroids, so that neighbours in space are near in memory
/// whatever order the file had. The curve is cut into tiles of kTileCells cells, numbered in bit-reversed order
/// of their place along the curve, so that every contiguous half (quarter, ...) of the numbers covers the whole
/// mesh: the loops give each thread a contiguous range, and a wet or moving part of the domain is then shared
/// by all threads instead of falling to one. Edges are numbered in the order in which the renumbered cells first
/// reach them; each triangle starts at its lowest node (by x, then y). Nodes keep the file order. The results
/// therefore do not depend on how the file orders or numbers its nodes and triangles. All indices are 0-based.
/// Conventions:
///  - edge e has a left cell edgeCells[2e] and a right cell edgeCells[2e+1]; normVect points from left to
///    right; an internal edge's left cell is the one that comes first along the curve (within a tile, the one
///    with the lower number), so the tiles do not change any flux; a boundary edge names its inner cell in both
///    columns and its normal points out of the domain;
///  - local edge j of cell c joins its nodes j and (j+1)%3; the cell's neighbour j lies across that edge
///    (the cell itself on the boundary, with zero gradient weights).
struct MeshGeometry {
    int nNodes = 0, nCells = 0, nEdges = 0;

    // Nodes (file order).
    std::vector<float> coordnts;  ///< x, y, z per node [m]                    (NodesAll/Coordnts)

    // Cells (renumbered).
    std::vector<int> topology;     ///< 3 node indices, counter-clockwise      (CellsAll/Topology)
    std::vector<int> cellEdges;    ///< 3 edges, edge j joins nodes j, j+1     (map CellsAll/EdgesAll)
    std::vector<int> nbrCells;     ///< 3 cells across the cell's edges         (map CellsAll/NbrCells)
    std::vector<int> edgeSign;     ///< 3 signs: +1 left of the edge, -1 right  (CellsAll/EdgeSign)
    std::vector<float> geomArea;   ///< area [m^2]                              (CellsAll/GeomArea)
    std::vector<float> geomWght;   ///< wx0, wy0, wx1, wy1, wx2, wy2 [1/m]       (CellsAll/GeomWght)
    std::vector<int> nrTrueNb;     ///< number of neighbours that are other cells (CellsAll/NrTrueNb)
    std::vector<float> bottomEl;   ///< mean of the three node elevations [m]   (initial CellsAll/BottomEl)
    std::vector<int> material;     ///< material id
    std::vector<int> cellId;       ///< 2DM element id
    std::vector<double> centroid;  ///< x, y of the centroid [m]
    std::vector<int> cellOfFile;   ///< new cell number of each triangle of the TriMesh (file order)

    // Edges.
    std::vector<int> edgeCells;   ///< left, right cell                        (map EdgesAll/CellsAll)
    std::vector<int> edgeNodes;   ///< 2 node indices, walking with the left cell on the left
    std::vector<float> normVect;  ///< unit normal, left to right               (EdgesAll/NormVect)
    std::vector<float> geomLeng;  ///< length [m]                               (EdgesAll/GeomLeng)
    std::vector<float> charSize;  ///< twice the edge-to-centroid distance of left, right cell [m] (EdgesAll/CharSize)
    std::vector<float> unitCent;  ///< unit vector left to right centroid       (EdgesAll/UnitCent)
    std::vector<float> distCent;  ///< centroid distance [m]                    (EdgesAll/DistCent)
    std::vector<int> boundaryEdges;  ///< edges with one cell, ascending
    std::vector<int> internalEdges;  ///< edges with two cells, ascending

    bool isBoundary(int edge) const { return edgeCells[2 * edge] == edgeCells[2 * edge + 1]; }
};

/// Computes the geometry. On a boundary edge the right-hand quantities describe the inner cell mirrored
/// across the edge: charSize[1] = charSize[0], unitCent = normVect, distCent = charSize[0].
/// Throws MeshError for an edge shared by more than two triangles or two triangles that overlap along an edge.
MeshGeometry computeGeometry(const TriMesh& mesh);

/// Which side of a node string is upstream, seen walking from its first to its last node.
enum class UpstreamSide { Automatic, Left, Right };

/// A node string the model uses. Automatic is allowed only where every edge of the string lies on the
/// boundary (the inner cells are upstream there); a boundary edge always takes its inner cell.
struct StringRequest {
    std::string name;
    UpstreamSide upstream = UpstreamSide::Automatic;
};

/// One piece of at most kMaxStringEdges edges of a node string, as stored on NodeStrg.
struct StringPiece {
    std::string name;                          ///< the whole string's name
    int request = 0;                           ///< index of the StringRequest it comes from
    int piece = 0;                             ///< 0, 1, ... along the string
    int listSize = 0;                          ///< number of edges used                      (NodeStrg/ListSize)
    float totalLen = 0;                        ///< length of the WHOLE string [m]             (NodeStrg/TotalLen)
    std::array<int, kMaxStringEdges> edges{};  ///< (map NodeStrg/EdgesAll), unused entries 0
    std::array<int, kMaxStringEdges> upstreamCells{};  ///< (map NodeStrg/CellsAll), unused entries 0
    std::array<int, kMaxStringEdges> edgeSign{};       ///< +1 upstream cell is the edge's left cell, else -1
                                                       ///< (NodeStrg/EdgeSign), unused entries 0
};

/// Cuts the requested node strings of `mesh` into pieces (requests in order, pieces in walking order).
/// Discharge through a piece, sum of edgeSign * length * mass flux, is positive from upstream to downstream.
/// Throws MeshError for an unknown name, a step between two nodes that is not a mesh edge, or an inner edge
/// without a chosen upstream side.
std::vector<StringPiece> cutNodeStrings(const TriMesh& mesh, const MeshGeometry& geometry,
                                        const std::vector<StringRequest>& requests);

}  // namespace setup
