// Loop functions of the domain's kernels, each a thin definition on the framework's generic loop patterns. The first
// argument of every pattern call is the loop's timing slot; `inds` numbers the indirect datasets (same data through
// the same map share a number) in order of first appearance, -1 for direct and global arguments.
#include "simulation/TERRAdomain_loops.hpp"

#include "op/op_par_loop.hpp"
#include "simulation/kernels/DataSeries.hpp"
#include "simulation/kernels/HydraulicsBoundary.hpp"
#include "simulation/kernels/HydraulicsCell.hpp"
#include "simulation/kernels/HydraulicsTimeStepFluxes.hpp"
#include "simulation/kernels/MorphologyCell.hpp"
#include "simulation/kernels/MorphologyFixedBed.hpp"
#include "simulation/kernels/MorphologyFluxes.hpp"

using op::direct;
using op::global;
using op::indirect;
using op::row;

namespace {
/// Node strings hold at most this many edges (width of the node-string maps and of NodeStrg/EdgeSign).
constexpr int kNodeStringWidth = 40;
/// Edges (and neighbours) of a triangle.
constexpr int kCellWidth = 3;
}  // namespace

// ---------------------------------------------------------------- direct loops

void op_par_loop_kernel_HYDRAULICS_InitializeCellFeatures(char const* name, op_set set, op_arg hydState,
                                                          op_arg bottomEl, op_arg isWetted)
{
    op_par_loop_direct<kernel_HYDRAULICS_InitializeCellFeatures>(0, name, set, direct<const float>(hydState),
                                                                 direct<const float>(bottomEl), direct<int>(isWetted));
}

void op_par_loop_kernel_HYDRAULICS_InitializeFriction(char const* name, op_set set, op_arg hydState, op_arg bottomEl,
                                                      op_arg friction, op_arg chezyCoe)
{
    op_par_loop_direct<kernel_HYDRAULICS_InitializeFriction>(1, name, set, direct<const float>(hydState),
                                                             direct<const float>(bottomEl),
                                                             direct<const float>(friction), direct<float>(chezyCoe));
}

void op_par_loop_kernel_MORPHOLOGY_InitializeCellFeatures(char const* name, op_set set, op_arg bottomEl,
                                                          op_arg flowCurv, op_arg bedGrdnt)
{
    op_par_loop_direct<kernel_MORPHOLOGY_InitializeCellFeatures>(2, name, set, direct<const float>(bottomEl),
                                                                 direct<float>(flowCurv), direct<float>(bedGrdnt));
}

void op_par_loop_kernel_MORPHOLOGY_CalcBedloadTransport(char const* name, op_set set, op_arg frictionOn,
                                                        op_arg hydState, op_arg bottomEl, op_arg chezyCoe,
                                                        op_arg mSedSize, op_arg thetaCrt, op_arg bedGrdnt,
                                                        op_arg flowCurv, op_arg bedTrCap, op_arg bedTrDer)
{
    op_par_loop_direct<kernel_MORPHOLOGY_CalcBedloadTransport>(
        14, name, set, global<const int>(frictionOn), direct<const float>(hydState), direct<const float>(bottomEl),
        direct<const float>(chezyCoe), direct<const float>(mSedSize), direct<const float>(thetaCrt),
        direct<const float>(bedGrdnt), direct<const float>(flowCurv), direct<float>(bedTrCap), direct<float>(bedTrDer));
}

void op_par_loop_kernel_MORPHOLOGY_LocalBedSlope(char const* name, op_set set, op_arg hydState, op_arg bottomEl,
                                                 op_arg bedGrdnt, op_arg thetaCrt)
{
    op_par_loop_direct<kernel_MORPHOLOGY_LocalBedSlope>(15, name, set, direct<const float>(hydState),
                                                        direct<const float>(bottomEl), direct<const float>(bedGrdnt),
                                                        direct<float>(thetaCrt));
}

