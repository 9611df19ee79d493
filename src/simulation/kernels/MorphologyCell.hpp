// Cell kernels of the morphological step: feature reset, bed gradient, streamline curvature, the critical Shields
// value on a sloping bed, and the bed-load transport capacity with its derivative and direction corrections.
#pragma once

#include <algorithm>
#include <cmath>

#include "simulation/kernels/GlobalConstants.hpp"
#include "simulation/kernels/HydraulicSolver.hpp"

namespace morphology {

/// Bed-load formulas selected by BeadloadType; every other code is the Shields form A*sqrt(g s d^3)*(theta-thc)^B.
namespace bedload {
enum : int {
    Velocity = 3,    ///< A*(|u| - uc)^B, ThetaCrt holds the critical velocity uc [m/s]
    ChezyPower = 4,  ///< 0.05 g^-2 sqrt(s)/d * cf^-3 * |q|^2 / h^5
};
}  // namespace bedload

/// Formulas of the critical Shields value on a sloping bed selected by IncipientMotType; every other code is
/// the VanRijn (1989) form.
namespace incipient {
enum : int {
    Chen2010 = 2,
};
}  // namespace incipient

/// sqrt(x*x + y*y) taken in double and rounded to float.
inline float magnitude(float x, float y) { return static_cast<float>(std::sqrt(static_cast<double>(x * x + y * y))); }

/// x^3 in double, rounded to float. x*x is exact in double for a float x, so x*x*x is the correctly rounded cube;
/// rounded to float it is the same as float(pow(x, 3.0)) for every non-negative float x (all of them compared),
/// without the library call.
inline float cubeOf(float x)
{
    const double d = static_cast<double>(x);
    return static_cast<float>(d * d * d);
}

/// x^B in double, rounded to float; and x^(B-1) formed as x^B / x, taken as 0 when x < 1e-6.
struct PowerPair {
    float xB;
    float xBm1;
};
inline PowerPair powers(float x, float B)
{
    const double d = static_cast<double>(x);
    // The 3/2 power (Meyer-Peter and Mueller) as d*sqrt(d): rounded to float it is the same as float(pow(d, 1.5))
    // for every non-negative float (all of them compared), without the library call.
    const float xB = static_cast<float>(B == 1.5f ? d * std::sqrt(d) : std::pow(d, static_cast<double>(B)));
    return {xB, x < 1.0e-6f ? 0.0f : xB / x};
}

/// cos(a) = float(sqrt(1 / double(y))) of a deflection angle a with y = tan(a)^2 + 1 >= 1. A deflection with
/// |tan(a)| below about 2.4e-4 rounds y to exactly 1 (as for most cells of a run), where the value is exactly 1:
/// returned without the division and the root.
inline float cosineFromSecantSquared(float y)
{
    return y == 1.0f ? 1.0f : static_cast<float>(std::sqrt(1.0 / static_cast<double>(y)));
}

/// Magnitude Q [m^2/s] of the bed-load transport capacity and its derivative D = dQ/d|q| [-].
struct Transport {
    float Q;
    float D;
};

/// Capacity magnitude and derivative of a cell with discharge magnitude absQ [m^2/s], reciprocal depth ih [1/m],
/// reciprocal squared Chezy value ic (0 without friction), grain size d [m] and critical value thetaCrt (critical
/// Shields value, or critical velocity [m/s] for the velocity form), by the formula code BeadloadType.
inline Transport transportCapacity(float absQ, float ih, float ic, float d, float thetaCrt)
{
    const float g = G_REAL[slot::Gravity];
    const float invG = G_REAL[slot::InvGravity];
    const float s = G_REAL[slot::SedRelDensity];
    const float A = G_REAL[slot::BedloadCoeff];
    const float B = G_REAL[slot::BedloadExpon];
    switch (G_INT[slot::BeadloadType]) {
        case bedload::Velocity: {
            const float x = std::max(absQ * ih - thetaCrt, 0.0f);
            const PowerPair p = powers(x, B);
            return {A * p.xB, A * B * p.xBm1 * ih};
        }
        case bedload::ChezyPower: {
            const float invD = d >= 1.0e-6f ? 1.0f / d : 0.0f;
            const float K =
                static_cast<float>(0.05 * static_cast<double>(invG * invG) * std::sqrt(static_cast<double>(s))) * invD *
                ic * std::sqrt(ic);
            const float ih5 = ih * ih * ih * ih * ih;
            return {K * absQ * absQ * ih5, 2.0f * K * absQ * ih5};
        }
        default: {
            // Without grain size or density difference there is no Shields value (guarded against 0/0).
            const float grain = d * s;
            const float shields = grain != 0.0f ? invG * ic / grain : 0.0f;
            const float theta = absQ * absQ * ih * ih * shields;
            const float x = std::max(theta - thetaCrt, 0.0f);
            const float scale = static_cast<float>(std::sqrt(static_cast<double>(g * s * d * d * d)));
            const PowerPair p = powers(x, B);
            return {A * scale * p.xB, A * scale * B * p.xBm1 * (2.0f * absQ * ih * ih) * shields};
        }
    }
}

}  // namespace morphology

