// Direct and indirect parallel loops at 1 and 2 threads against serial references: every element once, increments
// through maps, map columns and whole rows, reductions, optional arguments, empty sets, prefetching, and the checks of
// each argument against its descriptor.
#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "op/op_par_loop.hpp"
#include "tests/op/OpFixture.hpp"

namespace {

/// Cell value times its edge count, with the largest value and the smallest count reduced.
inline void kernel_CellScale(const float* u, const int* deg, float* out, float* maxU, int* minDeg)
{
    *out = *u * (float)*deg;
    *maxU = std::max(*maxU, *u);
    *minDeg = std::min(*minDeg, *deg);
}

/// Edge flux: the edge weight times the difference of its two cells, added to the left and taken from the right;
/// also counts the edges of each cell and reduces the largest and the smallest weight.
inline void kernel_EdgeFlux(const float* w, const float* const* u, float* const* r, int* degLeft, int* degRight,
                            float* maxW, float* minW)
{
    const float flux = *w * (*u[1] - *u[0]);
    *r[0] += flux;
    *r[1] -= flux;
    *degLeft += 1;
    *degRight += 1;
    *maxW = std::max(*maxW, *w);
    *minW = std::min(*minW, *w);
}

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

/// Flags which optional arguments arrived as null (1: direct, 2: both row pointers, 4: one column), and reads the
/// row's cells when they arrived.
inline void kernel_Optional(const float* maybe, const float* const* maybeRow, const float* maybeColumn, float* seen)
{
    *seen = (maybe == nullptr ? 1.0f : 0.0f) + (maybeRow[0] == nullptr && maybeRow[1] == nullptr ? 2.0f : 0.0f) +
            (maybeColumn == nullptr ? 4.0f : 0.0f);
    if (maybeRow[0] != nullptr) *seen += 10.0f * *maybeRow[0] + 100.0f * *maybeRow[1];
}

/// Left and right cells of an edge as one map slot of two columns.
using EdgeCells = op::map_slot<0, 2>;

using OpLoops = optest::OpTest;
using OpLoopsDeathTest = OpLoops;

}  // namespace

