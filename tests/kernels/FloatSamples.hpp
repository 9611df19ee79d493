// Float inputs for the kernel tests: dense samples of the float range (to check an expression bit for bit against
// the library call it replaces) and seeded random draws.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace floatsamples {

/// Every `stride`-th bit pattern from +0 to +inf (with the default 509, about 4 million floats, every binade
/// densely), the neighbours of powers of two, the smallest and largest values, +inf and a NaN.
inline std::vector<float> nonNegativeFloats(std::uint32_t stride = 509u)
{
    std::vector<float> xs;
    auto add = [&xs](std::uint32_t bits) {
        float x;
        std::memcpy(&x, &bits, sizeof x);
        xs.push_back(x);
    };
    for (std::uint32_t b = 0; b < 0x7f800000u; b += stride) add(b);
    for (std::uint32_t e = 0; e < 255u; ++e)
        for (std::uint32_t m : {0u, 1u, 2u, 0x7ffffeu, 0x7fffffu}) add((e << 23) | m);
    add(0x7f800000u);  // +inf
    add(0x7fc00000u);  // quiet NaN
    return xs;
}

/// The samples of nonNegativeFloats and each of them with the sign bit set (-0, negative values, -inf, a NaN with
/// the sign bit).
inline std::vector<float> signedFloats(std::uint32_t stride = 509u)
{
    std::vector<float> xs = nonNegativeFloats(stride);
    const std::size_t n = xs.size();
    xs.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, &xs[i], sizeof bits);
        bits |= 0x80000000u;
        float x;
        std::memcpy(&x, &bits, sizeof x);
        xs.push_back(x);
    }
    return xs;
}

/// Seeded random draws for the tests that sample kernel inputs.
class Random {
public:
    explicit Random(unsigned seed) : rng_(seed) {}

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    float uniform(float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng_); }
    float logUniform(float lo, float hi) { return std::exp(uniform(std::log(lo), std::log(hi))); }

private:
    std::mt19937 rng_;
};

/// Same bit pattern, or both NaN.
inline bool sameFloat(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

}  // namespace floatsamples
