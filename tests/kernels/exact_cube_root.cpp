// The cube root of the Manning and Strickler closures is estimated and accepted only where the estimate provably
// rounds like the library root (the stored reference results were made with the library root). Where a product lies
// next to a float rounding boundary an estimate a few ulps off would round the other way: there the guard must send
// the closure back to the library.
#include <cmath>
#include <limits>

#include "kernels/KernelTest.hpp"
#include "simulation/kernels/HydraulicsCell.hpp"

namespace {

TEST(ExactCubeRoot, GuardedRootRoundsLikeTheLibraryOnFloatRoundingBoundaries)
{
    const double s = static_cast<double>(1.0f / 9.81f);
    long long cases = 0, estimateWouldDiffer = 0;
    int failures = 0;
    for (std::uint32_t bits = 0x0d000000u; bits < 0x72000000u; bits += 65521u) {  // x from about 4e-31 to 3e30
        float x;
        std::memcpy(&x, &bits, sizeof x);
        const double root = std::cbrt(static_cast<double>(x));
        for (double a : {1.0 / 0.03, 1.0 / static_cast<double>(0.0125f), 33.0, 0.7}) {
            // Factors b whose library product lies within a few double ulps of the midpoint between two floats.
            const double p = s * root * a;
            const float f = static_cast<float>(p * a);
            const double mid = 0.5 * (f + static_cast<double>(std::nextafter(f, std::numeric_limits<float>::infinity())));
            for (int k = -4; k <= 4; ++k) {
                double b = mid / p;
                for (int i = 0; i < std::abs(k); ++i) b = std::nextafter(b, k > 0 ? 2.0 * b : 0.0);
                const float library = static_cast<float>(s * root * a * b);
                ++cases;
                if (static_cast<float>(s * hydraulics::cubeRootEstimate(x) * a * b) != library) ++estimateWouldDiffer;
                const float fast = hydraulics::scaledCubeRoot(s, x, a, b);
                if (!kerneltest::sameFloat(fast, library) && ++failures <= 5)
                    ADD_FAILURE() << std::hexfloat << "x " << x << " a " << a << " b " << b << ": " << fast << " vs "
                                  << library;
            }
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_GT(estimateWouldDiffer, cases / 100) << "the sample must exercise the guard";
}

}  // namespace
