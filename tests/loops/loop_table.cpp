// The loop functions of the domain's kernels on a small mesh holding every catalogue set, map and datum: each loop
// must run its kernel under its own timing slot, with the expanded argument count and the number of indirect
// datasets of the loop table (a whole node-string row counts 40 arguments, a cell's edge row 3), and reductions
// must reach the caller's variable.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/Catalogue.hpp"
#include "op/op_openmp_decl.h"
#include "op/op_rt_support.h"
#include "simulation/TERRAdomain_loops.hpp"
#include "simulation/kernels/GlobalConstants.hpp"

namespace {

using model::DataID;
using model::MapID;
using model::SetID;

constexpr int kSetSize = 5;

/// Every catalogue set with kSetSize elements, every map (entry (e + k) mod target size, so width-1 maps are
/// one-to-one), every non-string datum zero-filled except the integer sizes and keys the kernels index with.
class CatalogueMesh : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::memset(G_REAL, 0, sizeof(G_REAL));
        std::memset(G_INT, 0, sizeof(G_INT));
        G_REAL[slot::Gravity] = 9.81f;
        G_REAL[slot::MinWaterDepth] = 0.01f;
        G_REAL[slot::DTmax] = 10.0f;
        G_Debug = 0;
        op_init(0, nullptr, 0);
        for (SetID id : model::catalogue::sets().ids())
            sets[id] = op_decl_set(kSetSize, model::catalogue::sets().find(id)->property.name.c_str());
        for (MapID id : model::catalogue::maps().ids()) {
            const auto& e = *model::catalogue::maps().find(id);
            const int dim = e.property.size;
            auto& table = mapTables[id];
            for (int i = 0; i < kSetSize * dim; ++i) table.push_back((i / dim + i % dim) % kSetSize);
            maps[id] = op_decl_map(sets[e.from], sets[e.to], dim, table.data(), e.property.name.c_str());
        }
        for (DataID id : model::catalogue::data().ids()) {
            const auto& e = *model::catalogue::data().find(id);
            if (e.property.type == 4) continue;  // strings are set-up data only
            const int dim = e.property.size;
            // Integer sizes and keys the kernels index with: 1, series sizes 2, interpolation keys 0 (time).
            const bool key = id == DataID::EdInterp_KeyPostn || id == DataID::ClInterp_KeyPostn;
            auto& buffer = buffers[id];
            buffer.assign(static_cast<std::size_t>(kSetSize * dim),
                          e.property.type != 1 || key ? 0 : id == DataID::InSeries_ListSize ? 2 : 1);
            data[id] = op_decl_dat_char(sets[e.set], dim, e.property.type == 1 ? "int" : "float", 4,
                                        reinterpret_cast<char*>(buffer.data()), e.property.name.c_str());
        }
    }
    void TearDown() override { op_exit(); }

    op_arg d(DataID id, int dim, const char* type, op_access acc)
    {
        return op_arg_dat(data.at(id), -1, OP_ID, dim, type, acc);
    }
    op_arg m(DataID id, int idx, MapID map, int dim, const char* type, op_access acc)
    {
        return op_arg_dat(data.at(id), idx, maps.at(map), dim, type, acc);
    }
    op_set s(SetID id) { return sets.at(id); }

    /// The plan built for the loop `name`, or null.
    static const op_plan* planOf(const char* name)
    {
        for (int i = 0; i < OP_plan_index; ++i)
            if (std::strcmp(OP_plans[i].name, name) == 0) return &OP_plans[i];
        return nullptr;
    }

    std::map<SetID, op_set> sets;
    std::map<MapID, op_map> maps;
    std::map<DataID, op_dat> data;
    std::map<MapID, std::vector<int>> mapTables;
    std::map<DataID, std::vector<int>> buffers;  // 4-byte storage for int and float data
};

/// Loop-table row as the timing record and the plan must show it.
struct Expected {
    int k;
    const char* name;
    bool indirect;
    int nargs;
    int ninds;
};

