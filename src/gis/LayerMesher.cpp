#include "gis/LayerMesher.hpp"

#include <gmsh.h>
#include <ogr_geometry.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <sstream>

#include "gis/GisError.hpp"

namespace gis {

namespace {

using Geometry = std::unique_ptr<OGRGeometry>;
using Ring = std::vector<Point>;

double dist2(Point a, Point b) { return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y); }

/// Nearest point of segment ab to p and its parameter t in [0, 1].
Point project(Point p, Point a, Point b, double& t)
{
    const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
    t = l2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / l2, 0.0, 1.0) : 0.0;
    return {a.x + t * dx, a.y + t * dy};
}

bool insideRings(const std::vector<Ring>& rings, double x, double y)
{
    bool inside = false;
    for (const Ring& r : rings)
        for (size_t i = 0, j = r.size() - 1; i < r.size(); j = i++)
            if ((r[i].y > y) != (r[j].y > y) && x < (r[j].x - r[i].x) * (y - r[i].y) / (r[j].y - r[i].y) + r[i].x)
                inside = !inside;
    return inside;
}

double distanceToRings(const std::vector<Ring>& rings, Point p)
{
    double best = HUGE_VAL, t;
    for (const Ring& r : rings)
        for (size_t i = 0, j = r.size() - 1; i < r.size(); j = i++) best = std::min(best, dist2(p, project(p, r[j], r[i], t)));
    return std::sqrt(best);
}

OGRPolygon* toPolygon(const std::vector<Ring>& rings)
{
    auto* poly = new OGRPolygon;
    for (const Ring& r : rings) {
        auto* ring = new OGRLinearRing;
        for (const Point& p : r) ring->addPoint(p.x, p.y);
        ring->closeRings();
        poly->addRingDirectly(ring);
    }
    return poly;
}

Geometry unionOf(const std::vector<PolygonFeature>& features)
{
    auto multi = std::make_unique<OGRMultiPolygon>();
    for (const auto& f : features) multi->addGeometryDirectly(toPolygon(f.rings));
    return Geometry(multi->UnionCascaded());
}

/// The polygons of a GEOS result (polygon, multipolygon or collection), rings open.
void collectPolygons(const OGRGeometry* g, std::vector<std::vector<Ring>>& out)
{
    if (!g) return;
    const auto type = wkbFlatten(g->getGeometryType());
    if (type == wkbPolygon) {
        const OGRPolygon* poly = g->toPolygon();
        std::vector<Ring> rings;
        auto add = [&](const OGRLinearRing* lr) {
            Ring r;
            for (int i = 0; i < lr->getNumPoints(); ++i) r.push_back({lr->getX(i), lr->getY(i)});
            if (r.size() > 1 && r.front().x == r.back().x && r.front().y == r.back().y) r.pop_back();
            if (r.size() >= 3) rings.push_back(r);
        };
        add(poly->getExteriorRing());
        for (int i = 0; i < poly->getNumInteriorRings(); ++i) add(poly->getInteriorRing(i));
        if (!rings.empty()) out.push_back(rings);
    } else if (type == wkbMultiPolygon || type == wkbGeometryCollection) {
        const OGRGeometryCollection* c = g->toGeometryCollection();
        for (int i = 0; i < c->getNumGeometries(); ++i) collectPolygons(c->getGeometryRef(i), out);
    }
}

void collectLines(const OGRGeometry* g, std::vector<std::vector<Point>>& out)
{
    if (!g) return;
    const auto type = wkbFlatten(g->getGeometryType());
    if (type == wkbLineString) {
        const OGRLineString* l = g->toLineString();
        std::vector<Point> pts;
        for (int i = 0; i < l->getNumPoints(); ++i) pts.push_back({l->getX(i), l->getY(i)});
        if (pts.size() >= 2) out.push_back(pts);
    } else if (type == wkbMultiLineString || type == wkbGeometryCollection) {
        const OGRGeometryCollection* c = g->toGeometryCollection();
        for (int i = 0; i < c->getNumGeometries(); ++i) collectLines(c->getGeometryRef(i), out);
    }
}

