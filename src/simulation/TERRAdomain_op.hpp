// The concrete simulation object: one per process; binds every kernel identifier to a wrapper that runs the
// kernel's parallel loop over its set.
#pragma once

#include <string>

#include "simulation/TERRAcommon_op.hpp"

namespace simulation {

class TERRAdomain : public TERRAcommon {
public:
    /// The one domain object. The first call constructs it from the two file names; later calls return it and
    /// ignore their arguments. The caller deletes it at the end of the run.
    static TERRAdomain* getInstance(const std::string& configFile, const std::string& runFile);

    ~TERRAdomain() override;

    /// Derived constants: InvGravity = 1/Gravity, InvBedPorosity = 1/(1 - BedPorosity) (in double, stored as
    /// float), SedRelDensity = (SedimentDensity - FluidDensity)/FluidDensity; they replace the file's values.
    void initializeSimulationParameters() override;

    // Kernel wrappers: each builds the loop arguments of its kernel from the driver's registries and runs the
    // kernel's parallel loop; a few post-process reduced values (time step, mass-conservation flag).
    void kernel_HYDRAULICS_InitializeCellFeatures();
    void kernel_MORPHOLOGY_InitializeCellFeatures();
    void kernel_HYDRAULICS_InitializeFriction();
    void kernel_HYDRAULICS_TimeStep();
    void kernel_TOPOLOGY_NodeStringStates();
    void kernel_DATA_EdgeInterpolation();
    void kernel_DATA_CellInterpolation();
    void kernel_DATA_EdgeModification();
    void kernel_DATA_CellModification();
    void kernel_HYDRAULICS_CalcCurvature();
    void kernel_MORPHOLOGY_CalcBedGradient();
    void kernel_HYDRAULICS_Boundary();
    void kernel_MORPHOLOGY_Boundary();
    void kernel_HYDRAULICS_WallFluxes();
    void kernel_MORPHOLOGY_WallFluxes();
    void kernel_HYDRAULICS_InternalFluxes();
    void kernel_MORPHOLOGY_LocalBedSlope();
    void kernel_MORPHOLOGY_CalcBedloadTransport();
    void kernel_MORPHOLOGY_InternalFluxes();
    void kernel_MORPHOLOGY_FixedBedCorrection();
    void kernel_GLOBAL_Update();
    void kernel_HYDRAULICS_Friction();
    void kernel_HYDRAULICS_FloodTracking();
    void kernel_HYDRAULICS_Source();
    void kernel_MORPHOLOGY_Source();

private:
    TERRAdomain(const std::string& configFile, const std::string& runFile);

    static TERRAdomain* instance;
};

}  // namespace simulation
