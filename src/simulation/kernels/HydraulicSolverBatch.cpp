// Eight internal edges per call in AVX2 lanes: every lane performs the IEEE operations of solveEdge in the order it
// writes them, every branch is formed for all lanes and chosen per lane. No fused multiply-add: only AVX2 is enabled
// for this code (the FMA extension is not), so no product is fused into a sum.
#include "simulation/kernels/HydraulicSolverBatch.hpp"

#include <immintrin.h>

#include <cstdlib>
#include <cstring>
#include <limits>

#include "simulation/kernels/GlobalConstants.hpp"
#include "simulation/kernels/HydraulicSolver.hpp"
#include "simulation/kernels/Lanes.hpp"

namespace hydraulics {

bool edgeBatchEnabled()
{
    static const bool enabled = lanes::available("HYDROVA_SCALAR_FLUXES");
    return enabled;
}

#pragma GCC push_options
#pragma GCC target("avx2")

namespace {

using namespace lanes;

/// std::max(0.0f, x) lane by lane: (0 < x) ? x : 0, so a NaN gives +0.
inline v8f maxZero(v8f x) { return (splat(0.0f) < x) ? x : splat(0.0f); }

/// guardedReciprocalAbs lane by lane: |x| >= kGuard ? 1/x : 0 (a NaN gives 0).
inline v8f reciprocalAbs(v8f x)
{
    const v8f magnitude = absOf(x);
    return (magnitude >= splat(kGuard)) ? splat(1.0f) / x : splat(0.0f);
}

struct SideV {
    v8f h, eta, qn, qt, inv, u, c;
    v8i wet;
};

struct FluxV {
    v8f mass, normal, tangential;
};

inline FluxV select(v8i m, const FluxV& a, const FluxV& b)
{
    return {m ? a.mass : b.mass, m ? a.normal : b.normal, m ? a.tangential : b.tangential};
}

/// physicalFlux lane by lane.
inline FluxV physicalFluxV(const SideV& a, v8f zs, double g)
{
    const d8 eta = wide(a.eta);
    const d8 pressure = (g * (eta * 0.5 - wide(zs))) * eta;
    return {a.h * a.u, narrow(pressure + wide(a.h * a.u * a.u)), a.qt * a.inv * a.h * a.u};
}

/// shockFactor lane by lane.
inline v8f shockFactorV(v8f h, v8f inv, v8f hStar)
{
    return narrow(sqrtOf((wide(h + hStar) * wide(hStar)) * (0.5 * wide(inv * inv))));
}

/// The star-region flux of side a with wave speed s (hllcFlux's two star branches).
inline FluxV starFlux(const SideV& a, const FluxV& fluxA, v8f s, v8f sStar, v8f zs)
{
    const v8f m = reciprocalAbs(s - sStar);
    const v8f hs = (s - a.u) * a.h * m;
    return {fluxA.mass + s * ((zs + hs) - a.eta), fluxA.normal + s * (sStar * hs - a.qn),
            fluxA.tangential + s * (hs * a.qt * a.inv - a.qt)};
}

/// hllcFlux lane by lane.
inline FluxV hllcFluxV(const SideV& a, const SideV& b, v8f zs, v8f hStar, double g)
{
    const v8i rarefactionA = hStar <= a.h;
    const v8i rarefactionB = hStar <= b.h;
    v8f shockA = splat(0.0f);
    v8f shockB = splat(0.0f);
    // The shock factors (double roots) only where some lane takes them.
    if (laneBits(a.wet & ~rarefactionA) != 0) shockA = shockFactorV(a.h, a.inv, hStar);
    if (laneBits(b.wet & ~rarefactionB) != 0) shockB = shockFactorV(b.h, b.inv, hStar);
    const v8f sa = a.wet ? (rarefactionA ? a.u - a.c : a.u - shockA * a.c) : b.u - splat(2.0f) * b.c;
    const v8f sb = b.wet ? (rarefactionB ? b.u + b.c : b.u + shockB * b.c) : a.u + splat(2.0f) * a.c;

    const FluxV fluxA = physicalFluxV(a, zs, g);
    const FluxV fluxB = physicalFluxV(b, zs, g);
    const v8i supersonicA = sa >= splat(0.0f);
    const v8i supersonicB = sb <= splat(0.0f);
    if (laneBits(supersonicA | supersonicB) == 0xff) return select(supersonicA, fluxA, fluxB);

    const v8f d = b.h * (b.u - sb) - a.h * (a.u - sa);
    const v8f invD = reciprocalAbs(d);
    const v8f sStar = (sa * b.h * (b.u - sb) - sb * a.h * (a.u - sa)) * invD;
    const FluxV star =
        select(sStar >= splat(0.0f), starFlux(a, fluxA, sa, sStar, zs), starFlux(b, fluxB, sb, sStar, zs));
    return select(supersonicA, fluxA, select(supersonicB, fluxB, star));
}

/// bedStepTerm lane by lane.
inline d8 bedStepV(double g, v8f eta1, v8f eta2, v8f z, v8f zs)
{
    return ((0.5 * g) * wide(eta1 + eta2)) * wide(z - zs);
}

/// leftCellFlux and rightCellFlux lane by lane, stored to each edge's flux row.
inline void storeFluxes(v8f nx, v8f ny, double g, const FluxV& F, v8f etaL, v8f etaRl, v8f zL, v8f zsL, v8f Gn, v8f Gt,
                        v8f etaR, v8f etaLr, v8f zR, v8f zsR, float* const* flux)
{
    const v8f Fn = narrow(wide(F.normal) - bedStepV(g, etaL, etaRl, zL, zsL));
    const v8f f0 = F.mass;
    const v8f f1 = nx * Fn - ny * F.tangential;
    const v8f f2 = ny * Fn + nx * F.tangential;
    const v8f Xn = narrow(wide(Gn) - bedStepV(g, etaR, etaLr, zR, zsR));
    const v8f f3 = -(nx * Xn - ny * Gt);
    const v8f f4 = -(ny * Xn + nx * Gt);
    for (int j = 0; j < kEdgeBatch; ++j) {
        float* out = flux[j];
        out[0] = f0[j];
        out[1] = f1[j];
        out[2] = f2[j];
        out[3] = f3[j];
        out[4] = f4[j];
    }
}

}  // namespace

void solveEdgeBatch(const float* const* n, const float* const* stateL, const float* const* zLp, const int* const* wetLp,
                    const float* const* stateR, const float* const* zRp, const int* const* wetRp, float* const* flux)
{
    const float gf = G_REAL[slot::Gravity];
    const float hmin = G_REAL[slot::MinWaterDepth];
    const double g = static_cast<double>(gf);
    const v8f nx = gather(n, 0);
    const v8f ny = gather(n, 1);
    const v8f HL = gather(stateL, 0);
    const v8f HR = gather(stateR, 0);
    const v8f zL = gather(zLp, 0);
    const v8f zR = gather(zRp, 0);

    const v8f zf = (zL < zR) ? zR : zL;
    const v8f hL = maxZero(HL - zf);
    const v8f hR = maxZero(HR - zf);

    const v8f qxL = gather(stateL, 1);
    const v8f qyL = gather(stateL, 2);
    const v8f qxR = gather(stateR, 1);
    const v8f qyR = gather(stateR, 2);

    // A batch of edges dry on both sides takes dryEdgeFlux lane by lane (its conditions hold for the whole batch).
    if (laneBits((hL == splat(0.0f)) & (hR == splat(0.0f))) == 0xff && hmin > 0.0f && gf > 0.0f &&
        gf <= std::numeric_limits<float>::max()) {
        const v8f h = splat(0.0f);
        const v8f qnL = h * (qxL * nx + qyL * ny);
        const v8f qtL = h * (qyL * nx - qxL * ny);
        const v8f qnR = h * (qxR * nx + qyR * ny);
        const v8f qtR = h * (qyR * nx - qxR * ny);
        const v8f uL = qnL * h;
        const v8f uR = qnR * h;
        if (laneBits((uL == h) & (uR == h)) != 0xff) {
            // A discharge that is not finite: the scalar solve decides for each edge.
            for (int j = 0; j < kEdgeBatch; ++j)
                solveEdge<true>(n[j], stateL[j], *zLp[j], *wetLp[j], stateR[j], *zRp[j], *wetRp[j], flux[j]);
            return;
        }
        const v8f zsL = zf - maxZero(zf - HL);
        const v8f etaL = h + zsL;
        const v8f etaRl = h + zsL;
        const FluxV F = physicalFluxV(SideV{h, etaL, qnL, qtL, h, uL, h, splatInt(0)}, zsL, g);
        const v8f zsR = zf - maxZero(zf - HR);
        const v8f etaR = h + zsR;
        const v8f etaLr = h + zsR;
        v8f Gn = F.normal;
        v8f Gt = F.tangential;
        const v8i emerging = ~((HL >= zf) & (HR >= zf));
        if (laneBits(emerging) != 0) {
            const FluxV G = physicalFluxV(SideV{h, etaR, -qnR, -qtR, h, -uR, h, splatInt(0)}, zsR, g);
            Gn = emerging ? G.normal : Gn;
            Gt = emerging ? G.tangential : Gt;
        }
        storeFluxes(nx, ny, g, F, etaL, etaRl, zL, zsL, Gn, Gt, etaR, etaLr, zR, zsR, flux);
        return;
    }

    const v8i wetL = gather(wetLp);
    const v8i wetR = gather(wetRp);
    const v8i one = splatInt(1);

    const v8f depthL = HL - zL;
    const v8f depthR = HR - zR;
    const v8f rL = ((wetL == one) & (depthL > splat(0.0f))) ? hL / depthL : splat(0.0f);
    const v8f rR = ((wetR == one) & (depthR > splat(0.0f))) ? hR / depthR : splat(0.0f);
    const v8f qnL = rL * (qxL * nx + qyL * ny);
    const v8f qtL = rL * (qyL * nx - qxL * ny);
    const v8f qnR = rR * (qxR * nx + qyR * ny);
    const v8f qtR = rR * (qyR * nx - qxR * ny);

    const v8i wL = hL >= splat(hmin);
    const v8i wR = hR >= splat(hmin);
    const v8f iL = wL ? splat(1.0f) / hL : splat(0.0f);
    const v8f iR = wR ? splat(1.0f) / hR : splat(0.0f);
    const v8f uL = qnL * iL;
    const v8f uR = qnR * iR;
    const v8f cL = sqrtOf(splat(gf) * hL);
    const v8f cR = sqrtOf(splat(gf) * hR);

    const v8f hSum = hL + hR;
    const v8f cSum = cL + cR;
    const v8f k = lanes::reciprocalFrom(cSum, kGuard);
    const d8 hSumD = wide(hSum);
    const v8f hStar = narrow(0.5 * hSumD - ((0.25 * wide(uR - uL)) * hSumD) * wide(k));

    // Left side: interface bed seen from the left cell.
    const v8f zsL = zf - maxZero(zf - HL);
    const v8f etaL = hL + zsL;
    const v8f etaRl = hR + zsL;
    const SideV left{hL, etaL, qnL, qtL, iL, uL, cL, wL};
    const SideV right{hR, etaRl, qnR, qtR, iR, uR, cR, wR};
    const FluxV F = hllcFluxV(left, right, zsL, hStar, g);
    // Right side: interface bed seen from the right cell; the mirrored problem where the topography emerges.
    const v8f zsR = zf - maxZero(zf - HR);
    const v8f etaR = hR + zsR;
    const v8f etaLr = hL + zsR;
    v8f Gn = F.normal;
    v8f Gt = F.tangential;
    const v8i emerging = ~((HL >= zf) & (HR >= zf));
    if (laneBits(emerging) != 0) {
        const SideV mirroredLeft{hR, etaR, -qnR, -qtR, iR, -uR, cR, wR};
        const SideV mirroredRight{hL, etaLr, -qnL, -qtL, iL, -uL, cL, wL};
        const FluxV G = hllcFluxV(mirroredLeft, mirroredRight, zsR, hStar, g);
        Gn = emerging ? G.normal : Gn;
        Gt = emerging ? G.tangential : Gt;
    }
    storeFluxes(nx, ny, g, F, etaL, etaRl, zL, zsL, Gn, Gt, etaR, etaLr, zR, zsR, flux);
}

#pragma GCC pop_options

}  // namespace hydraulics