/// Where a point lies on the rings of the area to mesh.
struct RingPosition {
    int poly = -1, ring = -1, seg = -1;  ///< segment from vertex seg to seg + 1
    double t = 0, distance = HUGE_VAL;
    Point foot;
};

/// The area to mesh: polygons of rings, with points inserted into the rings on demand.
class Area {
public:
    std::vector<std::vector<Ring>> polys;

    RingPosition nearest(Point p) const
    {
        RingPosition best;
        for (size_t a = 0; a < polys.size(); ++a)
            for (size_t r = 0; r < polys[a].size(); ++r) {
                const Ring& ring = polys[a][r];
                for (size_t k = 0; k < ring.size(); ++k) {
                    double t;
                    const Point f = project(p, ring[k], ring[(k + 1) % ring.size()], t);
                    const double d = std::sqrt(dist2(p, f));
                    if (d < best.distance) best = {int(a), int(r), int(k), t, d, f};
                }
            }
        return best;
    }

    /// The point of the ring at `pos`, moved to a ring vertex within `merge`; inserted later by applyInsertions.
    Point attach(const RingPosition& pos, double merge)
    {
        const Ring& ring = polys[pos.poly][pos.ring];
        const Point a = ring[pos.seg], b = ring[(pos.seg + 1) % ring.size()];
        if (dist2(pos.foot, a) <= merge * merge) return a;
        if (dist2(pos.foot, b) <= merge * merge) return b;
        pending_[{pos.poly, pos.ring}].push_back({pos.seg, pos.t, pos.foot});
        return pos.foot;
    }

    void applyInsertions()
    {
        for (auto& [key, list] : pending_) {
            std::sort(list.begin(), list.end(), [](const Insert& a, const Insert& b) {
                return a.seg != b.seg ? a.seg < b.seg : a.t < b.t;
            });
            const Ring& old = polys[key.first][key.second];
            Ring ring;
            size_t next = 0;
            for (size_t k = 0; k < old.size(); ++k) {
                ring.push_back(old[k]);
                for (; next < list.size() && list[next].seg == int(k); ++next)
                    if (dist2(ring.back(), list[next].p) > 0) ring.push_back(list[next].p);
            }
            polys[key.first][key.second] = ring;
        }
        pending_.clear();
    }

    /// Index of the polygon whose interior holds (x, y), -1 outside.
    int polygonAt(double x, double y) const
    {
        for (size_t a = 0; a < polys.size(); ++a)
            if (insideRings(polys[a], x, y)) return int(a);
        return -1;
    }

private:
    struct Insert {
        int seg;
        double t;
        Point p;
    };
    std::map<std::pair<int, int>, std::vector<Insert>> pending_;
};

/// A named string along a ring, from one ring vertex to another.
struct BoundaryString {
    std::string name;
    long fid = 0;
    Point start, end, middle;  ///< middle: a point of the line between its ends, to choose the way round
};

std::string at(Point p)
{
    std::ostringstream s;
    s.precision(10);
    s << "(" << p.x << ", " << p.y << ")";
    return s.str();
}

/// Point tags of Gmsh, one per distinct coordinate pair.
class PointTags {
public:
    int tag(Point p)
    {
        const auto key = std::make_pair(p.x, p.y);
        const auto it = tags_.find(key);
        if (it != tags_.end()) return it->second;
        const int t = gmsh::model::geo::addPoint(p.x, p.y, 0.0);
        tags_.emplace(key, t);
        return t;
    }

private:
    std::map<std::pair<double, double>, int> tags_;
};

struct GmshSession {
    GmshSession()
    {
        gmsh::initialize(0, nullptr, false);
        gmsh::option::setNumber("General.Terminal", 0);
    }
    ~GmshSession() { gmsh::finalize(); }
};

}  // namespace

