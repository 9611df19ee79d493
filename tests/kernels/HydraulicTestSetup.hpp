// Parameter set shared by the hydraulic kernel tests (earth gravity, a 1 cm wet threshold, Manning friction) and
// the inputs of an internal-edge solve.
#pragma once

#include <gtest/gtest.h>

#include <array>

#include "kernels/KernelTestGlobals.hpp"
#include "simulation/kernels/DomainRules.hpp"
#include "simulation/kernels/GlobalConstants.hpp"

namespace hydtest {

constexpr float kG = 9.81f;
constexpr float kHmin = 0.01f;

/// Resets the global tables before every test, so no test depends on another's parameters.
class HydraulicKernels : public ::testing::Test {
protected:
    void SetUp() override
    {
        kerneltest::resetGlobals(kG, kHmin, 0.4f);
        G_REAL[slot::CFLnumber] = 0.9f;
        G_REAL[slot::DTmax] = 10.0f;
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
