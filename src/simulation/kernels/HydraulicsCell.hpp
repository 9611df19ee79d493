// Cell kernels of the hydraulic step: initial wet/dry flags and friction, the roughness closures, the
// semi-implicit friction step, the explicit update with its mass check, mass sources and flood tracking.
#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "simulation/kernels/GlobalConstants.hpp"
#include "simulation/kernels/KernelMessages.hpp"

namespace hydraulics {

/// Roughness closures selected by FrictionType.
namespace friction {
enum : int {
    Manning = 1,
    Strickler = 2,
    LogarithmicLaw = 3,
    LargeRelativeRoughness = 4,
};
}  // namespace friction

/// Sink behaviours of SinkType (the tens digit is for the set-up; both decades act alike here).
namespace sink {
enum : int {
    Exact = 10,
    Available = 11,
    Infinity = 12,
    ExactAlt = 20,
    AvailableAlt = 21,
    InfinityAlt = 22,
};
}  // namespace sink

/// Bound on the distance, counted in double bit patterns (units in the last place), between cubeRootEstimate(x)
/// and the C library's std::cbrt(double(x)). All 2139095039 positive finite floats were compared offline against
/// this machine's glibc, whose cube root the stored reference results were made with: the largest distance is 37.
inline constexpr std::int64_t CubeRootUlpBound = 40;

/// Cube root of a positive finite float in double, without a library call: a third of the exponent from the bit
/// pattern (about 3 % off), then two Halley steps. Within CubeRootUlpBound of std::cbrt, not equal to it.
inline double cubeRootEstimate(float x)
{
    const double d = static_cast<double>(x);
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    bits = bits / 3u + 0x2A9F7893782DA1CEull;
    double y;
    std::memcpy(&y, &bits, sizeof y);
    for (int step = 0; step < 2; ++step) {
        const double y3 = y * y * y;
        y = y * (y3 + d + d) / (y3 + y3 + d);
    }
    return y;
}

/// The positive double `ulps` bit patterns above (ulps > 0) or below (ulps < 0) the positive normal double y.
inline double stepUlps(double y, std::int64_t ulps)
{
    std::int64_t bits;
    std::memcpy(&bits, &y, sizeof bits);
    bits += ulps;
    std::memcpy(&y, &bits, sizeof y);
    return y;
}

/// float(((s * cbrt(x)) * a) * b) with the products in double, bit for bit as with std::cbrt. The library call is
/// skipped when the estimate decides the result: each rounded product with a fixed factor is monotone in its other
/// operand (whatever the factor's sign), and so is the rounding to float, so when both ends of the interval of
/// CubeRootUlpBound around the estimate give the same float, the library's cube root, which lies inside it, gives
/// that float too (a zero with the same sign, as all roots in the interval are positive). Otherwise (a product near
/// a float rounding boundary, x <= 0, infinite or NaN inputs or factors) the library root is used.
inline float scaledCubeRoot(double s, float x, double a, double b)
{
    if (x > 0.0f && x <= FLT_MAX) {
        const double c = cubeRootEstimate(x);
        const float lo = static_cast<float>(s * stepUlps(c, -CubeRootUlpBound) * a * b);
        const float hi = static_cast<float>(s * stepUlps(c, CubeRootUlpBound) * a * b);
        if (lo == hi) return lo;
    }
    return static_cast<float>(s * std::cbrt(static_cast<double>(x)) * a * b);
}

/// Non-dimensional squared Chezy value cf^2 for the depth d [m] and the roughness r of the closure FrictionType:
/// Manning n, Strickler k, or the equivalent sand roughness ks [m]. Manning and Strickler clamp d to
/// MinWaterDepth; an unknown closure gives 0.
inline float chezySquared(float d, float r)
{
    const double invG = static_cast<double>(G_REAL[slot::InvGravity]);
    const float hmin = G_REAL[slot::MinWaterDepth];
    switch (G_INT[slot::FrictionType]) {
        case friction::Manning: {
            const double invN = r < 1.0e-6f ? 0.0 : 1.0 / static_cast<double>(r);
            return scaledCubeRoot(invG, std::max(d, hmin), invN, invN);
        }
        case friction::Strickler:
            return scaledCubeRoot(invG, std::max(d, hmin), static_cast<double>(r), static_cast<double>(r));
        case friction::LogarithmicLaw: {
            if (!(r < d)) return 38.505653f;  // the value at d = ks
            const double invKs = r >= 1.0e-6f ? 1.0 / static_cast<double>(r) : 0.0;
            const float c = static_cast<float>(5.75 * std::log10(12.0 * static_cast<double>(d) * invKs));
            return c * c;
        }
        case friction::LargeRelativeRoughness: {
            const double invKs = r >= 1.0e-6f ? 1.0 / static_cast<double>(r) : 0.0;
            const double x = static_cast<double>(d) * invKs;
            if (x < 0.5) return 2.25f;
            float c;
            if (x > 2.0)
                c = static_cast<float>(2.5 * std::sqrt(1.0 - static_cast<double>(r / d)) * (std::log(x) + 2.388762789));
            else
                c = static_cast<float>(1.25 * std::sqrt(x) * (std::log(x) + 2.388762789));
            return c * c;
        }
        default:
            return 0.0f;
    }
}

/// Prints the mass-balance message of a cell whose depth h [m] fell below -1e-6 m (within the loop call's bound).
inline void reportNegativeDepth(float h, const int* cellId)
{
    if (!kernelmessages::allow()) return;
    std::printf("MASS BALANCE PROBLEM: h = %g < 0.0\n", static_cast<double>(h));
    if (G_Debug == 1 && cellId != nullptr) std::printf("... in cell %i\n", *cellId);
}

}  // namespace hydraulics

