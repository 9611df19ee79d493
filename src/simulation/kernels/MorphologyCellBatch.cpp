// Eight cells of the bed-load transport per call in AVX2 lanes: every lane performs the IEEE operations of
// kernel_MORPHOLOGY_CalcBedloadTransport and transportCapacity in the order they write them, every branch formed for
// all lanes and chosen per lane. Only AVX2 is enabled for this code (not the FMA extension), so no product is fused.
#include "simulation/kernels/MorphologyCellBatch.hpp"

#include "simulation/kernels/GlobalConstants.hpp"
#include "simulation/kernels/HydraulicSolver.hpp"
#include "simulation/kernels/Lanes.hpp"
#include "simulation/kernels/MorphologyCell.hpp"

namespace morphology {

#pragma GCC push_options
#pragma GCC target("avx2")

void bedloadTransportBatch(const int* const* frictionOn, const float* const* hydState, const float* const* bottomEl,
                           const float* const* chezyCoe, const float* const* mSedSize, const float* const* thetaCrt,
                           const float* const* bedGrdnt, const float* const* flowCurv, float* const* bedTrCap,
                           float* const* bedTrDer)
{
    using namespace lanes;
    const float B = G_REAL[slot::BedloadExpon];
    const int formula = G_INT[slot::BeadloadType];
    if (formula == bedload::Velocity || formula == bedload::ChezyPower || B != 1.5f) {
        for (int j = 0; j < kBedloadBatch; ++j)
            kernel_MORPHOLOGY_CalcBedloadTransport(frictionOn[j], hydState[j], bottomEl[j], chezyCoe[j], mSedSize[j],
                                                   thetaCrt[j], bedGrdnt[j], flowCurv[j], bedTrCap[j], bedTrDer[j]);
        return;
    }
    const float g = G_REAL[slot::Gravity];
    const float invG = G_REAL[slot::InvGravity];
    const float s = G_REAL[slot::SedRelDensity];
    const float A = G_REAL[slot::BedloadCoeff];

    const v8f qx = gather(hydState, 1);
    const v8f qy = gather(hydState, 2);
    const v8f absQ = rootInDouble(qx * qx + qy * qy);
    const v8f h = gather(hydState, 0) - gather(bottomEl, 0);
    const v8f ih = reciprocalFrom(h, hydraulics::kGuard);
    const v8f ic = *frictionOn[0] == 1 ? reciprocalFrom(gather(chezyCoe, 0), hydraulics::kGuard) : splat(0.0f);
    const v8f d = gather(mSedSize, 0);
    const v8f is = reciprocalFrom(splat(invG * s) * d, hydraulics::kGuard);
    const v8f thetaDir = absQ * absQ * ic * ih * ih * is;

    // transportCapacity, Shields-type formula with B = 3/2.
    const v8f grain = d * splat(s);
    const v8f shields = (grain != splat(0.0f)) ? splat(invG) * ic / grain : splat(0.0f);
    const v8f theta = absQ * absQ * ih * ih * shields;
    const v8f excess = theta - gather(thetaCrt, 0);
    const v8f x = notBelowZero(excess);  // std::max(excess, 0.0f)
    const v8f scale = rootInDouble(splat(g * s) * d * d * d);
    const d8 xd = wide(x);
    const v8f xB = narrow(xd * sqrtOf(xd));
    const v8f xBm1 = (x < splat(1.0e-6f)) ? splat(0.0f) : xB / x;
    const v8f Q = splat(A) * scale * xB;
    const v8f D = splat(A) * scale * splat(B) * xBm1 * (splat(2.0f) * absQ * ih * ih) * shields;

    const v8f r = reciprocalFrom(absQ, 1.0e-6f);  // the float literal, as the kernel compares
    const v8f ex = qx * r;
    const v8f ey = qy * r;
    const v8f sigma = gather(bedGrdnt, 1) * ex - gather(bedGrdnt, 0) * ey;
    const v8f rho = reciprocalFrom(sqrtOf(thetaDir), 1.0e-6f);
    const float isIkeda = G_INT[slot::BedloadIsIkeda] == 1 ? 1.0f : 0.0f;
    const float isCurvature = G_INT[slot::BedloadIsCurvature] == 1 ? 1.0f : 0.0f;
    const v8f magnitude = absOf(sigma);
    const v8f slopeTerm =
        magnitude * ((sigma < splat(0.0f)) ? splat(1.0f) : splat(-1.0f)) * splat(G_REAL[slot::BedloadIkeda]) * rho;
    const v8f T = slopeTerm * splat(isIkeda) +
                  splat(G_REAL[slot::BedloadCurvature]) * h * gather(flowCurv, 0) * splat(isCurvature);

    // cosineFromSecantSquared: exactly 1 where T*T + 1 rounds to 1 (most cells), else the root in double.
    const v8f y = T * T + splat(1.0f);
    const v8i one = y == splat(1.0f);
    v8f cosA = splat(1.0f);
    if (laneBits(one) != 0xff) {
        const d8 unit{splat4(1.0), splat4(1.0)};
        cosA = one ? splat(1.0f) : narrow(sqrtOf(unit / wide(y)));
    }
    const v8f dx = (ex - T * ey) * cosA;
    const v8f dy = (ey + T * ex) * cosA;
    const v8f cap0 = Q * dx, cap1 = Q * dy, der0 = D * dx, der1 = D * dy;
    for (int j = 0; j < kBedloadBatch; ++j) {
        bedTrCap[j][0] = cap0[j];
        bedTrCap[j][1] = cap1[j];
        bedTrDer[j][0] = der0[j];
        bedTrDer[j][1] = der1[j];
    }
}

#pragma GCC pop_options

}  // namespace morphology
