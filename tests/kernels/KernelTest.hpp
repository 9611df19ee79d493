// What every kernel test starts from: the global parameter tables, the hydraulic and the morphological parameter
// sets, seeded random draws and the AVX2 guard of the eight-lane kernels.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>

#include "simulation/kernels/DomainRules.hpp"
#include "simulation/kernels/GlobalConstants.hpp"

namespace kerneltest {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

/// Zeroes G_REAL, G_INT and G_Debug, then sets what the hydraulic and the morphological kernel tests share:
/// gravity g [m/s^2], wet threshold hmin [m], bed porosity [-], water and quartz densities [kg/m^3], friction on.
inline void resetGlobals(float g, float hmin, float porosity)
{
    std::fill(std::begin(G_REAL), std::end(G_REAL), 0.0f);
    std::fill(std::begin(G_INT), std::end(G_INT), 0);
    G_Debug = 0;
    G_REAL[slot::Gravity] = g;
    G_REAL[slot::MinWaterDepth] = hmin;
    G_REAL[slot::BedPorosity] = porosity;
    G_REAL[slot::FluidDensity] = 1000.0f;
    G_REAL[slot::SedimentDensity] = 2650.0f;
    G_INT[slot::FrictionOn] = 1;
}

/// The fixture Base whose SetUp also skips the test when the processor lacks AVX2 (the eight-lane kernels need it).
template <typename Base>
class NeedsAvx2 : public Base {
protected:
    void SetUp() override
    {
        Base::SetUp();
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2 on this processor";
    }
};

/// Seeded random draws for the tests that sample kernel inputs.
class Random {
public:
    explicit Random(unsigned seed) : rng_(seed) {}
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    float uniform(float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng_); }
    float logUniform(float lo, float hi) { return std::exp(uniform(std::log(lo), std::log(hi))); }
    /// A non-finite, signed-zero, subnormal, tiny or extreme value.
    float odd()
    {
        const float values[] = {kNaN, std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                                0.0f, -0.0f, 1e-40f, 1e-30f, 3e38f, -3e38f, 1e20f};
        return values[pick(10)];
    }

private:
    std::mt19937 rng_;
};

/// Same bit pattern (signed zeros told apart), or both NaN.
inline bool sameFloat(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); }

}  // namespace kerneltest

namespace hydtest {

constexpr float kG = 9.81f;
constexpr float kHmin = 0.01f;

/// Earth gravity, a 1 cm wet threshold, Manning friction; reset before every test.
class HydraulicKernels : public ::testing::Test {
protected:
    void SetUp() override
    {
        kerneltest::resetGlobals(kG, kHmin, 0.4f);
        G_INT[slot::FrictionType] = 1;
        hydraulics::deriveParameters(G_REAL);
    }
};

using Flux = std::array<float, 5>;

/// The inputs of one internal-edge solve: unit normal, left and right state (H, qx, qy), bed and wet flag.
struct EdgeCase {
    float n[2];
    float sL[3];
    float zL;
    int wL;
    float sR[3];
    float zR;
    int wR;
};

}  // namespace hydtest

namespace mortest {

constexpr float kG = 9.81f;
constexpr float kHmin = 0.01f;
constexpr float kThetaC0 = 0.047f;
constexpr float kRepose = 0.5235988f;  // 30 degrees
constexpr float kPorosity = 0.4f;
constexpr float kFactor = 1.5f;  // BedloadFactor, not 1 so that a missing pre-factor shows

/// One cell of an internal edge as the sediment-flux kernel reads it.
struct Side {
    int wet = 1;
    float state[3] = {1.0f, 0.0f, 0.0f};  // H, qx, qy
    float zb = 0.0f;
    float cap[2] = {0.0f, 0.0f};  // transport capacity vector
    float der[2] = {0.0f, 0.0f};  // its derivative
};

/// Quartz sand in water, an MPM-like Shields formula.
inline void setParameters()
{
    kerneltest::resetGlobals(kG, kHmin, kPorosity);
    G_REAL[slot::BedloadFactor] = kFactor;
    G_REAL[slot::BedloadCoeff] = 8.0f;
    G_REAL[slot::BedloadExpon] = 1.5f;
    G_REAL[slot::BedloadIkeda] = 0.5f;
    G_REAL[slot::BedloadCurvature] = 7.0f;
    G_REAL[slot::ThetaCritical] = kThetaC0;
    G_REAL[slot::ReposeAngle] = kRepose;
    G_INT[slot::BeadloadType] = 1;
    G_INT[slot::IncipientMotType] = 1;
    hydraulics::deriveParameters(G_REAL);
}

class MorphologyKernels : public ::testing::Test {
protected:
    void SetUp() override { setParameters(); }
    static float porosityFactor() { return 1.0f / (1.0f - kPorosity); }
};

/// Least-squares reconstruction weights (wx0, wy0, wx1, wy1, wx2, wy2) of a cell whose three neighbour centroids lie
/// at the offsets d[j] from its own: sum_j w_j (f_j - f_c) is the exact gradient of any linear f.
inline std::array<float, 6> reconstructionWeights(const std::array<std::array<double, 2>, 3>& d)
{
    double a = 0, b = 0, c = 0;  // D^T D = [[a, b], [b, c]]
    for (const auto& o : d) {
        a += o[0] * o[0];
        b += o[0] * o[1];
        c += o[1] * o[1];
    }
    const double det = a * c - b * b;
    std::array<float, 6> w{};
    for (int j = 0; j < 3; ++j) {
        w[2 * j] = static_cast<float>((c * d[j][0] - b * d[j][1]) / det);
        w[2 * j + 1] = static_cast<float>((-b * d[j][0] + a * d[j][1]) / det);
    }
    return w;
}

/// Components of v rotated by the angle a [rad].
inline std::array<double, 2> rotated(const std::array<double, 2>& v, double a)
{
    return {std::cos(a) * v[0] - std::sin(a) * v[1], std::sin(a) * v[0] + std::cos(a) * v[1]};
}

}  // namespace mortest
