// The framework's direct and indirect loops against plain OpenMP loops doing the same work on the same arrays, and
// the planning of an indirect loop.
#include <benchmark/benchmark.h>
#include <omp.h>

#include <cmath>
#include <vector>

#include "op/op_par_loop.hpp"

namespace {

/// Semi-implicit friction-like update of one cell's (h, qx, qy): a few flops per element, memory bound.
inline void kernel_BenchFriction(const float* h, const float* cf, float* q)
{
    const float depth = std::fmax(*h, 1e-3f);
    const float speed = std::sqrt(q[0] * q[0] + q[1] * q[1]) / depth;
    const float factor = 1.0f / (1.0f + 0.01f * *cf * speed / depth);
    q[0] *= factor;
    q[1] *= factor;
}

/// Edge flux between the edge's two cells, added to the left cell and taken from the right one.
inline void kernel_BenchEdgeFlux(const float* len, const float* const* state, float* const* res)
{
    const float dh = state[1][0] - state[0][0];
    const float qn = 0.5f * (state[0][1] + state[1][1]);
    const float flux = *len * (qn + 0.1f * dh);
    res[0][0] += flux;
    res[1][0] -= flux;
    res[0][1] += 0.5f * flux * qn;
    res[1][1] -= 0.5f * flux * qn;
}

/// Time-step-like edge kernel: the two cells' wet flags, states and bed levels through the two columns of one map,
/// the edge's normal and length directly, and the smallest admissible step over the edges as a reduction.
inline void kernel_BenchEdgeStep(const float* normal, const float* len, const int* wetL, const int* wetR,
                                 const float* sL, const float* sR, const float* zL, const float* zR, float* dtMin)
{
    float dt = *dtMin;
    if (*wetL) {
        const float h = std::fmax(sL[0] - *zL, 1e-3f);
        dt = std::fmin(dt, *len / (std::fabs(sL[1] * (normal[0] + normal[1])) / h + std::sqrt(9.81f * h)));
    }
    if (*wetR) {
        const float h = std::fmax(sR[0] - *zR, 1e-3f);
        dt = std::fmin(dt, *len / (std::fabs(sR[1] * (normal[0] + normal[1])) / h + std::sqrt(9.81f * h)));
    }
    *dtMin = dt;
}

struct Problem {
    int ncells = 0, nedges = 0;
    std::vector<int> e2c;
    std::vector<float> h, cf, q, len, state, res, normal;
    std::vector<int> wet;
    op_set cells = nullptr, edges = nullptr;
    op_map edgeCells = nullptr;
    op_dat dh, dcf, dq, dlen, dstate, dres, dnormal, dwet;

    /// 1 000 000 triangle cells: a 1000 x 500 rectangle of squares cut in two; interior edges only.
    Problem()
    {
        const int nx = 1000, ny = 500;
        ncells = 2 * nx * ny;
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i) {
                const int lower = 2 * (j * nx + i), upper = lower + 1;
                e2c.insert(e2c.end(), {lower, upper});
                if (i + 1 < nx) e2c.insert(e2c.end(), {lower, 2 * (j * nx + i + 1) + 1});
                if (j + 1 < ny) e2c.insert(e2c.end(), {upper, 2 * ((j + 1) * nx + i)});
            }
        nedges = (int)e2c.size() / 2;
        h.resize(ncells);
        cf.resize(ncells);
        q.resize(2 * ncells);
        state.resize(2 * ncells);
        res.assign(2 * ncells, 0.0f);
        len.resize(nedges);
        for (int c = 0; c < ncells; ++c) {
            h[c] = 1.0f + 0.001f * (float)(c % 997);
            cf[c] = 0.5f + 0.0001f * (float)(c % 89);
            q[2 * c] = 0.3f;
            q[2 * c + 1] = -0.1f;
            state[2 * c] = h[c];
            state[2 * c + 1] = 0.2f + 0.0001f * (float)(c % 31);
        }
        for (int e = 0; e < nedges; ++e) len[e] = 1.0f + 0.01f * (float)(e % 7);
        normal.resize(2 * nedges);
        for (int e = 0; e < nedges; ++e) {
            normal[2 * e] = (e % 3 == 0) ? 1.0f : 0.6f;
            normal[2 * e + 1] = (e % 3 == 0) ? 0.0f : 0.8f;
        }
        wet.resize(ncells);
        for (int c = 0; c < ncells; ++c) wet[c] = (c % 5 != 0) ? 1 : 0;