TEST_F(OpLoops, RandomMeshesIncrementEveryEdgeOnceWithResultsEqualAcrossThreadsAndBlockSizes)
{
    // Shuffled edges with random weights, then a direct loop over the cells: small meshes run on the calling thread,
    // large ones in the team. The extremes sit on edge 0 (block 0, colour 0), on the last edge and on the last cell
    // (the second thread's range), so a partial reduction that is not carried from colour to colour, or not combined
    // from every thread, loses one of them.
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    const int nxs[] = {6, 60, 3, 45, 20, 50};
    for (int trial = 0; trial < 6; ++trial) {
        const optest::TriangleMesh mesh = optest::makeTriangleMesh(nxs[trial], 40, trial + 1);
        const int ncells = mesh.ncells, nedges = mesh.nedges();
        const int part = std::vector<int>{0, 16, 64, 200}[rng() % 4];
        SCOPED_TRACE(std::to_string(nedges) + " edges, part size " + std::to_string(part));
        std::vector<int> e2c = mesh.edgeCells, deg(ncells);
        std::vector<float> w(nedges), u(ncells), r(ncells), out(ncells);
        for (float& x : w) x = dist(rng);
        for (float& x : u) x = dist(rng);
        w[0] = 1000.0f;
        w[nedges - 1] = -1000.0f;
        u[ncells - 1] = 50.0f;
        std::vector<float> refR(ncells, 0.0f);
        std::vector<int> refDeg(ncells, 0);
        for (int e = 0; e < nedges; ++e) {
            const float flux = w[e] * (u[e2c[2 * e + 1]] - u[e2c[2 * e]]);
            refR[e2c[2 * e]] += flux;
            refR[e2c[2 * e + 1]] -= flux;
            refDeg[e2c[2 * e]] += 1;
            refDeg[e2c[2 * e + 1]] += 1;
        }
        op_set edges = op_decl_set(nedges, "edges");
        op_set cells = op_decl_set(ncells, "cells");
        op_map map = op_decl_map(edges, cells, 2, e2c.data(), "e2c");
        op_dat dw = op_decl_dat(edges, 1, "float", w.data(), "w");
        op_dat du = op_decl_dat(cells, 1, "float", u.data(), "u");
        op_dat dr = op_decl_dat(cells, 1, "float", r.data(), "r");
        op_dat ddeg = op_decl_dat(cells, 1, "int", deg.data(), "deg");
        op_dat dout = op_decl_dat(cells, 1, "float", out.data(), "out");
        static const int inds[7] = {-1, 0, 1, 2, 2, -1, -1};
        OP_part_size = part;
        std::vector<float> firstR;
        for (int threads : {1, 2, 2}) {
            omp_set_num_threads(threads);
            std::fill(r.begin(), r.end(), 0.0f);
            std::fill(deg.begin(), deg.end(), 0);
            float maxW = -1e30f, minW = 1e30f;
            op_par_loop_indirect<kernel_EdgeFlux>(
                13, "kernel_EdgeFlux", edges, inds,
                op::direct<const float, 1>(op_arg_dat(dw, -1, OP_ID, 1, "float", OP_READ)),
                op::row<const float, 1, EdgeCells>(op_arg_dat(du, -2, map, 1, "float", OP_READ)),
                op::row<float, 1, EdgeCells>(op_arg_dat(dr, -2, map, 1, "float", OP_INC)),
                op::indirect<int, 1, EdgeCells, 0>(op_arg_dat(ddeg, 0, map, 1, "int", OP_INC)),
                op::indirect<int, 1, EdgeCells, 1>(op_arg_dat(ddeg, 1, map, 1, "int", OP_INC)),
                op::global<float>(op_arg_gbl(&maxW, 1, "float", OP_MAX)),
                op::global<float>(op_arg_gbl(&minW, 1, "float", OP_MIN)));
            ASSERT_EQ(deg, refDeg) << threads << " threads: an edge lost or run twice";
            EXPECT_EQ(maxW, 1000.0f) << threads << " threads";
            EXPECT_EQ(minW, -1000.0f) << threads << " threads";
            for (int c = 0; c < ncells; ++c) ASSERT_NEAR(r[c], refR[c], 1e-3f) << "cell " << c;
            if (firstR.empty()) firstR = r;
            EXPECT_EQ(std::memcmp(r.data(), firstR.data(), ncells * sizeof(float)), 0) << threads << " threads";

            float maxU = -1e30f;
            int minDeg = INT_MAX;
            op_par_loop_direct<kernel_CellScale>(
                14, "kernel_CellScale", cells,
                op::direct<const float, 1>(op_arg_dat(du, -1, OP_ID, 1, "float", OP_READ)),
                op::direct<const int, 1>(op_arg_dat(ddeg, -1, OP_ID, 1, "int", OP_READ)),
                op::direct<float, 1>(op_arg_dat(dout, -1, OP_ID, 1, "float", OP_WRITE)),
                op::global<float>(op_arg_gbl(&maxU, 1, "float", OP_MAX)),
                op::global<int>(op_arg_gbl(&minDeg, 1, "int", OP_MIN)));
            for (int c = 0; c < ncells; ++c) ASSERT_EQ(out[c], u[c] * (float)deg[c]) << "cell " << c;
            EXPECT_EQ(maxU, 50.0f) << threads << " threads";
            EXPECT_EQ(minDeg, *std::min_element(refDeg.begin(), refDeg.end())) << threads << " threads";
        }
        const op_plan& plan = OP_plans[OP_plan_index - 1];
        EXPECT_EQ(plan.exec_length < op::serial_loop_limit, nedges < op::serial_loop_limit);
        EXPECT_EQ(plan.count, 3) << "every call reuses the plan";
        EXPECT_EQ(plan.nargs, 9) << "7 arguments, two of them whole rows of two columns";
        EXPECT_EQ(plan.ninds, 3);
    }
    EXPECT_EQ(OP_kernels[13].count, 18);
    EXPECT_STREQ(OP_kernels[14].name, "kernel_CellScale");
}