void op_par_loop_kernel_MORPHOLOGY_FixedBedCorrectionFindMax(char const* name, op_set set, op_arg fixBedEl,
                                                             op_arg newBedEl, op_arg maxOvershoot)
{
    op_par_loop_direct<kernel_MORPHOLOGY_FixedBedCorrectionFindMax>(
        21, name, set, direct<const float>(fixBedEl), direct<const float>(newBedEl), global<float>(maxOvershoot));
}

void op_par_loop_kernel_HYDRAULICS_Friction(char const* name, op_set set, op_arg dt, op_arg bottomEl, op_arg friction,
                                            op_arg chezyCoe, op_arg hydState)
{
    op_par_loop_direct<kernel_HYDRAULICS_Friction>(23, name, set, global<const float>(dt),
                                                   direct<const float>(bottomEl), direct<const float>(friction),
                                                   direct<float>(chezyCoe), direct<float>(hydState));
}

void op_par_loop_kernel_HYDRAULICS_FloodTracking(char const* name, op_set set, op_arg time, op_arg hydState,
                                                 op_arg bottomEl, op_arg isWetted, op_arg floodVar)
{
    op_par_loop_direct<kernel_HYDRAULICS_FloodTracking>(25, name, set, global<const float>(time),
                                                        direct<const float>(hydState), direct<const float>(bottomEl),
                                                        direct<const int>(isWetted), direct<float>(floodVar));
}

// ---------------------------------------------------------------- indirect loops

void op_par_loop_kernel_TOPOLOGY_NodeStringStates(char const* name, op_set set, op_arg morphologyOn,
                                                  op_arg frictionMorphologyOn, op_arg listSize, op_arg edgeSign,
                                                  op_arg geomLeng, op_arg fluxesHy, op_arg fluxesMo, op_arg chezyCoe,
                                                  op_arg thetaCrt, op_arg mSedSize, op_arg hydState, op_arg bottomEl,
                                                  op_arg geomArea, op_arg stateVar)
{
    constexpr int W = kNodeStringWidth;
    static const int inds[14] = {-1, -1, -1, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, -1};
    op_par_loop_indirect<kernel_TOPOLOGY_NodeStringStates>(
        3, name, set, inds, global<const int>(morphologyOn), global<const int>(frictionMorphologyOn),
        direct<const int>(listSize), direct<const int>(edgeSign), row<const float, W>(geomLeng),
        row<const float, W>(fluxesHy), row<const float, W>(fluxesMo), row<const float, W>(chezyCoe),
        row<const float, W>(thetaCrt), row<const float, W>(mSedSize), row<const float, W>(hydState),
        row<const float, W>(bottomEl), row<const float, W>(geomArea), direct<float>(stateVar));
}

void op_par_loop_kernel_DATA_EdgeInterpolation(char const* name, op_set set, op_arg series, op_arg seriesSize,
                                               op_arg keyPostn, op_arg stateVar, op_arg time, op_arg edgeData)
{
    static const int inds[6] = {0, 1, -1, 2, -1, 3};
    op_par_loop_indirect<kernel_DATA_EdgeInterpolation>(
        4, name, set, inds, indirect<const float>(series), indirect<const int>(seriesSize), direct<const int>(keyPostn),
        indirect<const float>(stateVar), global<const float>(time), indirect<float>(edgeData));
}

void op_par_loop_kernel_DATA_CellInterpolation(char const* name, op_set set, op_arg series, op_arg seriesSize,
                                               op_arg keyPostn, op_arg time, op_arg cellData)
{
    static const int inds[5] = {0, 1, -1, -1, 2};
    op_par_loop_indirect<kernel_DATA_CellInterpolation>(5, name, set, inds, indirect<const float>(series),
                                                        indirect<const int>(seriesSize), direct<const int>(keyPostn),
                                                        global<const float>(time), indirect<float>(cellData));
}

