// Direct and indirect parallel loops at 1 and 2 threads against serial references: order, increments through maps,
// whole-row arguments, reductions, optional arguments, empty sets, plan reuse and timing records.
#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "op/op_par_loop.hpp"
#include "tests/op/OpFixture.hpp"

namespace {

int g_visits = 0;

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
/// also counts the edges of each cell and reduces the largest flux and the smallest cell number.
inline void kernel_EdgeFlux(const float* w, const float* const* u, float* const* r, int* degLeft, int* degRight,
                            float* maxFlux, int* minCell)
{
    const float flux = *w * (*u[1] - *u[0]);
    *r[0] += flux;
    *r[1] -= flux;
    *degLeft += 1;
    *degRight += 1;
    *maxFlux = std::max(*maxFlux, flux);
    *minCell = std::min(*minCell, *degLeft);
}

inline void kernel_NeighbourSum(const float* const* nb, float* sum) { *sum = *nb[0] + *nb[1] + *nb[2]; }
inline void kernel_FirstNeighbour(const float* const* nb, float* first) { *first = *nb[0]; }

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
/// Node strings of 40 cells.
using Strings40 = op::map_slot<0, 40>;

using OpLoops = optest::ThreadedOpTest;
using OpLoopsDeathTest = OpLoops;

/// Interior edges of a 60 x 40 rectangle in shuffled order with random weights and cell values.
struct EdgeProblem {
    optest::TriangleMesh mesh = optest::makeTriangleMesh(60, 40);
    std::vector<int> e2c;
    std::vector<float> w, u;
    EdgeProblem()
    {
        std::mt19937 rng(11);
        std::vector<int> order(mesh.nedges());
        for (int i = 0; i < mesh.nedges(); ++i) order[i] = i;
        std::shuffle(order.begin(), order.end(), rng);
        std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
        for (int i = 0; i < mesh.nedges(); ++i) {
            e2c.push_back(mesh.edgeCells[2 * order[i]]);
            e2c.push_back(mesh.edgeCells[2 * order[i] + 1]);
            w.push_back(dist(rng));
        }
        for (int c = 0; c < mesh.ncells; ++c) u.push_back(dist(rng));
    }
};

}  // namespace

TEST_F(OpLoops, DirectLoopVisitsElementsInOrderWithOneThread)
{
    omp_set_num_threads(1);
    op_set s = op_decl_set(257, "s");
    std::vector<int> slot(257, -1);
    op_dat d = op_decl_dat(s, 1, "int", slot.data(), "slot");
    g_visits = 0;
    op_par_loop_direct<kernel_Order>(0, "kernel_Order", s,
                                     op::direct<int, 1>(op_arg_dat(d, -1, OP_ID, 1, "int", OP_WRITE)));
    for (int n = 0; n < 257; ++n) ASSERT_EQ(slot[n], n);
    EXPECT_STREQ(OP_kernels[0].name, "kernel_Order");
    EXPECT_EQ(OP_kernels[0].count, 1);
    EXPECT_FLOAT_EQ(OP_kernels[0].transfer, 257.0f * 4.0f * 2.0f) << "written data counts twice";
}

