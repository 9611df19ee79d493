// The friction step of eight cells at once in AVX2 lanes, bit for bit the scalar kernel, and the run-time choice
// between it and the cell-by-cell kernel.
#pragma once

namespace hydraulics {

/// Cells one batched friction call takes.
constexpr int kCellBatch = 8;

/// True when the batched cell kernels (this friction and the bed-load transport of MorphologyCellBatch) may be used:
/// the processor has AVX2 and HYDROVA_SCALAR_CELLS is not set (to a value other than "0") in the environment.
/// Decided once per process.
bool cellBatchEnabled();

/// kernel_HYDRAULICS_Friction for kCellBatch cells, cell j given by the j-th pointer of each argument. Manning and
/// Strickler closures run in lanes, the others cell by cell; every chezyCoe and discharge is the same bits as the
/// scalar kernel gives. The cells must be distinct and their outputs must not alias their inputs. Needs AVX2.
void frictionBatch(const float* const* dt, const float* const* bottomEl, const float* const* friction,
                   float* const* chezyCoe, float* const* hydState);

}  // namespace hydraulics