        op_init(0, nullptr, 0);
        cells = op_decl_set(ncells, "cells");
        edges = op_decl_set(nedges, "edges");
        edgeCells = op_decl_map(edges, cells, 2, e2c.data(), "edgeCells");
        dh = op_decl_dat(cells, 1, "float", h.data(), "h");
        dcf = op_decl_dat(cells, 1, "float", cf.data(), "cf");
        dq = op_decl_dat(cells, 2, "float", q.data(), "q");
        dlen = op_decl_dat(edges, 1, "float", len.data(), "len");
        dstate = op_decl_dat(cells, 2, "float", state.data(), "state");
        dres = op_decl_dat(cells, 2, "float", res.data(), "res");
        dnormal = op_decl_dat(edges, 2, "float", normal.data(), "normal");
        dwet = op_decl_dat(cells, 1, "int", wet.data(), "wet");
    }
};

Problem& problem()
{
    static Problem p;
    return p;
}

void frameworkDirect(Problem& p)
{
    op_par_loop_direct<kernel_BenchFriction>(
        0, "kernel_BenchFriction", p.cells,
        op::direct<const float, 1>(op_arg_dat(p.dh, -1, OP_ID, 1, "float", OP_READ)),
        op::direct<const float, 1>(op_arg_dat(p.dcf, -1, OP_ID, 1, "float", OP_READ)),
        op::direct<float, 2>(op_arg_dat(p.dq, -1, OP_ID, 2, "float", OP_RW)));
}

void frameworkIndirect(Problem& p)
{
    static const int inds[3] = {-1, 0, 1};
    op_par_loop_indirect<kernel_BenchEdgeFlux>(
        1, "kernel_BenchEdgeFlux", p.edges, inds,
        op::direct<const float, 1>(op_arg_dat(p.dlen, -1, OP_ID, 1, "float", OP_READ)),
        op::row<const float, 2, op::map_slot<0, 2>>(op_arg_dat(p.dstate, -2, p.edgeCells, 2, "float", OP_READ)),
        op::row<float, 2, op::map_slot<0, 2>>(op_arg_dat(p.dres, -2, p.edgeCells, 2, "float", OP_INC)));
}

/// Nine arguments as in the hydraulic time step: six through the two columns of one map, and a minimum.
float frameworkEdgeStep(Problem& p)
{
    using LR = op::map_slot<0, 2>;
    static const int inds[9] = {-1, -1, 0, 0, 1, 1, 2, 2, -1};
    float dt = 1e30f;
    op_par_loop_indirect<kernel_BenchEdgeStep>(
        2, "kernel_BenchEdgeStep", p.edges, inds,
        op::direct<const float, 2>(op_arg_dat(p.dnormal, -1, OP_ID, 2, "float", OP_READ)),
        op::direct<const float, 1>(op_arg_dat(p.dlen, -1, OP_ID, 1, "float", OP_READ)),
        op::indirect<const int, 1, LR, 0>(op_arg_dat(p.dwet, 0, p.edgeCells, 1, "int", OP_READ)),
        op::indirect<const int, 1, LR, 1>(op_arg_dat(p.dwet, 1, p.edgeCells, 1, "int", OP_READ)),
        op::indirect<const float, 2, LR, 0>(op_arg_dat(p.dstate, 0, p.edgeCells, 2, "float", OP_READ)),
        op::indirect<const float, 2, LR, 1>(op_arg_dat(p.dstate, 1, p.edgeCells, 2, "float", OP_READ)),
        op::indirect<const float, 1, LR, 0>(op_arg_dat(p.dh, 0, p.edgeCells, 1, "float", OP_READ)),
        op::indirect<const float, 1, LR, 1>(op_arg_dat(p.dh, 1, p.edgeCells, 1, "float", OP_READ)),
        op::global<float>(op_arg_gbl(&dt, 1, "float", OP_MIN)));
    return dt;
}

void BM_EdgeStepFramework(benchmark::State& st)
{
    Problem& p = problem();
    omp_set_num_threads((int)st.range(0));
    frameworkEdgeStep(p);  // first call plans
    for (auto _ : st) benchmark::DoNotOptimize(frameworkEdgeStep(p));
    st.SetItemsProcessed(st.iterations() * p.nedges);
}

/// The same edges in one plain OpenMP loop with a minimum reduction (read-only through the map: no colours needed).
void BM_EdgeStepPlainOpenMP(benchmark::State& st)
{
    Problem& p = problem();
    omp_set_num_threads((int)st.range(0));
    const int* map = p.e2c.data();
    const float* normal = p.normal.data();
    const float* len = p.len.data();
    const int* wet = p.wet.data();
    const float* state = p.state.data();
    const float* z = p.h.data();
    const int n = p.nedges;
    for (auto _ : st) {
        float dt = 1e30f;
#pragma omp parallel for schedule(static) reduction(min : dt)
        for (int e = 0; e < n; ++e) {
            const int l = map[2 * e], r = map[2 * e + 1];
            float local = dt;
            kernel_BenchEdgeStep(normal + 2 * e, len + e, wet + l, wet + r, state + 2 * l, state + 2 * r, z + l, z + r,
                                 &local);
            dt = local;
        }
        benchmark::DoNotOptimize(dt);
    }
    st.SetItemsProcessed(st.iterations() * p.nedges);
}

