// The friction step of a cell and the admissible time step of an edge for eight elements at once in AVX2 lanes,
// bit for bit the scalar kernels, and the run-time choice between them and the element-by-element kernels.
#pragma once

namespace hydraulics {

/// Elements one batched friction or time-step call takes.
constexpr int kCellBatch = 8;

/// True when the batched cell and time-step kernels may be used: the processor has AVX2 and HYDROVA_SCALAR_CELLS is
/// not set (to a value other than "0") in the environment. Decided once per process.
bool cellBatchEnabled();

/// kernel_HYDRAULICS_Friction for kCellBatch cells, cell j given by the j-th pointer of each argument. Manning and
/// Strickler closures run in lanes, the others cell by cell; every chezyCoe and discharge is the same bits as the
/// scalar kernel gives. The cells must be distinct and their outputs must not alias their inputs. Needs AVX2.
void frictionBatch(const float* const* dt, const float* const* bottomEl, const float* const* friction,
                   float* const* chezyCoe, float* const* hydState);

/// kernel_HYDRAULICS_TimeStep for kCellBatch edges: the admissible steps of both cells of each edge in lanes, then
/// folded into *dtMin[j] edge after edge in order, exactly as kCellBatch scalar calls would (the order matters when a
/// step is NaN). Needs AVX2.
void timeStepBatch(const float* const* normVect, const float* const* charSize, const int* const* isWettedL,
                   const int* const* isWettedR, const float* const* hydStateL, const float* const* hydStateR,
                   const float* const* bottomElL, const float* const* bottomElR, float* const* dtMin);

}  // namespace hydraulics
