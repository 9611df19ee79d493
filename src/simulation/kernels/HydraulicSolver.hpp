// The HLLC Riemann solver of the shallow-water equations with hydrostatic reconstruction, shared by the internal
// and the boundary flux kernels, and the small numerical helpers of the hydraulic kernels.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

#include "simulation/kernels/GlobalConstants.hpp"

namespace hydraulics {

/// The guard 1e-6 of the reciprocals as a float: 1e-6 lies between two floats, and this is the upper one, so for
/// every float x (NaN included) x >= kGuard is the same test as double(x) >= 1e-6, and |x| >= kGuard as
/// |double(x)| >= 1e-6.
constexpr float kGuard = 0x1.0c6f7cp-20f;
static_assert(static_cast<double>(kGuard) >= 1.0e-6 && static_cast<double>(0x1.0c6f7ap-20f) < 1.0e-6,
              "kGuard must be the smallest float not below 1e-6");

// The reciprocals and roots below are the double-precision values 1.0/double(x) and sqrt(double(x)) rounded to
// float. Rounded to 53 bits and then to 24 bits they equal the single rounding of the exact value to 24 bits (the
// double format has more than 2*24 + 2 bits), so they are formed in single precision, bit for bit the same for
// every float x, signed zeros, subnormals, infinities and NaNs included.

/// 1/x rounded to float when x >= threshold (compared in double), else 0 (depths, magnitudes, wave-speed sums).
inline float reciprocalFrom(float x, double threshold) { return static_cast<double>(x) >= threshold ? 1.0f / x : 0.0f; }

/// 1/x rounded to float when x >= 1e-6, else 0.
inline float guardedReciprocal(float x) { return x >= kGuard ? 1.0f / x : 0.0f; }

/// 1/x rounded to float when |x| >= 1e-6, else 0 (signed denominators).
inline float guardedReciprocalAbs(float x) { return std::fabs(x) >= kGuard ? 1.0f / x : 0.0f; }

/// sqrt(x) rounded to float (celerities sqrt(g h)).
inline float rootOf(float x) { return std::sqrt(x); }

/// Pre-balanced hydrostatic pressure g*(eta/2 - z)*eta [m^3/s^2] of a surface eta over the interface bed z, in
/// double. Summed around a closed cell with a common eta it vanishes, which keeps a lake at rest.
inline double prebalancedPressure(float g, float eta, float z)
{
    return static_cast<double>(g) * (static_cast<double>(eta) * 0.5 - static_cast<double>(z)) *
           static_cast<double>(eta);
}

/// Momentum of the bed step between the cell bed z and the interface bed zs: 0.5*g*(eta1 + eta2)*(z - zs), double.
inline double bedStepTerm(float g, float eta1, float eta2, float z, float zs)
{
    return 0.5 * static_cast<double>(g) * static_cast<double>(eta1 + eta2) * static_cast<double>(z - zs);
}

/// One side of a Riemann problem in the rotated (normal, tangential) frame.
struct RiemannSide {
    float h;    ///< reconstructed depth [m]
    float eta;  ///< surface seen from the interface bed [m]
    float qn;   ///< normal discharge scaled to h [m^2/s]
    float qt;   ///< tangential discharge scaled to h [m^2/s]
    float inv;  ///< 1/h, 0 when the side is dry
    float u;    ///< normal velocity [m/s]
    float c;    ///< celerity sqrt(g h) [m/s]
    bool wet;   ///< h >= MinWaterDepth
};

/// Flux in the rotated frame: mass [m^2/s], normal and tangential momentum [m^3/s^2].
struct RotatedFlux {
    float mass;
    float normal;
    float tangential;
};

/// Physical flux of one side across an interface with bed zs: mass h*u, normal momentum (pre-balanced pressure
/// plus h*u^2) and tangential momentum.
inline RotatedFlux physicalFlux(const RiemannSide& a, float zs, float g)
{
    return RotatedFlux{a.h * a.u, static_cast<float>(prebalancedPressure(g, a.eta, zs) + a.h * a.u * a.u),
                       a.qt * a.inv * a.h * a.u};
}

/// Shock factor sqrt(0.5*(h + h*)*h* / h^2) of a side of depth h (inv = 1/h) when the star depth h* exceeds h, in
/// double and rounded to float. Its factor 1/2 is taken with inv^2, which is ready before h*, instead of with
/// h + h*: a power-of-two scaling commutes with the rounding of these products (all far inside the double range),
/// so ((0.5*(h + h*))*h*)*inv^2 and ((h + h*)*h*)*(0.5*inv^2) are the same double.
inline float shockFactor(float h, float inv, float hStar)
{
    return static_cast<float>(
        std::sqrt(static_cast<double>(h + hStar) * hStar * (0.5 * static_cast<double>(inv * inv))));
}

/// HLLC flux from side a to side b across an interface with bed zs; hStar is the two-rarefaction star depth.
inline RotatedFlux hllcFlux(const RiemannSide& a, const RiemannSide& b, float zs, float hStar, float g)
{
    // Each value is formed only where the branch taken needs it: a supersonic edge needs neither the other side's
    // wave speed nor its physical flux. Behind a rarefaction (h* <= h) the shock factor is 1 and u -+ 1*c is u -+ c.
    // A dry side sees the dry front u +- 2c of the wet side. A celerity is a rounded root of a float, at most
    // sqrt(FLT_MAX), so 2c is exact in float as in double, and u +- 2c rounded once to float equals the double sum
    // rounded to float (the double-rounding rule above).
    const float sa = !a.wet ? b.u - 2.0f * b.c : hStar <= a.h ? a.u - a.c : a.u - shockFactor(a.h, a.inv, hStar) * a.c;
    if (sa >= 0.0f) return physicalFlux(a, zs, g);
    const float sb = !b.wet ? a.u + 2.0f * a.c : hStar <= b.h ? b.u + b.c : b.u + shockFactor(b.h, b.inv, hStar) * b.c;
    if (sb <= 0.0f) return physicalFlux(b, zs, g);

    const float d = b.h * (b.u - sb) - a.h * (a.u - sa);
    const float invD = guardedReciprocalAbs(d);
    const float sStar = (sa * b.h * (b.u - sb) - sb * a.h * (a.u - sa)) * invD;
    if (sStar >= 0.0f) {
        const RotatedFlux fluxA = physicalFlux(a, zs, g);
        const float m = guardedReciprocalAbs(sa - sStar);
        const float hs = (sa - a.u) * a.h * m;
        return RotatedFlux{fluxA.mass + sa * ((zs + hs) - a.eta), fluxA.normal + sa * (sStar * hs - a.qn),
                           fluxA.tangential + sa * (hs * a.qt * a.inv - a.qt)};
    }
    const RotatedFlux fluxB = physicalFlux(b, zs, g);
    const float m = guardedReciprocalAbs(sb - sStar);
    const float hs = (sb - b.u) * b.h * m;
    return RotatedFlux{fluxB.mass + sb * ((zs + hs) - b.eta), fluxB.normal + sb * (sStar * hs - b.qn),
                       fluxB.tangential + sb * (hs * b.qt * b.inv - b.qt)};
}

/// flux[0..2] of an edge from the rotated flux F seen from the left cell: mass, then the left cell's x/y momentum
/// with its own bed-step term (surfaces eta1, eta2 over the interface bed zs, cell bed z) taken off the normal part.
inline void leftCellFlux(float nx, float ny, float g, const RotatedFlux& F, float eta1, float eta2, float z, float zs,
                         float* flux)
{
    flux[0] = F.mass;
    const float Fn = static_cast<float>(F.normal - bedStepTerm(g, eta1, eta2, z, zs));
    flux[1] = nx * Fn - ny * F.tangential;
    flux[2] = ny * Fn + nx * F.tangential;
}

/// flux[3..4] of an edge: the right cell's x/y momentum leaving it, from its normal and tangential flux (Gn, Gt)
/// with its own bed-step term taken off, as leftCellFlux.
inline void rightCellFlux(float nx, float ny, float g, float Gn, float Gt, float eta1, float eta2, float z, float zs,
                          float* flux)
{
    const float Xn = static_cast<float>(Gn - bedStepTerm(g, eta1, eta2, z, zs));
    flux[3] = -(nx * Xn - ny * Gt);
    flux[4] = -(ny * Xn + nx * Gt);
}

/// Flux of an edge with nothing above the interface bed on either side (both reconstructed depths 0 with a positive
/// MinWaterDepth and a finite positive gravity g): celerities, star depth and wave speeds are zero, so the HLLC flux
/// is the first side's physical flux (pressure only), from the right cell's view too. Forms the very values of the
/// full solve, signs of zero included, without its roots and divisions; returns false, writing nothing, when a
/// discharge is not finite (the full solve then decides).
inline bool dryEdgeFlux(const float* n, const float* stateL, float zL, const float* stateR, float zR, float g,
                        float* flux)
{
    const float nx = n[0];
    const float ny = n[1];
    const float HL = stateL[0];
    const float HR = stateR[0];
    const float zf = std::max(zL, zR);
    // Depths, their ratios to the cell depths and the reciprocal depths are all +0 here.
    const float h = 0.0f;
    const float qnL = h * (stateL[1] * nx + stateL[2] * ny);
    const float qtL = h * (stateL[2] * nx - stateL[1] * ny);
    const float qnR = h * (stateR[1] * nx + stateR[2] * ny);
    const float qtR = h * (stateR[2] * nx - stateR[1] * ny);
    const float uL = qnL * h;
    const float uR = qnR * h;
    if (!(uL == 0.0f && uR == 0.0f)) return false;

    const float zsL = zf - std::max(0.0f, zf - HL);
    const float etaL = h + zsL;
    const float etaRl = h + zsL;
    const RotatedFlux F = physicalFlux(RiemannSide{h, etaL, qnL, qtL, h, uL, h, false}, zsL, g);
    leftCellFlux(nx, ny, g, F, etaL, etaRl, zL, zsL, flux);

    const float zsR = zf - std::max(0.0f, zf - HR);
    const float etaR = h + zsR;
    const float etaLr = h + zsR;
    float Gn = F.normal;
    float Gt = F.tangential;
    if (!(HL >= zf && HR >= zf)) {
        const RotatedFlux G = physicalFlux(RiemannSide{h, etaR, -qnR, -qtR, h, -uR, h, false}, zsR, g);
        Gn = G.normal;
        Gt = G.tangential;
    }
    rightCellFlux(nx, ny, g, Gn, Gt, etaR, etaLr, zR, zsR, flux);
    return true;
}

/// The edge solve of hydrodynamic_solver. With DryShortcut an edge with nothing above the interface bed on either
/// side takes dryEdgeFlux; the results are the same bits either way (the tests run both).
template <bool DryShortcut>
inline void solveEdge(const float* n, const float* stateL, float zL, int wetL, const float* stateR, float zR, int wetR,
                      float* flux)
{
    const float g = G_REAL[slot::Gravity];
    const float hmin = G_REAL[slot::MinWaterDepth];
    const float nx = n[0];
    const float ny = n[1];
    const float HL = stateL[0];
    const float HR = stateR[0];

    // Hydrostatic reconstruction on the higher of the two beds.
    const float zf = std::max(zL, zR);
    const float hL = std::max(0.0f, HL - zf);
    const float hR = std::max(0.0f, HR - zf);

    if (DryShortcut && hL == 0.0f && hR == 0.0f && hmin > 0.0f && g > 0.0f && g <= std::numeric_limits<float>::max() &&
        dryEdgeFlux(n, stateL, zL, stateR, zR, g, flux))
        return;

    const float depthL = HL - zL;
    const float depthR = HR - zR;
    const float rL = (wetL == 1 && depthL > 0.0f) ? hL / depthL : 0.0f;
    const float rR = (wetR == 1 && depthR > 0.0f) ? hR / depthR : 0.0f;
    const float qnL = rL * (stateL[1] * nx + stateL[2] * ny);
    const float qtL = rL * (stateL[2] * nx - stateL[1] * ny);
    const float qnR = rR * (stateR[1] * nx + stateR[2] * ny);
    const float qtR = rR * (stateR[2] * nx - stateR[1] * ny);

    const bool wL = hL >= hmin;
    const bool wR = hR >= hmin;
    const float iL = wL ? 1.0f / hL : 0.0f;
    const float iR = wR ? 1.0f / hR : 0.0f;
    const float uL = qnL * iL;
    const float uR = qnR * iR;
    const float cL = rootOf(g * hL);
    const float cR = rootOf(g * hR);

    const float hSum = hL + hR;
    const float k = guardedReciprocal(cL + cR);
    const float hStar = static_cast<float>(0.5 * hSum - 0.25 * static_cast<double>(uR - uL) * hSum * k);

    // Left side: interface bed seen from the left cell.
    const float zsL = zf - std::max(0.0f, zf - HL);
    const float etaL = hL + zsL;
    const float etaRl = hR + zsL;
    const RiemannSide left{hL, etaL, qnL, qtL, iL, uL, cL, wL};
    const RiemannSide right{hR, etaRl, qnR, qtR, iR, uR, cR, wR};
    const RotatedFlux F = hllcFlux(left, right, zsL, hStar, g);
    leftCellFlux(nx, ny, g, F, etaL, etaRl, zL, zsL, flux);

    // Right side: interface bed seen from the right cell.
    const float zsR = zf - std::max(0.0f, zf - HR);
    const float etaR = hR + zsR;
    const float etaLr = hL + zsR;
    float Gn = F.normal;
    float Gt = F.tangential;
    if (!(HL >= zf && HR >= zf)) {
        // Emerging topography: solve the mirrored problem from the right cell (normal -n, tangent -t).
        const RiemannSide mirroredLeft{hR, etaR, -qnR, -qtR, iR, -uR, cR, wR};
        const RiemannSide mirroredRight{hL, etaLr, -qnL, -qtL, iL, -uL, cL, wL};
        const RotatedFlux G = hllcFlux(mirroredLeft, mirroredRight, zsR, hStar, g);
        Gn = G.normal;
        Gt = G.tangential;
    }
    rightCellFlux(nx, ny, g, Gn, Gt, etaR, etaLr, zR, zsR, flux);
}

}  // namespace hydraulics

/// Numerical flux across one edge between a left state (H, qx, qy over bed zL) and a right state, per unit edge
/// length, into flux[0..4]: [0] mass from left to right [m^2/s], [1..2] x/y momentum leaving the left cell and
/// [3..4] x/y momentum leaving the right cell [m^3/s^2], each including its own cell's bed-step term. n is the unit
/// normal from left to right. Only a wet flag of exactly 1 lets a side contribute its discharge.
inline void hydrodynamic_solver(const float* n, const float* stateL, float zL, int wetL, const float* stateR, float zR,
                                int wetR, float* flux)
{
    hydraulics::solveEdge<true>(n, stateL, zL, wetL, stateR, zR, wetR, flux);
}
