// Loop functions of the domain's kernels, each a thin definition on the framework's generic loop patterns. The first
// argument of every pattern call is the loop's timing slot; `inds` numbers the indirect datasets (same data through
// the same map share a number) in order of first appearance, -1 for direct and global arguments. Every argument's
// component count is fixed here and checked against the data the wrapper passes; maps are numbered per loop
// (op::map_slot) so that arguments through one map read each element's row once.
#include "simulation/TERRAdomain_loops.hpp"

#include <tuple>

#include "model/Dimensions.hpp"
#include "op/op_par_loop.hpp"
#include "simulation/kernels/CellBatch.hpp"
#include "simulation/kernels/DataSeries.hpp"
#include "simulation/kernels/HydraulicSolverBatch.hpp"
#include "simulation/kernels/HydraulicsBoundary.hpp"
#include "simulation/kernels/HydraulicsCell.hpp"
#include "simulation/kernels/HydraulicsTimeStepFluxes.hpp"
#include "simulation/kernels/MorphologyCell.hpp"
#include "simulation/kernels/MorphologyCellBatch.hpp"
#include "simulation/kernels/MorphologyFixedBed.hpp"
#include "simulation/kernels/MorphologyFluxes.hpp"
#include "simulation/kernels/MorphologyFluxesBatch.hpp"

using op::direct;
using op::global;
using op::indirect;
using op::optional;
using op::row;

namespace {
namespace dims = model::Dimensions;
/// Node strings hold at most this many edges (width of the node-string maps and of NodeStrg/EdgeSign).
constexpr int kNodeStringWidth = dims::NodeStringMaxEdges;
/// Edges (and neighbours) of a triangle.
constexpr int kCellWidth = 3;
/// Components of the hydraulic state (H, qx, qy) and of the hydraulic edge flux.
constexpr int kState = dims::HydraulicStateSize;
constexpr int kFlux = dims::HydraulicFluxSize;

/// Map of width 1 (one target per element) as the loop's map number S.
template <int S>
using One = op::map_slot<S, 1>;
/// An edge's left (column 0) and right (column 1) cell as the loop's map number S.
template <int S>
using LeftRight = op::map_slot<S, 2>;
/// A cell's three edges or neighbours as the loop's map number S.
template <int S>
using Triangle = op::map_slot<S, kCellWidth>;
/// A node string's edges or cells as the loop's map number S.
template <int S>
using String = op::map_slot<S, kNodeStringWidth>;
}  // namespace

// ---------------------------------------------------------------- direct loops

void op_par_loop_kernel_HYDRAULICS_InitializeCellFeatures(char const* name, op_set set, op_arg hydState,
                                                          op_arg bottomEl, op_arg isWetted)
{
    op_par_loop_direct<kernel_HYDRAULICS_InitializeCellFeatures>(0, name, set, direct<const float, kState>(hydState),
                                                                 direct<const float, 1>(bottomEl),
                                                                 direct<int, 1>(isWetted));
}

void op_par_loop_kernel_HYDRAULICS_InitializeFriction(char const* name, op_set set, op_arg hydState, op_arg bottomEl,
                                                      op_arg friction, op_arg chezyCoe)
{
    op_par_loop_direct<kernel_HYDRAULICS_InitializeFriction>(
        1, name, set, direct<const float, kState>(hydState), direct<const float, 1>(bottomEl),
        direct<const float, 1>(friction), direct<float, 1>(chezyCoe));
}

void op_par_loop_kernel_MORPHOLOGY_InitializeCellFeatures(char const* name, op_set set, op_arg bottomEl,
                                                          op_arg flowCurv, op_arg bedGrdnt)
{
    op_par_loop_direct<kernel_MORPHOLOGY_InitializeCellFeatures>(
        2, name, set, direct<const float, 1>(bottomEl), direct<float, 1>(flowCurv), direct<float, 2>(bedGrdnt));
}

