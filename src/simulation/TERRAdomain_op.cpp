#include "simulation/TERRAdomain_op.hpp"

#include "simulation/kernels/DomainRules.hpp"
#include "simulation/kernels/GlobalConstants.hpp"

namespace simulation {

TERRAdomain* TERRAdomain::instance = nullptr;

TERRAdomain* TERRAdomain::getInstance(const std::string& configFile, const std::string& runFile)
{
    if (instance == nullptr) instance = new TERRAdomain(configFile, runFile);
    return instance;
}

TERRAdomain::TERRAdomain(const std::string& configFile, const std::string& runFile) : TERRAcommon(configFile, runFile)
{
    using model::KernelID;
    // Identifier 20 (the fixed-bed maximum search) has no callable: its loop runs inside the fixed-bed correction.
    kernelFunctions[KernelID::InitCellHydFeatures] = [this] { kernel_HYDRAULICS_InitializeCellFeatures(); };
    kernelFunctions[KernelID::InitCellMorFeatures] = [this] { kernel_MORPHOLOGY_InitializeCellFeatures(); };
    kernelFunctions[KernelID::InitFrictionFeatures] = [this] { kernel_HYDRAULICS_InitializeFriction(); };
    kernelFunctions[KernelID::NodeStringStateCalc] = [this] { kernel_TOPOLOGY_NodeStringStates(); };
    kernelFunctions[KernelID::EdgeDataInterpolation] = [this] { kernel_DATA_EdgeInterpolation(); };
    kernelFunctions[KernelID::CellDataInterpolation] = [this] { kernel_DATA_CellInterpolation(); };
    kernelFunctions[KernelID::EdgeDataModification] = [this] { kernel_DATA_EdgeModification(); };
    kernelFunctions[KernelID::CellDataModification] = [this] { kernel_DATA_CellModification(); };
    kernelFunctions[KernelID::TimeStepCalculation] = [this] { kernel_HYDRAULICS_TimeStep(); };
    kernelFunctions[KernelID::HydBoundaryFluxes] = [this] { kernel_HYDRAULICS_Boundary(); };
    kernelFunctions[KernelID::HydWallBFluxes] = [this] { kernel_HYDRAULICS_WallFluxes(); };
    kernelFunctions[KernelID::HydInternalFluxes] = [this] { kernel_HYDRAULICS_InternalFluxes(); };
    kernelFunctions[KernelID::HydFriction] = [this] { kernel_HYDRAULICS_Friction(); };
    kernelFunctions[KernelID::HydSource] = [this] { kernel_HYDRAULICS_Source(); };
    kernelFunctions[KernelID::HydFlood] = [this] { kernel_HYDRAULICS_FloodTracking(); };
    kernelFunctions[KernelID::MorBoundaryFluxes] = [this] { kernel_MORPHOLOGY_Boundary(); };
    kernelFunctions[KernelID::MorWallBFluxes] = [this] { kernel_MORPHOLOGY_WallFluxes(); };
    kernelFunctions[KernelID::MorBedloadTransport] = [this] { kernel_MORPHOLOGY_CalcBedloadTransport(); };
    kernelFunctions[KernelID::MorInternalFluxes] = [this] { kernel_MORPHOLOGY_InternalFluxes(); };
    kernelFunctions[KernelID::CalCCurvature] = [this] { kernel_HYDRAULICS_CalcCurvature(); };
    kernelFunctions[KernelID::CalcBedGradient] = [this] { kernel_MORPHOLOGY_CalcBedGradient(); };
    kernelFunctions[KernelID::MorFixBedCorrection] = [this] { kernel_MORPHOLOGY_FixedBedCorrection(); };
    kernelFunctions[KernelID::LocalBedSlope] = [this] { kernel_MORPHOLOGY_LocalBedSlope(); };
    kernelFunctions[KernelID::MorSource] = [this] { kernel_MORPHOLOGY_Source(); };
    kernelFunctions[KernelID::Update] = [this] { kernel_GLOBAL_Update(); };
}

TERRAdomain::~TERRAdomain()
{
    // The shell deletes the object; a later getInstance must not hand out the dangling pointer.
    if (instance == this) instance = nullptr;
}

void TERRAdomain::initializeSimulationParameters() { hydraulics::deriveParameters(G_REAL); }

}  // namespace simulation