TEST_F(OpLoops, DirectLoopAndReductionsMatchTheSerialReference)
{
    const int size = 1001;
    std::vector<float> a(size);
    std::vector<int> b(size);
    for (int i = 0; i < size; ++i) {
        a[i] = 0.5f * (float)((i * 37) % 101) - 20.0f;
        b[i] = (i * 53) % 97 - 40;
    }
    b[size - 1] = -1000;  // extremes in the second thread's range and in the middle
    b[500] = 999;
    std::vector<float> ref(size);
    float refLo = 5.0f, refHi = -1e30f;
    int refIlo = INT_MAX, refIhi = 7;
    for (int i = 0; i < size; ++i) kernel_Scale(&a[i], &b[i], &ref[i], &refLo, &refHi, &refIlo, &refIhi);

    op_set s = op_decl_set(size, "s");
    op_dat da = op_decl_dat(s, 1, "float", a.data(), "a");
    op_dat db = op_decl_dat(s, 1, "int", b.data(), "b");
    std::vector<float> c(size);
    op_dat dc = op_decl_dat(s, 1, "float", c.data(), "c");
    for (int threads : {1, 2}) {
        omp_set_num_threads(threads);
        std::fill(c.begin(), c.end(), 0.0f);
        float lo = 5.0f, hi = -1e30f;
        int ilo = INT_MAX, ihi = 7;
        op_par_loop_direct<kernel_Scale>(
            1, "kernel_Scale", s, op::direct<const float, 1>(op_arg_dat(da, -1, OP_ID, 1, "float", OP_READ)),
            op::direct<const int, 1>(op_arg_dat(db, -1, OP_ID, 1, "int", OP_READ)),
            op::direct<float, 1>(op_arg_dat(dc, -1, OP_ID, 1, "float", OP_WRITE)),
            op::global<float>(op_arg_gbl(&lo, 1, "float", OP_MIN)),
            op::global<float>(op_arg_gbl(&hi, 1, "float", OP_MAX)), op::global<int>(op_arg_gbl(&ilo, 1, "int", OP_MIN)),
            op::global<int>(op_arg_gbl(&ihi, 1, "int", OP_MAX)));
        EXPECT_EQ(c, ref) << threads << " threads";
        EXPECT_EQ(lo, refLo) << threads << " threads";
        EXPECT_EQ(hi, refHi) << threads << " threads";
        EXPECT_EQ(ilo, -1000) << threads << " threads";
        EXPECT_EQ(ihi, 999) << threads << " threads";
    }
    EXPECT_EQ(OP_kernels[1].count, 2);
}

TEST_F(OpLoops, IndirectIncrementsAreExactAndBitIdenticalAcrossThreadCounts)
{
    EdgeProblem pb;
    const int ncells = pb.mesh.ncells, nedges = pb.mesh.nedges();
    op_set edges = op_decl_set(nedges, "edges");
    op_set cells = op_decl_set(ncells, "cells");
    op_map e2c = op_decl_map(edges, cells, 2, pb.e2c.data(), "e2c");
    op_dat dw = op_decl_dat(edges, 1, "float", pb.w.data(), "w");
    op_dat du = op_decl_dat(cells, 1, "float", pb.u.data(), "u");
    std::vector<float> r(ncells);
    std::vector<int> deg(ncells);
    op_dat dr = op_decl_dat(cells, 1, "float", r.data(), "r");
    op_dat ddeg = op_decl_dat(cells, 1, "int", deg.data(), "deg");

    // Serial reference in edge order.
    std::vector<float> refR(ncells, 0.0f);
    std::vector<int> refDeg(ncells, 0);
    float refMax = -1e30f;
    for (int e = 0; e < nedges; ++e) {
        const int l = pb.e2c[2 * e], rr = pb.e2c[2 * e + 1];
        const float flux = pb.w[e] * (pb.u[rr] - pb.u[l]);
        refR[l] += flux;
        refR[rr] -= flux;
        refDeg[l] += 1;
        refDeg[rr] += 1;
        refMax = std::max(refMax, flux);
    }

    static const int inds[7] = {-1, 0, 1, 2, 2, -1, -1};
    auto run = [&](int threads, float& maxFlux, int& minDeg) {
        omp_set_num_threads(threads);
        std::fill(r.begin(), r.end(), 0.0f);
        std::fill(deg.begin(), deg.end(), 0);
        maxFlux = -1e30f;
        minDeg = INT_MAX;
        op_par_loop_indirect<kernel_EdgeFlux>(
            13, "kernel_EdgeFlux", edges, inds,
            op::direct<const float, 1>(op_arg_dat(dw, -1, OP_ID, 1, "float", OP_READ)),
            op::row<const float, 1, EdgeCells>(op_arg_dat(du, -2, e2c, 1, "float", OP_READ)),
            op::row<float, 1, EdgeCells>(op_arg_dat(dr, -2, e2c, 1, "float", OP_INC)),
            op::indirect<int, 1, EdgeCells, 0>(op_arg_dat(ddeg, 0, e2c, 1, "int", OP_INC)),
            op::indirect<int, 1, EdgeCells, 1>(op_arg_dat(ddeg, 1, e2c, 1, "int", OP_INC)),
            op::global<float>(op_arg_gbl(&maxFlux, 1, "float", OP_MAX)),
            op::global<int>(op_arg_gbl(&minDeg, 1, "int", OP_MIN)));
    };

    float maxFlux1;
    int minDeg1;
    run(1, maxFlux1, minDeg1);
    const std::vector<float> r1 = r;
    EXPECT_EQ(deg, refDeg) << "no increment lost";
    EXPECT_EQ(maxFlux1, refMax);
    EXPECT_EQ(minDeg1, 1);
    for (int c = 0; c < ncells; ++c) ASSERT_NEAR(r1[c], refR[c], 1e-5f) << "cell " << c;

    for (int repeat = 0; repeat < 5; ++repeat) {
        float maxFlux2;
        int minDeg2;
        run(2, maxFlux2, minDeg2);
        EXPECT_EQ(std::memcmp(r.data(), r1.data(), ncells * sizeof(float)), 0) << "repeat " << repeat;
        EXPECT_EQ(deg, refDeg);
        EXPECT_EQ(maxFlux2, refMax);
        EXPECT_EQ(minDeg2, 1);
    }

    EXPECT_EQ(OP_plan_index, 1) << "every call reuses the first plan";
    EXPECT_EQ(OP_plans[0].count, 6);
    EXPECT_EQ(OP_plans[0].nargs, 9) << "7 arguments, two of them whole rows of two columns";
    EXPECT_EQ(OP_plans[0].ninds, 3);
    EXPECT_EQ(OP_set_index, 2);
    EXPECT_EQ(OP_map_index, 1);
    EXPECT_EQ(OP_dat_index, 4);
    EXPECT_EQ(OP_kernels[13].count, 6);
    EXPECT_STREQ(OP_kernels[13].name, "kernel_EdgeFlux");
    EXPECT_FLOAT_EQ(OP_kernels[13].transfer, 6.0f * OP_plans[0].transfer);
}