void op_par_loop_kernel_MORPHOLOGY_CalcBedloadTransport(char const* name, op_set set, op_arg frictionOn,
                                                        op_arg hydState, op_arg bottomEl, op_arg chezyCoe,
                                                        op_arg mSedSize, op_arg thetaCrt, op_arg bedGrdnt,
                                                        op_arg flowCurv, op_arg bedTrCap, op_arg bedTrDer)
{
    const auto on = global<const int>(frictionOn);
    const auto state = direct<const float, kState>(hydState);
    const auto zb = direct<const float, 1>(bottomEl);
    const auto cf = optional(direct<const float, 1>(chezyCoe));
    const auto d = direct<const float, 1>(mSedSize);
    const auto crit = direct<const float, 1>(thetaCrt);
    const auto slope = direct<const float, 2>(bedGrdnt);
    const auto curv = direct<const float, 1>(flowCurv);
    const auto cap = direct<float, 2>(bedTrCap);
    const auto der = direct<float, 2>(bedTrDer);
    if (!hydraulics::cellBatchEnabled()) {
        op_par_loop_direct<kernel_MORPHOLOGY_CalcBedloadTransport>(14, name, set, on, state, zb, cf, d, crit, slope,
                                                                   curv, cap, der);
        return;
    }
    // Eight cells at a time in vector lanes, as the friction, the rest of a thread's range one by one.
    auto scalar = [](auto... p) { kernel_MORPHOLOGY_CalcBedloadTransport(p...); };
    auto batch = [](auto... p) { morphology::bedloadTransportBatch(p...); };
    op_par_loop_direct(14, name, set, op::batched<morphology::kBedloadBatch>(scalar, batch), on, state, zb, cf, d, crit,
                       slope, curv, cap, der);
}

void op_par_loop_kernel_MORPHOLOGY_LocalBedSlope(char const* name, op_set set, op_arg hydState, op_arg bottomEl,
                                                 op_arg bedGrdnt, op_arg thetaCrt)
{
    op_par_loop_direct<kernel_MORPHOLOGY_LocalBedSlope>(15, name, set, direct<const float, kState>(hydState),
                                                        direct<const float, 1>(bottomEl),
                                                        direct<const float, 2>(bedGrdnt), direct<float, 1>(thetaCrt));
}

void op_par_loop_kernel_MORPHOLOGY_FixedBedCorrectionFindMax(char const* name, op_set set, op_arg fixBedEl,
                                                             op_arg newBedEl, op_arg maxOvershoot)
{
    op_par_loop_direct<kernel_MORPHOLOGY_FixedBedCorrectionFindMax>(
        21, name, set, direct<const float, 1>(fixBedEl), direct<const float, 1>(newBedEl), global<float>(maxOvershoot));
}

void op_par_loop_kernel_HYDRAULICS_Friction(char const* name, op_set set, op_arg dt, op_arg bottomEl, op_arg friction,
                                            op_arg chezyCoe, op_arg hydState)
{
    const auto step = global<const float>(dt);
    const auto zb = direct<const float, 1>(bottomEl);
    const auto rough = direct<const float, 1>(friction);
    const auto cf2 = direct<float, 1>(chezyCoe);
    const auto state = direct<float, kState>(hydState);
    if (!hydraulics::cellBatchEnabled()) {
        op_par_loop_direct<kernel_HYDRAULICS_Friction>(23, name, set, step, zb, rough, cf2, state);
        return;
    }
    // Eight cells at a time in vector lanes, the rest of a thread's range one by one.
    auto scalar = [](auto... p) { kernel_HYDRAULICS_Friction(p...); };
    auto batch = [](auto... p) { hydraulics::frictionBatch(p...); };
    op_par_loop_direct(23, name, set, op::batched<hydraulics::kCellBatch>(scalar, batch), step, zb, rough, cf2, state);
}

void op_par_loop_kernel_HYDRAULICS_FloodTracking(char const* name, op_set set, op_arg time, op_arg hydState,
                                                 op_arg bottomEl, op_arg isWetted, op_arg floodVar)
{
    op_par_loop_direct<kernel_HYDRAULICS_FloodTracking>(
        25, name, set, global<const float>(time), direct<const float, kState>(hydState),
        direct<const float, 1>(bottomEl), direct<const int, 1>(isWetted), direct<float, 4>(floodVar));
}

