// The parallel loop functions of the domain's kernels: one per kernel, each running its per-element kernel over a
// mesh set with the framework's direct or indirect (planned, coloured) pattern and recording its timing slot.
//
// Every function takes the loop name, the loop set and one op_arg per kernel parameter in the kernel's order. A
// parameter that sees a whole map row (a node string's 40 edges, a cell's 3 edges) is ONE op_arg with idx -d; the
// loop expands it into d arguments for the planner. Switched-off optional arguments (opt 0) are passed on as pointers
// the kernel never dereferences.
#pragma once

#include "op/op_lib_core.h"

// ---- direct loops ----
void op_par_loop_kernel_HYDRAULICS_InitializeCellFeatures(char const* name, op_set set, op_arg hydState,
                                                          op_arg bottomEl, op_arg isWetted);
void op_par_loop_kernel_HYDRAULICS_InitializeFriction(char const* name, op_set set, op_arg hydState, op_arg bottomEl,
                                                      op_arg friction, op_arg chezyCoe);
void op_par_loop_kernel_MORPHOLOGY_InitializeCellFeatures(char const* name, op_set set, op_arg bottomEl,
                                                          op_arg flowCurv, op_arg bedGrdnt);
void op_par_loop_kernel_MORPHOLOGY_CalcBedloadTransport(char const* name, op_set set, op_arg frictionOn,
                                                        op_arg hydState, op_arg bottomEl, op_arg chezyCoe,
                                                        op_arg mSedSize, op_arg thetaCrt, op_arg bedGrdnt,
                                                        op_arg flowCurv, op_arg bedTrCap, op_arg bedTrDer);
void op_par_loop_kernel_MORPHOLOGY_LocalBedSlope(char const* name, op_set set, op_arg hydState, op_arg bottomEl,
                                                 op_arg bedGrdnt, op_arg thetaCrt);
void op_par_loop_kernel_MORPHOLOGY_FixedBedCorrectionFindMax(char const* name, op_set set, op_arg fixBedEl,
                                                             op_arg newBedEl, op_arg maxOvershoot);
void op_par_loop_kernel_HYDRAULICS_Friction(char const* name, op_set set, op_arg dt, op_arg bottomEl, op_arg friction,
                                            op_arg chezyCoe, op_arg hydState);
void op_par_loop_kernel_HYDRAULICS_FloodTracking(char const* name, op_set set, op_arg time, op_arg hydState,
                                                 op_arg bottomEl, op_arg isWetted, op_arg floodVar);

// ---- indirect loops ----
void op_par_loop_kernel_TOPOLOGY_NodeStringStates(char const* name, op_set set, op_arg morphologyOn,
                                                  op_arg frictionMorphologyOn, op_arg listSize, op_arg edgeSign,
                                                  op_arg geomLeng, op_arg fluxesHy, op_arg fluxesMo, op_arg chezyCoe,
                                                  op_arg thetaCrt, op_arg mSedSize, op_arg hydState, op_arg bottomEl,
                                                  op_arg geomArea, op_arg stateVar);
void op_par_loop_kernel_DATA_EdgeInterpolation(char const* name, op_set set, op_arg series, op_arg seriesSize,
                                               op_arg keyPostn, op_arg stateVar, op_arg time, op_arg edgeData);
void op_par_loop_kernel_DATA_CellInterpolation(char const* name, op_set set, op_arg series, op_arg seriesSize,
                                               op_arg keyPostn, op_arg time, op_arg cellData);
void op_par_loop_kernel_DATA_EdgeModification(char const* name, op_set set, op_arg modfInfo, op_arg stateVar0,
                                              op_arg stateVar1, op_arg totalLen0, op_arg totalLen1, op_arg time,
                                              op_arg localDat, op_arg edgeData);
void op_par_loop_kernel_DATA_CellModification(char const* name, op_set set, op_arg modfInfo, op_arg regionArea,
                                              op_arg time, op_arg cellData);