TEST_F(OpLoops, ArgumentsGetTheirOwnColumnsAndWholeRowsOfTheirMap)
{
    // Enough elements for the parallel path; targets hold (10 t, 10 t + 1), so a wrong column or stride shows.
    using Three = op::map_slot<0, 3>;
    using One = op::map_slot<1, 1>;
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
            const int* r = &m3[3 * e];
            const std::vector<int> expected = {30 * r[0],     30 * r[1], 30 * r[2],     10 * r[2] + 1, 10 * r[2],
                                               10 * r[2] + 1, 10 * r[0], 10 * r[0] + 1, 10 * m1[e],    10 * m1[e] + 1};
            ASSERT_EQ(std::vector<int>(&out[10 * e], &out[10 * e + 10]), expected)
                << "element " << e << ", " << threads;
        }
    }
    EXPECT_EQ(OP_plans[0].nargs, 8) << "the row counts as its three columns, the five other arguments once";
}

TEST_F(OpLoops, OptionalArgumentsArriveAsNullWhenSwitchedOffAndAsDataWhenInUse)
{
    op_set edges = op_decl_set(4, "edges");
    op_set cells = op_decl_set(5, "cells");
    int table[8] = {0, 1, 1, 2, 2, 3, 3, 4};
    op_map e2c = op_decl_map(edges, cells, 2, table, "e2c");
    float cellValue[5] = {0.0f, 1.0f, 2.0f, 3.0f, 4.0f};
    op_dat dcell = op_decl_dat(cells, 1, "float", cellValue, "cellValue");
    float seen[4] = {};
    op_dat dseen = op_decl_dat(edges, 1, "float", seen, "seen");
    static const int inds[4] = {-1, 0, 0, -1};
    for (int on : {0, 1}) {
        std::fill(seen, seen + 4, -1.0f);
        op_par_loop_indirect<kernel_Optional>(
            5, "kernel_Optional", edges, inds,
            op::optional(op::direct<const float, 1>(op_opt_arg_dat(0, nullptr, -1, OP_ID, 1, "float", OP_READ))),
            op::optional(op::row<const float, 1, EdgeCells>(
                op_opt_arg_dat(on, on ? dcell : nullptr, -2, e2c, 1, "float", OP_READ))),
            op::optional(
                op::indirect<const float, 1, EdgeCells, 1>(op_opt_arg_dat(0, nullptr, 1, e2c, 1, "float", OP_READ))),
            op::direct<float, 1>(op_arg_dat(dseen, -1, OP_ID, 1, "float", OP_WRITE)));
        for (int e = 0; e < 4; ++e)
            EXPECT_EQ(seen[e], on ? 5.0f + 10.0f * (float)e + 100.0f * (float)(e + 1) : 7.0f)
                << "edge " << e << ", " << on;
    }
}

TEST_F(OpLoops, EmptySetCountsOneCallAndLeavesReductionsUnchanged)
{
    op_set none = op_decl_set(0, "none");
    op_map m = op_decl_map(none, none, 1, nullptr, "m");
    op_dat d = op_decl_dat(none, 1, "float", (float*)nullptr, "d");
    float lo = 3.0f;
    static const int inds[2] = {0, -1};
    op_par_loop_indirect(
        3, "kernel_Empty", none, inds, [](float* x, float* y) { *x = *y = -1.0f; },
        op::indirect<float, 1, op::map_slot<0, 1>, 0>(op_arg_dat(d, 0, m, 1, "float", OP_INC)),
        op::global<float>(op_arg_gbl(&lo, 1, "float", OP_MIN)));
    op_par_loop_direct(
        2, "kernel_Direct", none, [](float* a) { *a = -1.0f; }, op::global<float>(op_arg_gbl(&lo, 1, "float", OP_MIN)));
    EXPECT_EQ(lo, 3.0f);
    EXPECT_EQ((std::vector<int>{OP_kernels[2].count, OP_kernels[3].count}), (std::vector<int>{1, 1}));
    EXPECT_EQ(OP_plan_index, 0) << "an empty set is not planned";
}

