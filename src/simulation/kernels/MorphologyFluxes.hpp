// Edge kernels of the Exner equation: the approximate HLL sediment flux on internal edges, closed walls and the
// coded morphological boundary conditions. A flux is a bed volume rate per edge length [m^2/s] including the
// pre-factor BedloadFactor and the porosity factor 1/(1-p), positive from the left (inner) to the right cell.
#pragma once

#include <algorithm>
#include <cmath>

#include "simulation/kernels/GlobalConstants.hpp"
#include "simulation/kernels/MorphologyCell.hpp"

namespace morphology {

/// Morphological boundary type codes of MorBType[0]; r0, r1 are the first two values of the edge's boundary row,
/// k the second MorBType value. Codes not listed give no flux.
namespace bc {
enum : int {
    RaiseBedToLevel = 400,        ///< bed of the inner cell below r0 is filled up to r0 within one step
    LowerBedToLevel = 402,        ///< bed of the inner cell above r0 is removed down to r0 within one step
    InflowRate = 404,             ///< k*r1, only when k*r1 < 0 (sediment entering)
    InflowRateDepth = 406,        ///< k*r1 weighted by the depth h
    InflowRateConveyance = 408,   ///< k*r1 weighted by h*sqrt(cf^2 h)
    ImposedRate = 410,            ///< -r0*r1, always
    ImposedRateDepth = 412,       ///< -r0*r1 weighted by h
    ImposedRateConveyance = 414,  ///< -r0*r1 weighted by h*sqrt(cf^2 h)
};
}  // namespace bc

/// Wave speeds (lower, upper) [m/s] of one side of an edge along the normal n: the upstream-running water wave and
/// the bed wave, from the normal velocity, the celerity sqrt(g h) and the transport derivative along n.
struct WaveSpeeds {
    float lower;
    float upper;
};
inline WaveSpeeds exnerWaveSpeeds(const float* n, const float* hydState, float zb, const float* bedTrDer)
{
    const float qn = n[0] * hydState[1] + n[1] * hydState[2];
    // A wetted cell may carry a tiny negative depth (accepted by the update): no celerity then, instead of a NaN.
    const float h = hydState[0] - zb;
    const float ih = hydraulics::guardedReciprocal(h);
    const float un = ih * qn;
    // max(x, 0) keeps NaN and -0 alike in float and in double, so this is the root in double rounded to float.
    const float c = hydraulics::rootOf(std::max(h * G_REAL[slot::Gravity], 0.0f));
    const float iq = hydraulics::guardedReciprocal(magnitude(hydState[1], hydState[2]));
    const float delta = (bedTrDer[0] * n[0] + bedTrDer[1] * n[1]) * qn * iq;
    const float a = un - c;
    const double radicand = 4.0 * static_cast<double>(c) * static_cast<double>(c) * static_cast<double>(delta) +
                            static_cast<double>(a) * static_cast<double>(a);
    // A transport derivative turned against the flow can make the radicand negative near critical flow: no spread.
    const float S = std::sqrt(std::max(static_cast<float>(radicand), 0.0f));
    return {0.5f * (a - S), 0.5f * (a + S)};
}

}  // namespace morphology

/// Per internal edge: HLL sediment flux fluxesMo [m^2/s] from the capacities and derivatives of its left and right
/// cells and the bed step between them (the bed-difference term moves sediment from the higher to the lower bed).
/// 0 when either cell is dry (isWetted 0) or the wave fan has no width (spread below 1e-6 m/s).
inline void kernel_MORPHOLOGY_InternalFluxes(const float* normVect, const int* isWettedL, const int* isWettedR,
                                             const float* hydStateL, const float* hydStateR, const float* bottomElL,
                                             const float* bottomElR, const float* bedTrCapL, const float* bedTrCapR,
                                             const float* bedTrDerL, const float* bedTrDerR, float* fluxesMo)
{
    const float wet = static_cast<float>(*isWettedL) * static_cast<float>(*isWettedR);
    if (wet == 0.0f) {
        *fluxesMo = 0.0f;
        return;
    }
    const float* n = normVect;
    const morphology::WaveSpeeds L = morphology::exnerWaveSpeeds(n, hydStateL, *bottomElL, bedTrDerL);
    const morphology::WaveSpeeds R = morphology::exnerWaveSpeeds(n, hydStateR, *bottomElR, bedTrDerR);
    const float lMin = std::min(L.lower, R.lower);
    const float lMax = std::max(L.upper, R.upper);
    const float FsL = bedTrCapL[0] * n[0] + bedTrCapL[1] * n[1];
    const float FsR = bedTrCapR[0] * n[0] + bedTrCapR[1] * n[1];
    const float P = (FsL * lMax - FsR * lMin + (*bottomElR - *bottomElL) * lMin * lMax) * G_REAL[slot::BedloadFactor] *
                    wet * G_REAL[slot::InvBedPorosity];
    const float spread = lMax - lMin;
    // |spread| < kGuard is the test |double(spread)| < 1e-6 (NaN fails both and takes the division).
    *fluxesMo = std::fabs(spread) < hydraulics::kGuard ? P * 0.0f : P * (1.0f / spread);
}