/// Per cell: resets the bed gradient and the streamline curvature to 0 before the first step. bottomEl is part of
/// the loop's argument list but not needed.
inline void kernel_MORPHOLOGY_InitializeCellFeatures(const float* /*bottomEl*/, float* flowCurv, float* bedGrdnt)
{
    *flowCurv = 0.0f;
    bedGrdnt[0] = 0.0f;
    bedGrdnt[1] = 0.0f;
}

/// Per cell: bed gradient (dzb/dx, dzb/dy) [-] reconstructed from the bed differences to the three neighbours
/// (neighbour j across edge j) with the cell's weights geomWght = (wx0, wy0, wx1, wy1, wx2, wy2) [1/m].
inline void kernel_MORPHOLOGY_CalcBedGradient(const float* bottomEl, const float* const* bottomElNb,
                                              const float* geomWght, float* bedGrdnt)
{
    float gx = 0.0f;
    float gy = 0.0f;
    for (int j = 0; j < 3; ++j) {
        const float delta = *bottomElNb[j] - *bottomEl;
        gx += geomWght[2 * j] * delta;
        gy += geomWght[2 * j + 1] * delta;
    }
    bedGrdnt[0] = gx;
    bedGrdnt[1] = gy;
}

/// Per cell: streamline curvature [1/m] of the depth-averaged velocity, positive where the flow turns to the left
/// (counter-clockwise). Velocity differences to the neighbours are weighted by the centroid distance projected on
/// the flow direction; dry cells (depth below MinWaterDepth) count with velocity 0, and a cell with |U|^3 < 1e-6
/// gets 0. unitCent/distCent are the unit vectors and distances between the centroids across edges 0, 1, 2.
inline void kernel_HYDRAULICS_CalcCurvature(const float* const* unitCent, const float* const* distCent,
                                            const float* hydState, const float* bottomEl,
                                            const float* const* hydStateNb, const float* const* bottomElNb,
                                            const float* geomWght, float* flowCurv)
{
    const double hmin = static_cast<double>(G_REAL[slot::MinWaterDepth]);
    const float ih = hydraulics::reciprocalFrom(hydState[0] - *bottomEl, hmin);
    const float u = hydState[1] * ih;
    const float v = hydState[2] * ih;
    const float absU = morphology::magnitude(u, v);
    // A slow cell's curvature is 0 whatever its neighbours: skip their velocities.
    const float M = morphology::cubeOf(absU);
    if (!(M >= 1.0e-6f)) {
        *flowCurv = 0.0f;
        return;
    }
    const float r = absU >= 1.0e-6f ? 1.0f / absU : 0.0f;

    float dudx = 0.0f, dudy = 0.0f, dvdx = 0.0f, dvdy = 0.0f;
    for (int j = 0; j < 3; ++j) {
        const float ihj = hydraulics::reciprocalFrom(hydStateNb[j][0] - *bottomElNb[j], hmin);
        const float uj = hydStateNb[j][1] * ihj;
        const float vj = hydStateNb[j][2] * ihj;
        const float w = std::fabs((unitCent[j][0] * u + unitCent[j][1] * v) * *distCent[j] * r);
        const float du = (uj - u) * w;
        const float dv = (vj - v) * w;
        dudx += geomWght[2 * j] * du;
        dudy += geomWght[2 * j + 1] * du;
        dvdx += geomWght[2 * j] * dv;
        dvdy += geomWght[2 * j + 1] * dv;
    }
    const float N = u * (u * dvdx - v * dudx) + v * (u * dvdy - v * dudy);
    *flowCurv = N / M;
}

