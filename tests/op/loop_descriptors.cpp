// Loop argument descriptors: element sizes, map slots and columns fixed at compile time, checked against each
// op_arg at the start of a call.
#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <random>
#include <vector>

#include "op/op_par_loop.hpp"
#include "tests/op/OpFixture.hpp"

namespace {

using Three = op::map_slot<0, 3>;
using One = op::map_slot<1, 1>;

/// Copies what the element sees, in argument order: the first component of each of the row's three targets, both
/// components of the row's last target, of column 2, of column 0 and of the target of the second map, and a global.
inline void kernel_Columns(const int* const* row, const int* col2, const int* col0, const int* other, const int* scale,
                           int* out)
{
    for (int d = 0; d < 3; ++d) out[d] = *scale * row[d][0];
    out[3] = row[2][1];
    out[4] = col2[0];
    out[5] = col2[1];
    out[6] = col0[0];
    out[7] = col0[1];
    out[8] = other[0];
    out[9] = other[1];
}

using OpDescriptors = optest::ThreadedOpTest;
using OpDescriptorsDeathTest = OpDescriptors;

}  // namespace

TEST_F(OpDescriptors, ArgumentsOfOneMapSlotGetTheirOwnColumnsOfTheElementsRow)
{
    // Enough elements for the parallel path; targets hold (10 t, 10 t + 1), so a wrong column or stride shows.
    const int n = 5000, ntargets = 701;
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> pick(0, ntargets - 1);
    std::vector<int> m3(3 * n), m1(n), target(2 * ntargets), out(10 * n);
    for (int& t : m3) t = pick(rng);
    for (int& t : m1) t = pick(rng);
    for (int t = 0; t < ntargets; ++t) {
        target[2 * t] = 10 * t;
        target[2 * t + 1] = 10 * t + 1;
    }
    op_set elems = op_decl_set(n, "elems");
    op_set targets = op_decl_set(ntargets, "targets");
    op_map three = op_decl_map(elems, targets, 3, m3.data(), "three");
    op_map one = op_decl_map(elems, targets, 1, m1.data(), "one");
    op_dat dtarget = op_decl_dat(targets, 2, "int", target.data(), "target");
    op_dat dout = op_decl_dat(elems, 10, "int", out.data(), "out");
    int scale = 3;
    static const int inds[6] = {0, 0, 0, 1, -1, -1};
    for (int threads : {1, 2}) {
        omp_set_num_threads(threads);
        std::fill(out.begin(), out.end(), -1);
        op_par_loop_indirect<kernel_Columns>(
            6, "kernel_Columns", elems, inds,
            op::row<const int, 2, Three>(op_arg_dat(dtarget, -3, three, 2, "int", OP_READ)),
            op::indirect<const int, 2, Three, 2>(op_arg_dat(dtarget, 2, three, 2, "int", OP_READ)),
            op::indirect<const int, 2, Three, 0>(op_arg_dat(dtarget, 0, three, 2, "int", OP_READ)),
            op::indirect<const int, 2, One, 0>(op_arg_dat(dtarget, 0, one, 2, "int", OP_READ)),
            op::global<const int>(op_arg_gbl(&scale, 1, "int", OP_READ)),
            op::direct<int, 10>(op_arg_dat(dout, -1, OP_ID, 10, "int", OP_WRITE)));
        for (int e = 0; e < n; ++e) {
            const int* o = &out[10 * e];
            const int* r = &m3[3 * e];
            const std::vector<int> expected = {30 * r[0],     30 * r[1], 30 * r[2],     10 * r[2] + 1, 10 * r[2],
                                               10 * r[2] + 1, 10 * r[0], 10 * r[0] + 1, 10 * m1[e],    10 * m1[e] + 1};
            ASSERT_EQ(std::vector<int>(o, o + 10), expected) << "element " << e << ", " << threads << " threads";
        }
    }
    EXPECT_EQ(OP_plans[0].nargs, 8) << "the row counts as its three columns, the five other arguments once";
}