/// Per morphological wall edge: no sediment crosses a wall.
inline void kernel_MORPHOLOGY_WallFluxes(float* fluxesMo) { *fluxesMo = 0.0f; }

/// Per morphological boundary edge: the sediment flux [m^2/s] of the boundary type morBType[0] (see
/// morphology::bc) with factor morBType[1], from the values numValue[0..1] of the edge's boundary row and the state
/// of the inner (left) cell over the step dt [s]. Negative fluxes feed the inner cell. chezyCoeL is present only
/// with FrictionOn = 1; without friction, or with a dry inner cell, the conveyance-weighted types give 0. normVect,
/// hydStateR, bottomElR and mSedSizeL belong to the loop's argument list but are not needed.
inline void kernel_MORPHOLOGY_Boundary(const float* dt, const int* morBType, const float* numValue,
                                       const float* /*normVect*/, const float* geomLeng, const float* hydStateL,
                                       const float* /*hydStateR*/, const float* bottomElL, const float* /*bottomElR*/,
                                       const float* chezyCoeL, const float* geomAreaL, const float* /*mSedSizeL*/,
                                       float* fluxesMo)
{
    namespace bc = morphology::bc;
    const float zb = *bottomElL;
    const float r0 = numValue[0];
    const float r1 = numValue[1];
    const float k = static_cast<float>(morBType[1]);
    const float h = hydStateL[0] - zb;
    const float f = G_REAL[slot::InvBedPorosity] * G_REAL[slot::BedloadFactor];
    const float cf2 = G_INT[slot::FrictionOn] == 1 ? *chezyCoeL : 0.0f;
    const float conveyance = h > 0.0f ? h * std::sqrt(cf2 * h) : 0.0f;  // h*sqrt(cf^2 h), 0 for a dry cell
    const auto volumeRate = [&](float dz) {  // bed change dz [m] of the inner cell spread over dt and the edge
        return static_cast<float>(static_cast<double>(dz) * static_cast<double>(*geomAreaL) /
                                  static_cast<double>(*dt * *geomLeng));
    };

    float flux = 0.0f;
    switch (morBType[0]) {
        case bc::RaiseBedToLevel:
            if (zb < r0) flux = -volumeRate(r0 - zb);
            break;
        case bc::LowerBedToLevel:
            if (r0 < zb) flux = volumeRate(zb - r0);
            break;
        case bc::InflowRate:
            if (k * r1 < 0.0f) flux = k * r1 * f;
            break;
        case bc::InflowRateDepth:
            if (k * r1 < 0.0f) flux = h * (k * r1) * f;
            break;
        case bc::InflowRateConveyance:
            if (k * r1 < 0.0f) flux = conveyance * (k * r1) * f;
            break;
        case bc::ImposedRate:
            // The double product of two floats is exact, so its rounding to float is the float product.
            flux = -(r0 * f) * r1;
            break;
        case bc::ImposedRateDepth:
            flux = static_cast<float>(static_cast<double>(h) * -static_cast<double>(r0 * f) * static_cast<double>(r1));
            break;
        case bc::ImposedRateConveyance:
            flux = static_cast<float>(-static_cast<double>(r0 * f) * static_cast<double>(conveyance) *
                                      static_cast<double>(r1));
            break;
        default:
            break;
    }
    *fluxesMo = flux;
}
