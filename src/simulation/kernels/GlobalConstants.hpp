// The global constant tables every kernel reads: model parameters by slot, loaded once at set-up.
#pragma once

#include "model/Dimensions.hpp"

/// Float parameters by slot (a parameter's slot is its identifier value; a vector parameter takes consecutive
/// slots). Filled from the model file at set-up; slots 5, 9 and 12 are derived by the simulation.
extern float G_REAL[model::Dimensions::NrGlobalConstants];
/// Integer parameters by slot, same numbering as G_REAL.
extern int G_INT[model::Dimensions::NrGlobalConstants];
/// 1 when the run prints element identifiers with numerical problems (--debug), else 0.
extern int G_Debug;

/// Slot numbers, named as the catalogue names the parameters.
namespace slot {
enum : int {
    RefBottomEl = 0,
    CFLnumber = 1,
    DTmax = 2,
    MinWaterDepth = 3,
    Gravity = 4,
    InvGravity = 5,
    FrictionOn = 6,
    FrictionType = 7,
    BedPorosity = 8,
    InvBedPorosity = 9,
    FluidDensity = 10,
    SedimentDensity = 11,
    SedRelDensity = 12,
    BeadloadType = 13,
    BedloadFactor = 14,
    BedloadCoeff = 15,
    BedloadExpon = 16,
    BedloadIkeda = 17,
    BedloadCurvature = 18,
    BedloadIsIkeda = 19,
    BedloadIsCurvature = 20,
    FixBedAccuracy = 21,
    FixBedMaxIter = 22,
    MorphStart = 23,
    ThetaCritical = 24,
    ReposeAngle = 25,
    IncipientMotType = 26,
    SafeMode = 27,
};
}  // namespace slot