// ---------------------------------------------------------------- indirect loops

void op_par_loop_kernel_TOPOLOGY_NodeStringStates(char const* name, op_set set, op_arg morphologyOn,
                                                  op_arg frictionMorphologyOn, op_arg listSize, op_arg edgeSign,
                                                  op_arg geomLeng, op_arg fluxesHy, op_arg fluxesMo, op_arg chezyCoe,
                                                  op_arg thetaCrt, op_arg mSedSize, op_arg hydState, op_arg bottomEl,
                                                  op_arg geomArea, op_arg stateVar)
{
    using Edges = String<0>;
    using Cells = String<1>;
    static const int inds[14] = {-1, -1, -1, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, -1};
    op_par_loop_indirect<kernel_TOPOLOGY_NodeStringStates>(
        3, name, set, inds, global<const int>(morphologyOn), global<const int>(frictionMorphologyOn),
        direct<const int, 1>(listSize), direct<const int, kNodeStringWidth>(edgeSign),
        row<const float, 1, Edges>(geomLeng), row<const float, kFlux, Edges>(fluxesHy),
        optional(row<const float, 1, Edges>(fluxesMo)), optional(row<const float, 1, Cells>(chezyCoe)),
        optional(row<const float, 1, Cells>(thetaCrt)), optional(row<const float, 1, Cells>(mSedSize)),
        row<const float, kState, Cells>(hydState), row<const float, 1, Cells>(bottomEl),
        row<const float, 1, Cells>(geomArea), direct<float, dims::NodeStringStateSize>(stateVar));
}

void op_par_loop_kernel_DATA_EdgeInterpolation(char const* name, op_set set, op_arg series, op_arg seriesSize,
                                               op_arg keyPostn, op_arg stateVar, op_arg time, op_arg edgeData)
{
    using Series = One<0>;
    using Strings = One<1>;
    using Records = One<2>;
    static const int inds[6] = {0, 1, -1, 2, -1, 3};
    op_par_loop_indirect<kernel_DATA_EdgeInterpolation>(
        4, name, set, inds, indirect<const float, dims::InputSeriesMaxValues, Series, 0>(series),
        indirect<const int, 1, Series, 0>(seriesSize), direct<const int, 2>(keyPostn),
        indirect<const float, dims::NodeStringStateSize, Strings, 0>(stateVar), global<const float>(time),
        indirect<float, dims::EdgeDataSize, Records, 0>(edgeData));
}

void op_par_loop_kernel_DATA_CellInterpolation(char const* name, op_set set, op_arg series, op_arg seriesSize,
                                               op_arg keyPostn, op_arg time, op_arg cellData)
{
    using Series = One<0>;
    using Records = One<1>;
    static const int inds[5] = {0, 1, -1, -1, 2};
    op_par_loop_indirect<kernel_DATA_CellInterpolation>(
        5, name, set, inds, indirect<const float, dims::InputSeriesMaxValues, Series, 0>(series),
        indirect<const int, 1, Series, 0>(seriesSize), direct<const int, 2>(keyPostn), global<const float>(time),
        indirect<float, dims::CellDataSize, Records, 0>(cellData));
}

void op_par_loop_kernel_DATA_EdgeModification(char const* name, op_set set, op_arg modfInfo, op_arg stateVar0,
                                              op_arg stateVar1, op_arg totalLen0, op_arg totalLen1, op_arg time,
                                              op_arg localDat, op_arg edgeData)
{
    using Strings = op::map_slot<0, 2>;
    using Records = One<1>;
    static const int inds[8] = {-1, 0, 0, 1, 1, -1, -1, 2};
    op_par_loop_indirect<kernel_DATA_EdgeModification>(
        6, name, set, inds, direct<const int, dims::ModificationInfoSize>(modfInfo),
        indirect<const float, dims::NodeStringStateSize, Strings, 0>(stateVar0),
        indirect<const float, dims::NodeStringStateSize, Strings, 1>(stateVar1),
        indirect<const float, 1, Strings, 0>(totalLen0), indirect<const float, 1, Strings, 1>(totalLen1),
        global<const float>(time), direct<float, dims::ModificationLocalSize>(localDat),
        indirect<float, dims::EdgeDataSize, Records, 0>(edgeData));
}

