// Parameter set shared by the hydraulic kernel tests: earth gravity, a 1 cm wet threshold, Manning friction.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

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
        std::fill(std::begin(G_REAL), std::end(G_REAL), 0.0f);
        std::fill(std::begin(G_INT), std::end(G_INT), 0);
        G_Debug = 0;
        G_REAL[slot::Gravity] = kG;
        G_REAL[slot::MinWaterDepth] = kHmin;
        G_REAL[slot::CFLnumber] = 0.9f;
        G_REAL[slot::DTmax] = 10.0f;
        G_REAL[slot::BedPorosity] = 0.4f;
        G_REAL[slot::FluidDensity] = 1000.0f;
        G_REAL[slot::SedimentDensity] = 2650.0f;
        G_INT[slot::FrictionOn] = 1;
        G_INT[slot::FrictionType] = 1;
        hydraulics::deriveParameters(G_REAL);
    }
};

using Flux = std::array<float, 5>;

}  // namespace hydtest
