// Eight cells of the friction step per call in AVX2 lanes: every lane performs the IEEE operations of the scalar
// kernel in the order it writes them, every branch is formed for all lanes and chosen per
// lane. No fused multiply-add: only AVX2 is enabled for this code (the FMA extension is not), so no product is fused
// into a sum.
#include "simulation/kernels/CellBatch.hpp"

#include <immintrin.h>

#include <cfloat>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "simulation/kernels/GlobalConstants.hpp"
#include "simulation/kernels/HydraulicsCell.hpp"
#include "simulation/kernels/Lanes.hpp"

namespace hydraulics {

bool cellBatchEnabled()
{
    static const bool enabled = lanes::available("HYDROVA_SCALAR_CELLS");
    return enabled;
}

#pragma GCC push_options
#pragma GCC target("avx2")

namespace {

using namespace lanes;

constexpr int kLanes = kCellBatch;
static_assert(kLanes == 8, "the lanes are one AVX2 register of floats");

/// The double lanes ulps bit patterns away (stepUlps lane by lane).
inline d8 stepLanes(d8 y, long long ulps)
{
    const v4l k = (v4l)_mm256_set1_epi64x(ulps);
    return {(v4d)((v4l)y.lo + k), (v4d)((v4l)y.hi + k)};
}

/// cubeRootEstimate lane by lane: the same bit estimate, then the same two Halley steps in the same order.
inline d8 cubeRootEstimateLanes(v8f x)
{
    const d8 d = wide(x);
    alignas(32) std::uint64_t bits[kLanes];
    std::memcpy(bits, &d.lo, sizeof d.lo);
    std::memcpy(bits + 4, &d.hi, sizeof d.hi);
    auto third = [&bits](int j) { return static_cast<long long>(bits[j] / 3u + 0x2A9F7893782DA1CEull); };
    d8 y = {(v4d)_mm256_setr_epi64x(third(0), third(1), third(2), third(3)),
            (v4d)_mm256_setr_epi64x(third(4), third(5), third(6), third(7))};
    for (int step = 0; step < 2; ++step) {
        const d8 y3 = y * y * y;
        y = y * (y3 + d + d) / (y3 + y3 + d);
    }
    return y;
}

/// Manning or Strickler cf^2 for the clamped depths x (as chezySquared with x >= MinWaterDepth already), with the
/// cube root decided by the estimate's interval where it can; lanes it does not decide (positive finite x only,
/// lo == hi) get the scalar closure.
inline v8f chezyPowerLaw(int closure, v8f x, v8f r)
{
    const double invG = static_cast<double>(G_REAL[slot::InvGravity]);
    const d8 rd = wide(r);
    d8 a = rd;
    if (closure == friction::Manning) {
        const d8 inv = {splat4(1.0) / rd.lo, splat4(1.0) / rd.hi};
        // r < 1e-6f compared in double: widening is exact and keeps the order (a NaN compares false either way).
        const v4d small = splat4(static_cast<double>(1.0e-6f));
        a.lo = (rd.lo < small) ? splat4(0.0) : inv.lo;
        a.hi = (rd.hi < small) ? splat4(0.0) : inv.hi;
    }
    const d8 c = cubeRootEstimateLanes(x);
    const v8f lo = narrow(invG * stepLanes(c, -CubeRootUlpBound) * a * a);
    const v8f hi = narrow(invG * stepLanes(c, CubeRootUlpBound) * a * a);
    const v8i decided = (x > splat(0.0f)) & (x <= splat(FLT_MAX)) & (lo == hi);
    int open = ~laneBits(decided) & 0xff;
    if (open == 0) return lo;
    alignas(32) float out[kLanes], xs[kLanes], rs[kLanes];
    store(out, lo);
    store(xs, x);
    store(rs, r);
    while (open != 0) {
        const int j = __builtin_ctz(static_cast<unsigned>(open));
        open &= open - 1;
        out[j] = chezySquared(xs[j], rs[j]);
    }
    return load(out);
}

}  // namespace

void frictionBatch(const float* const* dt, const float* const* bottomEl, const float* const* friction,
                   float* const* chezyCoe, float* const* hydState)
{
    const int closure = G_INT[slot::FrictionType];
    if (closure != friction::Manning && closure != friction::Strickler) {
        for (int j = 0; j < kLanes; ++j)
            kernel_HYDRAULICS_Friction(dt[j], bottomEl[j], friction[j], chezyCoe[j], hydState[j]);
        return;
    }
    const v8f h = gather(hydState, 0) - gather(bottomEl, 0);
    const v8f hmin = splat(G_REAL[slot::MinWaterDepth]);
    const v8f x = (h < hmin) ? hmin : h;  // std::max(h, hmin)
    const v8f cf2 = chezyPowerLaw(closure, x, gather(friction, 0));

    const v8f step = gather(dt, 0);
    const v8f qx = gather(hydState, 1);
    const v8f qy = gather(hydState, 2);
    const v8f absQ = sqrtOf(qx * qx + qy * qy);
    const v8f twoStep = splat(2.0f) * step;
    const v8f d1 = twoStep * absQ + cf2 * h * h;
    const v8f k1 = lanes::reciprocalFrom(d1, 1.0e-6f);
    const d8 halfStep = 0.5 * wide(step);
    const v8f qxs = narrow(wide(qx) - wide(qx * (absQ * k1)) * halfStep);
    const v8f qys = narrow(wide(qy) - wide(qy * (absQ * k1)) * halfStep);

    const v8f absQs = sqrtOf(qxs * qxs + qys * qys);
    const v8f d2 = cf2 * h * h + twoStep * absQs;
    const v8f k2 = lanes::reciprocalFrom(d2, 1.0e-6f);
    alignas(32) float QX[kLanes], QY[kLanes], R[kLanes];
    store(QX, qx - qxs * (absQs * k2) * step);
    store(QY, qy - qys * (absQs * k2) * step);
    store(R, cf2);
    for (int j = 0; j < kLanes; ++j) {
        *chezyCoe[j] = R[j];
        hydState[j][1] = QX[j];
        hydState[j][2] = QY[j];
    }
}

}  // namespace hydraulics

#pragma GCC pop_options