void op_par_loop_kernel_DATA_CellModification(char const* name, op_set set, op_arg modfInfo, op_arg regionArea,
                                              op_arg time, op_arg cellData)
{
    using Regions = One<0>;
    using Records = One<1>;
    static const int inds[4] = {-1, 0, -1, 1};
    op_par_loop_indirect<kernel_DATA_CellModification>(
        7, name, set, inds, direct<const int, dims::ModificationInfoSize>(modfInfo),
        indirect<const float, 1, Regions, 0>(regionArea), global<const float>(time),
        indirect<float, dims::CellDataSize, Records, 0>(cellData));
}

void op_par_loop_kernel_HYDRAULICS_TimeStep(char const* name, op_set set, op_arg normVect, op_arg charSize,
                                            op_arg isWettedL, op_arg isWettedR, op_arg hydStateL, op_arg hydStateR,
                                            op_arg bottomElL, op_arg bottomElR, op_arg dtMin)
{
    using LR = LeftRight<0>;
    static const int inds[9] = {-1, -1, 0, 0, 1, 1, 2, 2, -1};
    op_par_loop_indirect<kernel_HYDRAULICS_TimeStep>(
        8, name, set, inds, direct<const float, 2>(normVect), direct<const float, 2>(charSize),
        indirect<const int, 1, LR, 0>(isWettedL), indirect<const int, 1, LR, 1>(isWettedR),
        indirect<const float, kState, LR, 0>(hydStateL), indirect<const float, kState, LR, 1>(hydStateR),
        indirect<const float, 1, LR, 0>(bottomElL), indirect<const float, 1, LR, 1>(bottomElR), global<float>(dtMin));
}

void op_par_loop_kernel_HYDRAULICS_Boundary(char const* name, op_set set, op_arg hydBType, op_arg edgeData,
                                            op_arg normVect, op_arg hydStateL, op_arg hydStateR, op_arg bottomElL,
                                            op_arg bottomElR, op_arg chezyCoeL, op_arg charSize, op_arg fluxesHy)
{
    using Records = One<0>;
    using Edge = One<1>;
    using LR = LeftRight<2>;
    static const int inds[10] = {-1, 0, 1, 2, 2, 3, 3, 4, 5, 6};
    op_par_loop_indirect<kernel_HYDRAULICS_Boundary>(
        9, name, set, inds, direct<const int, 2>(hydBType),
        indirect<const float, dims::EdgeDataSize, Records, 0>(edgeData), indirect<const float, 2, Edge, 0>(normVect),
        indirect<const float, kState, LR, 0>(hydStateL), indirect<const float, kState, LR, 1>(hydStateR),
        indirect<const float, 1, LR, 0>(bottomElL), indirect<const float, 1, LR, 1>(bottomElR),
        optional(indirect<const float, 1, LR, 0>(chezyCoeL)), indirect<const float, 2, Edge, 0>(charSize),
        indirect<float, kFlux, Edge, 0>(fluxesHy));
}

