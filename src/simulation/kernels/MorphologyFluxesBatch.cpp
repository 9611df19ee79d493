// Eight internal sediment-flux edges per call in AVX2 lanes: every lane performs the IEEE operations of
// kernel_MORPHOLOGY_InternalFluxes and exnerWaveSpeeds in the order they write them, every branch is formed for all
// lanes and chosen per lane. Only AVX2 is enabled for this code (not the FMA extension), so no product is fused.
#include "simulation/kernels/MorphologyFluxesBatch.hpp"

#include "simulation/kernels/GlobalConstants.hpp"
#include "simulation/kernels/HydraulicSolver.hpp"
#include "simulation/kernels/Lanes.hpp"

namespace morphology {

#pragma GCC push_options
#pragma GCC target("avx2")

namespace {

using namespace lanes;

struct SpeedsV {
    v8f lower;
    v8f upper;
};

/// exnerWaveSpeeds lane by lane.
inline SpeedsV exnerWaveSpeedsV(v8f nx, v8f ny, const float* const* state, const float* const* zb,
                                const float* const* der, float g)
{
    const v8f H = gather(state, 0);
    const v8f qx = gather(state, 1);
    const v8f qy = gather(state, 2);
    const v8f qn = nx * qx + ny * qy;
    const v8f h = H - gather(zb, 0);
    const v8f ih = reciprocalFrom(h, hydraulics::kGuard);
    const v8f un = ih * qn;
    const v8f c = sqrtOf(notBelowZero(h * splat(g)));
    const v8f iq = reciprocalFrom(rootInDouble(qx * qx + qy * qy), hydraulics::kGuard);
    const v8f delta = (gather(der, 0) * nx + gather(der, 1) * ny) * qn * iq;
    const v8f a = un - c;
    const d8 cw = wide(c);
    const d8 aw = wide(a);
    const d8 radicand = 4.0 * cw * cw * wide(delta) + aw * aw;
    const v8f S = sqrtOf(notBelowZero(narrow(radicand)));
    return {splat(0.5f) * (a - S), splat(0.5f) * (a + S)};
}

}  // namespace

void sedimentFluxBatch(const float* const* n, const int* const* wetL, const int* const* wetR,
                       const float* const* stateL, const float* const* stateR, const float* const* zL,
                       const float* const* zR, const float* const* capL, const float* const* capR,
                       const float* const* derL, const float* const* derR, float* const* flux)
{
    const float g = G_REAL[slot::Gravity];
    const v8f wet = __builtin_convertvector(gather(wetL), v8f) * __builtin_convertvector(gather(wetR), v8f);
    const v8f nx = gather(n, 0);
    const v8f ny = gather(n, 1);
    const SpeedsV L = exnerWaveSpeedsV(nx, ny, stateL, zL, derL, g);
    const SpeedsV R = exnerWaveSpeedsV(nx, ny, stateR, zR, derR, g);
    const v8f lMin = (R.lower < L.lower) ? R.lower : L.lower;  // std::min(L.lower, R.lower)
    const v8f lMax = (L.upper < R.upper) ? R.upper : L.upper;  // std::max(L.upper, R.upper)
    const v8f FsL = gather(capL, 0) * nx + gather(capL, 1) * ny;
    const v8f FsR = gather(capR, 0) * nx + gather(capR, 1) * ny;
    const v8f P = (FsL * lMax - FsR * lMin + (gather(zR, 0) - gather(zL, 0)) * lMin * lMax) *
                  splat(G_REAL[slot::BedloadFactor]) * wet * splat(G_REAL[slot::InvBedPorosity]);
    const v8f spread = lMax - lMin;
    const v8f width = absOf(spread);
    const v8f f = (width < splat(hydraulics::kGuard)) ? P * splat(0.0f) : P * (splat(1.0f) / spread);
    const v8f out = (wet == splat(0.0f)) ? splat(0.0f) : f;
    for (int j = 0; j < kSedimentBatch; ++j) *flux[j] = out[j];
}

#pragma GCC pop_options

}  // namespace morphology
