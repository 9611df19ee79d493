// Geometry of a triangle mesh: locality-preserving numbering, sort-based edge building, per-edge and per-cell data.
#include "setup/mesh/Geometry.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <utility>

namespace setup {
namespace {

/// Position of cell (x, y) of a 2^16 x 2^16 grid along the Hilbert curve.
uint32_t hilbertIndex(uint32_t x, uint32_t y)
{
    uint32_t d = 0;
    for (uint32_t s = 1u << 15; s > 0; s >>= 1) {
        const uint32_t rx = (x & s) ? 1 : 0;
        const uint32_t ry = (y & s) ? 1 : 0;
        d += s * s * ((3 * rx) ^ ry);
        if (ry == 0) {  // rotate the quadrant so the curve stays continuous
            if (rx == 1) {
                x = s - 1 - x;
                y = s - 1 - y;
            }
            std::swap(x, y);
        }
    }
    return d;
}

/// Cells in the order of the Hilbert curve over their centroids; ties (never in a valid mesh) by position.
std::vector<int> localityOrder(const std::vector<double>& cx, const std::vector<double>& cy)
{
    const size_t n = cx.size();
    const auto [xmin, xmax] = std::minmax_element(cx.begin(), cx.end());
    const auto [ymin, ymax] = std::minmax_element(cy.begin(), cy.end());
    const double span = std::max(*xmax - *xmin, *ymax - *ymin);
    const double scale = span > 0 ? 65535.0 / span : 0.0;
    std::vector<std::pair<uint32_t, int>> keys(n);
    for (size_t c = 0; c < n; ++c) {
        const auto gx = static_cast<uint32_t>((cx[c] - *xmin) * scale);
        const auto gy = static_cast<uint32_t>((cy[c] - *ymin) * scale);
        keys[c] = {hilbertIndex(std::min(gx, 65535u), std::min(gy, 65535u)), static_cast<int>(c)};
    }
    std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first) return a.first < b.first;
        if (cx[a.second] != cx[b.second]) return cx[a.second] < cx[b.second];
        return cy[a.second] < cy[b.second];
    });
    std::vector<int> order(n);
    for (size_t i = 0; i < n; ++i) order[i] = keys[i].second;
    return order;
}

/// Reverses the lowest `bits` bits of i.
uint32_t reverseBits(uint32_t i, int bits)
{
    uint32_t r = 0;
    for (int b = 0; b < bits; ++b, i >>= 1) r = (r << 1) | (i & 1u);
    return r;
}