void op_par_loop_kernel_MORPHOLOGY_Boundary(char const* name, op_set set, op_arg dt, op_arg morBType, op_arg numValue,
                                            op_arg normVect, op_arg geomLeng, op_arg hydStateL, op_arg hydStateR,
                                            op_arg bottomElL, op_arg bottomElR, op_arg chezyCoeL, op_arg geomAreaL,
                                            op_arg mSedSizeL, op_arg fluxesMo)
{
    using Records = One<0>;
    using Edge = One<1>;
    using LR = LeftRight<2>;
    static const int inds[13] = {-1, -1, 0, 1, 2, 3, 3, 4, 4, 5, 6, 7, 8};
    op_par_loop_indirect<kernel_MORPHOLOGY_Boundary>(
        10, name, set, inds, global<const float>(dt), direct<const int, 2>(morBType),
        indirect<const float, dims::EdgeDataSize, Records, 0>(numValue), indirect<const float, 2, Edge, 0>(normVect),
        indirect<const float, 1, Edge, 0>(geomLeng), indirect<const float, kState, LR, 0>(hydStateL),
        indirect<const float, kState, LR, 1>(hydStateR), indirect<const float, 1, LR, 0>(bottomElL),
        indirect<const float, 1, LR, 1>(bottomElR), optional(indirect<const float, 1, LR, 0>(chezyCoeL)),
        indirect<const float, 1, LR, 0>(geomAreaL), indirect<const float, 1, LR, 0>(mSedSizeL),
        indirect<float, 1, Edge, 0>(fluxesMo));
}

void op_par_loop_kernel_HYDRAULICS_WallFluxes(char const* name, op_set set, op_arg hydState, op_arg bottomEl,
                                              op_arg normVect, op_arg fluxesHy)
{
    using Cell = One<0>;
    using Edge = One<1>;
    static const int inds[4] = {0, 1, 2, 3};
    op_par_loop_indirect<kernel_HYDRAULICS_WallFluxes>(
        11, name, set, inds, indirect<const float, kState, Cell, 0>(hydState),
        indirect<const float, 1, Cell, 0>(bottomEl), indirect<const float, 2, Edge, 0>(normVect),
        indirect<float, kFlux, Edge, 0>(fluxesHy));
}

void op_par_loop_kernel_MORPHOLOGY_WallFluxes(char const* name, op_set set, op_arg fluxesMo)
{
    static const int inds[1] = {0};
    op_par_loop_indirect<kernel_MORPHOLOGY_WallFluxes>(12, name, set, inds, indirect<float, 1, One<0>, 0>(fluxesMo));
}

namespace {

/// The arguments both internal-edge flux loops open with: the edge's normal (through the loop's first map) and the
/// wet flags, states and beds of its left and right cell (through the second).
auto edgeSides(op_arg normVect, op_arg isWettedL, op_arg isWettedR, op_arg hydStateL, op_arg hydStateR,
               op_arg bottomElL, op_arg bottomElR)
{
    using Edge = One<0>;
    using LR = LeftRight<1>;
    return std::make_tuple(indirect<const float, 2, Edge, 0>(normVect), indirect<const int, 1, LR, 0>(isWettedL),
                           indirect<const int, 1, LR, 1>(isWettedR), indirect<const float, kState, LR, 0>(hydStateL),
                           indirect<const float, kState, LR, 1>(hydStateR), indirect<const float, 1, LR, 0>(bottomElL),
                           indirect<const float, 1, LR, 1>(bottomElR));
}

}  // namespace

void op_par_loop_kernel_HYDRAULICS_InternalFluxes(char const* name, op_set set, op_arg normVect, op_arg isWettedL,
                                                  op_arg isWettedR, op_arg hydStateL, op_arg hydStateR,
                                                  op_arg bottomElL, op_arg bottomElR, op_arg fluxesHy)
{
    static const int inds[8] = {0, 1, 1, 2, 2, 3, 3, 4};
    const auto [n, wL, wR, sL, sR, zL, zR] =
        edgeSides(normVect, isWettedL, isWettedR, hydStateL, hydStateR, bottomElL, bottomElR);
    const auto flux = indirect<float, kFlux, One<0>, 0>(fluxesHy);
    if (!hydraulics::edgeBatchEnabled()) {
        op_par_loop_indirect<kernel_HYDRAULICS_InternalFluxes>(13, name, set, inds, n, wL, wR, sL, sR, zL, zR, flux);
        return;
    }
    // Eight edges at a time in vector lanes (each edge writes only its own flux row), the rest of a block one by one.
    auto scalar = [](auto... p) { kernel_HYDRAULICS_InternalFluxes(p...); };
    auto batch = [](const float* const* nv, const int* const* wetL, const int* const* wetR, const float* const* stateL,
                    const float* const* stateR, const float* const* bedL, const float* const* bedR,
                    float* const* out) { hydraulics::solveEdgeBatch(nv, stateL, bedL, wetL, stateR, bedR, wetR, out); };
    op_par_loop_indirect(13, name, set, inds, op::batched<hydraulics::kEdgeBatch>(scalar, batch), n, wL, wR, sL, sR, zL,
                         zR, flux);
}