void op_par_loop_kernel_DATA_EdgeModification(char const* name, op_set set, op_arg modfInfo, op_arg stateVar0,
                                              op_arg stateVar1, op_arg totalLen0, op_arg totalLen1, op_arg time,
                                              op_arg localDat, op_arg edgeData)
{
    static const int inds[8] = {-1, 0, 0, 1, 1, -1, -1, 2};
    op_par_loop_indirect<kernel_DATA_EdgeModification>(
        6, name, set, inds, direct<const int>(modfInfo), indirect<const float>(stateVar0),
        indirect<const float>(stateVar1), indirect<const float>(totalLen0), indirect<const float>(totalLen1),
        global<const float>(time), direct<float>(localDat), indirect<float>(edgeData));
}

void op_par_loop_kernel_DATA_CellModification(char const* name, op_set set, op_arg modfInfo, op_arg regionArea,
                                              op_arg time, op_arg cellData)
{
    static const int inds[4] = {-1, 0, -1, 1};
    op_par_loop_indirect<kernel_DATA_CellModification>(7, name, set, inds, direct<const int>(modfInfo),
                                                       indirect<const float>(regionArea), global<const float>(time),
                                                       indirect<float>(cellData));
}

void op_par_loop_kernel_HYDRAULICS_TimeStep(char const* name, op_set set, op_arg normVect, op_arg charSize,
                                            op_arg isWettedL, op_arg isWettedR, op_arg hydStateL, op_arg hydStateR,
                                            op_arg bottomElL, op_arg bottomElR, op_arg dtMin)
{
    static const int inds[9] = {-1, -1, 0, 0, 1, 1, 2, 2, -1};
    op_par_loop_indirect<kernel_HYDRAULICS_TimeStep>(8, name, set, inds, direct<const float>(normVect),
                                                     direct<const float>(charSize), indirect<const int>(isWettedL),
                                                     indirect<const int>(isWettedR), indirect<const float>(hydStateL),
                                                     indirect<const float>(hydStateR), indirect<const float>(bottomElL),
                                                     indirect<const float>(bottomElR), global<float>(dtMin));
}

void op_par_loop_kernel_HYDRAULICS_Boundary(char const* name, op_set set, op_arg hydBType, op_arg edgeData,
                                            op_arg normVect, op_arg hydStateL, op_arg hydStateR, op_arg bottomElL,
                                            op_arg bottomElR, op_arg chezyCoeL, op_arg charSize, op_arg fluxesHy)
{
    static const int inds[10] = {-1, 0, 1, 2, 2, 3, 3, 4, 5, 6};
    op_par_loop_indirect<kernel_HYDRAULICS_Boundary>(
        9, name, set, inds, direct<const int>(hydBType), indirect<const float>(edgeData),
        indirect<const float>(normVect), indirect<const float>(hydStateL), indirect<const float>(hydStateR),
        indirect<const float>(bottomElL), indirect<const float>(bottomElR), indirect<const float>(chezyCoeL),
        indirect<const float>(charSize), indirect<float>(fluxesHy));
}

void op_par_loop_kernel_MORPHOLOGY_Boundary(char const* name, op_set set, op_arg dt, op_arg morBType, op_arg numValue,
                                            op_arg normVect, op_arg geomLeng, op_arg hydStateL, op_arg hydStateR,
                                            op_arg bottomElL, op_arg bottomElR, op_arg chezyCoeL, op_arg geomAreaL,
                                            op_arg mSedSizeL, op_arg fluxesMo)
{
    static const int inds[13] = {-1, -1, 0, 1, 2, 3, 3, 4, 4, 5, 6, 7, 8};
    op_par_loop_indirect<kernel_MORPHOLOGY_Boundary>(
        10, name, set, inds, global<const float>(dt), direct<const int>(morBType), indirect<const float>(numValue),
        indirect<const float>(normVect), indirect<const float>(geomLeng), indirect<const float>(hydStateL),
        indirect<const float>(hydStateR), indirect<const float>(bottomElL), indirect<const float>(bottomElR),
        indirect<const float>(chezyCoeL), indirect<const float>(geomAreaL), indirect<const float>(mSedSizeL),
        indirect<float>(fluxesMo));
}

