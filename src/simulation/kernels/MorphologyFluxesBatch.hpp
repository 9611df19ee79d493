// The internal-edge sediment flux of kernel_MORPHOLOGY_InternalFluxes for eight edges at once in AVX2 lanes, bit for
// bit the scalar results. It is used where the eight-lane hydraulic edge solve is (hydraulics::edgeBatchEnabled).
#pragma once

namespace morphology {

/// Edges one batched sediment-flux call takes.
constexpr int kSedimentBatch = 8;

/// The sediment fluxes of kSedimentBatch internal edges, element j given by the j-th pointer of each argument as
/// kernel_MORPHOLOGY_InternalFluxes takes them (normal [2], wet flags, states H, qx, qy [3], beds, capacities [2],
/// capacity derivatives [2], flux: out [1]). Every flux has the bits the scalar kernel gives for that edge (NaN where
/// it gives NaN). Needs AVX2; inputs may alias one another, each edge needs its own flux.
void sedimentFluxBatch(const float* const* n, const int* const* wetL, const int* const* wetR,
                       const float* const* stateL, const float* const* stateR, const float* const* zL,
                       const float* const* zR, const float* const* capL, const float* const* capR,
                       const float* const* derL, const float* const* derR, float* const* flux);

}  // namespace morphology