void op_par_loop_kernel_MORPHOLOGY_InternalFluxes(char const* name, op_set set, op_arg normVect, op_arg isWettedL,
                                                  op_arg isWettedR, op_arg hydStateL, op_arg hydStateR,
                                                  op_arg bottomElL, op_arg bottomElR, op_arg bedTrCapL,
                                                  op_arg bedTrCapR, op_arg bedTrDerL, op_arg bedTrDerR, op_arg fluxesMo)
{
    using LR = LeftRight<1>;
    static const int inds[12] = {0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6};
    const auto [n, wL, wR, sL, sR, zL, zR] =
        edgeSides(normVect, isWettedL, isWettedR, hydStateL, hydStateR, bottomElL, bottomElR);
    const auto cL = indirect<const float, 2, LR, 0>(bedTrCapL);
    const auto cR = indirect<const float, 2, LR, 1>(bedTrCapR);
    const auto dL = indirect<const float, 2, LR, 0>(bedTrDerL);
    const auto dR = indirect<const float, 2, LR, 1>(bedTrDerR);
    const auto flux = indirect<float, 1, One<0>, 0>(fluxesMo);
    if (!hydraulics::edgeBatchEnabled()) {
        op_par_loop_indirect<kernel_MORPHOLOGY_InternalFluxes>(16, name, set, inds, n, wL, wR, sL, sR, zL, zR, cL, cR,
                                                               dL, dR, flux);
        return;
    }
    // Eight edges at a time in vector lanes, as the hydraulic fluxes, the rest of a block one by one.
    auto scalar = [](auto... p) { kernel_MORPHOLOGY_InternalFluxes(p...); };
    auto batch = [](auto... p) { morphology::sedimentFluxBatch(p...); };
    op_par_loop_indirect(16, name, set, inds, op::batched<morphology::kSedimentBatch>(scalar, batch), n, wL, wR, sL, sR,
                         zL, zR, cL, cR, dL, dR, flux);
}

void op_par_loop_kernel_HYDRAULICS_CalcCurvature(char const* name, op_set set, op_arg unitCent, op_arg distCent,
                                                 op_arg hydState, op_arg bottomEl, op_arg hydStateNb, op_arg bottomElNb,
                                                 op_arg geomWght, op_arg flowCurv)
{
    using Edges = Triangle<0>;
    using Neighbours = Triangle<1>;
    static const int inds[8] = {0, 1, -1, -1, 2, 3, -1, -1};
    op_par_loop_indirect<kernel_HYDRAULICS_CalcCurvature>(
        17, name, set, inds, row<const float, 2, Edges>(unitCent), row<const float, 1, Edges>(distCent),
        direct<const float, kState>(hydState), direct<const float, 1>(bottomEl),
        row<const float, kState, Neighbours>(hydStateNb), row<const float, 1, Neighbours>(bottomElNb),
        direct<const float, 6>(geomWght), direct<float, 1>(flowCurv));
}

void op_par_loop_kernel_MORPHOLOGY_CalcBedGradient(char const* name, op_set set, op_arg bottomEl, op_arg bottomElNb,
                                                   op_arg geomWght, op_arg bedGrdnt)
{
    static const int inds[4] = {-1, 0, -1, -1};
    op_par_loop_indirect<kernel_MORPHOLOGY_CalcBedGradient>(
        18, name, set, inds, direct<const float, 1>(bottomEl), row<const float, 1, Triangle<0>>(bottomElNb),
        direct<const float, 6>(geomWght), direct<float, 2>(bedGrdnt));
}