TEST_F(OpDescriptorsDeathTest, ArgumentsThatDoNotFitTheirDescriptorAreRefusedWithLoopAndArgumentNamed)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    op_set edges = op_decl_set(3, "edges");
    op_set cells = op_decl_set(4, "cells");
    int e2cTable[6] = {0, 1, 1, 2, 2, 3};
    int otherTable[6] = {1, 0, 2, 1, 3, 2};
    int firstTable[3] = {0, 1, 2};
    op_map e2c = op_decl_map(edges, cells, 2, e2cTable, "e2c");
    op_map other = op_decl_map(edges, cells, 2, otherTable, "other");
    op_map first = op_decl_map(edges, cells, 1, firstTable, "first");
    float cellValue[4] = {}, edgeValue[3] = {};
    op_dat dcell = op_decl_dat(cells, 1, "float", cellValue, "cellValue");
    op_dat dedge = op_decl_dat(edges, 1, "float", edgeValue, "edgeValue");
    using LR = op::map_slot<0, 2>;
    static const int inds2[2] = {0, 0};
    auto pair = [](const float*, const float*) {};
    float x = 1.0f;

    OP_EXPECT_EXIT(op_par_loop_direct(
                       0, "kernel_Size", edges, [](const float*) {},
                       op::direct<const float, 3>(op_arg_dat(dedge, -1, OP_ID, 1, "float", OP_READ))),
                   255,
                   "op_par_loop error -- argument 0 of kernel_Size: elements of 4 bytes, the loop expects 12 (3 "
                   "components of 4 bytes)");
    OP_EXPECT_EXIT(
        op_par_loop_indirect(1, "kernel_Column", edges, inds2, pair,
                             op::indirect<const float, 1, LR, 0>(op_arg_dat(dcell, 0, e2c, 1, "float", OP_READ)),
                             op::indirect<const float, 1, LR, 1>(op_arg_dat(dcell, 0, e2c, 1, "float", OP_READ))),
        255, "op_par_loop error -- argument 1 of kernel_Column: map column 0 given, the loop reads column 1");
    OP_EXPECT_EXIT(
        op_par_loop_indirect(2, "kernel_Width", edges, inds2, pair,
                             op::indirect<const float, 1, LR, 0>(op_arg_dat(dcell, 0, first, 1, "float", OP_READ)),
                             op::indirect<const float, 1, LR, 1>(op_arg_dat(dcell, 1, e2c, 1, "float", OP_READ))),
        255, "op_par_loop error -- argument 0 of kernel_Width: map first has 1 columns, the loop expects 2");
    OP_EXPECT_EXIT(
        op_par_loop_indirect(3, "kernel_Slot", edges, inds2, pair,
                             op::indirect<const float, 1, LR, 0>(op_arg_dat(dcell, 0, e2c, 1, "float", OP_READ)),
                             op::indirect<const float, 1, LR, 1>(op_arg_dat(dcell, 1, other, 1, "float", OP_READ))),
        255,
        "op_par_loop error -- argument 1 of kernel_Slot: map other differs from map e2c of the loop's map "
        "slot 0");
    OP_EXPECT_EXIT(op_par_loop_direct(
                       4, "kernel_Off", edges, [](const float*) {},
                       op::direct<const float, 1>(op_opt_arg_dat(0, dedge, -1, OP_ID, 1, "float", OP_READ))),
                   255,
                   "op_par_loop error -- argument 0 of kernel_Off: switched off (opt 0) but not declared optional");
    OP_EXPECT_EXIT(op_par_loop_direct(
                       5, "kernel_ConstMin", edges, [](const float*, const float*) {},
                       op::direct<const float, 1>(op_arg_dat(dedge, -1, OP_ID, 1, "float", OP_READ)),
                       op::global<const float>(op_arg_gbl(&x, 1, "float", OP_MIN))),
                   255, "op_par_loop error -- argument 1 of kernel_ConstMin: a const global is read (OP_READ)");
    OP_EXPECT_EXIT(
        op_par_loop_direct(
            6, "kernel_ReadReduction", edges, [](float*) {}, op::global<float>(op_arg_gbl(&x, 1, "float", OP_READ))),
        255,
        "op_par_loop error -- argument 0 of kernel_ReadReduction: a writable global is a reduction (OP_MIN "
        "or OP_MAX)");
    OP_EXPECT_EXIT(
        op_par_loop_direct(
            7, "kernel_GlobalSize", edges, [](float*) {}, op::global<float, 2>(op_arg_gbl(&x, 1, "float", OP_MAX))),
        255, "op_par_loop error -- argument 0 of kernel_GlobalSize: elements of 4 bytes, the loop expects 8");
}

