// Direct and indirect parallel loops at 1 and 2 threads against serial references: every element once, increments
// through maps, map columns and whole rows, reductions, optional arguments, empty sets, prefetching, and the checks of
// each argument against its descriptor.
#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "op/op_par_loop.hpp"
#include "tests/op/OpFixture.hpp"

namespace {

std::atomic<int> g_visits{0};

inline void kernel_Order(int* slot) { *slot = g_visits++; }

inline void kernel_Scale(const float* a, const int* b, float* c, float* lo, float* hi, int* ilo, int* ihi)
{
    *c = *a * (float)*b + 1.0f;
    *lo = std::min(*lo, *c);
    *hi = std::max(*hi, *c);
    *ilo = std::min(*ilo, *b);
    *ihi = std::max(*ihi, *b);
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

/// Mean over a node string's 40 cells, and every cell of the string marked with the string's number.
inline void kernel_StringMean(const float* const* v, int* const* mark, const int* id, float* mean)
{
    float sum = 0.0f;
    for (int k = 0; k < 40; ++k) {
        sum += *v[k];
        *mark[k] = *id;
    }
    *mean = sum / 40.0f;
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

TEST_F(OpLoops, DirectLoopAndReductionsMatchTheSerialReference)
{
    for (int size : {1001, 5001}) {  // below and above the size run on the calling thread alone
        std::vector<float> a(size), ref(size), c(size);
        std::vector<int> b(size);
        for (int i = 0; i < size; ++i) {
            a[i] = 0.5f * (float)((i * 37) % 101) - 20.0f;
            b[i] = (i * 53) % 97 - 40;
        }
        b[size - 1] = -1000;  // extremes in the second thread's range and in the middle
        b[size / 2] = 999;
        float refLo = 5.0f, refHi = -1e30f;
        int refIlo = INT_MAX, refIhi = 7;
        for (int i = 0; i < size; ++i) kernel_Scale(&a[i], &b[i], &ref[i], &refLo, &refHi, &refIlo, &refIhi);
        op_set s = op_decl_set(size, "s");
        op_dat da = op_decl_dat(s, 1, "float", a.data(), "a");
        op_dat db = op_decl_dat(s, 1, "int", b.data(), "b");
        op_dat dc = op_decl_dat(s, 1, "float", c.data(), "c");
        for (int threads : {1, 2}) {
            SCOPED_TRACE(std::to_string(size) + " elements, " + std::to_string(threads) + " threads");
            omp_set_num_threads(threads);
            std::fill(c.begin(), c.end(), 0.0f);
            float lo = 5.0f, hi = -1e30f;
            int ilo = INT_MAX, ihi = 7;
            op_par_loop_direct<kernel_Scale>(
                1, "kernel_Scale", s, op::direct<const float, 1>(op_arg_dat(da, -1, OP_ID, 1, "float", OP_READ)),
                op::direct<const int, 1>(op_arg_dat(db, -1, OP_ID, 1, "int", OP_READ)),
                op::direct<float, 1>(op_arg_dat(dc, -1, OP_ID, 1, "float", OP_WRITE)),
                op::global<float>(op_arg_gbl(&lo, 1, "float", OP_MIN)),
                op::global<float>(op_arg_gbl(&hi, 1, "float", OP_MAX)),
                op::global<int>(op_arg_gbl(&ilo, 1, "int", OP_MIN)), op::global<int>(op_arg_gbl(&ihi, 1, "int", OP_MAX)));
            EXPECT_EQ(c, ref);
            EXPECT_EQ(lo, refLo);
            EXPECT_EQ(hi, refHi);
            EXPECT_EQ(ilo, -1000);
            EXPECT_EQ(ihi, 999);
        }
    }
    EXPECT_EQ(OP_kernels[1].count, 4);

    // One thread visits the elements in order; written data count twice in the transfer.
    omp_set_num_threads(1);
    op_set s = op_decl_set(257, "order");
    std::vector<int> slot(257, -1);
    op_dat d = op_decl_dat(s, 1, "int", slot.data(), "slot");
    g_visits = 0;
    op_par_loop_direct<kernel_Order>(0, "kernel_Order", s,
                                     op::direct<int, 1>(op_arg_dat(d, -1, OP_ID, 1, "int", OP_WRITE)));
    for (int n = 0; n < 257; ++n) ASSERT_EQ(slot[n], n);
    EXPECT_STREQ(OP_kernels[0].name, "kernel_Order");
    EXPECT_FLOAT_EQ(OP_kernels[0].transfer, 257.0f * 4.0f * 2.0f);
}

TEST_F(OpLoops, RandomMeshesIncrementEveryEdgeOnceWithResultsEqualAcrossThreadsAndBlockSizes)
{
    // Shuffled edges with random weights: small meshes run on the calling thread, large ones in the team. The extreme
    // weights sit on edge 0 (block 0, colour 0) and on the last edge, so a partial reduction that is not carried from
    // colour to colour, or not written back, loses one of them.
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    const int nxs[] = {6, 60, 3, 45, 20, 50};
    for (int trial = 0; trial < 6; ++trial) {
        const optest::TriangleMesh mesh = optest::makeTriangleMesh(nxs[trial], 40, trial + 1);
        const int ncells = mesh.ncells, nedges = mesh.nedges();
        const int part = std::vector<int>{0, 16, 64, 200}[rng() % 4];
        SCOPED_TRACE(std::to_string(nedges) + " edges, part size " + std::to_string(part));
        std::vector<int> e2c = mesh.edgeCells, deg(ncells);
        std::vector<float> w(nedges), u(ncells), r(ncells);
        for (float& x : w) x = dist(rng);
        for (float& x : u) x = dist(rng);
        w[0] = 1000.0f;
        w[nedges - 1] = -1000.0f;
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
        }
        const op_plan& plan = OP_plans[OP_plan_index - 1];
        EXPECT_EQ(plan.exec_length < op::serial_loop_limit, nedges < op::serial_loop_limit);
        EXPECT_EQ(plan.count, 3) << "every call reuses the plan";
        EXPECT_EQ(plan.nargs, 9) << "7 arguments, two of them whole rows of two columns";
        EXPECT_EQ(plan.ninds, 3);
    }
    EXPECT_EQ(OP_kernels[13].count, 18);
    EXPECT_STREQ(OP_kernels[13].name, "kernel_EdgeFlux");
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
            ASSERT_EQ(std::vector<int>(&out[10 * e], &out[10 * e + 10]), expected) << "element " << e << ", " << threads;
        }
    }
    EXPECT_EQ(OP_plans[0].nargs, 8) << "the row counts as its three columns, the five other arguments once";

