// Kernel wrappers of the domain: each looks up the loop set, maps and data of its kernel in the driver's registries
// by catalogue identifier, builds one loop argument per kernel parameter, runs the kernel's loop function and
// post-processes reduced values (time step, mass-conservation flags, fixed-bed iteration).
#include <algorithm>
#include <iostream>
#include <map>

#include "common/TerraException.hpp"
#include "model/Catalogue.hpp"
#include "op/op_openmp_decl.h"
#include "simulation/TERRAdomain_loops.hpp"
#include "simulation/TERRAdomain_op.hpp"
#include "simulation/kernels/DomainRules.hpp"
#include "simulation/kernels/GlobalConstants.hpp"
#include "simulation/kernels/KernelMessages.hpp"
#include "simulation/kernels/MorphologyFixedBed.hpp"

namespace simulation {

namespace {

using model::DataID;
using model::KernelID;
using model::MapID;
using model::SetID;

// Component type names of the loop arguments.
constexpr char const* F = "float";
constexpr char const* I = "int";

/// Read access to the driver's registries; an identifier the model does not hold yields a null handle, which the
/// framework's argument checks report when the argument is in use.
class Registry {
public:
    Registry(const std::map<SetID, op_set>& sets, const std::map<MapID, op_map>& maps,
             const std::map<DataID, op_dat>& data, const std::map<SetID, op_dat>& enumerators)
        : sets_(sets), maps_(maps), data_(data), enumerators_(enumerators)
    {
    }
    op_set set(SetID id) const { return find(sets_, id); }
    op_map map(MapID id) const { return find(maps_, id); }
    op_dat dat(DataID id) const { return find(data_, id); }
    /// Enumerator data of a set (entry i holds i); exists in debug runs only.
    op_dat enumerator(SetID id) const { return find(enumerators_, id); }

    /// Data on the loop set itself.
    op_arg direct(DataID id, int dim, char const* type, op_access acc) const
    {
        return op_arg_dat(dat(id), -1, OP_ID, dim, type, acc);
    }
    /// Data through column idx of a map, or through all d columns with idx = -d.
    op_arg through(DataID id, int idx, MapID m, int dim, char const* type, op_access acc) const
    {
        return op_arg_dat(dat(id), idx, map(m), dim, type, acc);
    }
    op_arg optDirect(bool on, DataID id, int dim, char const* type, op_access acc) const
    {
        return op_opt_arg_dat(on ? 1 : 0, dat(id), -1, OP_ID, dim, type, acc);
    }
    op_arg optThrough(bool on, DataID id, int idx, MapID m, int dim, char const* type, op_access acc) const
    {
        return op_opt_arg_dat(on ? 1 : 0, dat(id), idx, map(m), dim, type, acc);
    }

private:
    template <class K, class V>
    static V find(const std::map<K, V>& registry, K id)
    {
        const auto it = registry.find(id);
        return it == registry.end() ? nullptr : it->second;
    }

