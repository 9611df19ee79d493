// Kernels over non-erodible (fixed) bed: the correction of sediment fluxes that would erode below the fixed bed,
// the search for the largest remaining overshoot with the iteration rule that drives both, and sediment sources.
#pragma once

#include <algorithm>
#include <cstdio>

#include "simulation/kernels/GlobalConstants.hpp"
#include "simulation/kernels/KernelMessages.hpp"

namespace morphology {

/// Sediment source behaviours of SinkType for ClMorSrc; other codes add nothing.
namespace sedimentSource {
enum : int {
    Exact = 30,      ///< dz = rate*dt, may erode below the fixed bed (reported)
    Available = 31,  ///< a negative dz removes at most the material above the fixed bed
    Infinity = 32,   ///< a negative dz removes all material above the fixed bed, whatever the rate
};
}  // namespace sedimentSource

/// The fixed-bed correction as the domain runs it. correctionPass() runs the loop
/// op_par_loop_kernel_MORPHOLOGY_FixedBedCorrection once over CellsFix; findMax(overshoot) runs
/// op_par_loop_kernel_MORPHOLOGY_FixedBedCorrectionFindMax over CellsFix with `overshoot` as its float MAX reduction
/// global (the loop leaves the larger of its value and every cell's overshoot in it).
///
/// With accuracy = FixBedAccuracy [m] and maxIter = FixBedMaxIter: nothing runs when accuracy >= 1e6 or
/// maxIter < 1. Otherwise, repeatedly: overshoot = accuracy; one pass; stop right after it when maxIter == 1;
/// else run the maximum search and count the pass; go on while overshoot > accuracy and fewer than maxIter passes
/// were counted. So maxIter bounds the passes, and maxIter == 1 makes one pass without a search.
/// The search sees the predictions of the last pass, made before its own scaling.
/// Returns the number of correction passes made.
template <class CorrectionPass, class FindMax>
inline int iterateFixedBedCorrection(float accuracy, int maxIter, CorrectionPass&& correctionPass, FindMax&& findMax)
{
    if (!(accuracy < 1.0e6f) || maxIter < 1) return 0;
    int passes = 0;
    int counted = 0;
    float overshoot = accuracy;
    do {
        overshoot = accuracy;
        correctionPass();
        ++passes;
        if (maxIter == 1) break;
        findMax(overshoot);
        ++counted;
    } while (overshoot > accuracy && counted < maxIter);
    return passes;
}

}  // namespace morphology

/// Per fixed-bed cell: predicts the bed after the step dt [s] from the sediment fluxes of its three edges (edgeSign
/// +1 where the cell is the edge's left cell) into newBedEl [m], and where the prediction falls below the fixed bed
/// fixBedEl scales the outgoing fluxes (only those) by one common factor in [0, 1] so that the bed just reaches the
/// fixed bed. newBedEl keeps the prediction made before the scaling. cellId is read only with G_Debug = 1, for the
/// "overdraft" message.
inline void kernel_MORPHOLOGY_FixedBedCorrection(const int* cellId, const float* dt, const float* geomArea,
                                                 const float* bottomEl, const float* fixBedEl, const int* edgeSign,
                                                 const float* const* geomLeng, float* newBedEl, float* const* fluxesMo)
{
    float net = 0.0f;
    float outflow = 0.0f;
    bool outgoing[3];
    for (int j = 0; j < 3; ++j) {
        const float F = *fluxesMo[j];
        const float o = static_cast<float>(edgeSign[j]) * F * *geomLeng[j];
        net += o;
        outgoing[j] = (edgeSign[j] > 0 && F > 0.0f) || (edgeSign[j] < 0 && F < 0.0f);
        if (outgoing[j]) outflow += o;
    }
    const float r = *dt / *geomArea;
    const float zNew = *bottomEl - net * r;
    *newBedEl = zNew;

    const float overshoot = *fixBedEl - zNew;
    if (!(overshoot > 0.0f)) return;
    if (G_Debug == 1 && kernelmessages::allow())
        std::printf("overdraft in cell %i by dz = %f [m]\n", *cellId, static_cast<double>(overshoot));
    // Without outflow (W = 0) the factor is 0, which changes nothing since no edge is outgoing.
    const float wr = outflow * r;
    const float k = wr > 0.0f ? std::clamp(1.0f - overshoot / wr, 0.0f, 1.0f) : 0.0f;
    for (int j = 0; j < 3; ++j)
        if (outgoing[j]) *fluxesMo[j] *= k;
}

/// Per fixed-bed cell: raises the thread's partial maximum maxOvershoot [m] to the cell's overshoot below the
/// fixed bed, fixBedEl - newBedEl (cells above the fixed bed count 0).
inline void kernel_MORPHOLOGY_FixedBedCorrectionFindMax(const float* fixBedEl, const float* newBedEl,
                                                        float* maxOvershoot)
{
    *maxOvershoot = std::max(*maxOvershoot, std::max(*fixBedEl - *newBedEl, 0.0f));
}

/// Per sediment source element: adds the rate cellData[1] [m/s] over dt [s] to the bed of its cell and by the same
/// amount to the water surface (the depth is unchanged), honouring the fixed bed by sinkType (see
/// morphology::sedimentSource). A bed below the fixed bed by more than 1e-6 m afterwards is reported and lowers the
/// thread's status flag massOk to 0.
inline void kernel_MORPHOLOGY_Source(const float* dt, const float* cellData, const int* sinkType, float* bottomEl,
                                     const float* fixBedEl, float* hydState, int* massOk)
{
    namespace source = morphology::sedimentSource;
    const float zb = *bottomEl;
    const float zFix = *fixBedEl;
    const float change = cellData[1] * *dt;
    float dz = 0.0f;
    switch (*sinkType) {
        case source::Exact:
            dz = change;
            break;
        case source::Available:
            dz = change < 0.0f ? std::max(change, zFix - zb) : change;
            break;
        case source::Infinity:
            dz = change < 0.0f ? zFix - zb : change;
            break;
        default:
            break;
    }
    *bottomEl = static_cast<float>(static_cast<double>(zb) + static_cast<double>(dz));
    hydState[0] = static_cast<float>(static_cast<double>(hydState[0]) + static_cast<double>(dz));

    if (static_cast<double>(*bottomEl) - static_cast<double>(zFix) < -1.0e-6) {
        if (kernelmessages::allow())
            std::printf("MASS BALANCE PROBLEM: z = %g < zFix = %g\n", static_cast<double>(*bottomEl),
                        static_cast<double>(zFix));
        *massOk = std::min(*massOk, 0);
        return;
    }
    *massOk = std::min(*massOk, 1);
}
