// Edge kernels of the shallow-water step: the CFL-admissible time step and the internal-edge fluxes.
#pragma once

#include <algorithm>
#include <cmath>

#include "simulation/kernels/GlobalConstants.hpp"
#include "simulation/kernels/HydraulicSolver.hpp"

namespace hydraulics {

/// Admissible explicit step [s] of one cell seen from an edge: its characteristic size (twice the edge-centroid
/// distance) over |u_n| + c. A cell not flagged wet (flag other than 1) does not limit the step (1e6 s).
inline float cellAdmissibleStep(const float* n, float charSize, int isWetted, const float* state, float zb)
{
    if (isWetted != 1) return 1.0e6f;
    const float h = state[0] - zb;
    const float un = std::fabs(state[1] * n[0] + state[2] * n[1]) / h;
    const float c = rootOf(G_REAL[slot::Gravity] * h);
    return charSize / static_cast<float>(static_cast<double>(un + c) + 1.0e-6);
}

}  // namespace hydraulics

/// Per edge: lowers the thread's partial minimum dtMin [s] to the admissible step of the left and the right cell.
/// The CFL number is applied after the reduction, not here.
inline void kernel_HYDRAULICS_TimeStep(const float* normVect, const float* charSize, const int* isWettedL,
                                       const int* isWettedR, const float* hydStateL, const float* hydStateR,
                                       const float* bottomElL, const float* bottomElR, float* dtMin)
{
    const float dtL = hydraulics::cellAdmissibleStep(normVect, charSize[0], *isWettedL, hydStateL, *bottomElL);
    const float dtR = hydraulics::cellAdmissibleStep(normVect, charSize[1], *isWettedR, hydStateR, *bottomElR);
    *dtMin = std::min(*dtMin, std::min(dtL, dtR));
}

/// Per internal edge: the five hydraulic flux components (see hydrodynamic_solver) from its left and right cells.
inline void kernel_HYDRAULICS_InternalFluxes(const float* normVect, const int* isWettedL, const int* isWettedR,
                                             const float* hydStateL, const float* hydStateR, const float* bottomElL,
                                             const float* bottomElR, float* fluxesHy)
{
    hydrodynamic_solver(normVect, hydStateL, *bottomElL, *isWettedL, hydStateR, *bottomElR, *isWettedR, fluxesHy);
}
