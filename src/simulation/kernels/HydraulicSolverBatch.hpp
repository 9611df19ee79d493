// The internal-edge solve of hydraulics::solveEdge for eight edges at once in AVX2 lanes, bit for bit the scalar
// results, and the run-time choice between it and the scalar edge-by-edge solve.
#pragma once

namespace hydraulics {

/// Edges one batched solve takes.
constexpr int kEdgeBatch = 8;

/// True when the batched edge solves (this one and the sediment flux of MorphologyFluxesBatch) may be used: the
/// processor has AVX2 and HYDROVA_SCALAR_FLUXES is not set (to a value other than "0") in the environment. Decided
/// once per process.
bool edgeBatchEnabled();

/// Solves kEdgeBatch edges, element j given by the j-th pointer of each argument exactly as hydrodynamic_solver takes
/// them (n: unit normal [2], state: H, qx, qy [3], z: bed [1], wet: flag [1], flux: out [5]). Every flux is the same
/// bits as hydraulics::solveEdge<true> gives for that edge (NaN where it gives NaN). Needs AVX2 (edgeBatchEnabled or
/// the test's own processor check); the edges may alias one another on input but each needs its own flux row.
void solveEdgeBatch(const float* const* n, const float* const* stateL, const float* const* zL, const int* const* wetL,
                    const float* const* stateR, const float* const* zR, const int* const* wetR, float* const* flux);

}  // namespace hydraulics