namespace {

using Target = op::map_slot<0, 1>;
using TargetArg = op::indirect_arg<const int, 1, Target, 0>;

/// Per thread, the order in which a loop announces elements' targets ahead (logged as e) and hands elements' targets
/// to the kernel (logged as -e - 1).
using EventLog = std::vector<std::vector<int>>;

/// An indirect argument that logs its announcements and hand-overs into an EventLog.
struct LoggedTarget : TargetArg {
    EventLog* log;
    struct accessor : TargetArg::accessor {
        EventLog* log;
        void prefetch(int n, const op::map_rows& maps) const
        {
            (*log)[omp_get_thread_num()].push_back(n);
            TargetArg::accessor::prefetch(n, maps);
        }
        const int* operator()(int n, const op::map_rows& maps) const
        {
            (*log)[omp_get_thread_num()].push_back(-n - 1);
            return TargetArg::accessor::operator()(n, maps);
        }
    };
    accessor access(char* buffer) const { return {TargetArg::access(buffer), log}; }
};

}  // namespace

TEST_F(OpLoops, IndirectTargetsAreAnnouncedAheadWithinTheirBlockOnly)
{
    // 100 blocks of 45 elements and a last one of 13 (shorter than the distance); the map points anywhere. Element
    // n + D is announced just before element n runs (a batch: the elements D ahead of the batch's), never past the end
    // of the block: each element D or more past its block's start once, the others never.
    constexpr int D = op::detail::prefetch_distance;
    const int n = 4513, ntargets = 97;
    ASSERT_GE(n, op::serial_loop_limit);
    OP_part_size = 45;
    std::mt19937 rng(5);
    std::vector<int> m1(n), target(ntargets), out(n);
    for (int& t : m1) t = std::uniform_int_distribution<int>(0, ntargets - 1)(rng);
    for (int t = 0; t < ntargets; ++t) target[t] = 3 * t;
    op_set elems = op_decl_set(n, "elems");
    op_set targets = op_decl_set(ntargets, "targets");
    op_map one = op_decl_map(elems, targets, 1, m1.data(), "one");
    op_dat dtarget = op_decl_dat(targets, 1, "int", target.data(), "target");
    op_dat dout = op_decl_dat(elems, 1, "int", out.data(), "out");
    static const int inds[2] = {0, -1};
    for (int lanes : {1, 8})
        for (int threads : {1, 2}) {
            SCOPED_TRACE(std::to_string(lanes) + " lanes, " + std::to_string(threads) + " threads");
            omp_set_num_threads(threads);
            EventLog log(threads);
            std::fill(out.begin(), out.end(), -1);
            const LoggedTarget src{TargetArg{op_arg_dat(dtarget, 0, one, 1, "int", OP_READ)}, &log};
            const auto dst = op::direct<int, 1>(op_arg_dat(dout, -1, OP_ID, 1, "int", OP_WRITE));
            auto scalar = [](const int* s, int* o) { *o = *s; };
            auto batch = [](const int* const* s, int* const* o) {
                for (int j = 0; j < 8; ++j) *o[j] = *s[j];
            };
            if (lanes == 1)
                op_par_loop_indirect(3, "kernel_Announced", elems, inds, scalar, src, dst);
            else
                op_par_loop_indirect(4, "kernel_AnnouncedBatch", elems, inds, op::batched<8>(scalar, batch), src, dst);
            for (int e = 0; e < n; ++e) ASSERT_EQ(out[e], 3 * m1[e]) << "element " << e;

            const op_plan& plan = OP_plans[OP_plan_index - 1];
            ASSERT_EQ(plan.nelems[plan.nblocks - 1], 13);
            const auto first = [&](int e) {
                return *(std::upper_bound(plan.offset, plan.offset + plan.nblocks, e) - 1);
            };
            std::vector<int> handed(n, 0), announced(n, 0);
            for (const std::vector<int>& events : log)
                for (auto it = events.begin(); it != events.end(); ++it) {
                    if (*it < 0) {
                        handed[-*it - 1] += 1;
                        continue;
                    }
                    const auto next = std::find_if(it, events.end(), [](int v) { return v < 0; });
                    ASSERT_NE(next, events.end()) << "announced but not run";
                    const int e = -*next - 1;
                    ASSERT_TRUE(*it >= e + D && *it < std::min(e + D + lanes, n) && first(*it) == first(e))
                        << "element " << *it << " announced before element " << e << " runs";
                    announced[*it] += 1;
                }
            EXPECT_EQ(handed, std::vector<int>(n, 1));
            for (int e = 0; e < n; ++e) ASSERT_EQ(announced[e], e - first(e) >= D ? 1 : 0) << "element " << e;
            if (threads == 2) {
                EXPECT_FALSE(log[1].empty()) << "the second thread ran blocks";
            }
        }
}

