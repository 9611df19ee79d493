#include "setup/ModelBuilder.hpp"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <utility>

#include "setup/Coding.hpp"
#include "setup/SetupError.hpp"

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
        initialState();
        friction();
        regions();
        nodeStrings();
        boundaries();
        edgeSets();
        sources();
        series();
        parameters();
        return std::move(c);
    }

private:
    /// Nodes, cells and edges.
    void meshTables();
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
    /// Every series of the boundaries and sources, in the order they were added.
    void series();
    /// Parameters; the morphological ones keep their defaults, with morphology never starting.
    void parameters();
    /// Appends a series to InSeries and returns its index.
    int addSeries(const Series& s);

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

void ContentBuilder::initialState()
{
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

void ContentBuilder::boundaries()
{
    std::vector<int> bcCells, bcData, bcType;
    std::vector<float> edgeData;
    std::vector<int> eiSeries, eiString, eiData, eiKey, emString, emData, emInfo;
    std::map<int, std::string> edgeOwner;
    int row = 0;
    for (const auto& b : d.boundaries) {
        const auto& own = piecesOf[b.string];
        std::vector<int> edges;
        for (int p : own)
            for (int i = 0; i < pieces[p].listSize; ++i) {
                const int e = pieces[p].edges[i];
                if (!g.isBoundary(e))
                    throw SetupError("boundary <" + b.name + ">: string <" + b.string +
                                     "> does not lie on the domain boundary");
                const auto taken = edgeOwner.emplace(e, b.name);
                if (!taken.second)
                    throw SetupError("boundary <" + b.name + ">: string <" + b.string +
                                     "> shares edges with boundary <" + taken.first->second + ">");
                edges.push_back(e);
            }
        if (b.type == BoundaryType::Wall) continue;
        if (b.type == BoundaryType::RatingCurve && own.size() > 1) {
            std::ostringstream msg;
            msg << "boundary <" << b.name << ">: a rating curve needs a string of at most " << kMaxStringEdges
                << " edges, <" << b.string << "> has more";
            throw SetupError(msg.str());
        }
        const BoundaryCoding coding = codeBoundary(b, d.friction.on);
        for (int e : edges) {
            const int inner = g.edgeCells[2 * e];
            bcEdges.push_back(e);
            bcCells.push_back(inner);
            bcCells.push_back(inner);
            bcData.push_back(row);
            bcType.push_back(coding.code);
            bcType.push_back(coding.factor);
        }
        edgeData.insert(edgeData.end(), coding.values.begin(), coding.values.end());
        for (const auto& interp : coding.interpolations) {
            eiSeries.push_back(addSeries(*b.series));
            eiString.push_back(own.front());
            eiData.push_back(row);
            eiKey.push_back(interp.key);
            eiKey.push_back(interp.position);
        }
        for (const auto& mod : coding.modifications) {
            emString.push_back(own.front());
            emString.push_back(own.front());
            emData.push_back(row);
            emInfo.insert(emInfo.end(), {mod.type, mod.write, mod.read, 0, 0, 0, 0});
        }
        ++row;
    }
    const int nBc = static_cast<int>(bcEdges.size());
    c.sets[SetID::EdgHydBC] = nBc;
    c.maps[MapID::EdgHydBC_EdgesAll] = Table::ofInts(nBc, 1, bcEdges);
    c.maps[MapID::EdgHydBC_CellsAll] = Table::ofInts(nBc, 2, bcCells);
    c.maps[MapID::EdgHydBC_EdgeData] = Table::ofInts(nBc, 1, bcData);
    c.data[DataID::HydBType] = Table::ofInts(nBc, 2, bcType);
    c.sets[SetID::EdgeData] = row;
    c.data[DataID::EdgeData_NumValue] = Table::ofFloats(row, 7, edgeData);
    const int nEi = static_cast<int>(eiData.size());
    c.sets[SetID::EdInterp] = nEi;
    c.maps[MapID::EdInterp_InSeries] = Table::ofInts(nEi, 1, eiSeries);
    c.maps[MapID::EdInterp_NodeStrg] = Table::ofInts(nEi, 1, eiString);
    c.maps[MapID::EdInterp_EdgeData] = Table::ofInts(nEi, 1, eiData);
    c.data[DataID::EdInterp_KeyPostn] = Table::ofInts(nEi, 2, eiKey);
    const int nEm = static_cast<int>(emData.size());
    c.sets[SetID::EdModDat] = nEm;
    c.maps[MapID::EdModDat_NodeStrg] = Table::ofInts(nEm, 2, emString);
    c.maps[MapID::EdModDat_EdgeData] = Table::ofInts(nEm, 1, emData);
    c.data[DataID::EdModDat_ModfInfo] = Table::ofInts(nEm, 7, emInfo);
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

void ContentBuilder::sources()
{
    std::vector<int> srcCells, srcRegion, srcData, srcSink, ciSeries, ciData, ciKey, cmRegion, cmData, cmInfo;
    std::vector<float> cellData;
    for (std::size_t s = 0; s < d.sources.size(); ++s) {
        const auto& src = d.sources[s];
        int region = 0;
        while (d.regions[region].name != src.region) ++region;
        const SourceCoding coding = codeSource(src);
        const int dataRow = static_cast<int>(s);
        for (int cell : regionCells[region]) {
            srcCells.push_back(cell);
            srcRegion.push_back(region);
            srcData.push_back(dataRow);
            srcSink.push_back(coding.sinkType);
        }
        cellData.insert(cellData.end(), coding.values.begin(), coding.values.end());
        ciSeries.push_back(addSeries(src.series));
        ciData.push_back(dataRow);
        ciKey.insert(ciKey.end(), {coding.interpolation.key, coding.interpolation.position});
        cmRegion.push_back(region);
        cmData.push_back(dataRow);
        cmInfo.insert(cmInfo.end(),
                      {coding.modification.type, coding.modification.write, coding.modification.read, 0, 0, 0, 0});
    }
    const int nSrc = static_cast<int>(srcCells.size()), nRows = static_cast<int>(d.sources.size());
    c.sets[SetID::ClHydSrc] = nSrc;
    c.maps[MapID::ClHydSrc_CellsAll] = Table::ofInts(nSrc, 1, srcCells);
    c.maps[MapID::ClHydSrc_ClRegion] = Table::ofInts(nSrc, 1, srcRegion);
    c.maps[MapID::ClHydSrc_CellData] = Table::ofInts(nSrc, 1, srcData);
    c.data[DataID::ClHydSrc_SinkType] = Table::ofInts(nSrc, 1, srcSink);
    c.sets[SetID::CellData] = nRows;
    c.data[DataID::CellData_NumValue] = Table::ofFloats(nRows, 2, cellData);
    c.sets[SetID::ClInterp] = nRows;
    c.maps[MapID::ClInterp_InSeries] = Table::ofInts(nRows, 1, ciSeries);
    c.maps[MapID::ClInterp_CellData] = Table::ofInts(nRows, 1, ciData);
    c.data[DataID::ClInterp_KeyPostn] = Table::ofInts(nRows, 2, ciKey);
    c.sets[SetID::ClModDat] = nRows;
    c.maps[MapID::ClModDat_MatIDRgn] = Table::ofInts(nRows, 1, cmRegion);
    c.maps[MapID::ClModDat_CellData] = Table::ofInts(nRows, 1, cmData);
    c.data[DataID::ClModDat_ModfInfo] = Table::ofInts(nRows, 7, cmInfo);
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
    real(ParameterID::BedPorosity, 0.4);
    real(ParameterID::FluidDensity, 1000.0);
    real(ParameterID::SedimentDensity, 2650.0);
    integer(ParameterID::BeadloadType, 1);
    real(ParameterID::BedloadFactor, 1.0);
    real(ParameterID::BedloadCoeff, 8.0);
    real(ParameterID::BedloadExpon, 1.5);
    real(ParameterID::BedloadIkeda, 0.0);
    real(ParameterID::BedloadCurvature, 0.0);
    c.parameters[ParameterID::BedloadInts] = {true, {0.0, 0.0}};
    real(ParameterID::FixBedAccuracy, 0.001);
    integer(ParameterID::FixBedMaxIter, 10);
    real(ParameterID::MorphStart, kMorphologyNever);
    real(ParameterID::ThetaCritical, 0.047);
    real(ParameterID::ReposeAngle, 0.5236);
    integer(ParameterID::IncipientMotType, 1);
    integer(ParameterID::SafeMode, p.safeMode ? 1 : 0);
}

}  // namespace

ModelContent buildModelContent(const TriMesh& mesh, const MeshGeometry& geometry, const SetupDescription& setup)
{
    return ContentBuilder(mesh, geometry, setup).build();
}

}  // namespace setup