/// Per cell: the initial wet flag, 1 when the depth exceeds MinWaterDepth.
inline void kernel_HYDRAULICS_InitializeCellFeatures(const float* hydState, const float* bottomEl, int* isWetted)
{
    *isWetted = G_REAL[slot::MinWaterDepth] < hydState[0] - *bottomEl ? 1 : 0;
}

/// Per cell: the initial squared Chezy value, with the depth clamped to MinWaterDepth for every closure.
inline void kernel_HYDRAULICS_InitializeFriction(const float* hydState, const float* bottomEl, const float* friction,
                                                 float* chezyCoe)
{
    const float d = std::max(hydState[0] - *bottomEl, G_REAL[slot::MinWaterDepth]);
    *chezyCoe = hydraulics::chezySquared(d, *friction);
}

/// Per cell: bottom friction over the step dt [s] as a split, semi-implicit two-stage integration of
/// dq/dt = -q|q|/(cf^2 h^2); refreshes chezyCoe from the current depth (clamped only for Manning and Strickler).
/// The water surface is not changed; a cell without discharge is left as it is.
inline void kernel_HYDRAULICS_Friction(const float* dt, const float* bottomEl, const float* friction, float* chezyCoe,
                                       float* hydState)
{
    const float h = hydState[0] - *bottomEl;
    const int closure = G_INT[slot::FrictionType];
    const bool clamped = closure == hydraulics::friction::Manning || closure == hydraulics::friction::Strickler;
    const float cf2 = hydraulics::chezySquared(clamped ? std::max(h, G_REAL[slot::MinWaterDepth]) : h, *friction);
    *chezyCoe = cf2;

    const float step = *dt;
    const float qx = hydState[1];
    const float qy = hydState[2];
    const float absQ = std::sqrt(qx * qx + qy * qy);
    const float d1 = 2.0f * step * absQ + cf2 * h * h;
    const float k1 = d1 >= 1.0e-6f ? 1.0f / d1 : 0.0f;
    const float qxs = static_cast<float>(qx - qx * (absQ * k1) * (0.5 * step));
    const float qys = static_cast<float>(qy - qy * (absQ * k1) * (0.5 * step));

    const float absQs = std::sqrt(qxs * qxs + qys * qys);
    const float d2 = cf2 * h * h + 2.0f * step * absQs;
    const float k2 = d2 >= 1.0e-6f ? 1.0f / d2 : 0.0f;
    hydState[1] = qx - qxs * (absQs * k2) * step;
    hydState[2] = qy - qys * (absQs * k2) * step;
}