    // Rows of 40 columns: disjoint strings of 40 elements each, read and written through the map.
    const int nstrings = n / 40;
    std::vector<int> s2e(40 * nstrings), ids(nstrings), mark(n, -1);
    std::vector<float> v(n), mean(nstrings);
    for (int i = 0; i < n; ++i) v[i] = (float)(i * i % 17);
    for (int i = 0; i < 40 * nstrings; ++i) s2e[i] = (i * 7) % (40 * nstrings);
    for (int s = 0; s < nstrings; ++s) ids[s] = 100 + s;
    op_set strings = op_decl_set(nstrings, "strings");
    op_map m40 = op_decl_map(strings, elems, 40, s2e.data(), "s2e");
    op_dat dv = op_decl_dat(elems, 1, "float", v.data(), "v");
    op_dat dmark = op_decl_dat(elems, 1, "int", mark.data(), "mark");
    op_dat dids = op_decl_dat(strings, 1, "int", ids.data(), "ids");
    op_dat dmean = op_decl_dat(strings, 1, "float", mean.data(), "mean");
    static const int inds40[4] = {0, 1, -1, -1};
    using Strings40 = op::map_slot<0, 40>;
    omp_set_num_threads(2);
    op_par_loop_indirect<kernel_StringMean>(
        3, "kernel_StringMean", strings, inds40,
        op::row<const float, 1, Strings40>(op_arg_dat(dv, -40, m40, 1, "float", OP_READ)),
        op::row<int, 1, Strings40>(op_arg_dat(dmark, -40, m40, 1, "int", OP_WRITE)),
        op::direct<const int, 1>(op_arg_dat(dids, -1, OP_ID, 1, "int", OP_READ)),
        op::direct<float, 1>(op_arg_dat(dmean, -1, OP_ID, 1, "float", OP_WRITE)));
    for (int s = 0; s < nstrings; ++s) {
        float sum = 0.0f;
        for (int k = 0; k < 40; ++k) {
            sum += v[s2e[40 * s + k]];
            ASSERT_EQ(mark[s2e[40 * s + k]], 100 + s);
        }
        ASSERT_EQ(mean[s], sum / 40.0f) << "string " << s;
    }
    EXPECT_EQ(OP_plans[1].nargs, 82);
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
            op::optional(
                op::row<const float, 1, EdgeCells>(op_opt_arg_dat(on, on ? dcell : nullptr, -2, e2c, 1, "float", OP_READ))),
            op::optional(
                op::indirect<const float, 1, EdgeCells, 1>(op_opt_arg_dat(0, nullptr, 1, e2c, 1, "float", OP_READ))),
            op::direct<float, 1>(op_arg_dat(dseen, -1, OP_ID, 1, "float", OP_WRITE)));
        for (int e = 0; e < 4; ++e)
            EXPECT_EQ(seen[e], on ? 5.0f + 10.0f * (float)e + 100.0f * (float)(e + 1) : 7.0f) << "edge " << e << ", " << on;
    }
}

