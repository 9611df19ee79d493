// Parameter set shared by the morphological kernel tests: quartz sand in water, an MPM-like Shields formula.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "kernels/KernelTestGlobals.hpp"
#include "simulation/kernels/DomainRules.hpp"
#include "simulation/kernels/GlobalConstants.hpp"

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

/// Resets the global tables to the parameter set above.
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

/// Resets the global tables before every test, so no test depends on another's parameters.
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
