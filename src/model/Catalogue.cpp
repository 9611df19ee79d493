// Content of the catalogue tables. These names, sizes and types are also the layout contract of the model file
// written by the set-up program; the texts are the system's own and are kept exactly as they are.
#include "model/Catalogue.hpp"

#include <cmath>
#include <stdexcept>
#include <string>

namespace model::catalogue {

namespace {

using A = AggregateID;
using S = SetID;
using M = MapID;
using D = DataID;
using P = ParameterID;
using O = OutputID;
using K = KernelID;

/// Fails with a range error when an operation is given fewer columns than it reads.
void requireColumns(const std::vector<double>& c, std::size_t n, const char* function) {
    if (c.size() < n)
        throw std::out_of_range(std::string("output function ") + function + " needs " + std::to_string(n) +
                                " columns, got " + std::to_string(c.size()));
}

/// Water depth [m]: surface (column 0) minus bottom (column 1).
OutputOperation depthFunction() {
    return {"$0-$1", [](double, const std::vector<double>& c) {
                requireColumns(c, 2, "$0-$1");
                return c[0] - c[1];
            }};
}

/// Change of bottom elevation [m]: current (column 1) minus initial (column 0).
OutputOperation deltaFunction() {
    return {"$1-$0", [](double, const std::vector<double>& c) {
                requireColumns(c, 2, "$1-$0");
                return c[1] - c[0];
            }};
}

/// Velocity component [m/s] from discharge columns 0, 1 and depth h = column 2 - column 3; zero on cells whose
/// depth is below the threshold.
OutputOperation velocityXFunction() {
    return {"$0/($2-$3)", [](double threshold, const std::vector<double>& c) {
                requireColumns(c, 4, "$0/($2-$3)");
                const double h = c[2] - c[3];
                return threshold > h ? 0.0 : c[0] / h;
            }};
}

OutputOperation velocityYFunction() {
    return {"$1/($2-$3)", [](double threshold, const std::vector<double>& c) {
                requireColumns(c, 4, "$1/($2-$3)");
                const double h = c[2] - c[3];
                return threshold > h ? 0.0 : c[1] / h;
            }};
}

/// Magnitude of the velocity [m/s], zero below the depth threshold.
OutputOperation velocityAbsFunction() {
    return {"sqrt($0/($2-$3)*$0/($2-$3) + $1/($2-$3)*$1/($2-$3))", [](double threshold, const std::vector<double>& c) {
                requireColumns(c, 4, "sqrt($0/($2-$3)*$0/($2-$3) + $1/($2-$3)*$1/($2-$3))");
                const double h = c[2] - c[3];
                if (threshold > h) return 0.0;
                const double u = c[0] / h;
                const double v = c[1] / h;
                return std::sqrt(u * u + v * v);
            }};
}

/// Reciprocal of column 0 (flow radius from curvature); no guard against zero.
OutputOperation inverseFunction() {
    return {"1.0/$0", [](double, const std::vector<double>& c) {
                requireColumns(c, 1, "1.0/$0");
                return 1.0 / c[0];
            }};
}

}  // namespace

const Table<AggregateID, AggregateEntry, Dimensions::NrAggregates>& aggregates() {
    static const Table<AggregateID, AggregateEntry, Dimensions::NrAggregates> table = [] {
        Table<AggregateID, AggregateEntry, Dimensions::NrAggregates> t;
        t.set(A::hydraulics_aggr, {{"hydraulics_aggr", 1, 1},
          "This Aggregate is the basis and is required for all simulations. A circular dam break simulation is possible,        invoking DT calculation, flux calculation of type 'WALL' and 'SWE', and cell update.",
          {"SETUP/DOMAIN/LAMINA_2D/HYDRAULICS"},
          {K::InitCellHydFeatures, K::TimeStepCalculation, K::HydWallBFluxes, K::HydInternalFluxes, K::Update},
          {}});
        t.set(A::morphology_aggr, {{"morphology_aggr", 1, 1},
          "This Aggregate is the basis for morphological simulations, i.e. with integration of Exner equation.",
          {"SETUP/DOMAIN/LAMINA_2D/MORPHOLOGY"},
          {K::InitCellMorFeatures, K::MorWallBFluxes, K::MorBedloadTransport, K::MorInternalFluxes, K::Update},
          {K::HydFriction}});
        t.set(A::hyd_boundary_aggr, {{"hyd_boundary_aggr", 1, 1},
          "This Aggregate is used for hydraulic flux calculation that are neither of type 'WALL' nor 'SWE'.        The specific configuration of these boundaries is defined in the 'HYDRAULICS/BOUNDARY' block of the command file.",
          {"SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/BOUNDARY", "SETUP/DOMAIN/LAMINA_2D/GEOMETRY/STRINGDEF"},
          {K::NodeStringStateCalc, K::EdgeDataInterpolation, K::EdgeDataModification, K::HydBoundaryFluxes},
          {K::HydFriction}});
        t.set(A::mor_boundary_aggr, {{"mor_boundary_aggr", 1, 1},
          "This Aggregate is used for morphological boundary flux calculation that are neither of type 'WALL' nor 'EXN'.        The specific configuration of these boundaries is defined in the 'MORPHOLOGY/BEDLOAD/BOUNDARY' block        of the command file.",
          {"SETUP/DOMAIN/LAMINA_2D/MORPHOLOGY/BEDLOAD/BOUNDARY", "SETUP/DOMAIN/LAMINA_2D/GEOMETRY/STRINGDEF"},
          {K::NodeStringStateCalc, K::EdgeDataInterpolation, K::EdgeDataModification, K::MorBoundaryFluxes},
          {K::HydFriction}});
        t.set(A::mor_direction_curve_aggr, {{"mor_direction_curve_aggr", 1, 1},
          "This Aggregate is used to account for local curvature effect on bed load transport direction (Engelund).",
          {"SETUP/DOMAIN/LAMINA_2D/MORPHOLOGY/BEDLOAD/DIRECTION/CURVATURE"},
          {K::CalCCurvature},
          {}});
        t.set(A::mor_direction_ikeda_aggr, {{"mor_direction_ikeda_aggr", 1, 1},
          "This Aggregate is used to account for lateral bed slope effect on bed load transport direction (Ikeda).",
          {"SETUP/DOMAIN/LAMINA_2D/MORPHOLOGY/BEDLOAD/DIRECTION/IKEDA"},
          {K::CalcBedGradient},
          {}});
        t.set(A::mor_fixedbed_aggr, {{"mor_fixedbed_aggr", 1, 1},
          "This Aggregate is used to correct morphological fluxes due to fixed bed.",
          {"SETUP/DOMAIN/LAMINA_2D/MORPHOLOGY/BEDMATERIAL/FIXED_BED"},
          {K::MorBedloadTransport, K::MorInternalFluxes, K::MorFixBedCorrection, K::MorFixBedCorrectionMax},
          {}});
        t.set(A::mor_local_bed_slope, {{"mor_local_bed_slope", 1, 1},
          "This Aggregate is used to correct the critical value for bed load formula (critical Shields or velocity).",
          {"SETUP/DOMAIN/LAMINA_2D/MORPHOLOGY/INCIPIENT_MOTION"},
          {K::LocalBedSlope, K::CalcBedGradient},
          {}});
        t.set(A::hyd_friction_aggr, {{"hyd_friction_aggr", 1, 1},
          "This Aggregate is used to consider friction effects of the hydraulic simulation.",
          {"SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/FRICTION"},
          {K::InitFrictionFeatures, K::HydFriction},
          {}});
        t.set(A::hyd_source_aggr, {{"hyd_source_aggr", 1, 1},
          "This Aggregate is used to impose external hydraulic sources (mass).",
          {"SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/SOURCE", "SETUP/DOMAIN/LAMINA_2D/GEOMETRY/REGIONDEF"},
          {K::CellDataInterpolation, K::CellDataModification, K::HydSource},
          {}});
        t.set(A::mor_source_aggr, {{"mor_source_aggr", 1, 1},
          "This Aggregate is used to impose external morphological sources (mass).",
          {"SETUP/DOMAIN/LAMINA_2D/MORPHOLOGY/SOURCE", "SETUP/DOMAIN/LAMINA_2D/GEOMETRY/REGIONDEF"},
          {K::CellDataInterpolation, K::CellDataModification, K::MorSource},
          {}});
        t.set(A::hyd_flood_aggr, {{"hyd_flood_aggr", 1, 1},
          "This Aggregate is used to track flood variables.",
          {"SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/FLOOD"},
          {K::HydFlood},
          {}});
        return t;
    }();
    return table;
}

const Table<SetID, SetEntry, Dimensions::NrSets>& sets() {
    static const Table<SetID, SetEntry, Dimensions::NrSets> table = [] {
        Table<SetID, SetEntry, Dimensions::NrSets> t;
        t.set(S::NodesAll, {{"NodesAll", 1, 1}, "Set of all the domain nodes, i.e. of the mesh vertices."});
        t.set(S::CellsAll, {{"CellsAll", 1, 1}, "Set of all the computational cells of the domain."});
        t.set(S::CellsFix, {{"CellsFix", 1, 1}, "Set of all computational cells with fixed bed elevation defined (subset of CELLSALL)."});
        t.set(S::ClHydSrc, {{"ClHydSrc", 1, 1}, "Set of cells that are affected by hydraulic source terms (subset of CELLSALL)."});
        t.set(S::EdgesAll, {{"EdgesAll", 1, 1}, "Set of all the edges of the domain."});
        t.set(S::EdgHydWL, {{"EdgHydWL", 1, 1}, "Set of hydraulic boundary edges of type WALL (subset of EDGESALL)."});
        t.set(S::EdgMorWL, {{"EdgMorWL", 1, 1}, "Set of morphology boundary edges of type WALL (subset of EDGESALL)."});
        t.set(S::EdgesSWE, {{"EdgesSWE", 1, 1}, "Set of hydraulic internal edges where the Riemann Solver is applied (subset of EDGESALL)."});
        t.set(S::EdgesEXN, {{"EdgesEXN", 1, 1}, "Set of morphology internal edges where the Riemann Solver for Exner-equation is applied (subset of EDGESALL)."});
        t.set(S::EdgHydBC, {{"EdgHydBC", 1, 1}, "Set of hydraulic boundary edges (subset of EDGESALL)."});
        t.set(S::EdgMorBC, {{"EdgMorBC", 1, 1}, "Set of morphology boundary edges (subset of EDGESALL)."});
        t.set(S::NodeStrg, {{"NodeStrg", 1, 1}, "Set of nodeStrings where boundary conditions (or special output) are defined."});
        t.set(S::MatIDRgn, {{"MatIDRgn", 1, 1}, "Set of regions, composed by a collection of computational cells (indicated by MATids)."});
        t.set(S::EdgeData, {{"EdgeData", 1, 1}, "Set of the data containing information and parameters of the edge based boundary conditions."});
        t.set(S::CellData, {{"CellData", 1, 1}, "Set of the data containing information and parameters of the cell based sources."});
        t.set(S::InSeries, {{"InSeries", 1, 1}, "Set of the time or value series provided by the user as separate text files."});
        t.set(S::EdInterp, {{"EdInterp", 1, 1}, "Set of the interpolations required to calculate the interpolated values for the different BCs."});
        t.set(S::ClInterp, {{"ClInterp", 1, 1}, "Set of the interpolations required to calculate the interpolated values for the different SRCs."});
        t.set(S::EdModDat, {{"EdModDat", 1, 1}, "Set of edge based data modifications that are evaluated before the boundary data can be used as such."});
        t.set(S::ClModDat, {{"ClModDat", 1, 1}, "Set of cell based data modifications that are evaluated before the source data can be used as such."});
        t.set(S::ClMorSrc, {{"ClMorSrc", 1, 1}, "Set of cells that are affected by morphological source terms (subset of CELLSALL)."});
        return t;
    }();
    return table;
}

const Table<MapID, MapEntry, Dimensions::NrMaps>& maps() {
    static const Table<MapID, MapEntry, Dimensions::NrMaps> table = [] {
        Table<MapID, MapEntry, Dimensions::NrMaps> t;
        t.set(M::CellsAll_EdgesAll, {{"EdgesAll", 3, 1}, S::CellsAll, S::EdgesAll,
                              "Map from cells (ALL) to composing edges (1 -> 3)."});
        t.set(M::CellsAll_NbrCells, {{"NbrCells", 3, 1}, S::CellsAll, S::CellsAll,
                              "Map from cells (ALL) to neighbour cells (1 -> 3)."});
        t.set(M::CellsFix_CellsAll, {{"CellsAll", 1, 1}, S::CellsFix, S::CellsAll,
                              "Map from cells fixed bed to cells (ALL) (1 -> 1)."});
        t.set(M::CellsFix_EdgesAll, {{"EdgesAll", 3, 1}, S::CellsFix, S::EdgesAll,
                              "Map from cells fixed bed to composing edges (1 -> 3)."});
        t.set(M::ClHydSrc_CellsAll, {{"CellsAll", 1, 1}, S::ClHydSrc, S::CellsAll,
                              "Map from hydraulic source cells to the entire cells set (ALL) (1 -> 1)."});
        t.set(M::ClHydSrc_ClRegion, {{"ClRegion", 1, 1}, S::ClHydSrc, S::MatIDRgn,
                              "Map from hydraulic source cells to the according cell region (1 -> 1)."});
        t.set(M::ClHydSrc_CellData, {{"CellData", 1, 1}, S::ClHydSrc, S::CellData,
                              "Map from hydraulic source cells to input source data (1 -> 1)."});
        t.set(M::EdgesAll_CellsAll, {{"CellsAll", 2, 1}, S::EdgesAll, S::CellsAll,
                              "Map from edges (ALL) to left/right cell (1 -> 2)."});
        t.set(M::EdgHydWL_EdgesAll, {{"EdgesAll", 1, 1}, S::EdgHydWL, S::EdgesAll,
                              "Map from hydraulic WALL edges to the entire edge set (ALL) (1 -> 1)."});
        t.set(M::EdgHydWL_CellsAll, {{"CellsAll", 1, 1}, S::EdgHydWL, S::CellsAll,
                              "Map from hydraulic WALL edges to left/right cell (1 -> 2)."});
        t.set(M::EdgMorWL_EdgesAll, {{"EdgesAll", 1, 1}, S::EdgMorWL, S::EdgesAll,
                              "Map from morphology WALL edges to the entire edge set (ALL) (1 -> 1)."});
        t.set(M::EdgesSWE_EdgesAll, {{"EdgesAll", 1, 1}, S::EdgesSWE, S::EdgesAll,
                              "Map from internal (SWE) edges  to the entire edge set (ALL) (1 -> 1)."});
        t.set(M::EdgesSWE_CellsAll, {{"CellsAll", 2, 1}, S::EdgesSWE, S::CellsAll,
                              "Map from internal (SWE) edges  to left/right cell (1 -> 2)."});
        t.set(M::EdgHydBC_EdgesAll, {{"EdgesAll", 1, 1}, S::EdgHydBC, S::EdgesAll,
                              "Map from edges (standard hydraulic boundary) to the entire edge set (ALL) (1 -> 1)."});
        t.set(M::EdgHydBC_CellsAll, {{"CellsAll", 2, 1}, S::EdgHydBC, S::CellsAll,
                              "Map from edges (standard hydraulic boundary) to left/right cell (1 -> 2)."});
        t.set(M::EdgHydBC_EdgeData, {{"EdgeData", 1, 1}, S::EdgHydBC, S::EdgeData,
                              "Map from edges (standard hydraulic boundary) to input boundary data (1 -> 1)."});
        t.set(M::EdgMorBC_EdgesAll, {{"EdgesAll", 1, 1}, S::EdgMorBC, S::EdgesAll,
                              "Map from edges (standard morphology boundary) to the entire edge set (ALL) (1 -> 1)."});
        t.set(M::EdgMorBC_CellsAll, {{"CellsAll", 2, 1}, S::EdgMorBC, S::CellsAll,
                              "Map from edges (standard morphology boundary) to left/right cell (1 -> 2)."});
        t.set(M::EdgMorBC_EdgeData, {{"EdgeData", 1, 1}, S::EdgMorBC, S::EdgeData,
                              "Map from edges (standard morphology boundary) to input boundary data (1 -> 1)."});
        t.set(M::EdgesEXN_EdgesAll, {{"EdgesAll", 1, 1}, S::EdgesEXN, S::EdgesAll,
                              "Map from internal (EXNer) edges  to the entire edge set (ALL) (1 -> 1)."});
        t.set(M::EdgesEXN_CellsAll, {{"CellsAll", 2, 1}, S::EdgesEXN, S::CellsAll,
                              "Map from internal (EXNer) edges  to left/right cell (1 -> 2)."});
        t.set(M::NodeStrg_EdgesAll, {{"EdgesAll", Dimensions::NodeStringMaxEdges, 1}, S::NodeStrg, S::EdgesAll,
                              "Map from each NodeString to its forming edges (ALL) (1 -> NodeString maximum size)."});
        t.set(M::NodeStrg_CellsAll, {{"CellsAll", Dimensions::NodeStringMaxEdges, 1}, S::NodeStrg, S::CellsAll,
                              "Map from each NodeString to its attached upstream cells (ALL) (1 -> NodeString maximum size)."});
        t.set(M::EdInterp_InSeries, {{"InSeries", 1, 1}, S::EdInterp, S::InSeries,
                              "Map from edge interpolation set to the Input Series set (1 -> 1)."});
        t.set(M::EdInterp_NodeStrg, {{"NodeStrg", 1, 1}, S::EdInterp, S::NodeStrg,
                              "Map from edge interpolation set to the NodeString set (1 -> 1)."});
        t.set(M::EdInterp_EdgeData, {{"EdgeData", 1, 1}, S::EdInterp, S::EdgeData,
                              "Map from edge interpolation set to the boundary data set (1 -> 1)."});
        t.set(M::ClInterp_InSeries, {{"InSeries", 1, 1}, S::ClInterp, S::InSeries,
                              "Map from cell interpolation set to the Input Series set (1 -> 1)."});
        t.set(M::ClInterp_CellData, {{"CellData", 1, 1}, S::ClInterp, S::CellData,
                              "Map from cell interpolation set to the source data set (1 -> 1)."});
        t.set(M::EdModDat_NodeStrg, {{"NodeStrg", 2, 1}, S::EdModDat, S::NodeStrg,
                              "Map from the set of edge based data modification routines to the according entry of nodestring set (1 -> 1)."});
        t.set(M::EdModDat_EdgeData, {{"EdgeData", 1, 1}, S::EdModDat, S::EdgeData,
                              "Map from the set of edge based data modification routines to the according entry of boundary data (1 -> 1)."});
        t.set(M::ClModDat_MatIDRgn, {{"MatIDRgn", 1, 1}, S::ClModDat, S::MatIDRgn,
                              "Map from the set of cell based data modification routines to the according entry of matid region set (1 -> 1)."});
        t.set(M::ClModDat_CellData, {{"CellData", 1, 1}, S::ClModDat, S::CellData,
                              "Map from the set of cell based data modification routines to the according entry of source data (1 -> 1)."});
        t.set(M::ClMorSrc_CellsAll, {{"CellsAll", 1, 1}, S::ClMorSrc, S::CellsAll,
                              "Map from morphological source cells to the entire cells set (ALL) (1 -> 1)."});
        t.set(M::ClMorSrc_ClRegion, {{"ClRegion", 1, 1}, S::ClMorSrc, S::MatIDRgn,
                              "Map from morphological source cells to the according cell region (1 -> 1)."});
        t.set(M::ClMorSrc_CellsFix, {{"CellsFix", 1, 1}, S::ClMorSrc, S::CellsFix,
                              "Map from morphological source cells to fixed bed cells (1 -> 1)."});
        t.set(M::ClMorSrc_CellData, {{"CellData", 1, 1}, S::ClMorSrc, S::CellData,
                              "Map from morphological source cells to input source data (1 -> 1)."});
        return t;
    }();
    return table;
}

const Table<DataID, DataEntry, Dimensions::NrData>& data() {
    static const Table<DataID, DataEntry, Dimensions::NrData> table = [] {
        Table<DataID, DataEntry, Dimensions::NrData> t;
        t.set(D::Coordnts, {{"Coordnts", 3, 2}, S::NodesAll, Origin::SetupOnly,
                   "Coordinates (x,y,z) of the mesh vertex."});
        t.set(D::NormVect, {{"NormVect", 2, 2}, S::EdgesAll, Origin::ModelFile,
                   "Unitary normal vector (nx,ny) of the edge."});
        t.set(D::GeomLeng, {{"GeomLeng", 1, 2}, S::EdgesAll, Origin::ModelFile,
                   "Geometrical length of the edge."});
        t.set(D::CharSize, {{"CharSize", 2, 2}, S::EdgesAll, Origin::ModelFile,
                   "Characteristic sizes of Left and Right cells: i.e. twice the distance between edge and         the centroid of neighbour cells."});
        t.set(D::FluxesHy, {{"FluxesHy", Dimensions::HydraulicFluxSize, 2}, S::EdgesAll, Origin::SimulationOnly,
                   "Hydraulic fluxes (5 components) as follows: [0] liquid mass, [1,2] x and y momentum,         [3,4] opposite x and y momentum in case of emerging topography."});
        t.set(D::FluxesMo, {{"FluxesMo", 1, 2}, S::EdgesAll, Origin::SimulationOnly,
                   "Morphological (i.e. sediment mass) flux."});
        t.set(D::UnitCent, {{"UnitCent", 2, 2}, S::EdgesAll, Origin::ModelFile,
                   "Unit vector between the two centroids of the cells."});
        t.set(D::DistCent, {{"DistCent", 1, 2}, S::EdgesAll, Origin::ModelFile,
                   "Distance between the two centroids of the cells."});
        t.set(D::HydBType, {{"HydBType", 2, 1}, S::EdgHydBC, Origin::ModelFile,
                   "Type of hydraulic boundary condition."});
        t.set(D::MorBType, {{"MorBType", 2, 1}, S::EdgMorBC, Origin::ModelFile,
                   "Type of morphology boundary condition."});
        t.set(D::HydState, {{"HydState", Dimensions::HydraulicStateSize, 2}, S::CellsAll, Origin::ModelFile,
                   "Hydraulic state variables, i.e. cell-centered integrated quantities: [0] H (water surface elevation), [1, 2] qx, qy."});
        t.set(D::BottomEl, {{"BottomEl", 1, 2}, S::CellsAll, Origin::ModelFile,
                   "Morphological state variable, i.e. cell-averaged bottom elevation zb."});
        t.set(D::IsWetted, {{"IsWetted", 1, 1}, S::CellsAll, Origin::SimulationOnly,
                   "Flag indicating if cell is wetted: 1 (wet), 0 (dry)."});
        t.set(D::CellsAll_GeomArea, {{"GeomArea", 1, 2}, S::CellsAll, Origin::ModelFile,
                   "Geometrical area of the computational cell."});
        t.set(D::CellsAll_EdgeSign, {{"EdgeSign", 3, 1}, S::CellsAll, Origin::ModelFile,
                   "Signs of the 3 edges composing the cell: by convention,         1 if the considered cell is on the left side of the edge, -1 if on the right side."});
        t.set(D::Topology, {{"Topology", 3, 1}, S::CellsAll, Origin::SetupOnly,
                   "Triplet of Node IDs that compose the cell."});
        t.set(D::Friction, {{"Friction", 1, 2}, S::CellsAll, Origin::ModelFile,
                   "Friction value of the cell: the metrics of the friction value depends on the roughness closure."});
        t.set(D::ChezyCoe, {{"ChezyCoe", 1, 2}, S::CellsAll, Origin::SimulationOnly,
                   "Non-dimensional (squared) Chezy friction value: calculated with the water depth and the friction value (closure-specific)."});
        t.set(D::FlowCurv, {{"FlowCurv", 1, 2}, S::CellsAll, Origin::SimulationOnly,
                   "Flow curvature (scalar), estimated from the velocity vector of the neighbour cells."});
        t.set(D::ThetaCrt, {{"ThetaCrt", 1, 2}, S::CellsAll, Origin::ModelFile,
                   "Critical Shields parameter of the cell (or critical velocity in case of GRASS-like formulas)."});
        t.set(D::BedGrdnt, {{"BedGrdnt", 2, 2}, S::CellsAll, Origin::SimulationOnly,
                   "Bed gradient (vector), calculated from neighbour cells."});
        t.set(D::MSedSize, {{"MSedSize", 1, 2}, S::CellsAll, Origin::ModelFile,
                   "Median sediment size of the cell [m]"});
        t.set(D::GeomWght, {{"GeomWght", 6, 2}, S::CellsAll, Origin::ModelFile,
                   "Geometrical weighting factors for local (1. order stencil) reconstruction."});
        t.set(D::NrTrueNb, {{"NrTrueNb", 1, 1}, S::CellsAll, Origin::ModelFile,
                   "Number of true neibour cells (3: internal cells) (1 or 2 for boundary cells)."});
        t.set(D::FloodVar, {{"FloodVar", 4, 2}, S::CellsAll, Origin::SimulationOnly,
                   "Tracked flood varaibles: water depth, flow velocity, specific discharge, flood arrival time."});
        t.set(D::BedTrCap, {{"BedTrCap", 2, 2}, S::CellsAll, Origin::SimulationOnly,
                   "Specific bed load transport capacity vector on the cell, (qsx, qsy) [m2/s]."});
        t.set(D::BedTrDer, {{"BedTrDer", 2, 2}, S::CellsAll, Origin::SimulationOnly,
                   "Derivative of the specific bed load transport vector qs with respect to specific discharge q (dqs/dq) on the cell,         used for the morphodynamic approximate HLL Rieman solver according to Soares-Frazao and Zech (dqs_dqx, dqs_dqy) [-]."});
        t.set(D::FixBedEl, {{"FixBedEl", 1, 2}, S::CellsFix, Origin::ModelFile,
                   "Fixed bed elevation [m]. At the moment the user defines a relative fixed bed elevation to bottom elevation."});
        t.set(D::NewBedEl, {{"NewBedEl", 1, 2}, S::CellsFix, Origin::SimulationOnly,
                   "New temporary bed elevation due to the pseudo-update used for the fixed bed correction approach [m]. "});
        t.set(D::ClHydSrc_SinkType, {{"SinkType", 1, 1}, S::ClHydSrc, Origin::ModelFile,
                   "The type of behavior of hydraulic sources in case of negative source:         can be exact (...0), available (...1), or infinity (...2)."});
        t.set(D::ClMorSrc_SinkType, {{"SinkType", 1, 1}, S::ClMorSrc, Origin::ModelFile,
                   "The type of behavior of morphology sources in case of negative source:         can be exact (...0), available (...1), or infinity (...2)."});
        t.set(D::MatIDRgn_GeomArea, {{"GeomArea", 1, 2}, S::MatIDRgn, Origin::ModelFile,
                   "Geometrical area of the collection of cells."});
        t.set(D::NodeStrg_ListSize, {{"ListSize", 1, 1}, S::NodeStrg, Origin::ModelFile,
                   "Number of edges of the nodestring."});
        t.set(D::StrNames, {{"StrNames", 1, 4}, S::NodeStrg, Origin::SetupOnly,
                   "Name of the nodestring."});
        t.set(D::NodeStrg_EdgeSign, {{"EdgeSign", Dimensions::NodeStringMaxEdges, 1}, S::NodeStrg, Origin::ModelFile,
                   "Sign for each edge of the nodestring that indicates the edge orientation vs the NS orientation (1 -> similar, -1 -> flip)."});
        t.set(D::StateVar, {{"StateVar", Dimensions::NodeStringStateSize, 2}, S::NodeStrg, Origin::SimulationOnly,
                   "State variables (i.e. integrated quantities) of the nodestring."});
        t.set(D::TotalLen, {{"TotalLen", 1, 2}, S::NodeStrg, Origin::ModelFile,
                   "Geometrical length of the nodestring."});
        t.set(D::EdgeData_NumValue, {{"NumValue", Dimensions::EdgeDataSize, 2}, S::EdgeData, Origin::ModelFile,
                   "Data for the boundary flux calculation."});
        t.set(D::CellData_NumValue, {{"NumValue", Dimensions::CellDataSize, 2}, S::CellData, Origin::ModelFile,
                   "Data for the cell source calculation."});
        t.set(D::InSeries_NumValue, {{"NumValue", Dimensions::InputSeriesMaxValues, 2}, S::InSeries, Origin::ModelFile,
                   "Input data of the data series (defined in external files)."});
        t.set(D::InSeries_ListSize, {{"ListSize", 1, 1}, S::InSeries, Origin::ModelFile,
                   "Length of the data series."});
        t.set(D::EdInterp_KeyPostn, {{"KeyPostn", 2, 1}, S::EdInterp, Origin::ModelFile,
                   "Interpolation key and the position that indicates where to write the interpolated data."});
        t.set(D::ClInterp_KeyPostn, {{"KeyPostn", 2, 1}, S::ClInterp, Origin::ModelFile,
                   "Interpolation key and the position that indicates where to write the interpolated data."});
        t.set(D::EdModDat_ModfInfo, {{"ModfInfo", Dimensions::ModificationInfoSize, 1}, S::EdModDat, Origin::ModelFile,
                   "Information about the data modification: type of data modifiaction,         write position inside the boundary data, and read positions inside the boundary data."});
        t.set(D::LocalDat, {{"LocalDat", Dimensions::ModificationLocalSize, 2}, S::EdModDat, Origin::SimulationOnly,
                   "This data is available to locally store information about the data modification,         e.g. system states, history of the modification, etc."});
        t.set(D::ClModDat_ModfInfo, {{"ModfInfo", Dimensions::ModificationInfoSize, 1}, S::ClModDat, Origin::ModelFile,
                   "Information about the cell data modification: type of data modifiaction,         write position inside the src data, and read positions inside the src data."});
        return t;
    }();
    return table;
}

const Table<ParameterID, ParameterEntry, Dimensions::NrParameterSlots>& parameters() {
    static const Table<ParameterID, ParameterEntry, Dimensions::NrParameterSlots> table = [] {
        Table<ParameterID, ParameterEntry, Dimensions::NrParameterSlots> t;
        t.set(P::RefBottomEl, {{"RefBottomEl", 1, 2}, false,
                   "Minimum bottom elevation, used for translation in z-direction to minimize cancelling effects."});
        t.set(P::CFLnumber, {{"CFLnumber", 1, 2}, false,
                   "CFL number (usually between 0.0 and 1.0)."});
        t.set(P::DTmax, {{"DTmax", 1, 2}, false,
                   "Maximum allowed timestep for time integration."});
        t.set(P::MinWaterDepth, {{"MinWaterDepth", 1, 2}, false,
                   "Minimum water depth used for the declaration of wet/dry cells."});
        t.set(P::Gravity, {{"Gravity", 1, 2}, false,
                   "Gravitational acceleration."});
        t.set(P::InvGravity, {{"InvGravity", 1, 2}, true,
                   "Inverse of gravitational acceleration."});
        t.set(P::FrictionOn, {{"FrictionOn", 1, 1}, false,
                   "Simulation with/without friction."});
        t.set(P::FrictionType, {{"FrictionType", 1, 1}, false,
                   "Type of bed roughness closure."});
        t.set(P::BedPorosity, {{"BedPorosity", 1, 2}, false,
                   "Porosity of the bed (from 0.0 to 1.0) [-]."});
        t.set(P::InvBedPorosity, {{"InvBedPorosity", 1, 2}, true,
                   "defined as: 1/(1- BedPorosity) [-]."});
        t.set(P::FluidDensity, {{"FluidDensity", 1, 2}, false,
                   "Density of the fluid (generally water) [kg/mc]."});
        t.set(P::SedimentDensity, {{"SedimentDensity", 1, 2}, false,
                   "Density of the sediment [kg/mc]."});
        t.set(P::SedRelDensity, {{"SedRelDensity", 1, 2}, true,
                   "Relative density of the sediment: (Sediment_density - Fluid_density)/Fluid_density [-]."});
        t.set(P::BeadloadType, {{"BeadloadType", 1, 1}, false,
                   "ID of the bedload formula: [1] MPM-like, [2] GRASS-like."});
        t.set(P::BedloadFactor, {{"BedloadFactor", 1, 2}, false,
                   "Bedload formula pre-factor; can be used to calibrate the formula [-]."});
        t.set(P::BedloadCoeff, {{"BedloadCoeff", 1, 2}, false,
                   "Coefficient A of a generic bedload formula, in the form A*(T-Tcr)^B [-]."});
        t.set(P::BedloadExpon, {{"BedloadExpon", 1, 2}, false,
                   "Exponent B of a generic bedload formula, in the form A*(T-Tcr)^B [-]."});
        t.set(P::BedloadIkeda, {{"BedloadIkeda", 1, 2}, false,
                   "Factor for lateral bed slope effect on bed load transport direction (Ikeda) according to Talmon in the range of 0.3-0.6 [-]."});
        t.set(P::BedloadCurvature, {{"BedloadCurvature", 1, 2}, false,
                   "Factor for curvature effect on bed load transport direction (Engelund) [-]."});
        t.set(P::BedloadInts, {{"BedloadInts", 2, 1}, false,
                   "Integers used for bed load direction [isIkeda, isCurvature] [-]."});
        t.set(P::FixBedAccuracy, {{"FixBedAccuracy", 1, 2}, false,
                   "Accuracy for fix bed correction definig the maximal overshoot below the fix bed elevation [m]."});
        t.set(P::FixBedMaxIter, {{"FixBedMaxIter", 1, 1}, false,
                   "Maximum number of iterations for fix bed correction [-]."});
        t.set(P::MorphStart, {{"MorphStart", 1, 2}, false,
                   "Start time for mophological simulation [s]."});
        t.set(P::ThetaCritical, {{"ThetaCritical", 1, 2}, false,
                   "Critical Shields parameter (or critical velocity in case of GRASS-like formulas) [-]."});
        t.set(P::ReposeAngle, {{"ReposeAngle", 1, 2}, false,
                   "Angle of repose of bed material [rad]."});
        t.set(P::IncipientMotType, {{"IncipientMotType", 1, 1}, false,
                   "ID of formula for considering local bed slope: [1] VanRijn (1989), [2] Chen et al (2010)."});
        t.set(P::SafeMode, {{"SafeMode", 1, 1}, false,
                   "If true, the simulation will be killed immediately in case of numerical problems (h<0), otherwise go on as long as possible."});
        return t;
    }();
    return table;
}

const Table<OutputID, OutputEntry, Dimensions::NrOutputs>& outputs() {
    static const Table<OutputID, OutputEntry, Dimensions::NrOutputs> table = [] {
        Table<OutputID, OutputEntry, Dimensions::NrOutputs> t;
        t.set(O::water_surface, {{"water_surface", 1, 2}, S::CellsAll, false,
          {{D::HydState, 0}},
          {},
          "This is the water surface elevation, calculated on each cell."});
        t.set(O::water_depth, {{"water_depth", 1, 2}, S::CellsAll, false,
          {{D::HydState, 0}, {D::BottomEl, 0}},
          {depthFunction()},
          "This is the water depth (surface - bottom elevation), calculated on each cell."});
        t.set(O::bottom_elevation, {{"bottom_elevation", 1, 2}, S::CellsAll, false,
          {{D::BottomEl, 0}},
          {},
          "This is the bottom elevation, calculated on each cell."});
        t.set(O::friction_chezy, {{"friction_chezy", 1, 2}, S::CellsAll, false,
          {{D::ChezyCoe, 0}},
          {},
          "This is the chezy friction coefficient squared, calculated on each cell."});
        t.set(O::spec_discharge, {{"spec_discharge", 2, 2}, S::CellsAll, false,
          {{D::HydState, 1}, {D::HydState, 2}},
          {},
          "This is the hydraulic specific discharge, x- and y- components for each cell."});
        t.set(O::delta_z, {{"delta_z", 1, 2}, S::CellsAll, false,
          {{D::BottomEl, 0}, {D::BottomEl, 0}},
          {deltaFunction()},
          "This is the change of the bottom elevation in relation to the initial state."});
        t.set(O::flow_velocity, {{"flow_velocity", 2, 2}, S::CellsAll, false,
          {{D::HydState, 1}, {D::HydState, 2}, {D::HydState, 0}, {D::BottomEl, 0}},
          {velocityXFunction(), velocityYFunction()},
          "This is the vector of flow velocity, consisting of x- and y-components."});
        t.set(O::flow_velocity_abs, {{"flow_velocity_abs", 1, 2}, S::CellsAll, false,
          {{D::HydState, 1}, {D::HydState, 2}, {D::HydState, 0}, {D::BottomEl, 0}},
          {velocityAbsFunction()},
          "This is the absolute value of the flow velocity [m/s]."});
        t.set(O::ns_hyd_discharge, {{"ns_hyd_discharge", 1, 2}, S::NodeStrg, false,
          {{D::StateVar, 1}},
          {},
          "This is the hydraulic discharge across nodestrings."});
        t.set(O::ns_mor_discharge, {{"ns_mor_discharge", 1, 2}, S::NodeStrg, false,
          {{D::StateVar, 8}},
          {},
          "This is the sediment discharge across nodestrings [m3/s]."});
        t.set(O::flow_curvature, {{"flow_curvature", 1, 2}, S::CellsAll, false,
          {{D::FlowCurv, 0}},
          {},
          "This is the curvature of the flow field, calculated on ech cell."});
        t.set(O::flow_radius, {{"flow_radius", 1, 2}, S::CellsAll, false,
          {{D::FlowCurv, 0}},
          {inverseFunction()},
          "This is the radius of the flow field, calculated on ech cell."});
        t.set(O::flood_tracking, {{"flood_tracking", 4, 2}, S::CellsAll, true,
          {{D::FloodVar, 0}, {D::FloodVar, 1}, {D::FloodVar, 2}, {D::FloodVar, 3}},
          {},
          "These are the tracked flood variables, e.g. flood arrival time,         max water depth, max flow velocity, max specific discharge."});
        return t;
    }();
    return table;
}

const Table<KernelID, KernelEntry, Dimensions::NrKernels>& kernels() {
    static const Table<KernelID, KernelEntry, Dimensions::NrKernels> table = [] {
        Table<KernelID, KernelEntry, Dimensions::NrKernels> t;
        t.set(K::InitCellHydFeatures, {{"InitCellHydFeatures", 3, 2},
          S::CellsAll,
          {D::HydState, D::BottomEl, D::IsWetted},
          {},
          std::nullopt,
          {},
          {P::MinWaterDepth},
          {},
          "This kernel initializes some hydraulic cell features; executed once before the time marching procedure."});
        t.set(K::InitCellMorFeatures, {{"InitCellMorFeatures", 3, 2},
          S::CellsAll,
          {D::BottomEl, D::FlowCurv, D::BedGrdnt},
          {},
          std::nullopt,
          {},
          {},
          {},
          "This kernel initializes some morphology cell features; executed once before the time marching procedure."});
        t.set(K::InitFrictionFeatures, {{"InitFrictionFeatures", 3, 2},
          S::CellsAll,
          {D::ChezyCoe, D::Friction, D::HydState, D::BottomEl},
          {},
          std::nullopt,
          {},
          {P::MinWaterDepth, P::FrictionType, P::InvGravity},
          {},
          "This kernel initializes some friction cell features; executed once before the time marching procedure."});
        t.set(K::TimeStepCalculation, {{"TimeStepCalculation", 3, 2},
          S::EdgesAll,
          {D::NormVect, D::HydState, D::BottomEl, D::IsWetted, D::CharSize},
          {},
          std::nullopt,
          {M::EdgesAll_CellsAll},
          {P::CFLnumber, P::DTmax, P::Gravity},
          {},
          "This kernel finds the smallest integration timestep that satisfies the stability condition (CFL condition) for         explicit schemes."});
        t.set(K::NodeStringStateCalc, {{"NodeStringStateCalc", 3, 2},
          S::NodeStrg,
          {D::NodeStrg_ListSize, D::NodeStrg_EdgeSign, D::GeomLeng, D::FluxesHy, D::HydState, D::BottomEl, D::CellsAll_GeomArea, D::StateVar},
          {D::FluxesMo, D::ChezyCoe, D::ThetaCrt, D::MSedSize},
          std::nullopt,
          {M::NodeStrg_EdgesAll, M::NodeStrg_CellsAll},
          {P::MorphStart, P::FrictionOn, P::MinWaterDepth, P::FluidDensity},
          {},
          "This kernel calculates different integrated nodestring states from the adjacent cells         (e.g. mean WSE, wetted length, wetted area...);         these states are used to resolve the different boundary conditions."});
        t.set(K::EdgeDataInterpolation, {{"EdgeDataInterpolation", 3, 2},
          S::EdInterp,
          {D::InSeries_NumValue, D::InSeries_ListSize, D::EdInterp_KeyPostn, D::StateVar, D::EdgeData_NumValue},
          {},
          std::nullopt,
          {M::EdInterp_InSeries, M::EdInterp_NodeStrg, M::EdInterp_EdgeData},
          {},
          {},
          "This kernel takes care of the time or edge based value interpolation of the different series declared in the command file,         i.e. the series provided in the external text files."});
        t.set(K::CellDataInterpolation, {{"CellDataInterpolation", 3, 2},
          S::ClInterp,
          {D::InSeries_NumValue, D::InSeries_ListSize, D::ClInterp_KeyPostn, D::CellData_NumValue},
          {},
          std::nullopt,
          {M::ClInterp_InSeries, M::ClInterp_CellData},
          {},
          {},
          "This kernel takes care of the time or cell based value interpolation of the different series declared in the command file,         i.e. the series provided in the external text files."});
        t.set(K::EdgeDataModification, {{"EdgeDataModification", 3, 2},
          S::EdModDat,
          {D::EdModDat_ModfInfo, D::LocalDat, D::StateVar, D::TotalLen, D::EdgeData_NumValue},
          {},
          std::nullopt,
          {M::EdModDat_NodeStrg, M::EdModDat_EdgeData},
          {P::Gravity, P::MinWaterDepth},
          {},
          "This kernel reads data from the node string states and from global data, applies different modifications,         and stores the modified data in the global data again (e.g. calculate specific discharge from total discharge and wetted perimeter)."});
        t.set(K::CellDataModification, {{"CellDataModification", 3, 2},
          S::ClModDat,
          {D::ClModDat_ModfInfo, D::MatIDRgn_GeomArea, D::CellData_NumValue},
          {},
          std::nullopt,
          {M::ClModDat_MatIDRgn, M::ClModDat_CellData},
          {P::Gravity, P::MinWaterDepth},
          {},
          "This kernel reads data from the matid regions and from global data, applies different modifications,         and stores the modified data in the global data again (e.g. calculate specific discharge from total discharge and wetted area)."});
        t.set(K::CalCCurvature, {{"CalCCurvature", 3, 2},
          S::CellsAll,
          {D::UnitCent, D::DistCent, D::HydState, D::BottomEl, D::GeomWght, D::FlowCurv},
          {},
          std::nullopt,
          {M::CellsAll_EdgesAll, M::CellsAll_NbrCells},
          {P::MinWaterDepth},
          {},
          "This kernel calculates the local curvature based on neighbour elements velocities."});
        t.set(K::CalcBedGradient, {{"CalcBedGradient", 3, 2},
          S::CellsAll,
          {D::BottomEl, D::GeomWght, D::BedGrdnt},
          {},
          std::nullopt,
          {M::CellsAll_EdgesAll, M::CellsAll_NbrCells},
          {P::MinWaterDepth},
          {},
          "This kernel calculates the local bed gradient."});
        t.set(K::HydBoundaryFluxes, {{"HydBoundaryFluxes", 3, 2},
          S::EdgHydBC,
          {D::HydBType, D::EdgeData_NumValue, D::NormVect, D::HydState, D::BottomEl, D::FluxesHy, D::CharSize},
          {D::ChezyCoe},
          std::nullopt,
          {M::EdgHydBC_EdgesAll, M::EdgHydBC_EdgeData, M::EdgHydBC_CellsAll},
          {P::FrictionType, P::FrictionOn, P::Gravity, P::InvGravity, P::MinWaterDepth},
          {},
          "This kernel calculates the hydraulic boundary fluxes for all types of BCs (except for WALL)."});
        t.set(K::MorBoundaryFluxes, {{"MorBoundaryFluxes", 3, 2},
          S::EdgMorBC,
          {D::MorBType, D::EdgeData_NumValue, D::NormVect, D::GeomLeng, D::HydState, D::BottomEl, D::CellsAll_GeomArea, D::MSedSize, D::FluxesMo},
          {D::ChezyCoe},
          std::nullopt,
          {M::EdgMorBC_EdgesAll, M::EdgMorBC_CellsAll, M::EdgMorBC_EdgeData},
          {P::BedPorosity, P::FrictionOn, P::InvBedPorosity, P::FluidDensity, P::Gravity, P::InvGravity, P::SedRelDensity, P::BeadloadType, P::BedloadFactor, P::BedloadCoeff, P::BedloadExpon},
          {},
          "This kernel calculates the morphology boundary fluxes for all types of BCs (except for WALL)."});
        t.set(K::HydWallBFluxes, {{"HydWallBFluxes", 3, 2},
          S::EdgHydWL,
          {D::HydState, D::BottomEl, D::NormVect, D::FluxesHy},
          {},
          std::nullopt,
          {M::EdgHydWL_EdgesAll, M::EdgHydWL_CellsAll},
          {},
          {},
          "This kernel calculates the hydraulic boundary fluxes of type WALL; these are the default hydraulic boundary fluxes         if no others are defined."});
        t.set(K::MorWallBFluxes, {{"MorWallBFluxes", 3, 2},
          S::EdgMorWL,
          {D::FluxesMo},
          {},
          std::nullopt,
          {M::EdgMorWL_EdgesAll},
          {},
          {},
          "This kernel calculates the morphology boundary fluxes of type WALL; these are the default morphology boundary fluxes         if no others are defined."});
        t.set(K::HydInternalFluxes, {{"HydInternalFluxes", 3, 2},
          S::EdgesSWE,
          {D::NormVect, D::IsWetted, D::HydState, D::BottomEl, D::FluxesHy},
          {},
          D::HydState,
          {M::EdgesSWE_EdgesAll, M::EdgesSWE_CellsAll},
          {P::Gravity, P::MinWaterDepth},
          {},
          "This kernel solves the internal hydraulic fluxes, i.e. contains the actual Riemann solver for hydraulics."});
        t.set(K::LocalBedSlope, {{"LocalBedSlope", 3, 2},
          S::CellsAll,
          {D::HydState, D::BottomEl, D::BedGrdnt, D::ThetaCrt},
          {},
          std::nullopt,
          {},
          {P::ThetaCritical, P::ReposeAngle, P::IncipientMotType},
          {},
          "This kernel calculates the critical Shields stress using the approach of VanRijn to account for local slope effects."});
        t.set(K::MorBedloadTransport, {{"MorBedloadTransport", 3, 2},
          S::CellsAll,
          {D::HydState, D::BottomEl, D::MSedSize, D::ThetaCrt, D::BedGrdnt, D::FlowCurv, D::BedTrCap, D::BedTrDer},
          {D::ChezyCoe},
          std::nullopt,
          {},
          {P::BedPorosity, P::InvBedPorosity, P::FrictionOn, P::Gravity, P::InvGravity, P::FluidDensity, P::SedimentDensity, P::SedRelDensity, P::BeadloadType, P::BedloadFactor, P::BedloadCoeff, P::BedloadExpon},
          {},
          "This kernel calculates the bed load transport capacity on the cells."});
        t.set(K::MorInternalFluxes, {{"MorInternalFluxes", 3, 2},
          S::EdgesEXN,
          {D::NormVect, D::IsWetted, D::HydState, D::BottomEl, D::BedTrCap, D::BedTrDer, D::FluxesMo},
          {},
          D::BottomEl,
          {M::EdgesEXN_EdgesAll, M::EdgesEXN_CellsAll},
          {P::BedPorosity, P::InvBedPorosity, P::Gravity, P::InvGravity, P::FluidDensity, P::SedimentDensity, P::SedRelDensity, P::BeadloadType, P::BedloadFactor, P::BedloadCoeff, P::BedloadExpon, P::BedloadCurvature, P::BedloadIkeda, P::BedloadInts},
          {},
          "This kernel solves the internal morphology fluxes, i.e. contains the actual Riemann solver for morphology."});
        t.set(K::MorFixBedCorrection, {{"MorFixBedCorrection", 3, 2},
          S::CellsFix,
          {D::CellsAll_GeomArea, D::CellsAll_EdgeSign, D::FixBedEl, D::NewBedEl, D::BottomEl, D::GeomLeng, D::FluxesMo},
          {},
          std::nullopt,
          {M::CellsFix_CellsAll, M::CellsFix_EdgesAll},
          {P::MinWaterDepth, P::FixBedAccuracy, P::FixBedMaxIter},
          {},
          "This kernel corrects the morphological fluxes due to fixed bed definitions (only where user defined over matID)."});
        t.set(K::MorFixBedCorrectionMax, {{"MorFixBedCorrectionMax", 3, 2},
          S::CellsFix,
          {D::FixBedEl, D::NewBedEl},
          {},
          std::nullopt,
          {M::CellsFix_CellsAll, M::CellsFix_EdgesAll},
          {P::MinWaterDepth, P::FixBedAccuracy, P::FixBedMaxIter},
          {},
          "This kernel finds the maximal deviation for fixbed correction."});
        t.set(K::Update, {{"Update", 3, 2},
          S::CellsAll,
          {D::CellsAll_GeomArea, D::GeomLeng, D::FluxesHy, D::CellsAll_EdgeSign, D::HydState, D::BottomEl, D::IsWetted},
          {D::FluxesMo},
          std::nullopt,
          {M::CellsAll_EdgesAll},
          {P::Gravity, P::MinWaterDepth, P::MorphStart, P::SafeMode},
          {},
          "This kernel performs the explicit Euler update formula, i.e. it advances the solution in time: case of HYDRAULIC and MORPHOLOGY simulation."});
        t.set(K::HydFriction, {{"HydFriction", 3, 2},
          S::CellsAll,
          {D::BottomEl, D::ChezyCoe, D::Friction, D::HydState},
          {},
          std::nullopt,
          {},
          {P::FrictionType, P::Gravity, P::InvGravity},
          {},
          "This kernel calculates the hydraulic bottom friction according to the defined roughness closure; the friction is integrated         with a splitted semi-implicit Runge-Kutta 2 scheme."});
        t.set(K::HydFlood, {{"HydFlood", 3, 2},
          S::CellsAll,
          {D::HydState, D::IsWetted, D::BottomEl, D::FloodVar},
          {},
          std::nullopt,
          {},
          {},
          {},
          "This kernel tracks the maximum values of water depth, flow velocity, specific discharge, and arrival time."});
        t.set(K::HydSource, {{"HydSource", 3, 2},
          S::ClHydSrc,
          {D::ClHydSrc_SinkType, D::CellData_NumValue, D::HydState, D::BottomEl, D::IsWetted},
          {},
          std::nullopt,
          {M::ClHydSrc_CellsAll, M::ClHydSrc_CellData},
          {},
          {},
          "This kernel adds the mass sources to the dedicated cells."});
        t.set(K::MorSource, {{"MorSource", 3, 2},
          S::ClMorSrc,
          {D::ClMorSrc_SinkType, D::CellData_NumValue, D::BottomEl, D::HydState, D::FixBedEl},
          {},
          std::nullopt,
          {M::ClMorSrc_CellsAll, M::ClMorSrc_CellData, M::ClMorSrc_CellsFix},
          {},
          {},
          "This kernel adds the mass sources of sediment to the dedicated cells."});
        return t;
    }();
    return table;
}
std::vector<DataID> dataSetup() {
    std::vector<DataID> ids;
    for (DataID id : data().ids())
        if (data().find(id)->origin == Origin::SetupOnly) ids.push_back(id);
    return ids;
}

std::vector<DataID> dataSimulation() {
    std::vector<DataID> ids;
    for (DataID id : data().ids())
        if (data().find(id)->origin == Origin::SimulationOnly) ids.push_back(id);
    return ids;
}

std::vector<ParameterID> parameterSetup() { return {}; }

std::vector<ParameterID> parameterSimulation() {
    std::vector<ParameterID> ids;
    for (ParameterID id : parameters().ids())
        if (parameters().find(id)->simulationOnly) ids.push_back(id);
    return ids;
}

std::vector<VariableID> variableSimulation() {
    std::vector<VariableID> ids;
    for (VariableID id : variables().ids())
        if (variables().find(id)->simulationOnly) ids.push_back(id);
    return ids;
}

const Table<VariableID, VariableEntry, Dimensions::NrVariables>& variables() {
    static const Table<VariableID, VariableEntry, Dimensions::NrVariables> table;
    return table;
}

std::vector<OutputID> outputTracking() {
    std::vector<OutputID> ids;
    for (OutputID id : outputs().ids())
        if (outputs().find(id)->tracking) ids.push_back(id);
    return ids;
}

}  // namespace model::catalogue
