// Kernel wrappers of the domain. Their loop functions are not part of this build yet: every wrapper stops the run
// with a clear message instead of pretending to compute.
#include <iostream>
#include <string>

#include "common/TerraException.hpp"
#include "simulation/TERRAdomain_op.hpp"

namespace simulation {

namespace {

[[noreturn]] void notYetImplemented(const std::string& wrapper)
{
    std::cerr << " -> " << wrapper << " is not yet implemented in this build" << std::endl;
    throw TerraException();
}

}  // namespace

void TERRAdomain::kernel_HYDRAULICS_InitializeCellFeatures()
{
    notYetImplemented("kernel_HYDRAULICS_InitializeCellFeatures");
}
void TERRAdomain::kernel_MORPHOLOGY_InitializeCellFeatures()
{
    notYetImplemented("kernel_MORPHOLOGY_InitializeCellFeatures");
}
void TERRAdomain::kernel_HYDRAULICS_InitializeFriction() { notYetImplemented("kernel_HYDRAULICS_InitializeFriction"); }
void TERRAdomain::kernel_HYDRAULICS_TimeStep() { notYetImplemented("kernel_HYDRAULICS_TimeStep"); }
void TERRAdomain::kernel_TOPOLOGY_NodeStringStates() { notYetImplemented("kernel_TOPOLOGY_NodeStringStates"); }
void TERRAdomain::kernel_DATA_EdgeInterpolation() { notYetImplemented("kernel_DATA_EdgeInterpolation"); }
void TERRAdomain::kernel_DATA_CellInterpolation() { notYetImplemented("kernel_DATA_CellInterpolation"); }
void TERRAdomain::kernel_DATA_EdgeModification() { notYetImplemented("kernel_DATA_EdgeModification"); }
void TERRAdomain::kernel_DATA_CellModification() { notYetImplemented("kernel_DATA_CellModification"); }
void TERRAdomain::kernel_HYDRAULICS_CalcCurvature() { notYetImplemented("kernel_HYDRAULICS_CalcCurvature"); }
void TERRAdomain::kernel_MORPHOLOGY_CalcBedGradient() { notYetImplemented("kernel_MORPHOLOGY_CalcBedGradient"); }
void TERRAdomain::kernel_HYDRAULICS_Boundary() { notYetImplemented("kernel_HYDRAULICS_Boundary"); }
void TERRAdomain::kernel_MORPHOLOGY_Boundary() { notYetImplemented("kernel_MORPHOLOGY_Boundary"); }
void TERRAdomain::kernel_HYDRAULICS_WallFluxes() { notYetImplemented("kernel_HYDRAULICS_WallFluxes"); }
void TERRAdomain::kernel_MORPHOLOGY_WallFluxes() { notYetImplemented("kernel_MORPHOLOGY_WallFluxes"); }
void TERRAdomain::kernel_HYDRAULICS_InternalFluxes() { notYetImplemented("kernel_HYDRAULICS_InternalFluxes"); }
void TERRAdomain::kernel_MORPHOLOGY_LocalBedSlope() { notYetImplemented("kernel_MORPHOLOGY_LocalBedSlope"); }
void TERRAdomain::kernel_MORPHOLOGY_CalcBedloadTransport()
{
    notYetImplemented("kernel_MORPHOLOGY_CalcBedloadTransport");
}
void TERRAdomain::kernel_MORPHOLOGY_InternalFluxes() { notYetImplemented("kernel_MORPHOLOGY_InternalFluxes"); }
void TERRAdomain::kernel_MORPHOLOGY_FixedBedCorrection() { notYetImplemented("kernel_MORPHOLOGY_FixedBedCorrection"); }
void TERRAdomain::kernel_GLOBAL_Update() { notYetImplemented("kernel_GLOBAL_Update"); }
void TERRAdomain::kernel_HYDRAULICS_Friction() { notYetImplemented("kernel_HYDRAULICS_Friction"); }
void TERRAdomain::kernel_HYDRAULICS_FloodTracking() { notYetImplemented("kernel_HYDRAULICS_FloodTracking"); }
void TERRAdomain::kernel_HYDRAULICS_Source() { notYetImplemented("kernel_HYDRAULICS_Source"); }
void TERRAdomain::kernel_MORPHOLOGY_Source() { notYetImplemented("kernel_MORPHOLOGY_Source"); }

}  // namespace simulation