TEST_F(OpLoopsDeathTest, ArgumentsThatDoNotFitTheirDescriptorStopTheLoopNamingLoopAndArgument)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    op_set edges = op_decl_set(3, "edges");
    op_set cells = op_decl_set(4, "cells");
    int e2cTable[6] = {0, 1, 1, 2, 2, 3}, otherTable[6] = {1, 0, 2, 1, 3, 2}, firstTable[3] = {0, 1, 2};
    op_map e2c = op_decl_map(edges, cells, 2, e2cTable, "e2c");
    op_map other = op_decl_map(edges, cells, 2, otherTable, "other");
    op_map first = op_decl_map(edges, cells, 1, firstTable, "first");
    float cellValue[4] = {}, edgeValue[3] = {}, x = 1.0f;
    op_dat dcell = op_decl_dat(cells, 1, "float", cellValue, "cellValue");
    op_dat dedge = op_decl_dat(edges, 1, "float", edgeValue, "edgeValue");
    const op_arg edge = op_arg_dat(dedge, -1, OP_ID, 1, "float", OP_READ);
    const auto cell = [&](int col, op_map map) { return op_arg_dat(dcell, col, map, 1, "float", OP_READ); };
    const auto columns = [&](op_arg a, op_arg b) {  // columns 0 and 1 of one map slot
        static const int inds[2] = {0, 0};
        using LR = op::map_slot<0, 2>;
        op_par_loop_indirect(
            1, "kernel_C", edges, inds, [](const float*, const float*) {}, op::indirect<const float, 1, LR, 0>(a),
            op::indirect<const float, 1, LR, 1>(b));
    };
    const auto direct = [&](auto descriptor) {
        op_par_loop_direct(
            0, "kernel_D", edges, [](auto) {}, descriptor);
    };
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { direct(op::direct<const float, 3>(edge)); },
         "0 of kernel_D: elements of 4 bytes, the loop expects 12 (3 components of 4 bytes)"},
        {[&] { columns(cell(0, e2c), cell(0, e2c)); }, "1 of kernel_C: map column 0 given, the loop reads column 1"},
        {[&] { columns(cell(0, first), cell(1, e2c)); }, "0 of kernel_C: map first has 1 columns, the loop expects 2"},
        {[&] { columns(cell(0, e2c), cell(1, other)); },
         "1 of kernel_C: map other differs from map e2c of the loop's map slot 0"},
        {[&] { direct(op::direct<const float, 1>(op_opt_arg_dat(0, dedge, -1, OP_ID, 1, "float", OP_READ))); },
         "0 of kernel_D: switched off (opt 0) but not declared optional"},
        {[&] { direct(op::global<const float>(op_arg_gbl(&x, 1, "float", OP_MIN))); },
         "0 of kernel_D: a const global is read (OP_READ)"},
        {[&] { direct(op::global<float>(op_arg_gbl(&x, 1, "float", OP_READ))); },
         "0 of kernel_D: a writable global is a reduction (OP_MIN or OP_MAX)"},
        {[&] { direct(op::global<float, 2>(op_arg_gbl(&x, 1, "float", OP_MAX))); },
         "0 of kernel_D: elements of 4 bytes, the loop expects 8"},
        {[&] { direct(op::direct<const float, 1>(cell(0, e2c))); }, "0 of kernel_D"},
    };
    for (const auto& [run, message] : cases) OP_EXPECT_EXIT(run(), 255, "op_par_loop error -- argument " + message);
    // Data the model file does not hold, passed in use: reported, then the loop stops instead of reading through a
    // null pointer.
    static const int inds[1] = {0};
    OP_EXPECT_EXIT(
        op_par_loop_indirect(
            9, "kernel_Null", edges, inds, [](const float*) {},
            op::indirect<const float, 1, op::map_slot<0, 1>, 0>(op_arg_dat(nullptr, 0, first, 1, "float", OP_READ))),
        255, "NULL pointer for dataset");
}