void op_par_loop_kernel_GLOBAL_Update(char const* name, op_set set, op_arg cellId, op_arg dt, op_arg morphologyOn,
                                      op_arg geomArea, op_arg geomLeng, op_arg fluxesHy, op_arg fluxesMo,
                                      op_arg edgeSign, op_arg hydState, op_arg bottomEl, op_arg isWetted, op_arg massOk)
{
    using Edges = Triangle<0>;
    static const int inds[12] = {-1, -1, -1, -1, 0, 1, 2, -1, -1, -1, -1, -1};
    op_par_loop_indirect<kernel_GLOBAL_Update>(
        19, name, set, inds, optional(direct<const int, 1>(cellId)), global<const float>(dt),
        global<const int>(morphologyOn), direct<const float, 1>(geomArea), row<const float, 1, Edges>(geomLeng),
        row<const float, kFlux, Edges>(fluxesHy), optional(row<const float, 1, Edges>(fluxesMo)),
        direct<const int, kCellWidth>(edgeSign), direct<float, kState>(hydState), direct<float, 1>(bottomEl),
        direct<int, 1>(isWetted), global<int>(massOk));
}

void op_par_loop_kernel_MORPHOLOGY_FixedBedCorrection(char const* name, op_set set, op_arg cellId, op_arg dt,
                                                      op_arg geomArea, op_arg bottomEl, op_arg fixBedEl,
                                                      op_arg edgeSign, op_arg geomLeng, op_arg newBedEl,
                                                      op_arg fluxesMo)
{
    using Cell = One<0>;
    using Edges = Triangle<1>;
    static const int inds[9] = {0, -1, 1, 2, -1, 3, 4, -1, 5};
    op_par_loop_indirect<kernel_MORPHOLOGY_FixedBedCorrection>(
        20, name, set, inds, optional(indirect<const int, 1, Cell, 0>(cellId)), global<const float>(dt),
        indirect<const float, 1, Cell, 0>(geomArea), indirect<const float, 1, Cell, 0>(bottomEl),
        direct<const float, 1>(fixBedEl), indirect<const int, kCellWidth, Cell, 0>(edgeSign),
        row<const float, 1, Edges>(geomLeng), direct<float, 1>(newBedEl), row<float, 1, Edges>(fluxesMo));
}

void op_par_loop_kernel_MORPHOLOGY_Source(char const* name, op_set set, op_arg dt, op_arg cellData, op_arg sinkType,
                                          op_arg bottomEl, op_arg fixBedEl, op_arg hydState, op_arg massOk)
{
    using Records = One<0>;
    using Cell = One<1>;
    using FixedCell = One<2>;
    static const int inds[7] = {-1, 0, -1, 1, 2, 3, -1};
    op_par_loop_indirect<kernel_MORPHOLOGY_Source>(
        22, name, set, inds, global<const float>(dt), indirect<const float, dims::CellDataSize, Records, 0>(cellData),
        direct<const int, 1>(sinkType), indirect<float, 1, Cell, 0>(bottomEl),
        indirect<const float, 1, FixedCell, 0>(fixBedEl), indirect<float, kState, Cell, 0>(hydState),
        global<int>(massOk));
}

void op_par_loop_kernel_HYDRAULICS_Source(char const* name, op_set set, op_arg dt, op_arg cellData, op_arg sinkType,
                                          op_arg bottomEl, op_arg hydState, op_arg isWetted, op_arg massOk)
{
    using Records = One<0>;
    using Cell = One<1>;
    static const int inds[7] = {-1, 0, -1, 1, 2, 3, -1};
    op_par_loop_indirect<kernel_HYDRAULICS_Source>(
        24, name, set, inds, global<const float>(dt), indirect<const float, dims::CellDataSize, Records, 0>(cellData),
        direct<const int, 1>(sinkType), indirect<const float, 1, Cell, 0>(bottomEl),
        indirect<float, kState, Cell, 0>(hydState), indirect<int, 1, Cell, 0>(isWetted), global<int>(massOk));
}