SizeField::SizeField(const MeshLayers& layers) : size_(layers.size), grading_(layers.grading)
{
    for (const auto& r : layers.refinement) {
        Region reg{r.polygon.rings, r.size, HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
        for (const Point& p : r.polygon.rings[0]) {
            reg.minX = std::min(reg.minX, p.x);
            reg.maxX = std::max(reg.maxX, p.x);
            reg.minY = std::min(reg.minY, p.y);
            reg.maxY = std::max(reg.maxY, p.y);
        }
        regions_.push_back(std::move(reg));
    }
}

double SizeField::operator()(double x, double y) const
{
    double h = size_;
    for (const Region& r : regions_) {
        if (r.size >= h) continue;
        // Beyond this distance the region cannot lower the size: skip it without looking at its rings.
        const double reach = grading_ > 0 ? (h - r.size) / grading_ : 0.0;
        const double gx = std::max({r.minX - x, 0.0, x - r.maxX}), gy = std::max({r.minY - y, 0.0, y - r.maxY});
        if (gx * gx + gy * gy >= reach * reach && !(gx == 0 && gy == 0)) continue;
        if (insideRings(r.rings, x, y)) {
            h = r.size;
            continue;
        }
        h = std::min(h, r.size + grading_ * distanceToRings(r.rings, {x, y}));
    }
    return h;
}

setup::TriMesh meshLayers(const MeshLayers& layers, const std::string& source)
{
    if (!(layers.size > 0)) throw GisError("the element size must be positive");
    double smallest = layers.size;
    for (const auto& r : layers.refinement) {
        if (!(r.size > 0))
            throw GisError("refinement polygon " + std::to_string(r.polygon.fid) + ": the element size must be positive");
        smallest = std::min(smallest, r.size);
    }
    const double snap = layers.snap >= 0 ? layers.snap : layers.size / 2;

    // The area to mesh: the domain without the holes.
    Geometry area = unionOf(layers.domain);
    if (!layers.holes.empty()) {
        Geometry holes = unionOf(layers.holes);
        area.reset(area->Difference(holes.get()));
    }
    Area A;
    collectPolygons(area.get(), A.polys);
    if (A.polys.empty()) throw GisError("nothing to mesh: the holes cover the whole domain");

    // Breaklines: cut where they come closer than `snap` to the edge, noded where they cross, and joined to the
    // edge at a right angle where they were cut.
    std::vector<std::vector<Point>> pieces, hooks;
    if (!layers.breaklines.empty()) {
        // Line by line, a breakline is also cut where it comes closer than `snap` to an earlier one and joined to
        // it at a right angle: two lines crossing at a small angle or running side by side become one there.
        Geometry inner(snap > 0 ? area->Buffer(-snap, 8) : area->clone());
        std::vector<std::vector<Point>> lines;
        for (const auto& f : layers.breaklines) {
            OGRLineString l;
            for (const Point& p : f.points) l.addPoint(p.x, p.y);
            Geometry clipped(l.Intersection(inner.get()));
            if (!clipped) throw GisError("breakline " + std::to_string(f.fid) + ": cannot be clipped to the domain");
            if (snap > 0 && !lines.empty()) {
                OGRMultiLineString earlier;
                for (const auto& e : lines) {
                    auto* ls = new OGRLineString;
                    for (const Point& p : e) ls->addPoint(p.x, p.y);
                    earlier.addGeometryDirectly(ls);
                }
                Geometry zone(earlier.Buffer(snap, 8));
                clipped.reset(clipped->Difference(zone.get()));
                if (!clipped)
                    throw GisError("breakline " + std::to_string(f.fid) + ": cannot be cut near the lines before it");
            }
            std::vector<std::vector<Point>> parts;
            collectLines(clipped.get(), parts);
            // The buffer's round caps are polygons, up to 0.5 % of `snap` inside the circle.
            const double tol = 1e-2 * snap + 1e-9 * std::max(std::fabs(f.points[0].x), std::fabs(f.points[0].y));
            std::map<std::pair<size_t, size_t>, std::vector<std::pair<double, Point>>> feet;  // [line, seg]: (t, foot)
            for (const auto& part : parts)
                for (const Point& end : {part.front(), part.back()}) {
                    double best = HUGE_VAL, bestT = 0, t;
                    size_t bl = 0, bs = 0;
                    Point foot{};
                    for (size_t i = 0; i < lines.size(); ++i)
                        for (size_t k = 1; k < lines[i].size(); ++k) {
                            const Point q = project(end, lines[i][k - 1], lines[i][k], t);
                            const double d = std::sqrt(dist2(end, q));
                            if (d < best) best = d, bestT = t, bl = i, bs = k - 1, foot = q;
                        }
                    if (!(std::fabs(best - snap) <= tol)) continue;
                    // The foot moves to a vertex of the earlier line, or to another foot, within snap / 2; else it
                    // becomes a vertex of that line.
                    auto& onSegment = feet[{bl, bs}];
                    std::vector<Point> near = {lines[bl][bs], lines[bl][bs + 1]};
                    for (const auto& other : onSegment) near.push_back(other.second);
                    const auto closest = std::min_element(near.begin(), near.end(), [&](Point u, Point v) {
                        return dist2(foot, u) < dist2(foot, v);
                    });
                    if (dist2(foot, *closest) <= snap * snap / 4) foot = *closest;
                    else onSegment.push_back({bestT, foot});
                    hooks.push_back({end, foot});
                }
            // Insert the feet, from the last segment back so that the segment numbers stay valid.
            for (auto it = feet.rbegin(); it != feet.rend(); ++it) {
                auto& list = it->second;
                std::sort(list.begin(), list.end(), [](const auto& u, const auto& v) { return u.first < v.first; });
                auto& pts = lines[it->first.first];
                auto at = pts.begin() + static_cast<std::ptrdiff_t>(it->first.second) + 1;
                for (const auto& [t, p] : list)
                    if (dist2(*(at - 1), p) > 0) at = pts.insert(at, p) + 1;
            }
            for (auto& part : parts) lines.push_back(std::move(part));
        }
        if (!lines.empty()) {
            auto clippedLines = std::make_unique<OGRMultiLineString>();
            for (const auto& l : lines) {
                auto* ls = new OGRLineString;
                for (const Point& p : l) ls->addPoint(p.x, p.y);
                clippedLines->addGeometryDirectly(ls);
            }
            // A union with one of its own lines nodes every crossing.
            Geometry noded(clippedLines->Union(clippedLines->getGeometryRef(0)));
            collectLines(noded.get(), pieces);
        }
        // Ends that the clipping made lie `snap` from the edge (to rounding); without snapping, ends that touch
        // the edge are moved onto it exactly, so that they share a vertex with it.
        const double tol = 1e-6 * std::max(snap, smallest) + 1e-9 * std::max(std::fabs(A.polys[0][0][0].x),
                                                                         std::fabs(A.polys[0][0][0].y));
        for (auto& piece : pieces)
            for (Point* end : {&piece.front(), &piece.back()}) {
                const RingPosition pos = A.nearest(*end);
                if (snap > 0 && std::fabs(pos.distance - snap) <= tol)
                    hooks.push_back({*end, A.attach(pos, snap / 2)});
                else if (snap == 0 && pos.distance <= tol)
                    *end = A.attach(pos, tol);
            }
    }

    // Boundary lines: every point on the edge; the ends become ring vertices.
    std::vector<BoundaryString> strings;
    const double onEdge = smallest / 100;
    for (const auto& f : layers.boundaries) {
        const std::string what = layers.boundariesLabel + ", feature " + std::to_string(f.fid) + " <" + f.text + ">";
        int poly = -1, ring = -1;
        for (size_t k = 0; k < f.points.size(); ++k) {
            // Points along the segment ending here: its vertices may lie on two sides of the domain.
            if (k > 0)
                for (double t : {0.25, 0.5, 0.75}) {
                    const Point p{f.points[k - 1].x + t * (f.points[k].x - f.points[k - 1].x),
                                  f.points[k - 1].y + t * (f.points[k].y - f.points[k - 1].y)};
                    const RingPosition pos = A.nearest(p);
                    if (pos.distance > onEdge) {
                        std::ostringstream d;
                        d << pos.distance;
                        throw GisError(what + ": the line at " + at(p) + ", between its points " + std::to_string(k - 1) +
                                       " and " + std::to_string(k) + ", is not on the domain edge (" + d.str() +
                                       " m from it)");
                    }
                }
            const RingPosition pos = A.nearest(f.points[k]);
            if (pos.distance > onEdge) {
                std::ostringstream d;
                d << pos.distance;
                throw GisError(what + ": point " + std::to_string(k) + " " + at(f.points[k]) +
                               " is not on the domain edge (" + d.str() + " m from it)");
            }
            if (k == 0) {
                poly = pos.poly;
                ring = pos.ring;
            } else if (pos.poly != poly || pos.ring != ring) {
                throw GisError(what + ": runs along two different edges of the domain (point " + std::to_string(k) +
                               " " + at(f.points[k]) + ")");
            }
        }
        double total = 0;
        for (size_t k = 1; k < f.points.size(); ++k) total += std::sqrt(dist2(f.points[k - 1], f.points[k]));
        double walked = 0;
        Point middle = f.points.front();
        for (size_t k = 1; k < f.points.size(); ++k) {
            const double l = std::sqrt(dist2(f.points[k - 1], f.points[k]));
            if (walked + l >= total / 2) {
                const double t = l > 0 ? (total / 2 - walked) / l : 0;
                middle = {f.points[k - 1].x + t * (f.points[k].x - f.points[k - 1].x),
                          f.points[k - 1].y + t * (f.points[k].y - f.points[k - 1].y)};
                break;
            }
            walked += l;
        }
        BoundaryString s{f.text, f.fid, A.attach(A.nearest(f.points.front()), onEdge),
                         A.attach(A.nearest(f.points.back()), onEdge), A.nearest(middle).foot};
        if (dist2(s.start, s.end) == 0) throw GisError(what + ": begins and ends at the same point of the edge");
        strings.push_back(s);
    }
    A.applyInsertions();

    // Gmsh geometry: one line per ring segment, one plane surface per polygon, breaklines embedded.
    GmshSession session;
    gmsh::model::add("hydrova");
    PointTags points;
    std::vector<std::vector<std::vector<int>>> ringLines(A.polys.size());  // [poly][ring][segment]
    std::vector<int> surfaces;
    for (size_t a = 0; a < A.polys.size(); ++a) {
        std::vector<int> loops;
        for (const Ring& ring : A.polys[a]) {
            std::vector<int> lines;
            for (size_t k = 0; k < ring.size(); ++k)
                lines.push_back(gmsh::model::geo::addLine(points.tag(ring[k]), points.tag(ring[(k + 1) % ring.size()])));
            loops.push_back(gmsh::model::geo::addCurveLoop(lines));
            ringLines[a].push_back(lines);
        }
        surfaces.push_back(gmsh::model::geo::addPlaneSurface(loops));
    }
    std::vector<std::vector<int>> embedded(A.polys.size());
    std::map<std::pair<int, int>, int> segmentTags;
    auto addSegment = [&](Point p, Point q) {
        const int a = points.tag(p), b = points.tag(q);
        if (a == b || segmentTags.count({std::min(a, b), std::max(a, b)})) return;
        const int poly = A.polygonAt((p.x + q.x) / 2, (p.y + q.y) / 2);
        if (poly < 0) return;
        const int line = gmsh::model::geo::addLine(a, b);
        segmentTags[{std::min(a, b), std::max(a, b)}] = line;
        embedded[poly].push_back(line);
    };
    for (const auto& piece : pieces)
        for (size_t k = 1; k < piece.size(); ++k) addSegment(piece[k - 1], piece[k]);
    for (const auto& hook : hooks) addSegment(hook[0], hook[1]);
    gmsh::model::geo::synchronize();
    for (size_t a = 0; a < A.polys.size(); ++a)
        if (!embedded[a].empty()) gmsh::model::mesh::embed(1, embedded[a], 2, surfaces[a]);

    const SizeField field(layers);
    gmsh::model::mesh::setSizeCallback([&field](int, int, double x, double y, double) { return field(x, y); });
    gmsh::option::setNumber("Mesh.MeshSizeFromPoints", 0);
    gmsh::option::setNumber("Mesh.MeshSizeExtendFromBoundary", 0);
    gmsh::option::setNumber("Mesh.MeshSizeFromCurvature", 0);
    // Frontal-Delaunay: well-shaped triangles of the size asked for. Delaunay (5) is faster per triangle but makes
    // more and smaller ones, and misses the size by more than 30 % where refinement polygons grade out.
    gmsh::option::setNumber("Mesh.Algorithm", 6);
    // Smoothing passes raise the smallest angle by a few degrees but cost nearly as much as the meshing itself.
    gmsh::option::setNumber("Mesh.Smoothing", std::max(0, layers.smoothing));
    gmsh::option::setNumber("General.NumThreads", std::max(1, layers.threads));
    try {
        gmsh::model::mesh::generate(2);
    } catch (const std::exception& e) {
        throw GisError(std::string("Gmsh cannot mesh the layers: ") + e.what());
    } catch (...) {
        throw GisError("Gmsh cannot mesh the layers");
    }

    // Nodes and triangles.
    setup::TriMesh mesh;
    mesh.source = source;
    std::vector<std::size_t> nodeTags;
    std::vector<double> coord, param;
    gmsh::model::mesh::getNodes(nodeTags, coord, param, -1, -1, false, false);
    // Mesh node index by Gmsh node tag. The tags run from 1 without large gaps, so a table is much faster than a
    // search tree (a million lookups that miss the cache cost a fifth of the whole run).
    std::vector<int> index(nodeTags.empty() ? 1 : *std::max_element(nodeTags.begin(), nodeTags.end()) + 1, -1);
    for (size_t i = 0; i < nodeTags.size(); ++i) {
        if (index[nodeTags[i]] >= 0) continue;
        index[nodeTags[i]] = mesh.nodeCount();
        mesh.nodeId.push_back(mesh.nodeCount() + 1);
        mesh.x.push_back(coord[3 * i]);
        mesh.y.push_back(coord[3 * i + 1]);
        mesh.z.push_back(0.0);
    }
    std::vector<std::size_t> elemTags, elemNodes;
    gmsh::model::mesh::getElementsByType(2, elemTags, elemNodes);
    if (elemTags.empty()) throw GisError("Gmsh made no triangle of the layers");
    for (size_t e = 0; e < elemTags.size(); ++e) {
        int n[3];
        for (int k = 0; k < 3; ++k) n[k] = index.at(elemNodes[3 * e + k]);
        const double cross = (mesh.x[n[1]] - mesh.x[n[0]]) * (mesh.y[n[2]] - mesh.y[n[0]]) -
                             (mesh.x[n[2]] - mesh.x[n[0]]) * (mesh.y[n[1]] - mesh.y[n[0]]);
        if (cross < 0) std::swap(n[1], n[2]);
        mesh.cellId.push_back(static_cast<int>(e) + 1);
        mesh.cellNodes.insert(mesh.cellNodes.end(), n, n + 3);
        mesh.material.push_back(1);
        mesh.cellLine.push_back(0);
    }

    // Node strings: the mesh nodes along the ring from the string's start to its end, the way round that passes
    // the line's middle.
    auto nodeAtPoint = [&](Point p) {
        std::vector<std::size_t> tags;
        std::vector<double> c, pc;
        gmsh::model::mesh::getNodes(tags, c, pc, 0, points.tag(p), false, false);
        return index.at(tags.at(0));
    };
    for (const BoundaryString& s : strings) {
        const RingPosition mid = A.nearest(s.middle);
        const Ring& ring = A.polys[mid.poly][mid.ring];
        const int n = static_cast<int>(ring.size());
        int ia = -1, ib = -1;
        for (int k = 0; k < n; ++k) {
            if (ring[k].x == s.start.x && ring[k].y == s.start.y) ia = k;
            if (ring[k].x == s.end.x && ring[k].y == s.end.y) ib = k;
        }
        if (ia < 0 || ib < 0)
            throw GisError(layers.boundariesLabel + ", feature " + std::to_string(s.fid) +
                           ": its ends do not lie on the same edge of the domain");
        const bool forward = ((mid.seg - ia + n) % n) < ((ib - ia + n) % n);
        setup::NodeString ns;
        ns.name = s.name;
        ns.nodes.push_back(nodeAtPoint(s.start));
        for (int k = ia; k != ib; k = forward ? (k + 1) % n : (k - 1 + n) % n) {
            const int seg = forward ? k : (k - 1 + n) % n;  // the ring segment walked, from vertex seg to seg + 1
            std::vector<std::size_t> tags;
            std::vector<double> c, pc;
            gmsh::model::mesh::getNodes(tags, c, pc, 1, ringLines[mid.poly][mid.ring][seg], false, true);
            std::vector<std::pair<double, int>> along;
            for (size_t i = 0; i < tags.size(); ++i) along.push_back({pc[i], index.at(tags[i])});
            std::sort(along.begin(), along.end());
            if (!forward) std::reverse(along.begin(), along.end());
            for (const auto& a : along) ns.nodes.push_back(a.second);
            ns.nodes.push_back(nodeAtPoint(ring[forward ? (k + 1) % n : (k - 1 + n) % n]));
        }
        mesh.strings.push_back(std::move(ns));
    }
    return mesh;
}

MeshQuality meshQuality(const setup::TriMesh& mesh)
{
    MeshQuality q;
    q.minAngle = 180;
    q.minEdge = HUGE_VAL;
    q.maxEdge = 0;
    for (int c = 0; c < mesh.cellCount(); ++c) {
        const int* n = &mesh.cellNodes[3 * c];
        double len[3];
        for (int k = 0; k < 3; ++k) {
            const int a = n[k], b = n[(k + 1) % 3];
            len[k] = std::hypot(mesh.x[b] - mesh.x[a], mesh.y[b] - mesh.y[a]);
            q.minEdge = std::min(q.minEdge, len[k]);
            q.maxEdge = std::max(q.maxEdge, len[k]);
        }
        for (int k = 0; k < 3; ++k) {
            // The angle opposite edge k, by the law of cosines.
            const double a = len[k], b = len[(k + 1) % 3], cc = len[(k + 2) % 3];
            const double cosA = std::clamp((b * b + cc * cc - a * a) / (2 * b * cc), -1.0, 1.0);
            const double angle = std::acos(cosA) * 180.0 / M_PI;
            if (angle < q.minAngle) {
                q.minAngle = angle;
                q.minAngleX = (mesh.x[n[0]] + mesh.x[n[1]] + mesh.x[n[2]]) / 3;
                q.minAngleY = (mesh.y[n[0]] + mesh.y[n[1]] + mesh.y[n[2]]) / 3;
            }
        }
    }
    return q;
}

}  // namespace gis