void expectLoop(const Expected& e, const op_plan* plan)
{
    SCOPED_TRACE(e.name);
    ASSERT_GT(OP_kern_max, e.k);
    EXPECT_STREQ(OP_kernels[e.k].name, e.name);
    EXPECT_EQ(OP_kernels[e.k].count, 1);
    if (e.indirect) {
        ASSERT_NE(plan, nullptr);
        EXPECT_EQ(plan->nargs, e.nargs);
        EXPECT_EQ(plan->ninds, e.ninds);
        EXPECT_EQ(plan->set->size, kSetSize);
        // Indirect datasets are numbered from 0 in order of first appearance of each (data, map) pair.
        std::vector<std::pair<op_dat, op_map>> seen;
        for (int a = 0; a < plan->nargs; ++a) {
            if (plan->maps[a] == nullptr) {
                EXPECT_EQ(plan->inds[a], -1) << "argument " << a;
                continue;
            }
            const std::pair<op_dat, op_map> key{plan->dats[a], plan->maps[a]};
            auto it = std::find(seen.begin(), seen.end(), key);
            if (it == seen.end()) it = seen.insert(seen.end(), key);
            EXPECT_EQ(plan->inds[a], static_cast<int>(it - seen.begin())) << "argument " << a;
        }
    } else {
        EXPECT_EQ(plan, nullptr) << "a direct loop builds no plan";
    }
}

constexpr const char* F = "float";
constexpr const char* I = "int";

