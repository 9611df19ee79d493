// Expressions the kernels form without a library call where the call would give the same bits: checked against the
// library over a dense sample of all non-negative floats, the ends of the range and the special values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "kernels/FloatSamples.hpp"
#include "kernels/MorphologyTestSetup.hpp"
#include "simulation/kernels/HydraulicSolver.hpp"
#include "simulation/kernels/MorphologyCell.hpp"
#include "simulation/kernels/MorphologyFluxes.hpp"

namespace {

using floatsamples::nonNegativeFloats;
using floatsamples::sameFloat;
using floatsamples::signedFloats;

TEST(ExactRewrites, CubeEqualsTheRoundedLibraryPower)
{
    int differences = 0;
    for (float x : nonNegativeFloats()) {
        const float library = static_cast<float>(std::pow(static_cast<double>(x), 3.0));
        if (!sameFloat(morphology::cubeOf(x), library) && ++differences <= 5)
            ADD_FAILURE() << "cube of " << std::hexfloat << x << ": " << morphology::cubeOf(x) << " vs " << library;
    }
    EXPECT_EQ(differences, 0);
    // Overflow in float only: a float cube of 1e13 exceeds the float range, in double it does not.
    EXPECT_EQ(morphology::cubeOf(1.0e13f), std::numeric_limits<float>::infinity());
    EXPECT_EQ(morphology::cubeOf(2.0f), 8.0f);
}

TEST(ExactRewrites, ThreeHalvesPowerEqualsTheRoundedLibraryPower)
{
    int differences = 0;
    for (float x : nonNegativeFloats()) {
        const float library = static_cast<float>(std::pow(static_cast<double>(x), 1.5));
        const float rewritten = morphology::powers(x, 1.5f).xB;
        if (!sameFloat(rewritten, library) && ++differences <= 5)
            ADD_FAILURE() << "x^1.5 of " << std::hexfloat << x << ": " << rewritten << " vs " << library;
    }
    EXPECT_EQ(differences, 0);
    EXPECT_EQ(morphology::powers(4.0f, 1.5f).xB, 8.0f);
    EXPECT_EQ(morphology::powers(4.0f, 1.5f).xBm1, 2.0f);
    // Other exponents keep the library power.
    EXPECT_EQ(morphology::powers(4.0f, 2.5f).xB, static_cast<float>(std::pow(4.0, 2.5)));
}

// The edge kernels' reciprocals, roots and guards in single precision against the double-precision forms they
// replace. The double forms go through a volatile so that the compiler cannot shorten them into the float ones.

/// x rounded through double: the value a double-precision kernel stored.
float throughDouble(double x)
{
    volatile double stored = x;
    return static_cast<float>(stored);
}

/// Same bits, NaN payloads included (the single- and double-precision paths pass on the same quiet NaN).
bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(ExactRewrites, GuardedReciprocalsAndRootsEqualTheirDoubleForms)
{
    int differences = 0;
    auto expectSame = [&differences](const char* what, float x, float rewritten, float reference) {
        if (!sameBits(rewritten, reference) && ++differences <= 5)
            ADD_FAILURE() << what << " of " << std::hexfloat << x << ": " << rewritten << " vs " << reference;
    };
    for (float x : signedFloats()) {
        const double dx = x;
        const float reciprocal = throughDouble(1.0 / dx);
        expectSame("guarded 1/x", x, hydraulics::guardedReciprocal(x), dx >= 1.0e-6 ? reciprocal : 0.0f);
        expectSame("guarded 1/|x|", x, hydraulics::guardedReciprocalAbs(x),
                   std::fabs(dx) >= 1.0e-6 ? reciprocal : 0.0f);
        expectSame("1/x from 1e-6", x, hydraulics::reciprocalFrom(x, 1.0e-6), dx >= 1.0e-6 ? reciprocal : 0.0f);
        expectSame("sqrt", x, hydraulics::rootOf(x), throughDouble(std::sqrt(dx)));
        // The wave-fan width test of the sediment flux, with its NaN taking the division.
        if ((std::fabs(x) < hydraulics::kGuard) != (std::fabs(dx) < 1.0e-6) && ++differences <= 5)
            ADD_FAILURE() << "|x| < 1e-6 of " << std::hexfloat << x;
    }
    EXPECT_EQ(differences, 0);
    // The guard sits exactly between the two floats around 1e-6: the lower one is refused, the upper one taken.
    const float below = std::nextafter(hydraulics::kGuard, 0.0f);
    EXPECT_LT(static_cast<double>(below), 1.0e-6);
    EXPECT_EQ(hydraulics::guardedReciprocal(below), 0.0f);
    EXPECT_EQ(hydraulics::guardedReciprocalAbs(-below), 0.0f);
    EXPECT_GT(hydraulics::guardedReciprocal(hydraulics::kGuard), 0.0f);
    EXPECT_LT(hydraulics::guardedReciprocalAbs(-hydraulics::kGuard), 0.0f);
    // The reciprocal of a subnormal overflows to inf in float, not in double.
    EXPECT_EQ(hydraulics::reciprocalFrom(std::numeric_limits<float>::denorm_min(), 0.0),
              std::numeric_limits<float>::infinity());
}

TEST(ExactRewrites, DryFrontSpeedsEqualTheirDoubleForm)
{
    // u -+ 2c for celerities c = sqrt(g h) over the whole depth range (rounded roots, as the solver forms them) and
    // velocities of both signs over the whole range, including the ones that cancel against 2c to a few ulps.
    const std::vector<float> all = signedFloats();
    std::vector<float> celerities;
    for (std::size_t i = 0; i < all.size() / 2; i += 40009) celerities.push_back(hydraulics::rootOf(9.81f * all[i]));
    celerities.push_back(hydraulics::rootOf(std::numeric_limits<float>::max()));
    celerities.push_back(std::numeric_limits<float>::infinity());
    int differences = 0, cancelling = 0;
    auto check = [&](float u, float c) {
        const float minus = throughDouble(static_cast<double>(u) - 2.0 * static_cast<double>(c));
        const float plus = throughDouble(static_cast<double>(u) + 2.0 * static_cast<double>(c));
        const bool nans = std::isnan(minus) && std::isnan(u - 2.0f * c);  // inf - inf: which NaN is not fixed
        if (!nans && (!sameBits(u - 2.0f * c, minus) || !sameBits(u + 2.0f * c, plus)) && ++differences <= 5)
            ADD_FAILURE() << std::hexfloat << "u " << u << " c " << c << ": " << (u - 2.0f * c) << " vs " << minus;
    };
    for (float c : celerities) {
        for (std::size_t i = 0; i < all.size(); i += 997) check(all[i], c);
        for (float u : {2.0f * c, -2.0f * c})
            for (int k = 0; k < 64; ++k, ++cancelling) {
                u = std::nextafter(u, 0.0f);
                check(u, c);
                check(-u, c);
            }
    }
    EXPECT_EQ(differences, 0);
    EXPECT_GT(cancelling, 1000);
}

TEST(ExactRewrites, ShockFactorEqualsItsDoubleForm)
{
    // Depths over the whole float range, star depths from just above to far above them, the reciprocal depth as the
    // solver forms it and arbitrary ones (zeros, infinities, NaN) for the pure arithmetic.
    const std::vector<float> all = signedFloats();
    const std::size_t positives = all.size() / 2;
    int differences = 0, checked = 0;
    auto check = [&](float h, float inv, float hStar) {
        ++checked;
        const float reference =
            throughDouble(std::sqrt(0.5 * static_cast<double>(h + hStar) * hStar * static_cast<double>(inv * inv)));
        const float rewritten = hydraulics::shockFactor(h, inv, hStar);
        if (!sameBits(rewritten, reference) && !(std::isnan(rewritten) && std::isnan(reference)) && ++differences <= 5)
            ADD_FAILURE() << std::hexfloat << "h " << h << " inv " << inv << " h* " << hStar << ": " << rewritten
                          << " vs " << reference;
    };
    for (std::size_t i = 0; i < positives; i += 61) {
        const float h = all[i];
        for (float ratio : {1.0000001f, 1.001f, 1.5f, 2.0f, 37.0f, 1.0e6f}) check(h, 1.0f / h, h * ratio);
        check(h, all[(i * 7919) % all.size()], all[(i * 104729) % all.size()]);
    }
    EXPECT_EQ(differences, 0);
    EXPECT_GT(checked, 400000);
    // A star depth three times the depth: sqrt(0.5 * 4 * 3) = sqrt(6) whatever the depth.
    EXPECT_EQ(hydraulics::shockFactor(0.25f, 4.0f, 0.75f), static_cast<float>(std::sqrt(6.0)));
}

class ExactSedimentRates : public mortest::MorphologyKernels {};

TEST_F(ExactSedimentRates, ImposedRateEqualsItsDoubleProduct)
{
    // Type 410 writes -(r0 f) r1 as a float product; the double product of two floats is exact, so both round alike.
    const float dt = 1.0f, len = 1.0f, area = 1.0f, zb = 0.0f;
    const float state[3] = {1.0f, 0.0f, 0.0f};
    const float chezy = 400.0f;
    const int type[2] = {morphology::bc::ImposedRate, 1};
    const float f = G_REAL[slot::InvBedPorosity] * G_REAL[slot::BedloadFactor];
    const std::vector<float> all = signedFloats();
    int differences = 0;
    for (std::size_t i = 0; i < all.size(); i += 4099)
        for (std::size_t j = 5; j < all.size(); j += 65537) {
            const float values[2] = {all[i], all[j]};
            float flux = 1.0f;
            kernel_MORPHOLOGY_Boundary(&dt, type, values, nullptr, &len, state, nullptr, &zb, nullptr, &chezy, &area,
                                       nullptr, &flux);
            const float reference = throughDouble(-static_cast<double>(values[0] * f) * static_cast<double>(values[1]));
            if (!sameBits(flux, reference) && !(std::isnan(flux) && std::isnan(reference)) && ++differences <= 5)
                ADD_FAILURE() << std::hexfloat << "r0 " << values[0] << " r1 " << values[1] << ": " << flux << " vs "
                              << reference;
        }
    EXPECT_EQ(differences, 0);
}

}  // namespace
