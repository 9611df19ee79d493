#include "setup/ModelBuilder.hpp"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <utility>

#include "setup/Coding.hpp"
#include "setup/SetupError.hpp"
#include "setup/mesh/TriangleLocator.hpp"

namespace setup {

Table Table::ofInts(int rows, int cols, std::vector<int> values)
{
    Table t;
    t.isInt = true;
    t.rows = rows;
    t.cols = cols;
    t.ints = std::move(values);
    return t;
}

Table Table::ofFloats(int rows, int cols, std::vector<float> values)
{
    Table t;
    t.rows = rows;
    t.cols = cols;
    t.floats = std::move(values);
    return t;
}

KernelTiming kernelTiming(model::KernelID id)
{
    using model::KernelID;
    // Equal start and end offsets of 0: once, in the first pass. Otherwise every pass until (far) beyond any
    // end time a run may have.
    if (id == KernelID::InitCellHydFeatures || id == KernelID::InitCellMorFeatures ||
        id == KernelID::InitFrictionFeatures)
        return {0.0, 0.0, 0.0};
    return {0.0, 0.0, 1.0e30};
}

namespace {

using model::DataID;
using model::MapID;
using model::ParameterID;
using model::SetID;

/// Start time of morphology in a purely hydraulic model: never [s].
constexpr double kMorphologyNever = 1.0e30;

bool contains(const std::vector<int>& list, int value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

/// Edge of each pair of nodes, either order.
std::map<std::pair<int, int>, int> edgesByNodes(const MeshGeometry& g)
{
    std::map<std::pair<int, int>, int> edges;
    for (int e = 0; e < g.nEdges; ++e) {
        const int a = g.edgeNodes[2 * e], b = g.edgeNodes[2 * e + 1];
        edges[{std::min(a, b), std::max(a, b)}] = e;
    }
    return edges;
}

const NodeString* meshString(const TriMesh& mesh, const std::string& name)
{
    for (const auto& s : mesh.strings)
        if (s.name == name) return &s;
    return nullptr;
}

void checkStrings(const TriMesh& mesh, const MeshGeometry& g, const SetupDescription& d)
{
    for (const auto& s : d.strings)
        if (meshString(mesh, s.name) == nullptr) {
            std::string user;
            for (const auto& b : d.boundaries)
                if (b.string == s.name) user = "boundary <" + b.name + ">: ";
            throw SetupError(user + "string <" + s.name + "> does not exist in the mesh <" + mesh.source + ">");
        }
    const auto edges = edgesByNodes(g);
    for (const auto& b : d.boundaries) {
        const NodeString* s = meshString(mesh, b.string);
        for (std::size_t i = 0; i + 1 < s->nodes.size(); ++i) {
            const int a = s->nodes[i], c = s->nodes[i + 1];
            const auto it = edges.find({std::min(a, c), std::max(a, c)});
            // A step that is no mesh edge is the mesh layer's error when the string is cut.
            if (it != edges.end() && !g.isBoundary(it->second))
                throw SetupError("boundary <" + b.name + ">: string <" + b.string +
                                 "> does not lie on the domain boundary");
        }
    }
}

std::vector<float> seriesRow(const Series& s)
{
    std::vector<float> row(2 * kMaxSeriesPairs, 0.0f);
    for (std::size_t j = 0; j < s.points.size(); ++j) {
        row[2 * j] = static_cast<float>(s.points[j].first);
        row[2 * j + 1] = static_cast<float>(s.points[j].second);
    }
    return row;
}

/// Fills a ModelContent step by step; later steps use what earlier ones found (regions, node-string pieces,
/// series, conditioned edges).
struct SourceRows;
struct EdgeDataRows;

class ContentBuilder {
public:
    ContentBuilder(const TriMesh& mesh, const MeshGeometry& geometry, const SetupDescription& setup)
        : mesh(mesh), g(geometry), d(setup), materials(geometry.material.begin(), geometry.material.end())
    {
    }

    ModelContent build()
    {
        checkStrings(mesh, g, d);
        meshTables();
        gauges();
        initialState();
        friction();
        regions();
        nodeStrings();
        boundaries();
        edgeSets();
        sources();
        morphologyCells();
        morBoundaries();
        morSources();
        series();
        parameters();
        return std::move(c);
    }

private:
    /// Nodes, cells and edges.
    void meshTables();
    /// The cell of every gauge; a point outside the mesh is an error naming the gauge's entry. Also the lines of
    /// the node strings, which pictures draw with them.
    void gauges();
    /// Initial state (H, qx, qy): a level below the bed leaves the cell dry and at rest.
    void initialState();
    /// Friction value per cell: the default, overridden by the region entries in their order.
    void friction();
    /// Regions: the cells of their material ids and their total area.
    void regions();
    /// Node strings, cut into pieces of at most 40 edges, requested in STRINGDEF order.
    void nodeStrings();
    /// Boundary conditions: one data row each, their edges leave the wall set.
    void boundaries();
    /// Walls: every boundary edge without another condition; internal edges: the Riemann solver.
    void edgeSets();
    /// Sources: one data row, interpolation and modification each; one source cell per cell of the region.
    void sources();
    /// Grain size, critical value and fixed bed per cell; the fixed-bed cells also hold every cell of a
    /// morphological source, since the source kernel reads the fixed bed of its cell.
    void morphologyCells();
    /// Morphological boundaries: data rows after the hydraulic ones; Exner, wall and boundary edge sets.
    void morBoundaries();
    /// Morphological sources: source rows after the hydraulic ones, one source cell per cell of the region.
    void morSources();
    /// Every series of the boundaries and sources, in the order they were added.
    void series();
    /// Parameters; the morphological ones keep their defaults, with morphology never starting.
    void parameters();
    /// Appends a series to InSeries and returns its index.
    int addSeries(const Series& s);
    /// Appends the rows of a list of region sources to the cell-data, interpolation and modification tables.
    void appendSourceRows(const SourceRows& rows);
    /// Appends the rows of a list of boundary conditions to the edge-data, interpolation and modification tables.
    void appendEdgeDataRows(const EdgeDataRows& rows);
    /// The edges of a condition's string (label: "boundary <name>" or the like); each must lie on the domain
    /// boundary and carry no other condition of the list that `owner` (edge -> label) records.
    std::vector<int> conditionEdges(const std::string& label, const std::string& string,
                                    std::map<int, std::string>& owner) const;
    /// Index of a REGIONDEF region that the command file has checked to exist.
    int regionIndex(const std::string& name) const;

    const TriMesh& mesh;
    const MeshGeometry& g;
    const SetupDescription& d;
    ModelContent c;
    std::set<int> materials;                           ///< material ids that some triangle has
    std::vector<std::vector<int>> regionCells;         ///< cells of each REGIONDEF region
    std::vector<StringPiece> pieces;                   ///< node-string pieces, in NodeStrg order
    std::map<std::string, std::vector<int>> piecesOf;  ///< pieces of each string name
    std::vector<float> seriesValues;                   ///< InSeries/NumValue rows
    std::vector<int> seriesSize;                       ///< InSeries/ListSize
    std::vector<int> bcEdges;                          ///< edges with a boundary condition other than a wall
    std::map<int, int> fixedRow;                       ///< cell -> its row of CellsFix
};

int ContentBuilder::addSeries(const Series& s)
{
    const auto row = seriesRow(s);
    seriesValues.insert(seriesValues.end(), row.begin(), row.end());
    seriesSize.push_back(2 * static_cast<int>(s.points.size()));
    return static_cast<int>(seriesSize.size()) - 1;
}

void ContentBuilder::meshTables()
{
    c.sets[SetID::NodesAll] = g.nNodes;
    c.data[DataID::Coordnts] = Table::ofFloats(g.nNodes, 3, g.coordnts);
    c.nodeCoordinates.reserve(3 * static_cast<std::size_t>(g.nNodes));
    for (int n = 0; n < g.nNodes; ++n) c.nodeCoordinates.insert(c.nodeCoordinates.end(), {mesh.x[n], mesh.y[n], mesh.z[n]});
    c.sets[SetID::CellsAll] = g.nCells;
    c.sets[SetID::EdgesAll] = g.nEdges;
    c.maps[MapID::CellsAll_EdgesAll] = Table::ofInts(g.nCells, 3, g.cellEdges);
    c.maps[MapID::CellsAll_NbrCells] = Table::ofInts(g.nCells, 3, g.nbrCells);
    c.maps[MapID::EdgesAll_CellsAll] = Table::ofInts(g.nEdges, 2, g.edgeCells);
    c.data[DataID::Topology] = Table::ofInts(g.nCells, 3, g.topology);
    c.data[DataID::CellsAll_EdgeSign] = Table::ofInts(g.nCells, 3, g.edgeSign);
    c.data[DataID::CellsAll_GeomArea] = Table::ofFloats(g.nCells, 1, g.geomArea);
    c.data[DataID::GeomWght] = Table::ofFloats(g.nCells, 6, g.geomWght);
    c.data[DataID::NrTrueNb] = Table::ofInts(g.nCells, 1, g.nrTrueNb);
    c.data[DataID::BottomEl] = Table::ofFloats(g.nCells, 1, g.bottomEl);
    c.data[DataID::NormVect] = Table::ofFloats(g.nEdges, 2, g.normVect);
    c.data[DataID::GeomLeng] = Table::ofFloats(g.nEdges, 1, g.geomLeng);
    c.data[DataID::CharSize] = Table::ofFloats(g.nEdges, 2, g.charSize);
    c.data[DataID::UnitCent] = Table::ofFloats(g.nEdges, 2, g.unitCent);
    c.data[DataID::DistCent] = Table::ofFloats(g.nEdges, 1, g.distCent);
}

void ContentBuilder::gauges()
{
    for (const StringDef& def : d.strings)
        if (const NodeString* s = meshString(mesh, def.name)) {
            const double index = static_cast<double>(c.lineNames.size());
            c.lineNames.push_back(def.name);
            for (const int n : s->nodes) c.linePoints.push_back({index, mesh.x[n], mesh.y[n]});
        }
    if (d.gauges.empty()) return;
    // The first cell (in the model's numbering) whose closed triangle holds the point: a point on an edge or a
    // node belongs to one of its cells whatever the mesh file's order.
    const Locator locator(mesh.x, mesh.y, g.topology);
    for (const GaugeDef& def : d.gauges) {
        ModelContent::Gauge gauge{def.name, def.x, def.y, locator.find(def.x, def.y)};
        if (gauge.cell < 0) {
            std::ostringstream msg;
            msg.precision(15);
            msg << def.pointer << ": gauge <" << def.name << "> at (" << def.x << ", " << def.y
                << ") lies outside the mesh <" << d.meshFile << ">";
            throw SetupError(msg.str());
        }
        c.gauges.push_back(gauge);
    }
}

void ContentBuilder::initialState()
{
    for (std::size_t e = 0; e < d.initial.entries.size(); ++e)
        for (int m : d.initial.entries[e].materials)
            if (materials.count(m) == 0) {
                std::ostringstream msg;
                msg << "INITIAL: values entry " << e << " names material id " << m << ", which no triangle has";
                throw SetupError(msg.str());
            }
    std::vector<float> state(3 * static_cast<std::size_t>(g.nCells), 0.0f);
    for (int cell = 0; cell < g.nCells; ++cell) {
        const double zb = g.bottomEl[cell];
        double level = zb, qx = 0.0, qy = 0.0;
        if (d.initial.kind == InitialCondition::Kind::WaterSurface) {
            level = d.initial.waterSurface;
        } else if (d.initial.kind == InitialCondition::Kind::IndexTable) {
            for (const auto& e : d.initial.entries)
                if (contains(e.materials, g.material[cell])) {
                    level = e.waterSurface;
                    qx = e.qx;
                    qy = e.qy;
                    break;
                }
        }
        if (level <= zb) {
            level = zb;
            qx = qy = 0.0;
        }
        state[3 * cell] = static_cast<float>(level);
        state[3 * cell + 1] = static_cast<float>(qx);
        state[3 * cell + 2] = static_cast<float>(qy);
    }
    c.data[DataID::HydState] = Table::ofFloats(g.nCells, 3, state);
}

void ContentBuilder::friction()
{
    std::vector<float> friction(g.nCells, static_cast<float>(d.friction.defaultValue));
    for (std::size_t r = 0; r < d.friction.regions.size(); ++r) {
        const auto& region = d.friction.regions[r];
        for (int m : region.materials)
            if (materials.count(m) == 0) {
                std::ostringstream msg;
                msg << "FRICTION: regions entry " << r << " names material id " << m << ", which no triangle has";
                throw SetupError(msg.str());
            }
        for (int cell = 0; cell < g.nCells; ++cell)
            if (contains(region.materials, g.material[cell])) friction[cell] = static_cast<float>(region.value);
    }
    c.data[DataID::Friction] = Table::ofFloats(g.nCells, 1, friction);
}

void ContentBuilder::regions()
{
    regionCells.assign(d.regions.size(), {});
    std::vector<float> regionArea(d.regions.size(), 0.0f);
    for (std::size_t r = 0; r < d.regions.size(); ++r) {
        for (int m : d.regions[r].materials)
            if (materials.count(m) == 0) {
                std::ostringstream msg;
                msg << "region <" << d.regions[r].name << ">: no triangle has material id " << m;
                throw SetupError(msg.str());
            }
        double area = 0.0;
        for (int cell = 0; cell < g.nCells; ++cell)
            if (contains(d.regions[r].materials, g.material[cell])) {
                regionCells[r].push_back(cell);
                area += g.geomArea[cell];
            }
        regionArea[r] = static_cast<float>(area);
    }
    c.sets[SetID::MatIDRgn] = static_cast<int>(d.regions.size());
    c.data[DataID::MatIDRgn_GeomArea] = Table::ofFloats(static_cast<int>(d.regions.size()), 1, regionArea);
}

void ContentBuilder::nodeStrings()
{
    std::vector<StringRequest> requests;
    for (const auto& s : d.strings) requests.push_back({s.name, s.upstream});
    pieces = requests.empty() ? std::vector<StringPiece>{} : cutNodeStrings(mesh, g, requests);
    const int nPieces = static_cast<int>(pieces.size());
    std::vector<int> listSize, nsEdges, nsCells, nsSign;
    std::vector<float> totalLen;
    for (int p = 0; p < nPieces; ++p) {
        const auto& piece = pieces[p];
        listSize.push_back(piece.listSize);
        totalLen.push_back(piece.totalLen);
        nsEdges.insert(nsEdges.end(), piece.edges.begin(), piece.edges.end());
        nsCells.insert(nsCells.end(), piece.upstreamCells.begin(), piece.upstreamCells.end());
        nsSign.insert(nsSign.end(), piece.edgeSign.begin(), piece.edgeSign.end());
        c.stringNames.push_back(piece.name);
        piecesOf[piece.name].push_back(p);
    }
    c.sets[SetID::NodeStrg] = nPieces;
    c.data[DataID::NodeStrg_ListSize] = Table::ofInts(nPieces, 1, listSize);
    c.data[DataID::TotalLen] = Table::ofFloats(nPieces, 1, totalLen);
    c.data[DataID::NodeStrg_EdgeSign] = Table::ofInts(nPieces, kMaxStringEdges, nsSign);
    c.maps[MapID::NodeStrg_EdgesAll] = Table::ofInts(nPieces, kMaxStringEdges, nsEdges);
    c.maps[MapID::NodeStrg_CellsAll] = Table::ofInts(nPieces, kMaxStringEdges, nsCells);
}

/// Appends rows of `cols` ints to a table; a table not built before takes that shape (the hydraulic boundaries and
/// sources open their tables this way, even without rows, and the morphological ones append to them).
void appendInts(Table& t, int cols, int rows, const std::vector<int>& values)
{
    t.isInt = true;
    t.cols = cols;
    t.rows += rows;
    t.ints.insert(t.ints.end(), values.begin(), values.end());
}

/// Appends rows of `cols` floats to a table, as appendInts.
void appendFloats(Table& t, int cols, int rows, const std::vector<float>& values)
{
    t.isInt = false;
    t.cols = cols;
    t.rows += rows;
    t.floats.insert(t.floats.end(), values.begin(), values.end());
}

/// Rows that boundary conditions on node strings add to the edge-data table and, per series and per modification,
/// to the edge-interpolation and edge-modification tables; the modifications read the string's first piece.
struct EdgeDataRows {
    std::vector<float> edgeData;
    std::vector<int> eiSeries, eiString, eiData, eiKey, emString, emData, emInfo;
    int rows = 0;

    void add(const std::array<float, 7>& values) { edgeData.insert(edgeData.end(), values.begin(), values.end()); }
    /// Row `row` takes its value at `interp` from the series; piece: the string's first piece.
    void addInterpolation(int row, int piece, int series, const InterpolationCoding& interp)
    {
        eiSeries.push_back(series);
        eiString.push_back(piece);
        eiData.push_back(row);
        eiKey.insert(eiKey.end(), {interp.key, interp.position});
    }
    void addModification(int row, int piece, const ModificationCoding& mod)
    {
        emString.insert(emString.end(), {piece, piece});
        emData.push_back(row);
        emInfo.insert(emInfo.end(), {mod.type, mod.write, mod.read, 0, 0, 0, 0});
    }
};

void ContentBuilder::appendEdgeDataRows(const EdgeDataRows& r)
{
    c.sets[SetID::EdgeData] += r.rows;
    appendFloats(c.data[DataID::EdgeData_NumValue], 7, r.rows, r.edgeData);
    const int nEi = static_cast<int>(r.eiData.size());
    c.sets[SetID::EdInterp] += nEi;
    appendInts(c.maps[MapID::EdInterp_InSeries], 1, nEi, r.eiSeries);
    appendInts(c.maps[MapID::EdInterp_NodeStrg], 1, nEi, r.eiString);
    appendInts(c.maps[MapID::EdInterp_EdgeData], 1, nEi, r.eiData);
    appendInts(c.data[DataID::EdInterp_KeyPostn], 2, nEi, r.eiKey);
    const int nEm = static_cast<int>(r.emData.size());
    c.sets[SetID::EdModDat] += nEm;
    appendInts(c.maps[MapID::EdModDat_NodeStrg], 2, nEm, r.emString);
    appendInts(c.maps[MapID::EdModDat_EdgeData], 1, nEm, r.emData);
    appendInts(c.data[DataID::EdModDat_ModfInfo], 7, nEm, r.emInfo);
}

std::vector<int> ContentBuilder::conditionEdges(const std::string& label, const std::string& string,
                                                std::map<int, std::string>& owner) const
{
    std::vector<int> edges;
    for (int p : piecesOf.at(string))
        for (int i = 0; i < pieces[p].listSize; ++i) {
            const int e = pieces[p].edges[i];
            if (!g.isBoundary(e))
                throw SetupError(label + ": string <" + string + "> does not lie on the domain boundary");
            const auto taken = owner.emplace(e, label);
            if (!taken.second)
                throw SetupError(label + ": string <" + string + "> shares edges with " + taken.first->second);
            edges.push_back(e);
        }
    return edges;
}

void ContentBuilder::boundaries()
{
    std::vector<int> bcCells, bcData, bcType;
    EdgeDataRows rows;
    std::map<int, std::string> edgeOwner;
    for (const auto& b : d.boundaries) {
        const auto& own = piecesOf[b.string];
        const std::vector<int> edges = conditionEdges("boundary <" + b.name + ">", b.string, edgeOwner);
        if (b.type == BoundaryType::Wall) continue;
        if (b.type == BoundaryType::RatingCurve && own.size() > 1) {
            std::ostringstream msg;
            msg << "boundary <" << b.name << ">: a rating curve needs a string of at most " << kMaxStringEdges
                << " edges, <" << b.string << "> has more";
            throw SetupError(msg.str());
        }
        const BoundaryCoding coding = codeBoundary(b, d.friction.on);
        const int row = rows.rows;
        for (int e : edges) {
            const int inner = g.edgeCells[2 * e];
            bcEdges.push_back(e);
            bcCells.push_back(inner);
            bcCells.push_back(inner);
            bcData.push_back(row);
            bcType.push_back(coding.code);
            bcType.push_back(coding.factor);
        }
        rows.add(coding.values);
        for (const auto& interp : coding.interpolations)
            rows.addInterpolation(row, own.front(), addSeries(*b.series), interp);
        for (const auto& mod : coding.modifications) rows.addModification(row, own.front(), mod);
        ++rows.rows;
    }
    appendEdgeDataRows(rows);
    const int nBc = static_cast<int>(bcEdges.size());
    c.sets[SetID::EdgHydBC] = nBc;
    c.maps[MapID::EdgHydBC_EdgesAll] = Table::ofInts(nBc, 1, bcEdges);
    c.maps[MapID::EdgHydBC_CellsAll] = Table::ofInts(nBc, 2, bcCells);
    c.maps[MapID::EdgHydBC_EdgeData] = Table::ofInts(nBc, 1, bcData);
    c.data[DataID::HydBType] = Table::ofInts(nBc, 2, bcType);
}

void ContentBuilder::edgeSets()
{
    const std::set<int> conditioned(bcEdges.begin(), bcEdges.end());
    std::vector<int> wlEdges, wlCells, sweEdges, sweCells;
    for (int e : g.boundaryEdges)
        if (conditioned.count(e) == 0) {
            wlEdges.push_back(e);
            wlCells.push_back(g.edgeCells[2 * e]);
        }
    for (int e : g.internalEdges) {
        sweEdges.push_back(e);
        sweCells.push_back(g.edgeCells[2 * e]);
        sweCells.push_back(g.edgeCells[2 * e + 1]);
    }
    const int nWl = static_cast<int>(wlEdges.size()), nSwe = static_cast<int>(sweEdges.size());
    c.sets[SetID::EdgHydWL] = nWl;
    c.maps[MapID::EdgHydWL_EdgesAll] = Table::ofInts(nWl, 1, wlEdges);
    c.maps[MapID::EdgHydWL_CellsAll] = Table::ofInts(nWl, 1, wlCells);
    c.sets[SetID::EdgesSWE] = nSwe;
    c.maps[MapID::EdgesSWE_EdgesAll] = Table::ofInts(nSwe, 1, sweEdges);
    c.maps[MapID::EdgesSWE_CellsAll] = Table::ofInts(nSwe, 2, sweCells);
}

/// Rows that region sources add to the cell-data, cell-interpolation and cell-modification tables (one each per
/// source), and the source cells of one source set (one per cell of each source's region).
struct SourceRows {
    std::vector<float> cellData;
    std::vector<int> ciSeries, ciData, ciKey, cmRegion, cmData, cmInfo;
    std::vector<int> srcCells, srcRegion, srcData, srcSink;

    void add(const std::vector<int>& cells, int region, int dataRow, int series, const SourceCoding& coding)
    {
        for (int cell : cells) {
            srcCells.push_back(cell);
            srcRegion.push_back(region);
            srcData.push_back(dataRow);
            srcSink.push_back(coding.sinkType);
        }
        cellData.insert(cellData.end(), coding.values.begin(), coding.values.end());
        ciSeries.push_back(series);
        ciData.push_back(dataRow);
        ciKey.insert(ciKey.end(), {coding.interpolation.key, coding.interpolation.position});
        cmRegion.push_back(region);
        cmData.push_back(dataRow);
        cmInfo.insert(cmInfo.end(),
                      {coding.modification.type, coding.modification.write, coding.modification.read, 0, 0, 0, 0});
    }
    int sourceCount() const { return static_cast<int>(ciData.size()); }
    int cellCount() const { return static_cast<int>(srcCells.size()); }
};

void ContentBuilder::appendSourceRows(const SourceRows& r)
{
    const int n = r.sourceCount();
    c.sets[SetID::CellData] += n;
    appendFloats(c.data[DataID::CellData_NumValue], 2, n, r.cellData);
    c.sets[SetID::ClInterp] += n;
    appendInts(c.maps[MapID::ClInterp_InSeries], 1, n, r.ciSeries);
    appendInts(c.maps[MapID::ClInterp_CellData], 1, n, r.ciData);
    appendInts(c.data[DataID::ClInterp_KeyPostn], 2, n, r.ciKey);
    c.sets[SetID::ClModDat] += n;
    appendInts(c.maps[MapID::ClModDat_MatIDRgn], 1, n, r.cmRegion);
    appendInts(c.maps[MapID::ClModDat_CellData], 1, n, r.cmData);
    appendInts(c.data[DataID::ClModDat_ModfInfo], 7, n, r.cmInfo);
}

int ContentBuilder::regionIndex(const std::string& name) const
{
    int region = 0;
    while (d.regions[region].name != name) ++region;
    return region;
}

void ContentBuilder::sources()
{
    SourceRows rows;
    for (std::size_t s = 0; s < d.sources.size(); ++s) {
        const auto& src = d.sources[s];
        const int region = regionIndex(src.region);
        rows.add(regionCells[region], region, static_cast<int>(s), addSeries(src.series), codeSource(src));
    }
    appendSourceRows(rows);
    const int nSrc = rows.cellCount();
    c.sets[SetID::ClHydSrc] = nSrc;
    c.maps[MapID::ClHydSrc_CellsAll] = Table::ofInts(nSrc, 1, rows.srcCells);
    c.maps[MapID::ClHydSrc_ClRegion] = Table::ofInts(nSrc, 1, rows.srcRegion);
    c.maps[MapID::ClHydSrc_CellData] = Table::ofInts(nSrc, 1, rows.srcData);
    c.data[DataID::ClHydSrc_SinkType] = Table::ofInts(nSrc, 1, rows.srcSink);
}

/// A value per cell from a default and per-material overrides; an id that no triangle has is an error.
std::vector<float> perCell(const MeshGeometry& g, const std::set<int>& materials, double fallback,
                           const std::vector<MaterialValues::Region>& regions, const std::string& what)
{
    std::vector<float> values(g.nCells, static_cast<float>(fallback));
    for (std::size_t r = 0; r < regions.size(); ++r) {
        for (int m : regions[r].materials)
            if (materials.count(m) == 0) {
                std::ostringstream msg;
                msg << what << ": regions entry " << r << " names material id " << m << ", which no triangle has";
                throw SetupError(msg.str());
            }
        for (int cell = 0; cell < g.nCells; ++cell)
            if (contains(regions[r].materials, g.material[cell])) values[cell] = static_cast<float>(regions[r].value);
    }
    return values;
}

/// Fixed-bed elevation of cells without a non-erodible layer: far below any bed [m].
constexpr float kNoFixedBed = -1.0e10f;

void ContentBuilder::morphologyCells()
{
    const MorphologySpec& m = d.morphology;
    c.data[DataID::MSedSize] = Table::ofFloats(
        g.nCells, 1, perCell(g, materials, m.grainSize.defaultValue, m.grainSize.regions, "BEDMATERIAL"));
    c.data[DataID::ThetaCrt] =
        Table::ofFloats(g.nCells, 1, std::vector<float>(g.nCells, static_cast<float>(m.critical)));

    // Which cells have a layer, later regions entries overriding earlier ones.
    std::vector<int> entry(g.nCells, -1);
    for (std::size_t r = 0; r < m.fixedRegions.size(); ++r) {
        for (int id : m.fixedRegions[r].materials)
            if (materials.count(id) == 0) {
                std::ostringstream msg;
                msg << "FIXED_BED: regions entry " << r << " names material id " << id << ", which no triangle has";
                throw SetupError(msg.str());
            }
        for (int cell = 0; cell < g.nCells; ++cell)
            if (contains(m.fixedRegions[r].materials, g.material[cell])) entry[cell] = static_cast<int>(r);
    }
    std::set<int> sourceCells;
    for (const auto& src : m.sources) {
        for (int cell : regionCells[regionIndex(src.region)]) {
            if (src.sink != SinkMode::Exact && entry[cell] < 0)
                throw SetupError("morphological source <" + src.name + ">: sink '" +
                                 (src.sink == SinkMode::Available ? "available" : "infinity") +
                                 "' needs a FIXED_BED on every cell of region <" + src.region + ">");
            sourceCells.insert(cell);
        }
    }
    std::vector<int> fixCells;
    std::vector<float> fixBed;
    for (int cell = 0; cell < g.nCells; ++cell) {
        if (entry[cell] < 0 && sourceCells.count(cell) == 0) continue;
        fixedRow[cell] = static_cast<int>(fixCells.size());
        fixCells.push_back(cell);
        if (entry[cell] < 0) {
            fixBed.push_back(kNoFixedBed);
        } else {
            const double v = m.fixedRegions[entry[cell]].value;
            fixBed.push_back(static_cast<float>(m.fixedBedIsDepth ? g.bottomEl[cell] - v : v));
        }
    }
    std::vector<int> fixEdges;
    for (int cell : fixCells)
        for (int j = 0; j < 3; ++j) fixEdges.push_back(g.cellEdges[3 * cell + j]);
    const int nFix = static_cast<int>(fixCells.size());
    c.sets[SetID::CellsFix] = nFix;
    c.maps[MapID::CellsFix_CellsAll] = Table::ofInts(nFix, 1, fixCells);
    c.maps[MapID::CellsFix_EdgesAll] = Table::ofInts(nFix, 3, fixEdges);
    c.data[DataID::FixBedEl] = Table::ofFloats(nFix, 1, fixBed);
}

void ContentBuilder::morBoundaries()
{
    const MorphologySpec& m = d.morphology;
    std::vector<int> mbEdges, mbCells, mbData, mbType;
    EdgeDataRows rows;
    const int firstRow = c.sets[SetID::EdgeData];
    std::map<int, std::string> edgeOwner;
    for (const auto& b : m.boundaries) {
        const std::string label = "morphological boundary <" + b.name + ">";
        const auto& own = piecesOf[b.string];
        const std::vector<int> edges = conditionEdges(label, b.string, edgeOwner);
        if (b.type == MorBoundaryType::Wall) continue;
        const MorBoundaryCoding coding = codeMorBoundary(b, d.friction.on);
        if (coding.needsSinglePiece && own.size() > 1) {
            std::ostringstream msg;
            msg << label << ": this form needs a string of at most " << kMaxStringEdges << " edges, <" << b.string
                << "> has more";
            throw SetupError(msg.str());
        }
        // A bed level without a series keeps each edge's own cell at its initial bed: one row per edge.
        const bool rowPerEdge = b.type == MorBoundaryType::BedLevel && !b.series;
        for (int e : edges) {
            const int inner = g.edgeCells[2 * e];
            mbEdges.push_back(e);
            mbCells.insert(mbCells.end(), {inner, inner});
            mbData.push_back(firstRow + rows.rows);
            mbType.insert(mbType.end(), {coding.code, coding.factor});
            if (rowPerEdge) {
                auto values = coding.values;
                values[0] = g.bottomEl[inner];
                rows.add(values);
                ++rows.rows;
            }
        }
        if (rowPerEdge) continue;
        const int row = firstRow + rows.rows;
        rows.add(coding.values);
        for (const auto& interp : coding.interpolations)
            rows.addInterpolation(row, own.front(), addSeries(*b.series), interp);
        for (const auto& mod : coding.modifications) rows.addModification(row, own.front(), mod);
        ++rows.rows;
    }
    appendEdgeDataRows(rows);

    const int nBc = static_cast<int>(mbEdges.size());
    c.sets[SetID::EdgMorBC] = nBc;
    c.maps[MapID::EdgMorBC_EdgesAll] = Table::ofInts(nBc, 1, mbEdges);
    c.maps[MapID::EdgMorBC_CellsAll] = Table::ofInts(nBc, 2, mbCells);
    c.maps[MapID::EdgMorBC_EdgeData] = Table::ofInts(nBc, 1, mbData);
    c.data[DataID::MorBType] = Table::ofInts(nBc, 2, mbType);

    const std::set<int> withCondition(mbEdges.begin(), mbEdges.end());
    std::vector<int> wlEdges;
    for (int e : g.boundaryEdges)
        if (withCondition.count(e) == 0) wlEdges.push_back(e);
    c.sets[SetID::EdgMorWL] = static_cast<int>(wlEdges.size());
    c.maps[MapID::EdgMorWL_EdgesAll] = Table::ofInts(static_cast<int>(wlEdges.size()), 1, wlEdges);
    std::vector<int> exnCells;
    for (int e : g.internalEdges) exnCells.insert(exnCells.end(), {g.edgeCells[2 * e], g.edgeCells[2 * e + 1]});
    const int nExn = static_cast<int>(g.internalEdges.size());
    c.sets[SetID::EdgesEXN] = nExn;
    c.maps[MapID::EdgesEXN_EdgesAll] = Table::ofInts(nExn, 1, g.internalEdges);
    c.maps[MapID::EdgesEXN_CellsAll] = Table::ofInts(nExn, 2, exnCells);
}

void ContentBuilder::morSources()
{
    SourceRows rows;
    std::vector<int> srcFix;
    const int firstRow = c.sets[SetID::CellData];
    for (const auto& src : d.morphology.sources) {
        const int region = regionIndex(src.region);
        rows.add(regionCells[region], region, firstRow + rows.sourceCount(), addSeries(src.series), codeMorSource(src));
        for (int cell : regionCells[region]) srcFix.push_back(fixedRow.at(cell));
    }
    appendSourceRows(rows);
    const int nSrc = rows.cellCount();
    c.sets[SetID::ClMorSrc] = nSrc;
    c.maps[MapID::ClMorSrc_CellsAll] = Table::ofInts(nSrc, 1, rows.srcCells);
    c.maps[MapID::ClMorSrc_ClRegion] = Table::ofInts(nSrc, 1, rows.srcRegion);
    c.maps[MapID::ClMorSrc_CellsFix] = Table::ofInts(nSrc, 1, srcFix);
    c.maps[MapID::ClMorSrc_CellData] = Table::ofInts(nSrc, 1, rows.srcData);
    c.data[DataID::ClMorSrc_SinkType] = Table::ofInts(nSrc, 1, rows.srcSink);
}

void ContentBuilder::series()
{
    const int nSeries = static_cast<int>(seriesSize.size());
    c.sets[SetID::InSeries] = nSeries;
    c.data[DataID::InSeries_NumValue] = Table::ofFloats(nSeries, 2 * kMaxSeriesPairs, seriesValues);
    c.data[DataID::InSeries_ListSize] = Table::ofInts(nSeries, 1, seriesSize);
}

void ContentBuilder::parameters()
{
    const auto& p = d.parameters;
    float lowest = g.bottomEl.empty() ? 0.0f : *std::min_element(g.bottomEl.begin(), g.bottomEl.end());
    auto real = [&](ParameterID id, double v) { c.parameters[id] = {false, {v}}; };
    auto integer = [&](ParameterID id, int v) { c.parameters[id] = {true, {static_cast<double>(v)}}; };
    real(ParameterID::RefBottomEl, lowest);
    real(ParameterID::CFLnumber, p.cfl);
    real(ParameterID::DTmax, p.maxTimeStep);
    real(ParameterID::MinWaterDepth, p.minimumWaterDepth);
    real(ParameterID::Gravity, p.gravity);
    integer(ParameterID::FrictionOn, d.friction.on ? 1 : 0);
    integer(ParameterID::FrictionType, d.friction.on ? d.friction.type : 0);
    const MorphologySpec& m = d.morphology;
    real(ParameterID::BedPorosity, m.porosity);
    real(ParameterID::FluidDensity, m.fluidDensity);
    real(ParameterID::SedimentDensity, m.sedimentDensity);
    integer(ParameterID::BeadloadType, bedloadTypeCode(m.formula));
    real(ParameterID::BedloadFactor, m.factor);
    real(ParameterID::BedloadCoeff, m.coefficient);
    real(ParameterID::BedloadExpon, m.exponent);
    real(ParameterID::BedloadIkeda, m.ikeda ? m.ikedaFactor : 0.0);
    real(ParameterID::BedloadCurvature, m.curvature ? m.curvatureFactor : 0.0);
    c.parameters[ParameterID::BedloadInts] = {true, {m.ikeda ? 1.0 : 0.0, m.curvature ? 1.0 : 0.0}};
    real(ParameterID::FixBedAccuracy, m.fixedAccuracy);
    integer(ParameterID::FixBedMaxIter, m.fixedMaxIterations);
    real(ParameterID::MorphStart, m.on ? m.startTime : kMorphologyNever);
    real(ParameterID::ThetaCritical, m.critical);
    real(ParameterID::ReposeAngle, m.reposeAngle);
    integer(ParameterID::IncipientMotType, m.incipientType);
    integer(ParameterID::SafeMode, p.safeMode ? 1 : 0);
}

}  // namespace

ModelContent buildModelContent(const TriMesh& mesh, const MeshGeometry& geometry, const SetupDescription& setup)
{
    return ContentBuilder(mesh, geometry, setup).build();
}

}  // namespace setup
