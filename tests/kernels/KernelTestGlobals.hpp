// The global parameter tables as every kernel test starts from them.
#pragma once

#include <algorithm>
#include <iterator>

#include "simulation/kernels/GlobalConstants.hpp"

namespace kerneltest {

/// Zeroes G_REAL, G_INT and G_Debug, then sets what the hydraulic and the morphological kernel tests share:
/// gravity g [m/s^2], wet threshold hmin [m], bed porosity [-], water and quartz densities [kg/m^3], friction on.
/// The caller sets its own parameters and then derives the dependent slots (hydraulics::deriveParameters).
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

}  // namespace kerneltest