namespace {
/// Adds the edge's weight to both cells and reduces the largest and the smallest weight.
inline void kernel_SpreadWeight(const float* w, float* const* cells, float* maxW, float* minW)
{
    *cells[0] += *w;
    *cells[1] += *w;
    *maxW = std::max(*maxW, *w);
    *minW = std::min(*minW, *w);
}
}  // namespace

TEST_F(OpDescriptors, ReductionsKeepEveryColoursContributionOnTheCallingThreadAndInTheTeam)
{
    // Small blocks give many colours. The extremes sit on edge 0 (block 0, colour 0) and on the last edge, so a
    // partial that is not carried from one colour to the next, or not written back, loses one of them.
    for (int nx : {6, 60}) {  // below and above the size run on the calling thread alone
        const optest::TriangleMesh mesh = optest::makeTriangleMesh(nx, 40);
        const int nedges = mesh.nedges();
        std::vector<int> e2c = mesh.edgeCells;
        std::vector<float> w(nedges), sum(mesh.ncells);
        for (int e = 0; e < nedges; ++e) w[e] = (float)(e % 13);
        w[0] = 1000.0f;
        w[nedges - 1] = -1000.0f;
        op_set edges = op_decl_set(nedges, "edges");
        op_set cells = op_decl_set(mesh.ncells, "cells");
        op_map map = op_decl_map(edges, cells, 2, e2c.data(), "e2c");
        op_dat dw = op_decl_dat(edges, 1, "float", w.data(), "w");
        op_dat dsum = op_decl_dat(cells, 1, "float", sum.data(), "sum");
        std::vector<float> refSum(mesh.ncells, 0.0f);
        for (int e = 0; e < nedges; ++e) {
            refSum[e2c[2 * e]] += w[e];
            refSum[e2c[2 * e + 1]] += w[e];
        }
        static const int inds[4] = {-1, 0, -1, -1};
        OP_part_size = 16;
        for (int threads : {1, 2}) {
            omp_set_num_threads(threads);
            std::fill(sum.begin(), sum.end(), 0.0f);
            float maxW = -1.0f, minW = 1.0f;
            op_par_loop_indirect<kernel_SpreadWeight>(
                8, "kernel_SpreadWeight", edges, inds,
                op::direct<const float, 1>(op_arg_dat(dw, -1, OP_ID, 1, "float", OP_READ)),
                op::row<float, 1, op::map_slot<0, 2>>(op_arg_dat(dsum, -2, map, 1, "float", OP_INC)),
                op::global<float>(op_arg_gbl(&maxW, 1, "float", OP_MAX)),
                op::global<float>(op_arg_gbl(&minW, 1, "float", OP_MIN)));
            EXPECT_EQ(maxW, 1000.0f) << nedges << " edges, " << threads << " threads";
            EXPECT_EQ(minW, -1000.0f) << nedges << " edges, " << threads << " threads";
            EXPECT_EQ(sum, refSum) << "integer-valued sums are exact in any order";
        }
        const op_plan& plan = OP_plans[OP_plan_index - 1];
        EXPECT_GT(plan.ncolors, 1) << nedges << " edges";
        EXPECT_EQ(plan.exec_length < op::serial_loop_limit, nx == 6) << nedges << " edges";
    }
}
