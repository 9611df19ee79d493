// Expressions the kernels form without a library call where the call would give the same bits: checked against the
// library over a dense sample of all non-negative floats, the ends of the range and the special values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "simulation/kernels/MorphologyCell.hpp"

namespace {

/// Every 509th bit pattern from +0 to +inf (about 4 million floats, every binade densely), the neighbours of
/// powers of two, the smallest and largest values, +inf and a NaN.
std::vector<float> nonNegativeFloats()
{
    std::vector<float> xs;
    auto add = [&xs](std::uint32_t bits) {
        float x;
        std::memcpy(&x, &bits, sizeof x);
        xs.push_back(x);
    };
    for (std::uint32_t b = 0; b < 0x7f800000u; b += 509u) add(b);
    for (std::uint32_t e = 0; e < 255u; ++e)
        for (std::uint32_t m : {0u, 1u, 2u, 0x7ffffeu, 0x7fffffu}) add((e << 23) | m);
    add(0x7f800000u);  // +inf
    add(0x7fc00000u);  // quiet NaN
    return xs;
}

bool sameFloat(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); }

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

}  // namespace