/// Per cell: critical Shields value of a wet cell (depth above MinWaterDepth) corrected for the bed slope along
/// and across its flow, from ThetaCritical on a flat bed and the angle of repose; IncipientMotType 2 is Chen et
/// al. (2010), other codes VanRijn (1989). Flowing up a slope raises the value, down a slope or across it lowers
/// it. Dry cells keep their value. A wet cell without discharge has no flow direction: it gets the flat-bed value.
/// Across slopes steeper than the angle of repose the slope root is taken as 0 (no NaN).
inline void kernel_MORPHOLOGY_LocalBedSlope(const float* hydState, const float* bottomEl, const float* bedGrdnt,
                                            float* thetaCrt)
{
    if (!(hydState[0] - *bottomEl > G_REAL[slot::MinWaterDepth])) return;
    const float absQ = morphology::magnitude(hydState[1], hydState[2]);
    const float ex = absQ > 0.0f ? hydState[1] / absQ : 0.0f;
    const float ey = absQ > 0.0f ? hydState[2] / absQ : 0.0f;
    const float sAlong = bedGrdnt[0] * ex + bedGrdnt[1] * ey;
    const float sAcross = bedGrdnt[0] * ey - ex * bedGrdnt[1];
    const float beta = std::atan(sAlong);
    const float phi = G_REAL[slot::ReposeAngle];
    const float t = std::tan(phi);
    const float theta0 = G_REAL[slot::ThetaCritical];

    if (G_INT[slot::IncipientMotType] == morphology::incipient::Chen2010) {
        const float sinBeta = static_cast<float>(std::cos(1.5707963267948966 - static_cast<double>(beta)));
        const float X = (t * t + 1.0f) / (sAcross * sAcross + sAlong * sAlong + 1.0f) + (sinBeta * sinBeta - 1.0f);
        *thetaCrt =
            static_cast<float>(static_cast<double>(sinBeta) + std::sqrt(std::max(static_cast<double>(X), 0.0)) *
                                                                  static_cast<double>(theta0) / static_cast<double>(t));
        return;
    }
    const float k = std::fabs(t) >= 1.0e-6f ? 1.0f / t : 0.0f;
    *thetaCrt = (theta0 * std::sin(phi + beta) / std::sin(phi)) / std::sqrt(sAcross * sAcross + 1.0f) *
                std::sqrt(std::max(1.0f - sAcross * sAcross * k * k, 0.0f));
}

/// Per cell: bed-load transport capacity vector bedTrCap [m^2/s] and its derivative with respect to the specific
/// discharge bedTrDer [-], by the formula BeadloadType, both along the flow turned by the lateral bed slope
/// (towards the lower side, BedloadIkeda, switch BedloadInts[0]) and by the streamline curvature (towards the inner
/// bank, BedloadCurvature, switch BedloadInts[1]). frictionOn is 1 when chezyCoe is present; without it the
/// Shields and the Chezy-power forms give no transport. Pre-factor and porosity are applied by the fluxes.
inline void kernel_MORPHOLOGY_CalcBedloadTransport(const int* frictionOn, const float* hydState, const float* bottomEl,
                                                   const float* chezyCoe, const float* mSedSize, const float* thetaCrt,
                                                   const float* bedGrdnt, const float* flowCurv, float* bedTrCap,
                                                   float* bedTrDer)
{
    const float qx = hydState[1];
    const float qy = hydState[2];
    const float absQ = morphology::magnitude(qx, qy);
    const float h = hydState[0] - *bottomEl;
    const float ih = hydraulics::guardedReciprocal(h);
    const float ic = *frictionOn == 1 ? hydraulics::guardedReciprocal(*chezyCoe) : 0.0f;
    const float d = *mSedSize;
    const float is = hydraulics::guardedReciprocal(G_REAL[slot::InvGravity] * G_REAL[slot::SedRelDensity] * d);
    const float thetaDir = absQ * absQ * ic * ih * ih * is;

    const morphology::Transport tr = morphology::transportCapacity(absQ, ih, ic, d, *thetaCrt);

    const float r = absQ >= 1.0e-6f ? 1.0f / absQ : 0.0f;
    const float ex = qx * r;
    const float ey = qy * r;

    // Lateral slope: sigma > 0 means the bed rises to the left of the flow, so the grains roll to the right.
    const float sigma = bedGrdnt[1] * ex - bedGrdnt[0] * ey;
    const float rootTheta = std::sqrt(thetaDir);
    const float rho = rootTheta >= 1.0e-6f ? 1.0f / rootTheta : 0.0f;
    const float isIkeda = G_INT[slot::BedloadIsIkeda] == 1 ? 1.0f : 0.0f;
    const float isCurvature = G_INT[slot::BedloadIsCurvature] == 1 ? 1.0f : 0.0f;
    const float slopeTerm = std::fabs(sigma) * (sigma < 0.0f ? 1.0f : -1.0f) * G_REAL[slot::BedloadIkeda] * rho;
    const float T = slopeTerm * isIkeda + G_REAL[slot::BedloadCurvature] * h * *flowCurv * isCurvature;

    const float cosA = morphology::cosineFromSecantSquared(T * T + 1.0f);
    const float dx = (ex - T * ey) * cosA;
    const float dy = (ey + T * ex) * cosA;
    bedTrCap[0] = tr.Q * dx;
    bedTrCap[1] = tr.Q * dy;
    bedTrDer[0] = tr.D * dx;
    bedTrDer[1] = tr.D * dy;
}
