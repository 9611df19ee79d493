// The cube root of the Manning and Strickler closures is estimated and accepted only where the estimate provably
// rounds like the library root (the stored reference results were made with the library root): checked against the
// library over dense samples of all floats and over products built to sit on float rounding boundaries.
#include <cmath>
#include <limits>

#include "kernels/KernelTest.hpp"
#include "simulation/kernels/HydraulicsCell.hpp"

namespace {

using kerneltest::nonNegativeFloats;
using kerneltest::sameFloat;

/// The closures' product as formed with the library root: float(((s * cbrt(x)) * a) * b).
float libraryProduct(double s, float x, double a, double b)
{
    return static_cast<float>(s * std::cbrt(static_cast<double>(x)) * a * b);
}

TEST(ExactCubeRoot, EstimateStaysWithinItsBoundOfTheLibraryRoot)
{
    std::int64_t worst = 0;
    for (float x : nonNegativeFloats()) {
        if (!(x > 0.0f) || std::isinf(x)) continue;
        const double e = hydraulics::cubeRootEstimate(x), l = std::cbrt(static_cast<double>(x));
        std::int64_t ie, il;
        std::memcpy(&ie, &e, sizeof ie);
        std::memcpy(&il, &l, sizeof il);
        worst = std::max(worst, ie > il ? ie - il : il - ie);
    }
    EXPECT_LE(worst, hydraulics::CubeRootUlpBound);
    EXPECT_GT(worst, 0) << "the estimate is not the library root: the guard is needed";
}

TEST(ExactCubeRoot, GuardedRootRoundsLikeTheLibraryOnFloatRoundingBoundaries)
{
    // Factors whose library product lies within a few double ulps of the midpoint between two floats: there an
    // estimate a few ulps off rounds the other way unless the guard sends it back to the library.
    const double s = static_cast<double>(1.0f / 9.81f);
    long long cases = 0, estimateWouldDiffer = 0;
    int failures = 0;
    for (float x : nonNegativeFloats(65521u)) {
        if (!(x > 1.0e-30f) || !(x < 1.0e30f)) continue;
        const double root = std::cbrt(static_cast<double>(x));
        for (double a : {1.0 / 0.03, 1.0 / static_cast<double>(0.0125f), 33.0, 0.7}) {
            const double p = s * root * a;
            const float f = static_cast<float>(p * a);
            const double mid = 0.5 * (f + static_cast<double>(std::nextafter(f, std::numeric_limits<float>::infinity())));
            for (int k = -4; k <= 4; ++k) {
                double b = mid / p;
                for (int i = 0; i < std::abs(k); ++i) b = std::nextafter(b, k > 0 ? 2.0 * b : 0.0);
                const float library = libraryProduct(s, x, a, b);
                ++cases;
                if (!sameFloat(static_cast<float>(s * hydraulics::cubeRootEstimate(x) * a * b), library))
                    ++estimateWouldDiffer;
                const float fast = hydraulics::scaledCubeRoot(s, x, a, b);
                if (!sameFloat(fast, library) && ++failures <= 5)
                    ADD_FAILURE() << std::hexfloat << "x " << x << " a " << a << " b " << b << ": " << fast << " vs "
                                  << library;
            }
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_GT(estimateWouldDiffer, cases / 100) << "the sample must exercise the guard";
}

TEST(ExactCubeRoot, ManningAndStricklerClosuresEqualTheLibraryFormula)
{
    kerneltest::resetGlobals(9.81f, 0.0f, 0.4f);
    G_REAL[slot::InvGravity] = 1.0f / 9.81f;
    const double invG = static_cast<double>(G_REAL[slot::InvGravity]);
    int differences = 0;
    auto check = [&](int closure, float d, float r, double a) {
        G_INT[slot::FrictionType] = closure;
        const float got = hydraulics::chezySquared(d, r), expected = libraryProduct(invG, std::max(d, 0.0f), a, a);
        if (!sameFloat(got, expected) && ++differences <= 5)
            ADD_FAILURE() << "closure " << closure << std::hexfloat << " d " << d << " r " << r << ": " << got;
    };
    // With a zero wet threshold every depth reaches the root, negative ones as +0; zero, infinite and NaN depths
    // bypass the estimate; Manning roughness below 1e-6 gives no Chezy value.
    std::vector<float> depths = nonNegativeFloats(4099u);
    depths.insert(depths.end(), {-0.0f, -1.0f});
    for (float r : {0.0f, 5.0e-7f, 0.012f, 0.03f, 0.1f, 1.0f, 45.0f})
        for (float d : depths) {
            check(1, d, r, r < 1.0e-6f ? 0.0 : 1.0 / static_cast<double>(r));
            check(2, d, r, static_cast<double>(r));
        }
    EXPECT_EQ(differences, 0);
    // A positive wet threshold clamps the depth before the root.
    G_REAL[slot::MinWaterDepth] = 0.01f;
    G_INT[slot::FrictionType] = 1;
    EXPECT_EQ(hydraulics::chezySquared(-2.0f, 0.03f), hydraulics::chezySquared(0.01f, 0.03f));
}

}  // namespace