TEST_F(OpLoops, EmptySetCountsOneCallAndLeavesReductionsUnchanged)
{
    op_set none = op_decl_set(0, "none");
    op_set cells = op_decl_set(3, "cells");
    int table[1] = {0};
    op_map m = op_decl_map(none, cells, 1, table, "m");
    float f[3] = {};
    op_dat dcell = op_decl_dat(cells, 1, "float", f, "f");
    op_dat dnone = op_decl_dat(none, 1, "int", table, "n");
    float lo = 3.0f, hi = 4.0f;
    op_par_loop_direct(
        2, "kernel_Direct", none, [](int* a, float* b, float* c) { *a = 0, *b = *c = -1.0f; },
        op::direct<int, 1>(op_arg_dat(dnone, -1, OP_ID, 1, "int", OP_WRITE)),
        op::global<float>(op_arg_gbl(&lo, 1, "float", OP_MIN)), op::global<float>(op_arg_gbl(&hi, 1, "float", OP_MAX)));
    static const int inds[2] = {0, -1};
    op_par_loop_indirect(
        3, "kernel_Empty", none, inds, [](float* x, float* y) { *x = *y = -1.0f; },
        op::indirect<float, 1, op::map_slot<0, 1>, 0>(op_arg_dat(dcell, 0, m, 1, "float", OP_INC)),
        op::global<float>(op_arg_gbl(&lo, 1, "float", OP_MIN)));
    EXPECT_EQ(lo, 3.0f);
    EXPECT_EQ(hi, 4.0f);
    EXPECT_EQ(OP_kernels[2].count, 1);
    EXPECT_EQ(OP_kernels[3].count, 1);
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
    // 100 blocks of 45 elements and a last one of 13 (shorter than the distance); the map points anywhere.
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

            // Where each element was announced and run: thread and position in that thread's log.
            std::vector<int> announcedBy(n, -1), announcedAt(n, -1), ranBy(n, -1), ranAt(n, -1);
            for (int t = 0; t < threads; ++t)
                for (int i = 0; i < static_cast<int>(log[t].size()); ++i) {
                    const int v = log[t][i];
                    if (v >= 0) {
                        ASSERT_EQ(announcedBy[v], -1) << "element " << v << " announced twice";
                        announcedBy[v] = t;
                        announcedAt[v] = i;
                    } else {
                        ranBy[-v - 1] = t;
                        ranAt[-v - 1] = i;
                    }
                }
            const op_plan& plan = OP_plans[OP_plan_index - 1];
            ASSERT_EQ(plan.nelems[plan.nblocks - 1], 13);
            int announced = 0;
            for (int b = 0; b < plan.nblocks; ++b) {
                const int first = plan.offset[b], last = first + plan.nelems[b];
                // Scalar: every element from the distance on. Batches: those at the distance from a batch's elements.
                const int whole = plan.nelems[b] - plan.nelems[b] % lanes;
                const int upTo = lanes == 1 ? last : std::min(first + whole + D, last);
                for (int e = first; e < last; ++e) {
                    ASSERT_GE(ranBy[e], 0) << "element " << e << " never ran";
                    const bool expected = e >= first + D && e < upTo;
                    ASSERT_EQ(announcedBy[e] >= 0, expected) << "element " << e << " of block " << b;
                    if (!expected) continue;
                    ++announced;
                    // Announced by the thread that runs it, just before the element D (or the batch D) ahead of it.
                    ASSERT_EQ(announcedBy[e], ranBy[e]);
                    ASSERT_LT(announcedAt[e], ranAt[e]);
                    const std::vector<int>& events = log[announcedBy[e]];
                    int next = announcedAt[e] + 1;
                    while (events[next] >= 0) ++next;
                    const int nowRunning = -events[next] - 1;
                    ASSERT_GE(nowRunning, e - D - (lanes - 1)) << "element " << e;
                    ASSERT_LE(nowRunning, e - D) << "element " << e;
                }
            }
            EXPECT_GT(announced, n / 4);
            if (threads == 2) {
                EXPECT_FALSE(log[1].empty()) << "the second thread ran blocks";
            }
        }
}