/// The cells of a curve order cut into tiles of kTileCells consecutive cells, the tiles taken in bit-reversed
/// order of their position along the curve (0, 4, 2, 6, 1, 5, 3, 7 for eight tiles). Within a tile the curve's
/// locality is kept. Any contiguous half, quarter, ... of the result covers the mesh evenly, tile by tile: the
/// loops hand each thread a contiguous range of cells or edges, so a thread's work does not depend on where in
/// the domain the wet or the moving cells lie.
std::vector<int> interleaveTiles(const std::vector<int>& curve)
{
    const size_t n = curve.size();
    const size_t tiles = (n + kTileCells - 1) / kTileCells;
    int bits = 0;
    while ((size_t{1} << bits) < tiles) ++bits;
    std::vector<int> order;
    order.reserve(n);
    for (uint32_t i = 0; i < (uint32_t{1} << bits); ++i) {
        const size_t t = reverseBits(i, bits);
        if (t >= tiles) continue;
        const size_t begin = t * kTileCells, end = std::min(n, begin + kTileCells);
        order.insert(order.end(), curve.begin() + static_cast<std::ptrdiff_t>(begin),
                     curve.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return order;
}

std::string elementText(const TriMesh& mesh, int fileCell)
{
    std::string s = "element " + std::to_string(mesh.cellId[fileCell]);
    if (fileCell < static_cast<int>(mesh.cellLine.size()) && mesh.cellLine[fileCell] > 0)
        s += " (line " + std::to_string(mesh.cellLine[fileCell]) + ")";
    return s;
}

uint64_t edgeKey(int a, int b)
{
    const auto lo = static_cast<uint64_t>(std::min(a, b));
    const auto hi = static_cast<uint64_t>(std::max(a, b));
    return (lo << 32) | hi;
}

/// Least-squares weights over the true neighbours: w_j = (sum d d^T)^-1 d_j with d_j the centroid offsets, so
/// that sum_j w_j (z_j - z_c) is the exact gradient of any linear z. With all offsets parallel (one neighbour)
/// the pseudo-inverse gives the gradient along them; without neighbours every weight is 0.
void gradientWeights(const double d[3][2], const bool use[3], float* w)
{
    double sxx = 0, sxy = 0, syy = 0;
    for (int j = 0; j < 3; ++j) {
        if (!use[j]) continue;
        sxx += d[j][0] * d[j][0];
        sxy += d[j][0] * d[j][1];
        syy += d[j][1] * d[j][1];
    }
    const double trace = sxx + syy;
    const double det = sxx * syy - sxy * sxy;
    for (int j = 0; j < 3; ++j) {
        double wx = 0, wy = 0;
        if (use[j] && trace > 0) {
            if (det > 1e-10 * trace * trace) {
                wx = (syy * d[j][0] - sxy * d[j][1]) / det;
                wy = (-sxy * d[j][0] + sxx * d[j][1]) / det;
            } else {
                wx = d[j][0] / trace;
                wy = d[j][1] / trace;
            }
        }
        w[2 * j] = static_cast<float>(wx);
        w[2 * j + 1] = static_cast<float>(wy);
    }
}

}  // namespace

MeshGeometry computeGeometry(const TriMesh& mesh)
{
    MeshGeometry g;
    const int nc = mesh.cellCount();
    g.nNodes = mesh.nodeCount();
    g.nCells = nc;
    if (nc == 0) throw MeshError(mesh.source + ": the mesh has no cells");

    g.coordnts.resize(3 * static_cast<size_t>(g.nNodes));
    for (int n = 0; n < g.nNodes; ++n) {
        g.coordnts[3 * n] = static_cast<float>(mesh.x[n]);
        g.coordnts[3 * n + 1] = static_cast<float>(mesh.y[n]);
        g.coordnts[3 * n + 2] = static_cast<float>(mesh.z[n]);
    }

    // Each triangle starts at its lowest node (by x, then y), so that the results do not depend on how the file
    // numbers or rotates its nodes; the cells are then renumbered along the Hilbert curve.
    std::vector<int> canon(3 * static_cast<size_t>(nc));
    std::vector<int> order;
    {
        std::vector<double> cx(nc), cy(nc);
        for (int c = 0; c < nc; ++c) {
            const int* t = &mesh.cellNodes[3 * c];
            int first = 0;
            for (int k = 1; k < 3; ++k)
                if (std::make_pair(mesh.x[t[k]], mesh.y[t[k]]) < std::make_pair(mesh.x[t[first]], mesh.y[t[first]]))
                    first = k;
            for (int k = 0; k < 3; ++k) canon[3 * c + k] = t[(first + k) % 3];
            const int* u = &canon[3 * c];
            cx[c] = (mesh.x[u[0]] + mesh.x[u[1]] + mesh.x[u[2]]) / 3.0;
            cy[c] = (mesh.y[u[0]] + mesh.y[u[1]] + mesh.y[u[2]]) / 3.0;
        }
        order = localityOrder(cx, cy);
    }
    // Position of each (file) cell along the curve: an internal edge's left cell is the one that comes first.
    std::vector<int> curvePos(nc);
    for (int i = 0; i < nc; ++i) curvePos[order[i]] = i;
    order = interleaveTiles(order);
    g.topology.resize(3 * static_cast<size_t>(nc));
    g.material.resize(nc);
    g.cellId.resize(nc);
    g.centroid.resize(2 * static_cast<size_t>(nc));
    g.bottomEl.resize(nc);
    g.geomArea.resize(nc);
    g.cellOfFile.resize(nc);
    for (int c = 0; c < nc; ++c) {
        const int f = order[c];
        g.cellOfFile[f] = c;
        const int* t = &canon[3 * f];
        for (int k = 0; k < 3; ++k) g.topology[3 * c + k] = t[k];
        g.material[c] = mesh.material[f];
        g.cellId[c] = mesh.cellId[f];
        const double x0 = mesh.x[t[0]], x1 = mesh.x[t[1]], x2 = mesh.x[t[2]];
        const double y0 = mesh.y[t[0]], y1 = mesh.y[t[1]], y2 = mesh.y[t[2]];
        g.centroid[2 * c] = (x0 + x1 + x2) / 3.0;
        g.centroid[2 * c + 1] = (y0 + y1 + y2) / 3.0;
        g.geomArea[c] = static_cast<float>(0.5 * ((x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0)));
        g.bottomEl[c] = static_cast<float>((mesh.z[t[0]] + mesh.z[t[1]] + mesh.z[t[2]]) / 3.0);
    }
    canon.clear();
    canon.shrink_to_fit();

    // Half-edge h = 3c + j runs from node j to node j+1 of cell c. Sorting them by their node pair brings the two
    // halves of every inner edge together; twin[h] is the other half or -1 on the boundary.
    const size_t nh = 3 * static_cast<size_t>(nc);
    std::vector<int> twin(nh, -1);
    {
        std::vector<std::pair<uint64_t, int>> halves(nh);
        for (size_t h = 0; h < nh; ++h) {
            const int c = static_cast<int>(h / 3), j = static_cast<int>(h % 3);
            halves[h] = {edgeKey(g.topology[3 * c + j], g.topology[3 * c + (j + 1) % 3]), static_cast<int>(h)};
        }
        std::sort(halves.begin(), halves.end());
        for (size_t i = 0; i < nh;) {
            size_t k = i + 1;
            while (k < nh && halves[k].first == halves[i].first) ++k;
            const int a = halves[i].second;
            if (k - i > 2) {
                std::vector<int> files;
                for (size_t m = i; m < k; ++m) files.push_back(order[halves[m].second / 3]);
                std::sort(files.begin(), files.end());
                std::string list;
                for (size_t m = 0; m < files.size(); ++m) list += (m == 0 ? "" : ", ") + elementText(mesh, files[m]);
                const auto n0 = static_cast<int>(halves[i].first >> 32);
                const auto n1 = static_cast<int>(halves[i].first & 0xffffffffu);
                throw MeshError(mesh.source + ": the edge between nodes " + std::to_string(mesh.nodeId[n0]) + " and " +
                                std::to_string(mesh.nodeId[n1]) + " is shared by more than two elements (" + list +
                                ")");
            }
            if (k - i == 2) {
                const int b = halves[i + 1].second;
                // Two counter-clockwise neighbours walk their common edge in opposite directions.
                if (g.topology[a] == g.topology[b]) {
                    const int fa = std::min(order[a / 3], order[b / 3]), fb = std::max(order[a / 3], order[b / 3]);
                    throw MeshError(mesh.source + ": " + elementText(mesh, fa) + " and " + elementText(mesh, fb) +
                                    " overlap: they lie on the same side of their common edge");
                }
                twin[a] = b;
                twin[b] = a;
            }
            i = k;
        }
    }

    // Edges in the order in which the cells first reach them; the left cell of an internal edge is the one that
    // comes first along the curve.
    g.cellEdges.assign(nh, -1);
    int ne = 0;
    for (size_t h = 0; h < nh; ++h) {
        if (g.cellEdges[h] >= 0) continue;
        g.cellEdges[h] = ne;
        if (twin[h] >= 0) g.cellEdges[twin[h]] = ne;
        ++ne;
    }
    g.nEdges = ne;
    g.edgeCells.resize(2 * static_cast<size_t>(ne));
    g.edgeNodes.resize(2 * static_cast<size_t>(ne));
    for (size_t h = 0; h < nh; ++h) {
        const int e = g.cellEdges[h];
        const int c = static_cast<int>(h / 3), j = static_cast<int>(h % 3);
        const bool left = twin[h] < 0 || curvePos[order[c]] < curvePos[order[twin[h] / 3]];
        if (!left) continue;
        g.edgeCells[2 * e] = c;
        g.edgeCells[2 * e + 1] = twin[h] < 0 ? c : twin[h] / 3;
        g.edgeNodes[2 * e] = g.topology[3 * c + j];
        g.edgeNodes[2 * e + 1] = g.topology[3 * c + (j + 1) % 3];
    }
    twin.clear();
    twin.shrink_to_fit();
    order.clear();
    order.shrink_to_fit();
    curvePos.clear();
    curvePos.shrink_to_fit();

    // Per-edge geometry.
    g.normVect.resize(2 * static_cast<size_t>(ne));
    g.geomLeng.resize(ne);
    g.charSize.resize(2 * static_cast<size_t>(ne));
    g.unitCent.resize(2 * static_cast<size_t>(ne));
    g.distCent.resize(ne);
    for (int e = 0; e < ne; ++e) {
        const int a = g.edgeNodes[2 * e], b = g.edgeNodes[2 * e + 1];
        const int l = g.edgeCells[2 * e], r = g.edgeCells[2 * e + 1];
        const double dx = mesh.x[b] - mesh.x[a], dy = mesh.y[b] - mesh.y[a];
        const double len = std::hypot(dx, dy);
        const double nx = dy / len, ny = -dx / len;  // right of the walk a->b, i.e. out of the left cell
        g.normVect[2 * e] = static_cast<float>(nx);
        g.normVect[2 * e + 1] = static_cast<float>(ny);
        g.geomLeng[e] = static_cast<float>(len);
        // Distance from the edge's line to a centroid, along the normal.
        auto distance = [&](int c) {
            return std::abs((g.centroid[2 * c] - mesh.x[a]) * nx + (g.centroid[2 * c + 1] - mesh.y[a]) * ny);
        };
        const double dl = distance(l);
        g.charSize[2 * e] = static_cast<float>(2 * dl);
        if (l == r) {  // the inner cell mirrored across the edge
            g.charSize[2 * e + 1] = g.charSize[2 * e];
            g.unitCent[2 * e] = static_cast<float>(nx);
            g.unitCent[2 * e + 1] = static_cast<float>(ny);
            g.distCent[e] = static_cast<float>(2 * dl);
            g.boundaryEdges.push_back(e);
        } else {
            g.charSize[2 * e + 1] = static_cast<float>(2 * distance(r));
            const double cx = g.centroid[2 * r] - g.centroid[2 * l], cy = g.centroid[2 * r + 1] - g.centroid[2 * l + 1];
            const double dc = std::hypot(cx, cy);
            g.unitCent[2 * e] = static_cast<float>(cx / dc);
            g.unitCent[2 * e + 1] = static_cast<float>(cy / dc);
            g.distCent[e] = static_cast<float>(dc);
            g.internalEdges.push_back(e);
        }
    }

    // Per-cell neighbours, signs and gradient weights.
    g.nbrCells.resize(nh);
    g.edgeSign.resize(nh);
    g.nrTrueNb.resize(nc);
    g.geomWght.resize(6 * static_cast<size_t>(nc));
    for (int c = 0; c < nc; ++c) {
        double d[3][2];
        bool use[3];
        int count = 0;
        for (int j = 0; j < 3; ++j) {
            const int e = g.cellEdges[3 * c + j];
            const int l = g.edgeCells[2 * e], r = g.edgeCells[2 * e + 1];
            const int other = (l == c) ? r : l;
            g.nbrCells[3 * c + j] = other;
            g.edgeSign[3 * c + j] = (l == c) ? 1 : -1;
            use[j] = other != c;
            count += use[j] ? 1 : 0;
            d[j][0] = g.centroid[2 * other] - g.centroid[2 * c];
            d[j][1] = g.centroid[2 * other + 1] - g.centroid[2 * c + 1];
        }
        g.nrTrueNb[c] = count;
        gradientWeights(d, use, &g.geomWght[6 * c]);
    }
    return g;
}

std::vector<StringPiece> cutNodeStrings(const TriMesh& mesh, const MeshGeometry& geometry,
                                        const std::vector<StringRequest>& requests)
{
    std::vector<StringPiece> pieces;
    if (requests.empty()) return pieces;

    std::vector<std::pair<uint64_t, int>> edgeOf(geometry.nEdges);
    for (int e = 0; e < geometry.nEdges; ++e)
        edgeOf[e] = {edgeKey(geometry.edgeNodes[2 * e], geometry.edgeNodes[2 * e + 1]), e};
    std::sort(edgeOf.begin(), edgeOf.end());

    for (size_t r = 0; r < requests.size(); ++r) {
        const StringRequest& req = requests[r];
        const NodeString* ns = nullptr;
        for (const NodeString& s : mesh.strings) {
            if (s.name != req.name) continue;
            if (ns)
                throw MeshError(mesh.source + ": node string name \"" + req.name + "\" is used twice" +
                                (ns->line > 0 && s.line > 0
                                     ? " (lines " + std::to_string(ns->line) + " and " + std::to_string(s.line) + ")"
                                     : std::string()));
            ns = &s;
        }
        const std::string what = "node string \"" + req.name + "\"" +
                                 (ns && ns->line > 0 ? " (line " + std::to_string(ns->line) + ")" : std::string());
        if (!ns) throw MeshError(mesh.source + ": " + what + " is not defined in the mesh");
        if (ns->nodes.size() < 2) throw MeshError(mesh.source + ": " + what + " has fewer than two nodes");

        const size_t nEdges = ns->nodes.size() - 1;
        std::vector<int> edges(nEdges), cells(nEdges), signs(nEdges);
        double total = 0;
        for (size_t i = 0; i < nEdges; ++i) {
            const int a = ns->nodes[i], b = ns->nodes[i + 1];
            const uint64_t key = edgeKey(a, b);
            auto it = std::lower_bound(edgeOf.begin(), edgeOf.end(), std::make_pair(key, -1));
            if (it == edgeOf.end() || it->first != key)
                throw MeshError(mesh.source + ": " + what + " steps from node " + std::to_string(mesh.nodeId[a]) +
                                " to node " + std::to_string(mesh.nodeId[b]) + ", which are not joined by a mesh edge");
            const int e = it->second;
            const int left = geometry.edgeCells[2 * e], right = geometry.edgeCells[2 * e + 1];
            int upstream = left;
            if (left != right) {
                if (req.upstream == UpstreamSide::Automatic)
                    throw MeshError(mesh.source + ": " + what + " runs through the inside of the mesh (nodes " +
                                    std::to_string(mesh.nodeId[a]) + " to " + std::to_string(mesh.nodeId[b]) +
                                    "): its upstream direction, left or right, must be given");
                // The edge's left cell lies on the left when walking its nodes in stored order.
                const bool sameWay = geometry.edgeNodes[2 * e] == a;
                const int onLeftOfWalk = sameWay ? left : right;
                const int onRightOfWalk = sameWay ? right : left;
                upstream = req.upstream == UpstreamSide::Left ? onLeftOfWalk : onRightOfWalk;
            }
            edges[i] = e;
            cells[i] = upstream;
            signs[i] = upstream == left ? 1 : -1;
            total += std::hypot(mesh.x[b] - mesh.x[a], mesh.y[b] - mesh.y[a]);
        }
        for (size_t start = 0, piece = 0; start < nEdges; start += kMaxStringEdges, ++piece) {
            StringPiece p;
            p.name = req.name;
            p.request = static_cast<int>(r);
            p.piece = static_cast<int>(piece);
            p.listSize = static_cast<int>(std::min<size_t>(kMaxStringEdges, nEdges - start));
            p.totalLen = static_cast<float>(total);
            for (int k = 0; k < p.listSize; ++k) {
                p.edges[k] = edges[start + k];
                p.upstreamCells[k] = cells[start + k];
                p.edgeSign[k] = signs[start + k];
            }
            pieces.push_back(p);
        }
    }
    return pieces;
}

}  // namespace setup
