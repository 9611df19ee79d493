// Pure rules the domain applies around its kernels: the time step after the edge reduction (CFL number and the
// first-step rule) and the parameters derived from the model's parameters.
#pragma once

#include <algorithm>

#include "simulation/kernels/GlobalConstants.hpp"

namespace hydraulics {

/// Step [s] the edges admit after the reduction, CFL number applied, in float. edgeMinimum is the reduced minimum
/// of the per-edge admissible steps (it starts at dtMax, so it equals dtMax exactly when no edge limited the step,
/// e.g. a dry domain). On the first step such an unlimited minimum is replaced by dtInit / cflNumber;
/// firstTimeStep is cleared in every case.
inline float stableTimeStep(float edgeMinimum, bool& firstTimeStep, double dtInit, float dtMax, float cflNumber)
{
    float m = edgeMinimum;
    if (firstTimeStep) {
        if (m == dtMax) m = static_cast<float>(dtInit / static_cast<double>(cflNumber));
        firstTimeStep = false;
    }
    return m * cflNumber;
}

/// New time step [s] after the edge reduction: min(dt, stableTimeStep(...)), evaluated in float, so the step only
/// ever shrinks.
inline double limitedTimeStep(double dt, float edgeMinimum, bool& firstTimeStep, double dtInit, float dtMax,
                              float cflNumber)
{
    const float stable = stableTimeStep(edgeMinimum, firstTimeStep, dtInit, dtMax, cflNumber);
    return static_cast<double>(std::min(static_cast<float>(dt), stable));
}

/// Fills the derived slots of the float table from the loaded parameters, overwriting what the model file gave:
/// InvGravity = 1/Gravity, InvBedPorosity = 1/(1 - BedPorosity) (double, stored as float) and
/// SedRelDensity = (SedimentDensity - FluidDensity)/FluidDensity.
inline void deriveParameters(float* real)
{
    real[slot::InvGravity] = 1.0f / real[slot::Gravity];
    real[slot::InvBedPorosity] = static_cast<float>(1.0 / (1.0 - static_cast<double>(real[slot::BedPorosity])));
    real[slot::SedRelDensity] = (real[slot::SedimentDensity] - real[slot::FluidDensity]) / real[slot::FluidDensity];
}

}  // namespace hydraulics