void op_par_loop_kernel_HYDRAULICS_TimeStep(char const* name, op_set set, op_arg normVect, op_arg charSize,
                                            op_arg isWettedL, op_arg isWettedR, op_arg hydStateL, op_arg hydStateR,
                                            op_arg bottomElL, op_arg bottomElR, op_arg dtMin);
void op_par_loop_kernel_HYDRAULICS_Boundary(char const* name, op_set set, op_arg hydBType, op_arg edgeData,
                                            op_arg normVect, op_arg hydStateL, op_arg hydStateR, op_arg bottomElL,
                                            op_arg bottomElR, op_arg chezyCoeL, op_arg charSize, op_arg fluxesHy);
void op_par_loop_kernel_MORPHOLOGY_Boundary(char const* name, op_set set, op_arg dt, op_arg morBType, op_arg numValue,
                                            op_arg normVect, op_arg geomLeng, op_arg hydStateL, op_arg hydStateR,
                                            op_arg bottomElL, op_arg bottomElR, op_arg chezyCoeL, op_arg geomAreaL,
                                            op_arg mSedSizeL, op_arg fluxesMo);
void op_par_loop_kernel_HYDRAULICS_WallFluxes(char const* name, op_set set, op_arg hydState, op_arg bottomEl,
                                              op_arg normVect, op_arg fluxesHy);
void op_par_loop_kernel_MORPHOLOGY_WallFluxes(char const* name, op_set set, op_arg fluxesMo);
void op_par_loop_kernel_HYDRAULICS_InternalFluxes(char const* name, op_set set, op_arg normVect, op_arg isWettedL,
                                                  op_arg isWettedR, op_arg hydStateL, op_arg hydStateR,
                                                  op_arg bottomElL, op_arg bottomElR, op_arg fluxesHy);
void op_par_loop_kernel_MORPHOLOGY_InternalFluxes(char const* name, op_set set, op_arg normVect, op_arg isWettedL,
                                                  op_arg isWettedR, op_arg hydStateL, op_arg hydStateR,
                                                  op_arg bottomElL, op_arg bottomElR, op_arg bedTrCapL,
                                                  op_arg bedTrCapR, op_arg bedTrDerL, op_arg bedTrDerR,
                                                  op_arg fluxesMo);
void op_par_loop_kernel_HYDRAULICS_CalcCurvature(char const* name, op_set set, op_arg unitCent, op_arg distCent,
                                                 op_arg hydState, op_arg bottomEl, op_arg hydStateNb, op_arg bottomElNb,
                                                 op_arg geomWght, op_arg flowCurv);
void op_par_loop_kernel_MORPHOLOGY_CalcBedGradient(char const* name, op_set set, op_arg bottomEl, op_arg bottomElNb,
                                                   op_arg geomWght, op_arg bedGrdnt);
void op_par_loop_kernel_GLOBAL_Update(char const* name, op_set set, op_arg cellId, op_arg dt, op_arg morphologyOn,
                                      op_arg geomArea, op_arg geomLeng, op_arg fluxesHy, op_arg fluxesMo,
                                      op_arg edgeSign, op_arg hydState, op_arg bottomEl, op_arg isWetted,
                                      op_arg massOk);
void op_par_loop_kernel_MORPHOLOGY_FixedBedCorrection(char const* name, op_set set, op_arg cellId, op_arg dt,
                                                      op_arg geomArea, op_arg bottomEl, op_arg fixBedEl,
                                                      op_arg edgeSign, op_arg geomLeng, op_arg newBedEl,
                                                      op_arg fluxesMo);
void op_par_loop_kernel_MORPHOLOGY_Source(char const* name, op_set set, op_arg dt, op_arg cellData, op_arg sinkType,
                                          op_arg bottomEl, op_arg fixBedEl, op_arg hydState, op_arg massOk);
void op_par_loop_kernel_HYDRAULICS_Source(char const* name, op_set set, op_arg dt, op_arg cellData, op_arg sinkType,
                                          op_arg bottomEl, op_arg hydState, op_arg isWetted, op_arg massOk);