TEST_F(CatalogueMesh, EveryLoopRunsUnderItsSlotWithTheTablesArgumentAndDatasetCounts)
{
    float dtF = 0.5f, timeF = 1.0f, dtMin = 10.0f, maxOvershoot = 0.1f;
    int morph = 1, frictionMorph = 1, massOk = 1;
    // The indirect loops, and of the direct ones (which share one path without a plan) the reducing one.
    const Expected table[] = {
        {3, "kernel_TOPOLOGY_NodeStringStates", true, 365, 9},
        {4, "kernel_DATA_EdgeInterpolation", true, 6, 4},
        {5, "kernel_DATA_CellInterpolation", true, 5, 3},
        {6, "kernel_DATA_EdgeModification", true, 8, 3},
        {7, "kernel_DATA_CellModification", true, 4, 2},
        {8, "kernel_HYDRAULICS_TimeStep", true, 9, 3},
        {9, "kernel_HYDRAULICS_Boundary", true, 10, 7},
        {10, "kernel_MORPHOLOGY_Boundary", true, 13, 9},
        {11, "kernel_HYDRAULICS_WallFluxes", true, 4, 4},
        {12, "kernel_MORPHOLOGY_WallFluxes", true, 1, 1},
        {13, "kernel_HYDRAULICS_InternalFluxes", true, 8, 5},
        {16, "kernel_MORPHOLOGY_InternalFluxes", true, 12, 7},
        {17, "kernel_HYDRAULICS_CalcCurvature", true, 16, 4},
        {18, "kernel_MORPHOLOGY_CalcBedGradient", true, 6, 1},
        {19, "kernel_GLOBAL_Update", true, 18, 3},
        {20, "kernel_MORPHOLOGY_FixedBedCorrection", true, 13, 6},
        {21, "kernel_MORPHOLOGY_FixedBedCorrectionFindMax", false, 3, 0},
        {22, "kernel_MORPHOLOGY_Source", true, 7, 4},
        {24, "kernel_HYDRAULICS_Source", true, 7, 4},
    };
    const auto name = [&](int k) {
        for (const Expected& e : table)
            if (e.k == k) return e.name;
        return "";
    };

    const MapID nsE = MapID::NodeStrg_EdgesAll, nsC = MapID::NodeStrg_CellsAll;
    op_par_loop_kernel_TOPOLOGY_NodeStringStates(
        name(3), s(SetID::NodeStrg), op_arg_gbl(&morph, 1, I, OP_READ), op_arg_gbl(&frictionMorph, 1, I, OP_READ),
        d(DataID::NodeStrg_ListSize, 1, I, OP_READ), d(DataID::NodeStrg_EdgeSign, 40, I, OP_READ),
        m(DataID::GeomLeng, -40, nsE, 1, F, OP_READ), m(DataID::FluxesHy, -40, nsE, 5, F, OP_READ),
        m(DataID::FluxesMo, -40, nsE, 1, F, OP_READ), m(DataID::ChezyCoe, -40, nsC, 1, F, OP_READ),
        m(DataID::ThetaCrt, -40, nsC, 1, F, OP_READ), m(DataID::MSedSize, -40, nsC, 1, F, OP_READ),
        m(DataID::HydState, -40, nsC, 3, F, OP_READ), m(DataID::BottomEl, -40, nsC, 1, F, OP_READ),
        m(DataID::CellsAll_GeomArea, -40, nsC, 1, F, OP_READ), d(DataID::StateVar, 10, F, OP_WRITE));
    op_par_loop_kernel_DATA_EdgeInterpolation(
        name(4), s(SetID::EdInterp), m(DataID::InSeries_NumValue, 0, MapID::EdInterp_InSeries, 12000, F, OP_READ),
        m(DataID::InSeries_ListSize, 0, MapID::EdInterp_InSeries, 1, I, OP_READ),
        d(DataID::EdInterp_KeyPostn, 2, I, OP_READ), m(DataID::StateVar, 0, MapID::EdInterp_NodeStrg, 10, F, OP_READ),
        op_arg_gbl(&timeF, 1, F, OP_READ), m(DataID::EdgeData_NumValue, 0, MapID::EdInterp_EdgeData, 7, F, OP_WRITE));
    op_par_loop_kernel_DATA_CellInterpolation(
        name(5), s(SetID::ClInterp), m(DataID::InSeries_NumValue, 0, MapID::ClInterp_InSeries, 12000, F, OP_READ),
        m(DataID::InSeries_ListSize, 0, MapID::ClInterp_InSeries, 1, I, OP_READ),
        d(DataID::ClInterp_KeyPostn, 2, I, OP_READ), op_arg_gbl(&timeF, 1, F, OP_READ),
        m(DataID::CellData_NumValue, 0, MapID::ClInterp_CellData, 2, F, OP_WRITE));
    op_par_loop_kernel_DATA_EdgeModification(name(6), s(SetID::EdModDat), d(DataID::EdModDat_ModfInfo, 7, I, OP_READ),
                                             m(DataID::StateVar, 0, MapID::EdModDat_NodeStrg, 10, F, OP_READ),
                                             m(DataID::StateVar, 1, MapID::EdModDat_NodeStrg, 10, F, OP_READ),
                                             m(DataID::TotalLen, 0, MapID::EdModDat_NodeStrg, 1, F, OP_READ),
                                             m(DataID::TotalLen, 1, MapID::EdModDat_NodeStrg, 1, F, OP_READ),
                                             op_arg_gbl(&timeF, 1, F, OP_READ), d(DataID::LocalDat, 2, F, OP_RW),
                                             m(DataID::EdgeData_NumValue, 0, MapID::EdModDat_EdgeData, 7, F, OP_RW));
    op_par_loop_kernel_DATA_CellModification(name(7), s(SetID::ClModDat), d(DataID::ClModDat_ModfInfo, 7, I, OP_READ),
                                             m(DataID::MatIDRgn_GeomArea, 0, MapID::ClModDat_MatIDRgn, 1, F, OP_READ),
                                             op_arg_gbl(&timeF, 1, F, OP_READ),
                                             m(DataID::CellData_NumValue, 0, MapID::ClModDat_CellData, 2, F, OP_RW));
    const MapID lr = MapID::EdgesAll_CellsAll;
    op_par_loop_kernel_HYDRAULICS_TimeStep(
        name(8), s(SetID::EdgesAll), d(DataID::NormVect, 2, F, OP_READ), d(DataID::CharSize, 2, F, OP_READ),
        m(DataID::IsWetted, 0, lr, 1, I, OP_READ), m(DataID::IsWetted, 1, lr, 1, I, OP_READ),
        m(DataID::HydState, 0, lr, 3, F, OP_READ), m(DataID::HydState, 1, lr, 3, F, OP_READ),
        m(DataID::BottomEl, 0, lr, 1, F, OP_READ), m(DataID::BottomEl, 1, lr, 1, F, OP_READ),
        op_arg_gbl(&dtMin, 1, F, OP_MIN));
    const MapID bcE = MapID::EdgHydBC_EdgesAll, bcC = MapID::EdgHydBC_CellsAll;
    op_par_loop_kernel_HYDRAULICS_Boundary(
        name(9), s(SetID::EdgHydBC), d(DataID::HydBType, 2, I, OP_READ),
        m(DataID::EdgeData_NumValue, 0, MapID::EdgHydBC_EdgeData, 7, F, OP_READ),
        m(DataID::NormVect, 0, bcE, 2, F, OP_READ), m(DataID::HydState, 0, bcC, 3, F, OP_READ),
        m(DataID::HydState, 1, bcC, 3, F, OP_READ), m(DataID::BottomEl, 0, bcC, 1, F, OP_READ),
        m(DataID::BottomEl, 1, bcC, 1, F, OP_READ), m(DataID::ChezyCoe, 0, bcC, 1, F, OP_READ),
        m(DataID::CharSize, 0, bcE, 2, F, OP_READ), m(DataID::FluxesHy, 0, bcE, 5, F, OP_WRITE));
    const MapID mbE = MapID::EdgMorBC_EdgesAll, mbC = MapID::EdgMorBC_CellsAll;
    op_par_loop_kernel_MORPHOLOGY_Boundary(
        name(10), s(SetID::EdgMorBC), op_arg_gbl(&dtF, 1, F, OP_READ), d(DataID::MorBType, 2, I, OP_READ),
        m(DataID::EdgeData_NumValue, 0, MapID::EdgMorBC_EdgeData, 7, F, OP_READ),
        m(DataID::NormVect, 0, mbE, 2, F, OP_READ), m(DataID::GeomLeng, 0, mbE, 1, F, OP_READ),
        m(DataID::HydState, 0, mbC, 3, F, OP_READ), m(DataID::HydState, 1, mbC, 3, F, OP_READ),
        m(DataID::BottomEl, 0, mbC, 1, F, OP_READ), m(DataID::BottomEl, 1, mbC, 1, F, OP_READ),
        m(DataID::ChezyCoe, 0, mbC, 1, F, OP_READ), m(DataID::CellsAll_GeomArea, 0, mbC, 1, F, OP_READ),
        m(DataID::MSedSize, 0, mbC, 1, F, OP_READ), m(DataID::FluxesMo, 0, mbE, 1, F, OP_WRITE));
    op_par_loop_kernel_HYDRAULICS_WallFluxes(name(11), s(SetID::EdgHydWL),
                                             m(DataID::HydState, 0, MapID::EdgHydWL_CellsAll, 3, F, OP_READ),
                                             m(DataID::BottomEl, 0, MapID::EdgHydWL_CellsAll, 1, F, OP_READ),
                                             m(DataID::NormVect, 0, MapID::EdgHydWL_EdgesAll, 2, F, OP_READ),
                                             m(DataID::FluxesHy, 0, MapID::EdgHydWL_EdgesAll, 5, F, OP_WRITE));
    op_par_loop_kernel_MORPHOLOGY_WallFluxes(name(12), s(SetID::EdgMorWL),
                                             m(DataID::FluxesMo, 0, MapID::EdgMorWL_EdgesAll, 1, F, OP_WRITE));
    const MapID swE = MapID::EdgesSWE_EdgesAll, swC = MapID::EdgesSWE_CellsAll;
    op_par_loop_kernel_HYDRAULICS_InternalFluxes(
        name(13), s(SetID::EdgesSWE), m(DataID::NormVect, 0, swE, 2, F, OP_READ),
        m(DataID::IsWetted, 0, swC, 1, I, OP_READ), m(DataID::IsWetted, 1, swC, 1, I, OP_READ),
        m(DataID::HydState, 0, swC, 3, F, OP_READ), m(DataID::HydState, 1, swC, 3, F, OP_READ),
        m(DataID::BottomEl, 0, swC, 1, F, OP_READ), m(DataID::BottomEl, 1, swC, 1, F, OP_READ),
        m(DataID::FluxesHy, 0, swE, 5, F, OP_WRITE));
    const MapID exE = MapID::EdgesEXN_EdgesAll, exC = MapID::EdgesEXN_CellsAll;
    op_par_loop_kernel_MORPHOLOGY_InternalFluxes(
        name(16), s(SetID::EdgesEXN), m(DataID::NormVect, 0, exE, 2, F, OP_READ),
        m(DataID::IsWetted, 0, exC, 1, I, OP_READ), m(DataID::IsWetted, 1, exC, 1, I, OP_READ),
        m(DataID::HydState, 0, exC, 3, F, OP_READ), m(DataID::HydState, 1, exC, 3, F, OP_READ),
        m(DataID::BottomEl, 0, exC, 1, F, OP_READ), m(DataID::BottomEl, 1, exC, 1, F, OP_READ),
        m(DataID::BedTrCap, 0, exC, 2, F, OP_READ), m(DataID::BedTrCap, 1, exC, 2, F, OP_READ),
        m(DataID::BedTrDer, 0, exC, 2, F, OP_READ), m(DataID::BedTrDer, 1, exC, 2, F, OP_READ),
        m(DataID::FluxesMo, 0, exE, 1, F, OP_WRITE));
    const MapID cE = MapID::CellsAll_EdgesAll, cN = MapID::CellsAll_NbrCells;
    op_par_loop_kernel_HYDRAULICS_CalcCurvature(
        name(17), s(SetID::CellsAll), m(DataID::UnitCent, -3, cE, 2, F, OP_READ),
        m(DataID::DistCent, -3, cE, 1, F, OP_READ), d(DataID::HydState, 3, F, OP_READ),
        d(DataID::BottomEl, 1, F, OP_READ), m(DataID::HydState, -3, cN, 3, F, OP_READ),
        m(DataID::BottomEl, -3, cN, 1, F, OP_READ), d(DataID::GeomWght, 6, F, OP_READ),
        d(DataID::FlowCurv, 1, F, OP_WRITE));
    op_par_loop_kernel_MORPHOLOGY_CalcBedGradient(
        name(18), s(SetID::CellsAll), d(DataID::BottomEl, 1, F, OP_READ), m(DataID::BottomEl, -3, cN, 1, F, OP_READ),
        d(DataID::GeomWght, 6, F, OP_READ), d(DataID::BedGrdnt, 2, F, OP_WRITE));
    op_par_loop_kernel_GLOBAL_Update(
        name(19), s(SetID::CellsAll), op_opt_arg_dat(0, nullptr, -1, OP_ID, 1, I, OP_READ),
        op_arg_gbl(&dtF, 1, F, OP_READ), op_arg_gbl(&morph, 1, I, OP_READ), d(DataID::CellsAll_GeomArea, 1, F, OP_READ),
        m(DataID::GeomLeng, -3, cE, 1, F, OP_READ), m(DataID::FluxesHy, -3, cE, 5, F, OP_READ),
        m(DataID::FluxesMo, -3, cE, 1, F, OP_READ), d(DataID::CellsAll_EdgeSign, 3, I, OP_READ),
        d(DataID::HydState, 3, F, OP_RW), d(DataID::BottomEl, 1, F, OP_RW), d(DataID::IsWetted, 1, I, OP_WRITE),
        op_arg_gbl(&massOk, 1, I, OP_MIN));
    const MapID fC = MapID::CellsFix_CellsAll, fE = MapID::CellsFix_EdgesAll;
    op_par_loop_kernel_MORPHOLOGY_FixedBedCorrection(
        name(20), s(SetID::CellsFix), op_opt_arg_dat(0, nullptr, 0, maps.at(fC), 1, I, OP_READ),
        op_arg_gbl(&dtF, 1, F, OP_READ), m(DataID::CellsAll_GeomArea, 0, fC, 1, F, OP_READ),
        m(DataID::BottomEl, 0, fC, 1, F, OP_READ), d(DataID::FixBedEl, 1, F, OP_READ),
        m(DataID::CellsAll_EdgeSign, 0, fC, 3, I, OP_READ), m(DataID::GeomLeng, -3, fE, 1, F, OP_READ),
        d(DataID::NewBedEl, 1, F, OP_WRITE), m(DataID::FluxesMo, -3, fE, 1, F, OP_RW));
    // Fixed-bed overshoot max(zFix - zNew, 0) over the cells and the value held before the loop: 0.75 from cell 1.
    const float zFix[kSetSize] = {1.0f, 2.0f, 0.5f, 3.0f, 1.0f}, zNew[kSetSize] = {1.5f, 1.25f, 0.5f, 3.5f, 0.9f};
    std::memcpy(buffers.at(DataID::FixBedEl).data(), zFix, sizeof zFix);
    std::memcpy(buffers.at(DataID::NewBedEl).data(), zNew, sizeof zNew);
    op_par_loop_kernel_MORPHOLOGY_FixedBedCorrectionFindMax(
        name(21), s(SetID::CellsFix), d(DataID::FixBedEl, 1, F, OP_READ), d(DataID::NewBedEl, 1, F, OP_READ),
        op_arg_gbl(&maxOvershoot, 1, F, OP_MAX));
    op_par_loop_kernel_MORPHOLOGY_Source(
        name(22), s(SetID::ClMorSrc), op_arg_gbl(&dtF, 1, F, OP_READ),
        m(DataID::CellData_NumValue, 0, MapID::ClMorSrc_CellData, 2, F, OP_READ),
        d(DataID::ClMorSrc_SinkType, 1, I, OP_READ), m(DataID::BottomEl, 0, MapID::ClMorSrc_CellsAll, 1, F, OP_RW),
        m(DataID::FixBedEl, 0, MapID::ClMorSrc_CellsFix, 1, F, OP_READ),
        m(DataID::HydState, 0, MapID::ClMorSrc_CellsAll, 3, F, OP_RW), op_arg_gbl(&massOk, 1, I, OP_MIN));
    op_par_loop_kernel_HYDRAULICS_Source(
        name(24), s(SetID::ClHydSrc), op_arg_gbl(&dtF, 1, F, OP_READ),
        m(DataID::CellData_NumValue, 0, MapID::ClHydSrc_CellData, 2, F, OP_READ),
        d(DataID::ClHydSrc_SinkType, 1, I, OP_READ), m(DataID::BottomEl, 0, MapID::ClHydSrc_CellsAll, 1, F, OP_READ),
        m(DataID::HydState, 0, MapID::ClHydSrc_CellsAll, 3, F, OP_RW),
        m(DataID::IsWetted, 0, MapID::ClHydSrc_CellsAll, 1, I, OP_WRITE), op_arg_gbl(&massOk, 1, I, OP_MIN));

    for (const Expected& e : table) expectLoop(e, planOf(e.name));
    EXPECT_FLOAT_EQ(maxOvershoot, 0.75f);

    // The node-string loop expands its nine rows of 40 columns in argument order: arguments 4..43 are the edge
    // lengths through columns 0..39, 44..83 the hydraulic fluxes, and so on, each row one indirect dataset.
    const op_plan* ns = planOf(name(3));
    ASSERT_NE(ns, nullptr);
    for (int row = 0; row < 9; ++row)
        for (int col = 0; col < 40; ++col) {
            const int a = 4 + 40 * row + col;
            ASSERT_EQ(ns->idxs[a], col) << "argument " << a;
            ASSERT_EQ(ns->inds[a], row) << "argument " << a;
        }
    EXPECT_EQ(ns->inds[364], -1) << "the node-string state is written directly";
}

}  // namespace