TEST_F(OpLoops, WholeRowArgumentPassesEveryMapColumn)
{
    const optest::TriangleMesh mesh = optest::makeTriangleMesh(9, 7);
    std::vector<int> nb = mesh.neighbours;
    std::vector<float> v(mesh.ncells), sum(mesh.ncells);
    for (int c = 0; c < mesh.ncells; ++c) v[c] = (float)(c * c % 17);
    op_set cells = op_decl_set(mesh.ncells, "cells");
    op_map c2c = op_decl_map(cells, cells, 3, nb.data(), "c2c");
    op_dat dv = op_decl_dat(cells, 1, "float", v.data(), "v");
    op_dat ds = op_decl_dat(cells, 1, "float", sum.data(), "sum");
    static const int inds[2] = {0, -1};
    for (int threads : {1, 2}) {
        omp_set_num_threads(threads);
        std::fill(sum.begin(), sum.end(), -1.0f);
        OP_part_size = 16;
        op_par_loop_indirect<kernel_NeighbourSum>(
            4, "kernel_NeighbourSum", cells, inds,
            op::row<const float, 1, op::map_slot<0, 3>>(op_arg_dat(dv, -3, c2c, 1, "float", OP_READ)),
            op::direct<float, 1>(op_arg_dat(ds, -1, OP_ID, 1, "float", OP_WRITE)));
        for (int c = 0; c < mesh.ncells; ++c)
            ASSERT_EQ(sum[c], v[nb[3 * c]] + v[nb[3 * c + 1]] + v[nb[3 * c + 2]]) << "cell " << c;
    }
    EXPECT_EQ(OP_plans[0].part_size, 16);
    EXPECT_EQ(OP_plans[0].nblocks, (mesh.ncells + 15) / 16);

    // Rows of 40 columns: disjoint strings of 40 cells each, written through the map.
    const int nstrings = mesh.ncells / 40;
    std::vector<int> s2c(40 * nstrings), ids(nstrings), mark(mesh.ncells, -1);
    std::vector<float> mean(nstrings);
    for (int i = 0; i < 40 * nstrings; ++i) s2c[i] = (i * 7) % (40 * nstrings);
    for (int s = 0; s < nstrings; ++s) ids[s] = 100 + s;
    op_set strings = op_decl_set(nstrings, "strings");
    op_map m40 = op_decl_map(strings, cells, 40, s2c.data(), "s2c");
    op_dat dmark = op_decl_dat(cells, 1, "int", mark.data(), "mark");
    op_dat dids = op_decl_dat(strings, 1, "int", ids.data(), "ids");
    op_dat dmean = op_decl_dat(strings, 1, "float", mean.data(), "mean");
    static const int inds40[4] = {0, 1, -1, -1};
    for (int threads : {1, 2}) {
        omp_set_num_threads(threads);
        std::fill(mark.begin(), mark.end(), -1);
        op_par_loop_indirect<kernel_StringMean>(
            3, "kernel_StringMean", strings, inds40,
            op::row<const float, 1, Strings40>(op_arg_dat(dv, -40, m40, 1, "float", OP_READ)),
            op::row<int, 1, Strings40>(op_arg_dat(dmark, -40, m40, 1, "int", OP_WRITE)),
            op::direct<const int, 1>(op_arg_dat(dids, -1, OP_ID, 1, "int", OP_READ)),
            op::direct<float, 1>(op_arg_dat(dmean, -1, OP_ID, 1, "float", OP_WRITE)));
        for (int s = 0; s < nstrings; ++s) {
            float sum = 0.0f;
            for (int k = 0; k < 40; ++k) {
                sum += v[s2c[40 * s + k]];
                ASSERT_EQ(mark[s2c[40 * s + k]], 100 + s);
            }
            ASSERT_EQ(mean[s], sum / 40.0f) << "string " << s;
        }
    }
    EXPECT_EQ(OP_plans[1].nargs, 82);
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
    int ilo = 5, ihi = 6;
    g_visits = 0;
    op_par_loop_direct<kernel_Order>(2, "kernel_Order", none,
                                     op::direct<int, 1>(op_arg_dat(dnone, -1, OP_ID, 1, "int", OP_WRITE)));
    op_par_loop_direct(
        2, "kernel_Order", none,
        [](int*, float* a, float* b, int* c, int* d) {
            *a = *b = -1.0f;
            *c = *d = -1;
        },
        op::direct<int, 1>(op_arg_dat(dnone, -1, OP_ID, 1, "int", OP_WRITE)),
        op::global<float>(op_arg_gbl(&lo, 1, "float", OP_MIN)), op::global<float>(op_arg_gbl(&hi, 1, "float", OP_MAX)),
        op::global<int>(op_arg_gbl(&ilo, 1, "int", OP_MIN)), op::global<int>(op_arg_gbl(&ihi, 1, "int", OP_MAX)));
    static const int inds[2] = {0, -1};
    op_par_loop_indirect(
        3, "kernel_Empty", none, inds, [](float* x, float* y) { *x = *y = -1.0f; },
        op::indirect<float, 1, op::map_slot<0, 1>, 0>(op_arg_dat(dcell, 0, m, 1, "float", OP_INC)),
        op::global<float>(op_arg_gbl(&lo, 1, "float", OP_MIN)));
    EXPECT_EQ(g_visits, 0);
    EXPECT_EQ(lo, 3.0f);
    EXPECT_EQ(hi, 4.0f);
    EXPECT_EQ(ilo, 5);
    EXPECT_EQ(ihi, 6);
    EXPECT_EQ(OP_kernels[2].count, 2);
    EXPECT_EQ(OP_kernels[3].count, 1);
    EXPECT_GE(OP_kernels[3].time, 0.0);
    EXPECT_EQ(OP_plan_index, 0) << "an empty set is not planned";
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
    for (int threads : {1, 2}) {
        omp_set_num_threads(threads);
        for (int on : {0, 1}) {
            std::fill(seen, seen + 4, -1.0f);
            op_par_loop_indirect<kernel_Optional>(
                5, "kernel_Optional", edges, inds,
                op::optional(op::direct<const float, 1>(op_opt_arg_dat(0, nullptr, -1, OP_ID, 1, "float", OP_READ))),
                op::optional(op::row<const float, 1, EdgeCells>(
                    op_opt_arg_dat(on, on ? dcell : nullptr, -2, e2c, 1, "float", OP_READ))),
                op::optional(op::indirect<const float, 1, EdgeCells, 1>(
                    op_opt_arg_dat(0, nullptr, 1, e2c, 1, "float", OP_READ))),
                op::direct<float, 1>(op_arg_dat(dseen, -1, OP_ID, 1, "float", OP_WRITE)));
            for (int e = 0; e < 4; ++e)
                EXPECT_EQ(seen[e], on ? 5.0f + 10.0f * (float)e + 100.0f * (float)(e + 1) : 7.0f)
                    << "edge " << e << ", row " << (on ? "in use" : "switched off") << ", " << threads << " threads";
        }
    }
}