void op_par_loop_kernel_HYDRAULICS_WallFluxes(char const* name, op_set set, op_arg hydState, op_arg bottomEl,
                                              op_arg normVect, op_arg fluxesHy)
{
    static const int inds[4] = {0, 1, 2, 3};
    op_par_loop_indirect<kernel_HYDRAULICS_WallFluxes>(11, name, set, inds, indirect<const float>(hydState),
                                                       indirect<const float>(bottomEl), indirect<const float>(normVect),
                                                       indirect<float>(fluxesHy));
}

void op_par_loop_kernel_MORPHOLOGY_WallFluxes(char const* name, op_set set, op_arg fluxesMo)
{
    static const int inds[1] = {0};
    op_par_loop_indirect<kernel_MORPHOLOGY_WallFluxes>(12, name, set, inds, indirect<float>(fluxesMo));
}

void op_par_loop_kernel_HYDRAULICS_InternalFluxes(char const* name, op_set set, op_arg normVect, op_arg isWettedL,
                                                  op_arg isWettedR, op_arg hydStateL, op_arg hydStateR,
                                                  op_arg bottomElL, op_arg bottomElR, op_arg fluxesHy)
{
    static const int inds[8] = {0, 1, 1, 2, 2, 3, 3, 4};
    op_par_loop_indirect<kernel_HYDRAULICS_InternalFluxes>(
        13, name, set, inds, indirect<const float>(normVect), indirect<const int>(isWettedL),
        indirect<const int>(isWettedR), indirect<const float>(hydStateL), indirect<const float>(hydStateR),
        indirect<const float>(bottomElL), indirect<const float>(bottomElR), indirect<float>(fluxesHy));
}

void op_par_loop_kernel_MORPHOLOGY_InternalFluxes(char const* name, op_set set, op_arg normVect, op_arg isWettedL,
                                                  op_arg isWettedR, op_arg hydStateL, op_arg hydStateR,
                                                  op_arg bottomElL, op_arg bottomElR, op_arg bedTrCapL,
                                                  op_arg bedTrCapR, op_arg bedTrDerL, op_arg bedTrDerR, op_arg fluxesMo)
{
    static const int inds[12] = {0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6};
    op_par_loop_indirect<kernel_MORPHOLOGY_InternalFluxes>(
        16, name, set, inds, indirect<const float>(normVect), indirect<const int>(isWettedL),
        indirect<const int>(isWettedR), indirect<const float>(hydStateL), indirect<const float>(hydStateR),
        indirect<const float>(bottomElL), indirect<const float>(bottomElR), indirect<const float>(bedTrCapL),
        indirect<const float>(bedTrCapR), indirect<const float>(bedTrDerL), indirect<const float>(bedTrDerR),
        indirect<float>(fluxesMo));
}

void op_par_loop_kernel_HYDRAULICS_CalcCurvature(char const* name, op_set set, op_arg unitCent, op_arg distCent,
                                                 op_arg hydState, op_arg bottomEl, op_arg hydStateNb, op_arg bottomElNb,
                                                 op_arg geomWght, op_arg flowCurv)
{
    constexpr int W = kCellWidth;
    static const int inds[8] = {0, 1, -1, -1, 2, 3, -1, -1};
    op_par_loop_indirect<kernel_HYDRAULICS_CalcCurvature>(
        17, name, set, inds, row<const float, W>(unitCent), row<const float, W>(distCent),
        direct<const float>(hydState), direct<const float>(bottomEl), row<const float, W>(hydStateNb),
        row<const float, W>(bottomElNb), direct<const float>(geomWght), direct<float>(flowCurv));
}