/// Per cell: explicit Euler update over dt [s] from the fluxes of its three edges (edgeSign +1 where the cell is
/// the edge's left cell), with the sediment fluxes added to the water surface and the bed when morphologyOn is 1
/// (fluxesMo is absent otherwise). Re-evaluates the wet flag (a dry cell loses its discharge); a depth below -1e-6 m
/// is reported, keeps the old flag and lowers the thread's mass-conservation flag massOk to 0. cellId is read only
/// with G_Debug = 1.
inline void kernel_GLOBAL_Update(const int* cellId, const float* dt, const int* morphologyOn, const float* geomArea,
                                 const float* const* geomLeng, const float* const* fluxesHy,
                                 const float* const* fluxesMo, const int* edgeSign, float* hydState, float* bottomEl,
                                 int* isWetted, int* massOk)
{
    const float k = *dt / *geomArea;
    float sumX = 0.0f;
    float sumY = 0.0f;
    for (int e = 0; e < 3; ++e) {
        const float* F = fluxesHy[e];
        const bool leftCell = edgeSign[e] > 0;
        sumX += *geomLeng[e] * F[leftCell ? 1 : 3];
        sumY += *geomLeng[e] * F[leftCell ? 2 : 4];
    }
    hydState[1] -= k * sumX;
    hydState[2] -= k * sumY;

    if (*morphologyOn == 1) {
        float sumWater = 0.0f;
        float sumBed = 0.0f;
        for (int e = 0; e < 3; ++e) {
            const float s = static_cast<float>(edgeSign[e]);
            sumWater += ((fluxesHy[e][0] + *fluxesMo[e]) * s) * *geomLeng[e];
            sumBed += (s * *fluxesMo[e]) * *geomLeng[e];
        }
        hydState[0] -= k * sumWater;
        *bottomEl -= k * sumBed;
    } else {
        float sumMass = 0.0f;
        for (int e = 0; e < 3; ++e) sumMass += static_cast<float>(edgeSign[e]) * *geomLeng[e] * fluxesHy[e][0];
        hydState[0] -= k * sumMass;
    }

    const float h = hydState[0] - *bottomEl;
    if (static_cast<double>(h) < -1.0e-6) {
        hydraulics::reportNegativeDepth(h, cellId);
        *massOk = std::min(*massOk, 0);
        return;
    }
    if (h > G_REAL[slot::MinWaterDepth]) {
        *isWetted = 1;
    } else {
        *isWetted = 0;
        hydState[1] = 0.0f;
        hydState[2] = 0.0f;
    }
    *massOk = std::min(*massOk, 1);
}

/// Per source element: adds the source rate cellData[1] [m/s] over dt [s] to the water surface of its cell.
/// Sinks (negative rates) by sinkType: 10/20 remove exactly, 11/21 at most the water present, 12/22 all water
/// present; other codes add nothing. A depth below -1e-6 m is reported and lowers the thread's flag massOk.
inline void kernel_HYDRAULICS_Source(const float* dt, const float* cellData, const int* sinkType, const float* bottomEl,
                                     float* hydState, int* isWetted, int* massOk)
{
    namespace sink = hydraulics::sink;
    const float zb = *bottomEl;
    float dz = 0.0f;
    switch (*sinkType) {
        case sink::Exact:
        case sink::ExactAlt:
            dz = cellData[1] * *dt;
            break;
        case sink::Available:
        case sink::AvailableAlt:
            dz = cellData[1] * *dt;
            if (dz < 0.0f) dz = std::max(dz, zb - hydState[0]);
            break;
        case sink::Infinity:
        case sink::InfinityAlt:
            dz = cellData[1] * *dt;
            if (dz < 0.0f) dz = zb - hydState[0];
            break;
        default:
            break;
    }
    hydState[0] += dz;

    const float h = hydState[0] - zb;
    if (static_cast<double>(h) < -1.0e-6) {
        hydraulics::reportNegativeDepth(h, nullptr);
        *massOk = std::min(*massOk, 0);
        return;
    }
    if (h <= G_REAL[slot::MinWaterDepth]) {
        *isWetted = 0;
        hydState[1] = 0.0f;
        hydState[2] = 0.0f;
    } else {
        *isWetted = 1;
    }
    *massOk = std::min(*massOk, 1);
}

/// Per cell: for a wet cell, records the first time [s] it was found wet (floodVar[0], kept once set > 0) and the
/// maxima of depth [m], velocity magnitude [m/s] and discharge magnitude [m^2/s] (floodVar[1..3]); dry cells are
/// skipped.
inline void kernel_HYDRAULICS_FloodTracking(const float* time, const float* hydState, const float* bottomEl,
                                            const int* isWetted, float* floodVar)
{
    if (*isWetted == 0) return;
    const float qx = hydState[1];
    const float qy = hydState[2];
    const float absQ = static_cast<float>(std::sqrt(static_cast<double>(qx * qx + qy * qy)));
    const float h = hydState[0] - *bottomEl;
    const float v = h >= 1.0e-6f ? static_cast<float>(1.0 / static_cast<double>(h) * static_cast<double>(absQ)) : 0.0f;
    if (floodVar[0] <= 0.0f) floodVar[0] = *time;
    floodVar[1] = std::max(floodVar[1], h);
    floodVar[2] = std::max(floodVar[2], v);
    floodVar[3] = std::max(floodVar[3], absQ);
}