    const std::map<SetID, op_set>& sets_;
    const std::map<MapID, op_map>& maps_;
    const std::map<DataID, op_dat>& data_;
    const std::map<SetID, op_dat>& enumerators_;
};

/// The loop's name: the kernel's catalogue name (a stable string, the timing record keeps the pointer).
char const* loopName(KernelID id) { return model::catalogue::kernels().find(id)->property.name.c_str(); }

bool frictionOn() { return G_INT[slot::FrictionOn] == 1; }

/// 1 once the simulation time has reached MorphStart (compared in double precision), else 0.
int morphologySwitch(double time) { return time >= static_cast<double>(G_REAL[slot::MorphStart]) ? 1 : 0; }

/// Ends the run after a loop whose mass-conservation flag dropped to 0, when SafeMode is 1.
void killOnMassLoss(int massOk, char const* message)
{
    if (massOk == 0 && G_INT[slot::SafeMode] == 1) {
        std::cerr << " -> " << message << std::endl;
        throw TerraException();
    }
}

}  // namespace

void TERRAdomain::kernel_HYDRAULICS_InitializeCellFeatures()
{
    const Registry r(sets, maps, data, enumeratorData);
    op_par_loop_kernel_HYDRAULICS_InitializeCellFeatures(
        loopName(KernelID::InitCellHydFeatures), r.set(SetID::CellsAll), r.direct(DataID::HydState, 3, F, OP_READ),
        r.direct(DataID::BottomEl, 1, F, OP_READ), r.direct(DataID::IsWetted, 1, I, OP_WRITE));
}

void TERRAdomain::kernel_MORPHOLOGY_InitializeCellFeatures()
{
    const Registry r(sets, maps, data, enumeratorData);
    op_par_loop_kernel_MORPHOLOGY_InitializeCellFeatures(
        loopName(KernelID::InitCellMorFeatures), r.set(SetID::CellsAll), r.direct(DataID::BottomEl, 1, F, OP_READ),
        r.direct(DataID::FlowCurv, 1, F, OP_WRITE), r.direct(DataID::BedGrdnt, 2, F, OP_WRITE));
}

void TERRAdomain::kernel_HYDRAULICS_InitializeFriction()
{
    const Registry r(sets, maps, data, enumeratorData);
    op_par_loop_kernel_HYDRAULICS_InitializeFriction(
        loopName(KernelID::InitFrictionFeatures), r.set(SetID::CellsAll), r.direct(DataID::HydState, 3, F, OP_READ),
        r.direct(DataID::BottomEl, 1, F, OP_READ), r.direct(DataID::Friction, 1, F, OP_READ),
        r.direct(DataID::ChezyCoe, 1, F, OP_WRITE));
}

void TERRAdomain::kernel_HYDRAULICS_TimeStep()
{
    const Registry r(sets, maps, data, enumeratorData);
    const MapID lr = MapID::EdgesAll_CellsAll;
    float edgeMinimum = G_REAL[slot::DTmax];
    op_par_loop_kernel_HYDRAULICS_TimeStep(
        loopName(KernelID::TimeStepCalculation), r.set(SetID::EdgesAll), r.direct(DataID::NormVect, 2, F, OP_READ),
        r.direct(DataID::CharSize, 2, F, OP_READ), r.through(DataID::IsWetted, 0, lr, 1, I, OP_READ),
        r.through(DataID::IsWetted, 1, lr, 1, I, OP_READ), r.through(DataID::HydState, 0, lr, 3, F, OP_READ),
        r.through(DataID::HydState, 1, lr, 3, F, OP_READ), r.through(DataID::BottomEl, 0, lr, 1, F, OP_READ),
        r.through(DataID::BottomEl, 1, lr, 1, F, OP_READ), op_arg_gbl(&edgeMinimum, 1, F, OP_MIN));
    const float stable =
        hydraulics::stableTimeStep(edgeMinimum, firstTimeStep, dtInit, G_REAL[slot::DTmax], G_REAL[slot::CFLnumber]);
    stableStep = static_cast<double>(stable);
    dt = static_cast<double>(std::min(static_cast<float>(dt), stable));
}

void TERRAdomain::kernel_TOPOLOGY_NodeStringStates()
{
    const Registry r(sets, maps, data, enumeratorData);
    int morphologyOn = morphologySwitch(time);
    int frictionMorphologyOn = (morphologyOn == 1 && frictionOn()) ? 1 : 0;
    const bool m = morphologyOn == 1;
    const MapID edges = MapID::NodeStrg_EdgesAll;
    const MapID cells = MapID::NodeStrg_CellsAll;
    op_par_loop_kernel_TOPOLOGY_NodeStringStates(
        loopName(KernelID::NodeStringStateCalc), r.set(SetID::NodeStrg), op_arg_gbl(&morphologyOn, 1, I, OP_READ),
        op_arg_gbl(&frictionMorphologyOn, 1, I, OP_READ), r.direct(DataID::NodeStrg_ListSize, 1, I, OP_READ),
        r.direct(DataID::NodeStrg_EdgeSign, 40, I, OP_READ), r.through(DataID::GeomLeng, -40, edges, 1, F, OP_READ),
        r.through(DataID::FluxesHy, -40, edges, 5, F, OP_READ),
        r.optThrough(m, DataID::FluxesMo, -40, edges, 1, F, OP_READ),
        r.optThrough(frictionMorphologyOn == 1, DataID::ChezyCoe, -40, cells, 1, F, OP_READ),
        r.optThrough(m, DataID::ThetaCrt, -40, cells, 1, F, OP_READ),
        r.optThrough(m, DataID::MSedSize, -40, cells, 1, F, OP_READ),
        r.through(DataID::HydState, -40, cells, 3, F, OP_READ), r.through(DataID::BottomEl, -40, cells, 1, F, OP_READ),
        r.through(DataID::CellsAll_GeomArea, -40, cells, 1, F, OP_READ), r.direct(DataID::StateVar, 10, F, OP_WRITE));
}

void TERRAdomain::kernel_DATA_EdgeInterpolation()
{
    const Registry r(sets, maps, data, enumeratorData);
    float t = static_cast<float>(time);
    const MapID series = MapID::EdInterp_InSeries;
    op_par_loop_kernel_DATA_EdgeInterpolation(
        loopName(KernelID::EdgeDataInterpolation), r.set(SetID::EdInterp),
        r.through(DataID::InSeries_NumValue, 0, series, 12000, F, OP_READ),
        r.through(DataID::InSeries_ListSize, 0, series, 1, I, OP_READ),
        r.direct(DataID::EdInterp_KeyPostn, 2, I, OP_READ),
        r.through(DataID::StateVar, 0, MapID::EdInterp_NodeStrg, 10, F, OP_READ), op_arg_gbl(&t, 1, F, OP_READ),
        r.through(DataID::EdgeData_NumValue, 0, MapID::EdInterp_EdgeData, 7, F, OP_WRITE));
}

void TERRAdomain::kernel_DATA_CellInterpolation()
{
    const Registry r(sets, maps, data, enumeratorData);
    float t = static_cast<float>(time);
    const MapID series = MapID::ClInterp_InSeries;
    op_par_loop_kernel_DATA_CellInterpolation(
        loopName(KernelID::CellDataInterpolation), r.set(SetID::ClInterp),
        r.through(DataID::InSeries_NumValue, 0, series, 12000, F, OP_READ),
        r.through(DataID::InSeries_ListSize, 0, series, 1, I, OP_READ),
        r.direct(DataID::ClInterp_KeyPostn, 2, I, OP_READ), op_arg_gbl(&t, 1, F, OP_READ),
        r.through(DataID::CellData_NumValue, 0, MapID::ClInterp_CellData, 2, F, OP_WRITE));
}

void TERRAdomain::kernel_DATA_EdgeModification()
{
    const Registry r(sets, maps, data, enumeratorData);
    float t = static_cast<float>(time);
    const MapID strings = MapID::EdModDat_NodeStrg;
    op_par_loop_kernel_DATA_EdgeModification(
        loopName(KernelID::EdgeDataModification), r.set(SetID::EdModDat),
        r.direct(DataID::EdModDat_ModfInfo, 7, I, OP_READ), r.through(DataID::StateVar, 0, strings, 10, F, OP_READ),
        r.through(DataID::StateVar, 1, strings, 10, F, OP_READ), r.through(DataID::TotalLen, 0, strings, 1, F, OP_READ),
        r.through(DataID::TotalLen, 1, strings, 1, F, OP_READ), op_arg_gbl(&t, 1, F, OP_READ),
        r.direct(DataID::LocalDat, 2, F, OP_RW),
        r.through(DataID::EdgeData_NumValue, 0, MapID::EdModDat_EdgeData, 7, F, OP_RW));
}

void TERRAdomain::kernel_DATA_CellModification()
{
    const Registry r(sets, maps, data, enumeratorData);
    float t = static_cast<float>(time);
    op_par_loop_kernel_DATA_CellModification(
        loopName(KernelID::CellDataModification), r.set(SetID::ClModDat),
        r.direct(DataID::ClModDat_ModfInfo, 7, I, OP_READ),
        r.through(DataID::MatIDRgn_GeomArea, 0, MapID::ClModDat_MatIDRgn, 1, F, OP_READ), op_arg_gbl(&t, 1, F, OP_READ),
        r.through(DataID::CellData_NumValue, 0, MapID::ClModDat_CellData, 2, F, OP_RW));
}

void TERRAdomain::kernel_HYDRAULICS_CalcCurvature()
{
    const Registry r(sets, maps, data, enumeratorData);
    const MapID edges = MapID::CellsAll_EdgesAll;
    const MapID neighbours = MapID::CellsAll_NbrCells;
    op_par_loop_kernel_HYDRAULICS_CalcCurvature(
        loopName(KernelID::CalCCurvature), r.set(SetID::CellsAll),
        r.through(DataID::UnitCent, -3, edges, 2, F, OP_READ), r.through(DataID::DistCent, -3, edges, 1, F, OP_READ),
        r.direct(DataID::HydState, 3, F, OP_READ), r.direct(DataID::BottomEl, 1, F, OP_READ),
        r.through(DataID::HydState, -3, neighbours, 3, F, OP_READ),
        r.through(DataID::BottomEl, -3, neighbours, 1, F, OP_READ), r.direct(DataID::GeomWght, 6, F, OP_READ),
        r.direct(DataID::FlowCurv, 1, F, OP_WRITE));
}

void TERRAdomain::kernel_MORPHOLOGY_CalcBedGradient()
{
    const Registry r(sets, maps, data, enumeratorData);
    op_par_loop_kernel_MORPHOLOGY_CalcBedGradient(
        loopName(KernelID::CalcBedGradient), r.set(SetID::CellsAll), r.direct(DataID::BottomEl, 1, F, OP_READ),
        r.through(DataID::BottomEl, -3, MapID::CellsAll_NbrCells, 1, F, OP_READ),
        r.direct(DataID::GeomWght, 6, F, OP_READ), r.direct(DataID::BedGrdnt, 2, F, OP_WRITE));
}

void TERRAdomain::kernel_HYDRAULICS_Boundary()
{
    const Registry r(sets, maps, data, enumeratorData);
    const MapID edges = MapID::EdgHydBC_EdgesAll;
    const MapID lr = MapID::EdgHydBC_CellsAll;
    op_par_loop_kernel_HYDRAULICS_Boundary(
        loopName(KernelID::HydBoundaryFluxes), r.set(SetID::EdgHydBC), r.direct(DataID::HydBType, 2, I, OP_READ),
        r.through(DataID::EdgeData_NumValue, 0, MapID::EdgHydBC_EdgeData, 7, F, OP_READ),
        r.through(DataID::NormVect, 0, edges, 2, F, OP_READ), r.through(DataID::HydState, 0, lr, 3, F, OP_READ),
        r.through(DataID::HydState, 1, lr, 3, F, OP_READ), r.through(DataID::BottomEl, 0, lr, 1, F, OP_READ),
        r.through(DataID::BottomEl, 1, lr, 1, F, OP_READ),
        r.optThrough(frictionOn(), DataID::ChezyCoe, 0, lr, 1, F, OP_READ),
        r.through(DataID::CharSize, 0, edges, 2, F, OP_READ), r.through(DataID::FluxesHy, 0, edges, 5, F, OP_WRITE));
}

void TERRAdomain::kernel_MORPHOLOGY_Boundary()
{
    const Registry r(sets, maps, data, enumeratorData);
    float step = static_cast<float>(dt);
    const MapID edges = MapID::EdgMorBC_EdgesAll;
    const MapID lr = MapID::EdgMorBC_CellsAll;
    op_par_loop_kernel_MORPHOLOGY_Boundary(
        loopName(KernelID::MorBoundaryFluxes), r.set(SetID::EdgMorBC), op_arg_gbl(&step, 1, F, OP_READ),
        r.direct(DataID::MorBType, 2, I, OP_READ),
        r.through(DataID::EdgeData_NumValue, 0, MapID::EdgMorBC_EdgeData, 7, F, OP_READ),
        r.through(DataID::NormVect, 0, edges, 2, F, OP_READ), r.through(DataID::GeomLeng, 0, edges, 1, F, OP_READ),
        r.through(DataID::HydState, 0, lr, 3, F, OP_READ), r.through(DataID::HydState, 1, lr, 3, F, OP_READ),
        r.through(DataID::BottomEl, 0, lr, 1, F, OP_READ), r.through(DataID::BottomEl, 1, lr, 1, F, OP_READ),
        r.optThrough(frictionOn(), DataID::ChezyCoe, 0, lr, 1, F, OP_READ),
        r.through(DataID::CellsAll_GeomArea, 0, lr, 1, F, OP_READ), r.through(DataID::MSedSize, 0, lr, 1, F, OP_READ),
        r.through(DataID::FluxesMo, 0, edges, 1, F, OP_WRITE));
}

void TERRAdomain::kernel_HYDRAULICS_WallFluxes()
{
    const Registry r(sets, maps, data, enumeratorData);
    const MapID cells = MapID::EdgHydWL_CellsAll;
    const MapID edges = MapID::EdgHydWL_EdgesAll;
    op_par_loop_kernel_HYDRAULICS_WallFluxes(
        loopName(KernelID::HydWallBFluxes), r.set(SetID::EdgHydWL),
        r.through(DataID::HydState, 0, cells, 3, F, OP_READ), r.through(DataID::BottomEl, 0, cells, 1, F, OP_READ),
        r.through(DataID::NormVect, 0, edges, 2, F, OP_READ), r.through(DataID::FluxesHy, 0, edges, 5, F, OP_WRITE));
}

void TERRAdomain::kernel_MORPHOLOGY_WallFluxes()
{
    const Registry r(sets, maps, data, enumeratorData);
    op_par_loop_kernel_MORPHOLOGY_WallFluxes(loopName(KernelID::MorWallBFluxes), r.set(SetID::EdgMorWL),
                                             r.through(DataID::FluxesMo, 0, MapID::EdgMorWL_EdgesAll, 1, F, OP_WRITE));
}

void TERRAdomain::kernel_HYDRAULICS_InternalFluxes()
{
    const Registry r(sets, maps, data, enumeratorData);
    const MapID edges = MapID::EdgesSWE_EdgesAll;
    const MapID lr = MapID::EdgesSWE_CellsAll;
    op_par_loop_kernel_HYDRAULICS_InternalFluxes(
        loopName(KernelID::HydInternalFluxes), r.set(SetID::EdgesSWE),
        r.through(DataID::NormVect, 0, edges, 2, F, OP_READ), r.through(DataID::IsWetted, 0, lr, 1, I, OP_READ),
        r.through(DataID::IsWetted, 1, lr, 1, I, OP_READ), r.through(DataID::HydState, 0, lr, 3, F, OP_READ),
        r.through(DataID::HydState, 1, lr, 3, F, OP_READ), r.through(DataID::BottomEl, 0, lr, 1, F, OP_READ),
        r.through(DataID::BottomEl, 1, lr, 1, F, OP_READ), r.through(DataID::FluxesHy, 0, edges, 5, F, OP_WRITE));
}

void TERRAdomain::kernel_MORPHOLOGY_LocalBedSlope()
{
    const Registry r(sets, maps, data, enumeratorData);
    op_par_loop_kernel_MORPHOLOGY_LocalBedSlope(
        loopName(KernelID::LocalBedSlope), r.set(SetID::CellsAll), r.direct(DataID::HydState, 3, F, OP_READ),
        r.direct(DataID::BottomEl, 1, F, OP_READ), r.direct(DataID::BedGrdnt, 2, F, OP_READ),
        r.direct(DataID::ThetaCrt, 1, F, OP_WRITE));
}

void TERRAdomain::kernel_MORPHOLOGY_CalcBedloadTransport()
{
    const Registry r(sets, maps, data, enumeratorData);
    int friction = frictionOn() ? 1 : 0;
    op_par_loop_kernel_MORPHOLOGY_CalcBedloadTransport(
        loopName(KernelID::MorBedloadTransport), r.set(SetID::CellsAll), op_arg_gbl(&friction, 1, I, OP_READ),
        r.direct(DataID::HydState, 3, F, OP_READ), r.direct(DataID::BottomEl, 1, F, OP_READ),
        r.optDirect(friction == 1, DataID::ChezyCoe, 1, F, OP_READ), r.direct(DataID::MSedSize, 1, F, OP_READ),
        r.direct(DataID::ThetaCrt, 1, F, OP_READ), r.direct(DataID::BedGrdnt, 2, F, OP_READ),
        r.direct(DataID::FlowCurv, 1, F, OP_READ), r.direct(DataID::BedTrCap, 2, F, OP_WRITE),
        r.direct(DataID::BedTrDer, 2, F, OP_WRITE));
}

void TERRAdomain::kernel_MORPHOLOGY_InternalFluxes()
{
    const Registry r(sets, maps, data, enumeratorData);
    const MapID edges = MapID::EdgesEXN_EdgesAll;
    const MapID lr = MapID::EdgesEXN_CellsAll;
    op_par_loop_kernel_MORPHOLOGY_InternalFluxes(
        loopName(KernelID::MorInternalFluxes), r.set(SetID::EdgesEXN),
        r.through(DataID::NormVect, 0, edges, 2, F, OP_READ), r.through(DataID::IsWetted, 0, lr, 1, I, OP_READ),
        r.through(DataID::IsWetted, 1, lr, 1, I, OP_READ), r.through(DataID::HydState, 0, lr, 3, F, OP_READ),
        r.through(DataID::HydState, 1, lr, 3, F, OP_READ), r.through(DataID::BottomEl, 0, lr, 1, F, OP_READ),
        r.through(DataID::BottomEl, 1, lr, 1, F, OP_READ), r.through(DataID::BedTrCap, 0, lr, 2, F, OP_READ),
        r.through(DataID::BedTrCap, 1, lr, 2, F, OP_READ), r.through(DataID::BedTrDer, 0, lr, 2, F, OP_READ),
        r.through(DataID::BedTrDer, 1, lr, 2, F, OP_READ), r.through(DataID::FluxesMo, 0, edges, 1, F, OP_WRITE));
}

void TERRAdomain::kernel_MORPHOLOGY_FixedBedCorrection()
{
    const Registry r(sets, maps, data, enumeratorData);
    float step = static_cast<float>(dt);
    const op_set fixedCells = r.set(SetID::CellsFix);
    const MapID cell = MapID::CellsFix_CellsAll;
    const MapID edges = MapID::CellsFix_EdgesAll;
    auto correctionPass = [&] {
        const kernelmessages::LoopCall messages("kernel_MORPHOLOGY_FixedBedCorrection");
        op_par_loop_kernel_MORPHOLOGY_FixedBedCorrection(
            loopName(KernelID::MorFixBedCorrection), fixedCells,
            op_opt_arg_dat(G_Debug, r.enumerator(SetID::CellsAll), 0, r.map(cell), 1, I, OP_READ),
            op_arg_gbl(&step, 1, F, OP_READ), r.through(DataID::CellsAll_GeomArea, 0, cell, 1, F, OP_READ),
            r.through(DataID::BottomEl, 0, cell, 1, F, OP_READ), r.direct(DataID::FixBedEl, 1, F, OP_READ),
            r.through(DataID::CellsAll_EdgeSign, 0, cell, 3, I, OP_READ),
            r.through(DataID::GeomLeng, -3, edges, 1, F, OP_READ), r.direct(DataID::NewBedEl, 1, F, OP_WRITE),
            r.through(DataID::FluxesMo, -3, edges, 1, F, OP_RW));
    };
    auto findMax = [&](float& overshoot) {
        op_par_loop_kernel_MORPHOLOGY_FixedBedCorrectionFindMax(
            loopName(KernelID::MorFixBedCorrectionMax), fixedCells, r.direct(DataID::FixBedEl, 1, F, OP_READ),
            r.direct(DataID::NewBedEl, 1, F, OP_READ), op_arg_gbl(&overshoot, 1, F, OP_MAX));
    };
    morphology::iterateFixedBedCorrection(G_REAL[slot::FixBedAccuracy], G_INT[slot::FixBedMaxIter], correctionPass,
                                          findMax);
}

void TERRAdomain::kernel_GLOBAL_Update()
{
    const Registry r(sets, maps, data, enumeratorData);
    float step = static_cast<float>(dt);
    int morphologyOn = morphologySwitch(time);
    int massOk = 1;
    const kernelmessages::LoopCall messages("kernel_GLOBAL_Update");
    const MapID edges = MapID::CellsAll_EdgesAll;
    op_par_loop_kernel_GLOBAL_Update(loopName(KernelID::Update), r.set(SetID::CellsAll),
                                     op_opt_arg_dat(G_Debug, r.enumerator(SetID::CellsAll), -1, OP_ID, 1, I, OP_READ),
                                     op_arg_gbl(&step, 1, F, OP_READ), op_arg_gbl(&morphologyOn, 1, I, OP_READ),
                                     r.direct(DataID::CellsAll_GeomArea, 1, F, OP_READ),
                                     r.through(DataID::GeomLeng, -3, edges, 1, F, OP_READ),
                                     r.through(DataID::FluxesHy, -3, edges, 5, F, OP_READ),
                                     r.optThrough(morphologyOn == 1, DataID::FluxesMo, -3, edges, 1, F, OP_READ),
                                     r.direct(DataID::CellsAll_EdgeSign, 3, I, OP_READ),
                                     r.direct(DataID::HydState, 3, F, OP_RW), r.direct(DataID::BottomEl, 1, F, OP_RW),
                                     r.direct(DataID::IsWetted, 1, I, OP_WRITE), op_arg_gbl(&massOk, 1, I, OP_MIN));
    killOnMassLoss(massOk, "ERROR in kernel_GLOBAL_Update... MASS not conserved");
}

void TERRAdomain::kernel_HYDRAULICS_Friction()
{
    const Registry r(sets, maps, data, enumeratorData);
    float step = static_cast<float>(dt);
    op_par_loop_kernel_HYDRAULICS_Friction(
        loopName(KernelID::HydFriction), r.set(SetID::CellsAll), op_arg_gbl(&step, 1, F, OP_READ),
        r.direct(DataID::BottomEl, 1, F, OP_READ), r.direct(DataID::Friction, 1, F, OP_READ),
        r.direct(DataID::ChezyCoe, 1, F, OP_WRITE), r.direct(DataID::HydState, 3, F, OP_RW));
}

void TERRAdomain::kernel_HYDRAULICS_FloodTracking()
{
    const Registry r(sets, maps, data, enumeratorData);
    float t = static_cast<float>(time);
    op_par_loop_kernel_HYDRAULICS_FloodTracking(
        loopName(KernelID::HydFlood), r.set(SetID::CellsAll), op_arg_gbl(&t, 1, F, OP_READ),
        r.direct(DataID::HydState, 3, F, OP_READ), r.direct(DataID::BottomEl, 1, F, OP_READ),
        r.direct(DataID::IsWetted, 1, I, OP_READ), r.direct(DataID::FloodVar, 4, F, OP_RW));
}

void TERRAdomain::kernel_HYDRAULICS_Source()
{
    const Registry r(sets, maps, data, enumeratorData);
    float step = static_cast<float>(dt);
    int massOk = 1;
    const kernelmessages::LoopCall messages("kernel_HYDRAULICS_Source");
    const MapID cells = MapID::ClHydSrc_CellsAll;
    op_par_loop_kernel_HYDRAULICS_Source(
        loopName(KernelID::HydSource), r.set(SetID::ClHydSrc), op_arg_gbl(&step, 1, F, OP_READ),
        r.through(DataID::CellData_NumValue, 0, MapID::ClHydSrc_CellData, 2, F, OP_READ),
        r.direct(DataID::ClHydSrc_SinkType, 1, I, OP_READ), r.through(DataID::BottomEl, 0, cells, 1, F, OP_READ),
        r.through(DataID::HydState, 0, cells, 3, F, OP_RW), r.through(DataID::IsWetted, 0, cells, 1, I, OP_WRITE),
        op_arg_gbl(&massOk, 1, I, OP_MIN));
    killOnMassLoss(massOk, "ERROR in kernel_HYDRAULICS_Source... LIQUID MASS not conserved");
}

void TERRAdomain::kernel_MORPHOLOGY_Source()
{
    const Registry r(sets, maps, data, enumeratorData);
    float step = static_cast<float>(dt);
    int massOk = 1;
    const kernelmessages::LoopCall messages("kernel_MORPHOLOGY_Source");
    const MapID cells = MapID::ClMorSrc_CellsAll;
    op_par_loop_kernel_MORPHOLOGY_Source(
        loopName(KernelID::MorSource), r.set(SetID::ClMorSrc), op_arg_gbl(&step, 1, F, OP_READ),
        r.through(DataID::CellData_NumValue, 0, MapID::ClMorSrc_CellData, 2, F, OP_READ),
        r.direct(DataID::ClMorSrc_SinkType, 1, I, OP_READ), r.through(DataID::BottomEl, 0, cells, 1, F, OP_RW),
        r.through(DataID::FixBedEl, 0, MapID::ClMorSrc_CellsFix, 1, F, OP_READ),
        r.through(DataID::HydState, 0, cells, 3, F, OP_RW), op_arg_gbl(&massOk, 1, I, OP_MIN));
    killOnMassLoss(massOk, "ERROR in kernel_MORPHOLOGY_Source... SEDIMENT MASS not conserved");
}

}  // namespace simulation