TEST_F(OpLoops, ArgumentFindingsArePrintedAndTheLoopStillRuns)
{
    op_set s = op_decl_set(3, "s");
    int slot[3] = {-1, -1, -1};
    op_dat d = op_decl_dat(s, 1, "int", slot, "slot");
    omp_set_num_threads(1);  // the visit counter is shared
    g_visits = 0;
    ::testing::internal::CaptureStdout();
    op_par_loop_direct<kernel_Order>(0, "kernel_Order", s,
                                     op::direct<int, 1>(op_arg_dat(d, -1, OP_ID, 2, "int", OP_WRITE)));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "error: arg 0 in kernel \"kernel_Order\"\ndataset dim does not match declared dim \n");
    EXPECT_EQ(slot[2], 2);
}

TEST_F(OpLoopsDeathTest, ArgumentsThatDoNotFitTheirDescriptorStopTheLoop)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    op_set s = op_decl_set(2, "s");
    int slot[2];
    op_dat d = op_decl_dat(s, 1, "int", slot, "slot");
    int table[2] = {1, 0};
    op_map m = op_decl_map(s, s, 1, table, "swap");
    static const int inds[2] = {0, -1};
    OP_EXPECT_EXIT(
        op_par_loop_direct<kernel_Order>(0, "kernel_A", s, op::direct<int, 1>(op_arg_dat(d, 0, m, 1, "int", OP_WRITE))),
        255, "op_par_loop error -- argument 0 of kernel_A");
    OP_EXPECT_EXIT((op_par_loop_indirect<kernel_NeighbourSum>(
                       1, "kernel_B", s, inds,
                       op::row<const float, 1, op::map_slot<0, 3>>(op_arg_dat(d, -1, m, 1, "int", OP_READ)),
                       op::direct<float, 1>(op_arg_dat(d, -1, OP_ID, 1, "int", OP_WRITE)))),
                   255, "op_par_loop error -- argument 0 of kernel_B");
    // Data the model file does not hold, passed in use: reported as such, then the loop stops instead of reading
    // through a null pointer.
    OP_EXPECT_EXIT((op_par_loop_indirect<kernel_FirstNeighbour>(
                       2, "kernel_C", s, inds,
                       op::row<const float, 1, op::map_slot<0, 1>>(op_arg_dat(nullptr, -1, m, 1, "float", OP_READ)),
                       op::direct<float, 1>(op_arg_dat(d, -1, OP_ID, 1, "int", OP_WRITE)))),
                   255, "NULL pointer for dataset");
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
    // 100 blocks of 45 elements and a last one of 13 (shorter than the distance), enough for the threads to share
    // them; the map points anywhere.
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

    for (int lanes : {1, 8}) {
        for (int threads : {1, 2}) {
            omp_set_num_threads(threads);
            EventLog log(threads);
            std::fill(out.begin(), out.end(), -1);
            const LoggedTarget src{TargetArg{op_arg_dat(dtarget, 0, one, 1, "int", OP_READ)}, &log};
            const auto dst = op::direct<int, 1>(op_arg_dat(dout, -1, OP_ID, 1, "int", OP_WRITE));
            auto scalar = [](const int* s, int* o) { *o = *s; };
            if (lanes == 1) {
                op_par_loop_indirect(3, "kernel_Announced", elems, inds, scalar, src, dst);
            } else {
                auto batch = [](const int* const* s, int* const* o) {
                    for (int j = 0; j < 8; ++j) *o[j] = *s[j];
                };
                op_par_loop_indirect(4, "kernel_AnnouncedBatch", elems, inds, op::batched<8>(scalar, batch), src, dst);
            }
            for (int e = 0; e < n; ++e) ASSERT_EQ(out[e], 3 * m1[e]) << "element " << e;

            // Where each element was announced and run: thread and position in that thread's log.
            std::vector<int> announcedBy(n, -1), announcedAt(n, -1), ranBy(n, -1), ranAt(n, -1);
            for (int t = 0; t < threads; ++t)
                for (int i = 0; i < static_cast<int>(log[t].size()); ++i) {
                    const int v = log[t][i];
                    if (v >= 0) {
                        ASSERT_LT(v, n);
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
                    ASSERT_EQ(announcedBy[e] >= 0, expected)
                        << "element " << e << " of block " << b << ", " << lanes << " lanes, " << threads << " threads";
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
}
