// Library calls and work the cell kernels avoid without changing a bit: the cube root of the Manning and Strickler
// closures, estimated and accepted only where the estimate provably rounds like the library root (checked against
// the library over dense samples and products built to sit on float rounding boundaries), the root of an undeflected
// transport direction, and the neighbour velocities of a slow cell's curvature.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "kernels/FloatSamples.hpp"
#include "kernels/KernelTestGlobals.hpp"
#include "simulation/kernels/HydraulicsCell.hpp"
#include "simulation/kernels/MorphologyCell.hpp"

namespace {

using floatsamples::nonNegativeFloats;
using floatsamples::sameFloat;

std::int64_t bitDistance(double a, double b)
{
    std::int64_t ia;
    std::int64_t ib;
    std::memcpy(&ia, &a, sizeof ia);
    std::memcpy(&ib, &b, sizeof ib);
    return ia > ib ? ia - ib : ib - ia;
}

/// The closures' product as formed with the library root: float(((s * cbrt(x)) * a) * b).
float libraryProduct(double s, float x, double a, double b)
{
    return static_cast<float>(s * std::cbrt(static_cast<double>(x)) * a * b);
}

TEST(ExactLibraryCalls, CubeRootEstimateStaysWithinItsBoundOfTheLibraryRoot)
{
    std::int64_t worst = 0;
    for (float x : nonNegativeFloats()) {
        if (!(x > 0.0f) || std::isinf(x)) continue;
        const std::int64_t d = bitDistance(hydraulics::cubeRootEstimate(x), std::cbrt(static_cast<double>(x)));
        worst = std::max(worst, d);
        if (d > hydraulics::CubeRootUlpBound)
            ADD_FAILURE() << "cube root of " << std::hexfloat << x << " is " << std::dec << d << " ulp off";
    }
    EXPECT_LE(worst, hydraulics::CubeRootUlpBound);
    // The bound is not loose either: the estimate is not the library root.
    EXPECT_GT(worst, 0);
}

TEST(ExactLibraryCalls, GuardedCubeRootRoundsLikeTheLibraryOnFloatRoundingBoundaries)
{
    // For each root, factors whose library product lies within a few double ulps of the midpoint between two
    // floats: there an estimate that is off by a few ulps rounds the other way unless the guard sends it back to
    // the library.
    const double s = static_cast<double>(1.0f / 9.81f);
    long long cases = 0;
    long long estimateWouldDiffer = 0;
    int failures = 0;
    for (float x : nonNegativeFloats(65521u)) {
        if (!(x > 1.0e-30f) || !(x < 1.0e30f)) continue;
        const double root = std::cbrt(static_cast<double>(x));
        for (double a : {1.0 / 0.03, 1.0 / static_cast<double>(0.0125f), 33.0, 0.7}) {
            const double p = s * root * a;
            const float f = static_cast<float>(p * a);
            const double mid = 0.5 * (static_cast<double>(f) +
                                      static_cast<double>(std::nextafter(f, std::numeric_limits<float>::infinity())));
            const double b0 = mid / p;
            for (int k = -4; k <= 4; ++k) {
                double b = b0;
                for (int i = 0; i < std::abs(k); ++i) b = std::nextafter(b, k > 0 ? 2.0 * b : 0.0);
                const float library = libraryProduct(s, x, a, b);
                const float fast = hydraulics::scaledCubeRoot(s, x, a, b);
                const float bare = static_cast<float>(s * hydraulics::cubeRootEstimate(x) * a * b);
                ++cases;
                if (!sameFloat(bare, library)) ++estimateWouldDiffer;
                if (!sameFloat(fast, library) && ++failures <= 5)
                    ADD_FAILURE() << std::hexfloat << "x " << x << " a " << a << " b " << b << ": " << fast << " vs "
                                  << library;
            }
        }
    }
    EXPECT_EQ(failures, 0);
    // The sample must exercise the guard: without it, these products would come out different.
    EXPECT_GT(estimateWouldDiffer, cases / 100);
}

TEST(ExactLibraryCalls, ManningAndStricklerClosuresEqualTheLibraryFormula)
{
    kerneltest::resetGlobals(9.81f, 0.0f, 0.4f);
    G_REAL[slot::InvGravity] = 1.0f / 9.81f;
    const double invG = static_cast<double>(G_REAL[slot::InvGravity]);
    const std::vector<float> depths = nonNegativeFloats(4099u);
    int differences = 0;
    auto check = [&](int closure, float d, float r, float expected) {
        G_INT[slot::FrictionType] = closure;
        const float got = hydraulics::chezySquared(d, r);
        if (!sameFloat(got, expected) && ++differences <= 5)
            ADD_FAILURE() << "closure " << closure << std::hexfloat << " d " << d << " r " << r << ": " << got << " vs "
                          << expected;
    };
    for (float r : {0.0f, 5.0e-7f, 0.012f, 0.03f, 0.035f, 0.1f, 1.0f, 45.0f}) {
        const double invN = r < 1.0e-6f ? 0.0 : 1.0 / static_cast<double>(r);
        // With a zero wet threshold the clamp passes every depth but the negative ones, which become +0; zero,
        // infinite and NaN depths bypass the estimate.
        for (float d : depths) {
            check(1, d, r, libraryProduct(invG, d, invN, invN));
            check(2, d, r, libraryProduct(invG, d, static_cast<double>(r), static_cast<double>(r)));
        }
        for (float d : {-0.0f, -1.0f}) {
            check(1, d, r, libraryProduct(invG, std::max(d, 0.0f), invN, invN));
            check(2, d, r, libraryProduct(invG, std::max(d, 0.0f), static_cast<double>(r), static_cast<double>(r)));
        }
    }
    EXPECT_EQ(differences, 0);

    // A positive wet threshold clamps the depth before the root; a NaN roughness gives NaN.
    G_REAL[slot::MinWaterDepth] = 0.01f;
    G_INT[slot::FrictionType] = 1;
    EXPECT_EQ(hydraulics::chezySquared(-2.0f, 0.03f), hydraulics::chezySquared(0.01f, 0.03f));
    EXPECT_TRUE(std::isnan(hydraulics::chezySquared(1.0f, std::numeric_limits<float>::quiet_NaN())));
    EXPECT_EQ(hydraulics::chezySquared(8.0f, 0.5f), static_cast<float>(invG * 2.0 * 2.0 * 2.0));
}

TEST(ExactLibraryCalls, TransportDeflectionCosineEqualsTheLibraryRoot)
{
    int differences = 0;
    auto check = [&differences](float y) {
        const float library = static_cast<float>(std::sqrt(1.0 / static_cast<double>(y)));
        const float got = morphology::cosineFromSecantSquared(y);
        if (!sameFloat(got, library) && ++differences <= 5)
            ADD_FAILURE() << std::hexfloat << "y " << y << ": " << got << " vs " << library;
    };
    for (float y : nonNegativeFloats())
        if (!(y < 1.0f)) check(y);
    // Just above 1 the cosine is already below 1: the short path must take exactly y == 1 and nothing else.
    float y = 1.0f;
    for (int i = 0; i < 64; ++i, y = std::nextafter(y, 2.0f)) check(y);
    EXPECT_EQ(differences, 0);
    EXPECT_EQ(morphology::cosineFromSecantSquared(1.0f), 1.0f);
    EXPECT_LT(morphology::cosineFromSecantSquared(std::nextafter(1.0f, 2.0f)), 1.0f);
    // Deflections below about 2.4e-4 round y to 1, larger ones do not.
    EXPECT_EQ(2.0e-4f * 2.0e-4f + 1.0f, 1.0f);
    EXPECT_GT(3.0e-4f * 3.0e-4f + 1.0f, 1.0f);
}

/// Streamline curvature formed in full for every cell, the slow ones included, as reference for the kernel.
float fullCurvature(const float* const* unitCent, const float* const* distCent, const float* hydState,
                    const float* bottomEl, const float* const* hydStateNb, const float* const* bottomElNb,
                    const float* geomWght)
{
    const double hmin = static_cast<double>(G_REAL[slot::MinWaterDepth]);
    const float ih = hydraulics::reciprocalFrom(hydState[0] - *bottomEl, hmin);
    const float u = hydState[1] * ih;
    const float v = hydState[2] * ih;
    const float absU = morphology::magnitude(u, v);
    const float r = absU >= 1.0e-6f ? 1.0f / absU : 0.0f;
    float dudx = 0.0f, dudy = 0.0f, dvdx = 0.0f, dvdy = 0.0f;
    for (int j = 0; j < 3; ++j) {
        const float ihj = hydraulics::reciprocalFrom(hydStateNb[j][0] - *bottomElNb[j], hmin);
        const float w = std::fabs((unitCent[j][0] * u + unitCent[j][1] * v) * *distCent[j] * r);
        const float du = (hydStateNb[j][1] * ihj - u) * w;
        const float dv = (hydStateNb[j][2] * ihj - v) * w;
        dudx += geomWght[2 * j] * du;
        dudy += geomWght[2 * j + 1] * du;
        dvdx += geomWght[2 * j] * dv;
        dvdy += geomWght[2 * j + 1] * dv;
    }
    const float N = u * (u * dvdx - v * dudx) + v * (u * dvdy - v * dudy);
    const float M = morphology::cubeOf(absU);
    return M >= 1.0e-6f ? N / M : 0.0f;
}

TEST(ExactLibraryCalls, CurvatureOfSlowCellsIsZeroWithoutTheirNeighbours)
{
    kerneltest::resetGlobals(9.81f, 0.001f, 0.4f);
    std::mt19937 rng(12345);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    // Speeds spread over decades around the 1 cm/s at which |U|^3 reaches 1e-6 (m/s)^3, depths from dry to 2 m.
    auto speed = [&] { return unit(rng) * std::pow(10.0f, -3.0f + 2.5f * (unit(rng) + 1.0f) / 2.0f); };
    int differences = 0;
    int slowCells = 0;
    int curved = 0;
    for (int n = 0; n < 200000; ++n) {
        const float zb = unit(rng);
        const float h = n % 17 == 0 ? 0.0005f : 0.001f + 1.0f + unit(rng);
        const float state[3] = {zb + h, speed() * h, speed() * h};
        float nb[3][3];
        float zNb[3];
        float unitC[3][2];
        float dist[3];
        float w[6];
        for (int j = 0; j < 3; ++j) {
            zNb[j] = unit(rng);
            const float hj = n % 13 == j ? 0.0f : 1.0f + unit(rng);
            nb[j][0] = zNb[j] + hj;
            nb[j][1] = speed() * hj;
            nb[j][2] = speed() * hj;
            const float a = 3.14159265f * unit(rng);
            unitC[j][0] = std::cos(a);
            unitC[j][1] = std::sin(a);
            dist[j] = 0.5f + unit(rng) * 0.25f;
            w[2 * j] = 2.0f * unit(rng);
            w[2 * j + 1] = 2.0f * unit(rng);
        }
        const float* unitP[3] = {unitC[0], unitC[1], unitC[2]};
        const float* distP[3] = {&dist[0], &dist[1], &dist[2]};
        const float* nbP[3] = {nb[0], nb[1], nb[2]};
        const float* zP[3] = {&zNb[0], &zNb[1], &zNb[2]};
        float got = -1.0f;
        kernel_HYDRAULICS_CalcCurvature(unitP, distP, state, &zb, nbP, zP, w, &got);
        const float expected = fullCurvature(unitP, distP, state, &zb, nbP, zP, w);
        if (!sameFloat(got, expected) && ++differences <= 5)
            ADD_FAILURE() << "cell " << n << std::hexfloat << ": " << got << " vs " << expected;
        if (expected == 0.0f)
            ++slowCells;
        else
            ++curved;
    }
    EXPECT_EQ(differences, 0);
    // Both sides of the threshold are well represented.
    EXPECT_GT(slowCells, 20000);
    EXPECT_GT(curved, 20000);
}

}  // namespace