void BM_DirectFramework(benchmark::State& st)
{
    Problem& p = problem();
    omp_set_num_threads((int)st.range(0));
    for (auto _ : st) {
        frameworkDirect(p);
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * p.ncells);
}

void BM_DirectPlainOpenMP(benchmark::State& st)
{
    Problem& p = problem();
    omp_set_num_threads((int)st.range(0));
    const float* h = p.h.data();
    const float* cf = p.cf.data();
    float* q = p.q.data();
    const int n = p.ncells;
    for (auto _ : st) {
#pragma omp parallel for schedule(static)
        for (int i = 0; i < n; ++i) kernel_BenchFriction(h + i, cf + i, q + 2 * i);
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * p.ncells);
}

void BM_IndirectFramework(benchmark::State& st)
{
    Problem& p = problem();
    omp_set_num_threads((int)st.range(0));
    frameworkIndirect(p);  // first call plans
    for (auto _ : st) {
        frameworkIndirect(p);
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * p.nedges);
}

/// The same coloured block schedule written out by hand: colours in turn, blocks of a colour divided statically.
void BM_IndirectPlainOpenMP(benchmark::State& st)
{
    Problem& p = problem();
    omp_set_num_threads((int)st.range(0));
    frameworkIndirect(p);
    const op_plan* plan = nullptr;
    for (int i = 0; i < OP_plan_index; ++i)
        if (OP_plans[i].set == p.edges) plan = &OP_plans[i];
    const int* map = p.e2c.data();
    const float* len = p.len.data();
    const float* state = p.state.data();
    float* res = p.res.data();
    for (auto _ : st) {
        int blockOffset = 0;
        for (int col = 0; col < plan->ncolors; ++col) {
            const int nblocks = plan->ncolblk[col];
#pragma omp parallel for schedule(static)
            for (int b = 0; b < nblocks; ++b) {
                const int blockId = plan->blkmap[blockOffset + b];
                const int first = plan->offset[blockId], last = first + plan->nelems[blockId];
                for (int e = first; e < last; ++e) {
                    const float* s[2] = {state + 2 * map[2 * e], state + 2 * map[2 * e + 1]};
                    float* r[2] = {res + 2 * map[2 * e], res + 2 * map[2 * e + 1]};
                    kernel_BenchEdgeFlux(len + e, s, r);
                }
            }
            blockOffset += nblocks;
        }
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * p.nedges);
}

/// Planning an edge loop over the 1M-cell mesh: three datasets read through both columns of the edge map, one
/// through column 0 only, one incremented (so both colourings run). Every iteration builds the plan afresh.
void BM_PlanEdgeLoop(benchmark::State& st)
{
    Problem& p = problem();
    op_arg args[8] = {op_arg_dat(p.dstate, 0, p.edgeCells, 2, "float", OP_READ),
                      op_arg_dat(p.dstate, 1, p.edgeCells, 2, "float", OP_READ),
                      op_arg_dat(p.dh, 0, p.edgeCells, 1, "float", OP_READ),
                      op_arg_dat(p.dh, 1, p.edgeCells, 1, "float", OP_READ),
                      op_arg_dat(p.dq, 0, p.edgeCells, 2, "float", OP_READ),
                      op_arg_dat(p.dcf, 0, p.edgeCells, 1, "float", OP_READ),
                      op_arg_dat(p.dres, 0, p.edgeCells, 2, "float", OP_INC),
                      op_arg_dat(p.dres, 1, p.edgeCells, 2, "float", OP_INC)};
    int inds[8] = {0, 0, 1, 1, 2, 3, 4, 4};
    for (auto _ : st) {
        const op_plan* plan = op_plan_get("kernel_BenchPlan", p.edges, 0, 8, args, 5, inds);
        benchmark::DoNotOptimize(plan->blkmap);
        st.PauseTiming();
        op_rt_exit();  // drops every plan, so that the next iteration plans again
        st.ResumeTiming();
    }
    st.SetItemsProcessed(st.iterations() * p.nedges);
}

}  // namespace

BENCHMARK(BM_PlanEdgeLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DirectFramework)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DirectPlainOpenMP)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndirectFramework)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndirectPlainOpenMP)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EdgeStepFramework)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EdgeStepPlainOpenMP)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