TEST_F(OpLoops, ArgumentFindingsArePrintedAndTheLoopStillRuns)
{
    op_set s = op_decl_set(3, "s");
    int slot[3] = {-1, -1, -1};
    op_dat d = op_decl_dat(s, 1, "int", slot, "slot");
    omp_set_num_threads(1);
    g_visits = 0;
    ::testing::internal::CaptureStdout();
    op_par_loop_direct<kernel_Order>(0, "kernel_Order", s,
                                     op::direct<int, 1>(op_arg_dat(d, -1, OP_ID, 2, "int", OP_WRITE)));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "error: arg 0 in kernel \"kernel_Order\"\ndataset dim does not match declared dim \n");
    EXPECT_EQ(slot[2], 2);
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
    float cellValue[4] = {}, edgeValue[3] = {};
    op_dat dcell = op_decl_dat(cells, 1, "float", cellValue, "cellValue");
    op_dat dedge = op_decl_dat(edges, 1, "float", edgeValue, "edgeValue");
    using LR = op::map_slot<0, 2>;
    static const int inds2[2] = {0, 0}, inds1[2] = {0, -1};
    auto pair = [](const float*, const float*) {};
    auto single = [](const float*) {};
    float x = 1.0f;
    const std::string pre = "op_par_loop error -- argument ";
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { op_par_loop_direct(0, "kernel_Size", edges, single, op::direct<const float, 3>(op_arg_dat(dedge, -1, OP_ID, 1, "float", OP_READ))); },
         pre + "0 of kernel_Size: elements of 4 bytes, the loop expects 12 (3 components of 4 bytes)"},
        {[&] { op_par_loop_indirect(1, "kernel_Column", edges, inds2, pair,
                                    op::indirect<const float, 1, LR, 0>(op_arg_dat(dcell, 0, e2c, 1, "float", OP_READ)),
                                    op::indirect<const float, 1, LR, 1>(op_arg_dat(dcell, 0, e2c, 1, "float", OP_READ))); },
         pre + "1 of kernel_Column: map column 0 given, the loop reads column 1"},
        {[&] { op_par_loop_indirect(2, "kernel_Width", edges, inds2, pair,
                                    op::indirect<const float, 1, LR, 0>(op_arg_dat(dcell, 0, first, 1, "float", OP_READ)),
                                    op::indirect<const float, 1, LR, 1>(op_arg_dat(dcell, 1, e2c, 1, "float", OP_READ))); },
         pre + "0 of kernel_Width: map first has 1 columns, the loop expects 2"},
        {[&] { op_par_loop_indirect(3, "kernel_Slot", edges, inds2, pair,
                                    op::indirect<const float, 1, LR, 0>(op_arg_dat(dcell, 0, e2c, 1, "float", OP_READ)),
                                    op::indirect<const float, 1, LR, 1>(op_arg_dat(dcell, 1, other, 1, "float", OP_READ))); },
         pre + "1 of kernel_Slot: map other differs from map e2c of the loop's map slot 0"},
        {[&] { op_par_loop_direct(4, "kernel_Off", edges, single, op::direct<const float, 1>(op_opt_arg_dat(0, dedge, -1, OP_ID, 1, "float", OP_READ))); },
         pre + "0 of kernel_Off: switched off (opt 0) but not declared optional"},
        {[&] { op_par_loop_direct(5, "kernel_ConstMin", edges, pair,
                                  op::direct<const float, 1>(op_arg_dat(dedge, -1, OP_ID, 1, "float", OP_READ)),
                                  op::global<const float>(op_arg_gbl(&x, 1, "float", OP_MIN))); },
         pre + "1 of kernel_ConstMin: a const global is read (OP_READ)"},
        {[&] { op_par_loop_direct(6, "kernel_ReadReduction", edges, [](float*) {}, op::global<float>(op_arg_gbl(&x, 1, "float", OP_READ))); },
         pre + "0 of kernel_ReadReduction: a writable global is a reduction (OP_MIN or OP_MAX)"},
        {[&] { op_par_loop_direct(7, "kernel_GlobalSize", edges, [](float*) {}, op::global<float, 2>(op_arg_gbl(&x, 1, "float", OP_MAX))); },
         pre + "0 of kernel_GlobalSize: elements of 4 bytes, the loop expects 8"},
        {[&] { op_par_loop_direct(8, "kernel_A", edges, single, op::direct<const float, 1>(op_arg_dat(dcell, 0, e2c, 1, "float", OP_READ))); },
         pre + "0 of kernel_A"},
        // Data the model file does not hold, passed in use: reported, then the loop stops instead of reading through a
        // null pointer.
        {[&] { op_par_loop_indirect(9, "kernel_C", edges, inds1, [](const float* const*, float*) {},
                                    op::row<const float, 1, op::map_slot<0, 1>>(op_arg_dat(nullptr, -1, first, 1, "float", OP_READ)),
                                    op::direct<float, 1>(op_arg_dat(dedge, -1, OP_ID, 1, "float", OP_WRITE))); },
         "NULL pointer for dataset"},
    };
    for (const auto& [run, message] : cases) OP_EXPECT_EXIT(run(), 255, message);
}