void op_par_loop_kernel_MORPHOLOGY_CalcBedGradient(char const* name, op_set set, op_arg bottomEl, op_arg bottomElNb,
                                                   op_arg geomWght, op_arg bedGrdnt)
{
    constexpr int W = kCellWidth;
    static const int inds[4] = {-1, 0, -1, -1};
    op_par_loop_indirect<kernel_MORPHOLOGY_CalcBedGradient>(18, name, set, inds, direct<const float>(bottomEl),
                                                            row<const float, W>(bottomElNb),
                                                            direct<const float>(geomWght), direct<float>(bedGrdnt));
}

void op_par_loop_kernel_GLOBAL_Update(char const* name, op_set set, op_arg cellId, op_arg dt, op_arg morphologyOn,
                                      op_arg geomArea, op_arg geomLeng, op_arg fluxesHy, op_arg fluxesMo,
                                      op_arg edgeSign, op_arg hydState, op_arg bottomEl, op_arg isWetted, op_arg massOk)
{
    constexpr int W = kCellWidth;
    static const int inds[12] = {-1, -1, -1, -1, 0, 1, 2, -1, -1, -1, -1, -1};
    op_par_loop_indirect<kernel_GLOBAL_Update>(
        19, name, set, inds, direct<const int>(cellId), global<const float>(dt), global<const int>(morphologyOn),
        direct<const float>(geomArea), row<const float, W>(geomLeng), row<const float, W>(fluxesHy),
        row<const float, W>(fluxesMo), direct<const int>(edgeSign), direct<float>(hydState), direct<float>(bottomEl),
        direct<int>(isWetted), global<int>(massOk));
}

void op_par_loop_kernel_MORPHOLOGY_FixedBedCorrection(char const* name, op_set set, op_arg cellId, op_arg dt,
                                                      op_arg geomArea, op_arg bottomEl, op_arg fixBedEl,
                                                      op_arg edgeSign, op_arg geomLeng, op_arg newBedEl,
                                                      op_arg fluxesMo)
{
    constexpr int W = kCellWidth;
    static const int inds[9] = {0, -1, 1, 2, -1, 3, 4, -1, 5};
    op_par_loop_indirect<kernel_MORPHOLOGY_FixedBedCorrection>(
        20, name, set, inds, indirect<const int>(cellId), global<const float>(dt), indirect<const float>(geomArea),
        indirect<const float>(bottomEl), direct<const float>(fixBedEl), indirect<const int>(edgeSign),
        row<const float, W>(geomLeng), direct<float>(newBedEl), row<float, W>(fluxesMo));
}

void op_par_loop_kernel_MORPHOLOGY_Source(char const* name, op_set set, op_arg dt, op_arg cellData, op_arg sinkType,
                                          op_arg bottomEl, op_arg fixBedEl, op_arg hydState, op_arg massOk)
{
    static const int inds[7] = {-1, 0, -1, 1, 2, 3, -1};
    op_par_loop_indirect<kernel_MORPHOLOGY_Source>(
        22, name, set, inds, global<const float>(dt), indirect<const float>(cellData), direct<const int>(sinkType),
        indirect<float>(bottomEl), indirect<const float>(fixBedEl), indirect<float>(hydState), global<int>(massOk));
}

void op_par_loop_kernel_HYDRAULICS_Source(char const* name, op_set set, op_arg dt, op_arg cellData, op_arg sinkType,
                                          op_arg bottomEl, op_arg hydState, op_arg isWetted, op_arg massOk)
{
    static const int inds[7] = {-1, 0, -1, 1, 2, 3, -1};
    op_par_loop_indirect<kernel_HYDRAULICS_Source>(
        24, name, set, inds, global<const float>(dt), indirect<const float>(cellData), direct<const int>(sinkType),
        indirect<const float>(bottomEl), indirect<float>(hydState), indirect<int>(isWetted), global<int>(massOk));
}
