// Identifier enumerations that key every catalogue table, and the value-type code of data and parameters.
#pragma once

#include "model/Dimensions.hpp"

/// Value type of data, parameters, variables and outputs; the values are those stored in the catalogue.
enum DataType : int { DT_INT = 1, DT_FLOAT = 2, DT_STRING = 4 };

namespace model {

/// Switchable model features.
enum class AggregateID : int {
    hydraulics_aggr = 0,
    morphology_aggr = 1,
    hyd_boundary_aggr = 2,
    mor_boundary_aggr = 3,
    mor_direction_curve_aggr = 4,
    mor_direction_ikeda_aggr = 5,
    mor_fixedbed_aggr = 6,
    mor_local_bed_slope = 7,
    hyd_friction_aggr = 8,
    hyd_source_aggr = 9,
    mor_source_aggr = 10,
    hyd_flood_aggr = 11,
};

/// Mesh sets.
enum class SetID : int {
    NodesAll = 0,
    CellsAll = 1,
    CellsFix = 2,
    ClHydSrc = 3,
    EdgesAll = 4,
    EdgHydWL = 5,
    EdgMorWL = 6,
    EdgesSWE = 7,
    EdgesEXN = 8,
    EdgHydBC = 9,
    EdgMorBC = 10,
    NodeStrg = 11,
    MatIDRgn = 12,
    EdgeData = 13,
    CellData = 14,
    InSeries = 15,
    EdInterp = 16,
    ClInterp = 17,
    EdModDat = 18,
    ClModDat = 19,
    ClMorSrc = 20,
};

/// Maps between sets, spelt source set + "_" + map name (the map's H5 path with "_" for "/").
enum class MapID : int {
    CellsAll_EdgesAll = 0,
    CellsAll_NbrCells = 1,
    CellsFix_CellsAll = 2,
    CellsFix_EdgesAll = 3,
    ClHydSrc_CellsAll = 4,
    ClHydSrc_ClRegion = 5,
    ClHydSrc_CellData = 6,
    EdgesAll_CellsAll = 7,
    EdgHydWL_EdgesAll = 8,
    EdgHydWL_CellsAll = 9,
    EdgMorWL_EdgesAll = 10,
    EdgesSWE_EdgesAll = 11,
    EdgesSWE_CellsAll = 12,
    EdgHydBC_EdgesAll = 13,
    EdgHydBC_CellsAll = 14,
    EdgHydBC_EdgeData = 15,
    EdgMorBC_EdgesAll = 16,
    EdgMorBC_CellsAll = 17,
    EdgMorBC_EdgeData = 18,
    EdgesEXN_EdgesAll = 19,
    EdgesEXN_CellsAll = 20,
    NodeStrg_EdgesAll = 21,
    NodeStrg_CellsAll = 22,
    EdInterp_InSeries = 23,
    EdInterp_NodeStrg = 24,
    EdInterp_EdgeData = 25,
    ClInterp_InSeries = 26,
    ClInterp_CellData = 27,
    EdModDat_NodeStrg = 28,
    EdModDat_EdgeData = 29,
    ClModDat_MatIDRgn = 30,
    ClModDat_CellData = 31,
    ClMorSrc_CellsAll = 32,
    ClMorSrc_ClRegion = 33,
    ClMorSrc_CellsFix = 34,
    ClMorSrc_CellData = 35,
};

/// Data on sets. A name that exists on several sets is spelt set + "_" + name (its H5 path with "_" for "/").
enum class DataID : int {
    Coordnts = 0,
    NormVect = 1,
    GeomLeng = 2,
    CharSize = 3,
    FluxesHy = 4,
    FluxesMo = 5,
    UnitCent = 6,
    DistCent = 7,
    HydBType = 8,
    MorBType = 9,
    HydState = 10,
    BottomEl = 11,
    IsWetted = 12,
    CellsAll_GeomArea = 13,
    CellsAll_EdgeSign = 14,
    Topology = 15,
    Friction = 16,
    ChezyCoe = 17,
    FlowCurv = 18,
    ThetaCrt = 19,
    BedGrdnt = 20,
    MSedSize = 21,
    GeomWght = 22,
    NrTrueNb = 23,
    FloodVar = 24,
    BedTrCap = 25,
    BedTrDer = 26,
    FixBedEl = 27,
    NewBedEl = 28,
    ClHydSrc_SinkType = 29,
    ClMorSrc_SinkType = 30,
    MatIDRgn_GeomArea = 31,
    NodeStrg_ListSize = 32,
    StrNames = 33,
    NodeStrg_EdgeSign = 34,
    StateVar = 35,
    TotalLen = 36,
    EdgeData_NumValue = 37,
    CellData_NumValue = 38,
    InSeries_NumValue = 39,
    InSeries_ListSize = 40,
    EdInterp_KeyPostn = 41,
    ClInterp_KeyPostn = 42,
    EdModDat_ModfInfo = 43,
    LocalDat = 44,
    ClModDat_ModfInfo = 45,
};

/// Global parameters. The value is also the parameter's first slot in the global constant tables; value 20 is
/// unused.
enum class ParameterID : int {
    RefBottomEl = 0,
    CFLnumber = 1,
    DTmax = 2,
    MinWaterDepth = 3,
    Gravity = 4,
    InvGravity = 5,
    FrictionOn = 6,
    FrictionType = 7,
    BedPorosity = 8,
    InvBedPorosity = 9,
    FluidDensity = 10,
    SedimentDensity = 11,
    SedRelDensity = 12,
    BeadloadType = 13,
    BedloadFactor = 14,
    BedloadCoeff = 15,
    BedloadExpon = 16,
    BedloadIkeda = 17,
    BedloadCurvature = 18,
    BedloadInts = 19,
    FixBedAccuracy = 21,
    FixBedMaxIter = 22,
    MorphStart = 23,
    ThetaCritical = 24,
    ReposeAngle = 25,
    IncipientMotType = 26,
    SafeMode = 27,
};

/// Global values that change in time; the catalogue defines none.
enum class VariableID : int {};

/// Result quantities that can be requested.
enum class OutputID : int {
    water_surface = 0,
    water_depth = 1,
    bottom_elevation = 2,
    friction_chezy = 3,
    spec_discharge = 4,
    delta_z = 5,
    flow_velocity = 6,
    flow_velocity_abs = 7,
    ns_hyd_discharge = 8,
    ns_mor_discharge = 9,
    flow_curvature = 10,
    flow_radius = 11,
    flood_tracking = 12,
};

/// Numerical loops; the schedule runs due kernels in ascending value.
enum class KernelID : int {
    InitCellHydFeatures = 0,
    InitCellMorFeatures = 1,
    InitFrictionFeatures = 2,
    TimeStepCalculation = 3,
    NodeStringStateCalc = 4,
    EdgeDataInterpolation = 5,
    CellDataInterpolation = 6,
    EdgeDataModification = 7,
    CellDataModification = 8,
    CalCCurvature = 9,
    CalcBedGradient = 10,
    HydBoundaryFluxes = 11,
    MorBoundaryFluxes = 12,
    HydWallBFluxes = 13,
    MorWallBFluxes = 14,
    HydInternalFluxes = 15,
    LocalBedSlope = 16,
    MorBedloadTransport = 17,
    MorInternalFluxes = 18,
    MorFixBedCorrection = 19,
    MorFixBedCorrectionMax = 20,
    Update = 21,
    HydFriction = 22,
    HydFlood = 23,
    HydSource = 24,
    MorSource = 25,
};

/// Integer value of an identifier (the key of the catalogue tables and of the model file's kernel list).
template <typename ID>
constexpr int toInt(ID id) {
    return static_cast<int>(id);
}

}  // namespace model
