// The eight-lane sediment flux gives, lane by lane, the bits of kernel_MORPHOLOGY_InternalFluxes: random edges of
// every regime, hand-built edges of each branch side by side in one batch, and the loop over a subset of edges.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kernels/FloatSamples.hpp"
#include "kernels/MorphologyTestSetup.hpp"
#include "op/op_rt_support.h"
#include "simulation/TERRAdomain_loops.hpp"
#include "simulation/kernels/MorphologyFluxes.hpp"
#include "simulation/kernels/MorphologyFluxesBatch.hpp"
#include "tests/op/OpFixture.hpp"

namespace {

constexpr int kLanes = morphology::kSedimentBatch;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

using mortest::Side;

struct Edge {
    float n[2] = {1.0f, 0.0f};
    Side l, r;
};

float scalarFlux(const Edge& e)
{
    float f = kNaN;
    kernel_MORPHOLOGY_InternalFluxes(e.n, &e.l.wet, &e.r.wet, e.l.state, e.r.state, &e.l.zb, &e.r.zb, e.l.cap, e.r.cap,
                                     e.l.der, e.r.der, &f);
    return f;
}

/// Runs kLanes edges starting at e through the batch form, as the loop hands them over.
void batchFluxes(const Edge* e, float* out)
{
    const float *n[kLanes], *sL[kLanes], *sR[kLanes], *zL[kLanes], *zR[kLanes], *cL[kLanes], *cR[kLanes];
    const float *dL[kLanes], *dR[kLanes];
    const int *wL[kLanes], *wR[kLanes];
    float* f[kLanes];
    for (int j = 0; j < kLanes; ++j) {
        n[j] = e[j].n;
        wL[j] = &e[j].l.wet;
        wR[j] = &e[j].r.wet;
        sL[j] = e[j].l.state;
        sR[j] = e[j].r.state;
        zL[j] = &e[j].l.zb;
        zR[j] = &e[j].r.zb;
        cL[j] = e[j].l.cap;
        cR[j] = e[j].r.cap;
        dL[j] = e[j].l.der;
        dR[j] = e[j].r.der;
        f[j] = &out[j];
    }
    morphology::sedimentFluxBatch(n, wL, wR, sL, sR, zL, zR, cL, cR, dL, dR, f);
}

/// Random sides mixing ordinary flows with the awkward values the kernel can meet.
class Sampler : public floatsamples::Random {
public:
    using Random::Random;

    float odd()
    {
        const float values[] = {kNaN, kInf, -kInf, 0.0f, -0.0f, 1e-40f, 3e38f, -3e38f};
        return values[pick(8)];
    }

    Side side()
    {
        Side s;
        s.wet = pick(8) == 0 ? (pick(4) == 0 ? 2 : 0) : 1;
        s.zb = uniform(-2.0f, 2.0f);
        float h;
        switch (pick(8)) {
            case 0:  // around the 1e-6 guard of the reciprocal depth
                h = std::nextafter(hydraulics::kGuard, pick(2) == 0 ? 0.0f : 1.0f);
                break;
            case 1:
                h = pick(2) == 0 ? 0.0f : -logUniform(1e-8f, 1e-3f);
                break;
            case 2:
                h = pick(10) == 0 ? odd() : logUniform(1e-7f, 1e-3f);
                break;
            default:
                h = logUniform(1e-3f, 8.0f);
        }
        s.state[0] = s.zb + h;
        const float u = pick(6) == 0 ? 0.0f : uniform(-4.0f, 4.0f);
        s.state[1] = pick(30) == 0 ? odd() : u * h;
        s.state[2] = pick(4) == 0 ? 0.0f : uniform(-2.0f, 2.0f) * h;
        for (int i = 0; i < 2; ++i) {
            s.cap[i] = pick(30) == 0 ? odd() : uniform(-1e-3f, 1e-3f);
            // Derivatives against the flow, large ones among them, make the root's radicand negative.
            s.der[i] = pick(30) == 0 ? odd() : (pick(5) == 0 ? uniform(-20.0f, 20.0f) : uniform(-1e-2f, 1e-2f));
        }
        return s;
    }

    Edge edge()
    {
        Edge e;
        const float a = uniform(0.0f, 6.2831853f);
        e.n[0] = pick(5) == 0 ? 1.0f : std::cos(a);
        e.n[1] = e.n[0] == 1.0f ? 0.0f : std::sin(a);
        e.l = side();
        e.r = pick(10) == 0 ? e.l : side();
        return e;
    }
};

class SedimentBatch : public mortest::MorphologyKernels {
protected:
    void SetUp() override
    {
        mortest::MorphologyKernels::SetUp();
        if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2 on this processor";
    }

    /// Counts the lanes of `edges` (a whole number of batches) whose batch flux differs from the scalar one.
    static int mismatches(const std::vector<Edge>& edges)
    {
        int bad = 0;
        float out[kLanes];
        for (std::size_t b = 0; b + kLanes <= edges.size(); b += kLanes) {
            batchFluxes(&edges[b], out);
            for (int j = 0; j < kLanes; ++j) {
                const float expect = scalarFlux(edges[b + j]);
                if (!floatsamples::sameFloat(out[j], expect) && ++bad <= 5)
                    ADD_FAILURE() << "edge " << b + j << ": batch " << out[j] << ", scalar " << expect;
            }
        }
        return bad;
    }
};

TEST_F(SedimentBatch, RandomEdgesGiveTheScalarBits)
{
    Sampler sample(7u);
    std::vector<Edge> edges(400000);
    for (Edge& e : edges) e = sample.edge();
    EXPECT_EQ(mismatches(edges), 0);
    // The sample reaches every branch: dry edges, fluxes through the division, a fan without width, NaN.
    int dry = 0, zero = 0, nan = 0, finite = 0;
    for (const Edge& e : edges) {
        const float f = scalarFlux(e);
        if (e.l.wet == 0 || e.r.wet == 0)
            ++dry;
        else if (std::isnan(f))
            ++nan;
        else if (f == 0.0f)
            ++zero;
        else
            ++finite;
    }
    EXPECT_GT(dry, 1000);
    EXPECT_GT(zero, 1000);
    EXPECT_GT(nan, 100);
    EXPECT_GT(finite, 100000);
}

TEST_F(SedimentBatch, EachBranchBesideTheOthersInOneBatch)
{
    // Flow along +x with capacities and derivatives along the flow, the capacity falling downstream.
    Edge flowing;
    flowing.l.state[0] = 1.2f;
    flowing.l.state[1] = 0.9f;
    flowing.l.cap[0] = 2e-4f;
    flowing.l.der[0] = 5e-4f;
    flowing.r = flowing.l;
    flowing.r.cap[0] = 1e-4f;
    Edge dry = flowing;  // one dry cell: no flux (+0)
    dry.r.wet = 0;
    Edge still = flowing;  // no depth and no discharge on either side: the wave fan has no width
    still.l.state[0] = still.l.zb;
    still.r.state[0] = still.r.zb;
    still.l.state[1] = still.r.state[1] = 0.0f;
    Edge against = flowing;  // derivative against the flow near critical: negative radicand, no spread
    against.l.state[1] = against.r.state[1] = 3.4f;
    against.l.der[0] = against.r.der[0] = -40.0f;
    Edge shallow = flowing;  // depth at the reciprocal's guard
    shallow.l.state[0] = shallow.l.zb + std::nextafter(hydraulics::kGuard, 0.0f);
    Edge negative = flowing;  // the small negative depth the update accepts on a wetted cell
    negative.l.state[0] = negative.l.zb - 5e-7f;
    Edge nan = flowing;  // on the left: the fan's bounds take it (on the right the minimum and maximum drop it)
    nan.l.state[1] = kNaN;
    Edge diagonal = flowing;  // oblique normal and a bed step up to the right
    diagonal.n[0] = 0.6f;
    diagonal.n[1] = -0.8f;
    diagonal.r.zb = 0.05f;
    diagonal.r.state[0] = 1.25f;
    const std::vector<Edge> batch = {flowing, dry, still, against, shallow, negative, nan, diagonal};
    ASSERT_EQ(batch.size(), static_cast<std::size_t>(kLanes));
    EXPECT_EQ(mismatches(batch), 0);
    EXPECT_GT(scalarFlux(flowing), 0.0f);
    EXPECT_TRUE(floatsamples::sameFloat(scalarFlux(dry), 0.0f));
    EXPECT_EQ(scalarFlux(still), 0.0f);
    EXPECT_TRUE(std::isnan(scalarFlux(nan)));
    // Every rotation of the batch: a branch gives the same bits in any lane.
    std::vector<Edge> rotated = batch;
    for (int k = 1; k < kLanes; ++k) {
        std::rotate(rotated.begin(), rotated.begin() + 1, rotated.end());
        EXPECT_EQ(mismatches(rotated), 0) << "rotation " << k;
    }
}

using SedimentBatchLoop = optest::ThreadedOpTest;

TEST_F(SedimentBatchLoop, LoopOverInternalEdgesEqualsTheScalarKernel)
{
    if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2 on this processor";
    mortest::setParameters();
    // Internal edges (a count that is not a whole number of batches) reaching random cells and a shuffled subset of
    // all edges, as the loop over the internal-edge set does.
    const int ncells = 3001, nedges = 9001, ninternal = 8003;
    Sampler sample(23u);
    std::vector<int> isWet(ncells);
    std::vector<float> state(3 * ncells), zb(ncells), cap(2 * ncells), der(2 * ncells), normal(2 * nedges);
    for (int c = 0; c < ncells; ++c) {
        const Side s = sample.side();
        isWet[c] = s.wet;
        zb[c] = s.zb;
        std::memcpy(&state[3 * c], s.state, sizeof s.state);
        std::memcpy(&cap[2 * c], s.cap, sizeof s.cap);
        std::memcpy(&der[2 * c], s.der, sizeof s.der);
    }
    for (int e = 0; e < nedges; ++e) {
        const float a = sample.uniform(0.0f, 6.2831853f);
        normal[2 * e] = std::cos(a);
        normal[2 * e + 1] = std::sin(a);
    }
    std::vector<int> toEdge(nedges), toCells(2 * ninternal);
    for (int e = 0; e < nedges; ++e) toEdge[e] = e;
    std::shuffle(toEdge.begin(), toEdge.end(), std::mt19937(5u));
    toEdge.resize(ninternal);
    for (int i = 0; i < ninternal; ++i) {
        toCells[2 * i] = sample.pick(ncells);
        toCells[2 * i + 1] = sample.pick(ncells);
    }
    std::vector<float> expect(nedges, -1.0f);
    for (int i = 0; i < ninternal; ++i) {
        const int e = toEdge[i], l = toCells[2 * i], r = toCells[2 * i + 1];
        kernel_MORPHOLOGY_InternalFluxes(&normal[2 * e], &isWet[l], &isWet[r], &state[3 * l], &state[3 * r], &zb[l],
                                         &zb[r], &cap[2 * l], &cap[2 * r], &der[2 * l], &der[2 * r], &expect[e]);
    }

    op_set cells = op_decl_set(ncells, "cells");
    op_set edges = op_decl_set(nedges, "edges");
    op_set internal = op_decl_set(ninternal, "internal");
    op_map mEdge = op_decl_map(internal, edges, 1, toEdge.data(), "internal_edge");
    op_map mCells = op_decl_map(internal, cells, 2, toCells.data(), "internal_cells");
    op_dat dNormal = op_decl_dat(edges, 2, "float", normal.data(), "normal");
    op_dat dWet = op_decl_dat(cells, 1, "int", isWet.data(), "wet");
    op_dat dState = op_decl_dat(cells, 3, "float", state.data(), "state");
    op_dat dZb = op_decl_dat(cells, 1, "float", zb.data(), "zb");
    op_dat dCap = op_decl_dat(cells, 2, "float", cap.data(), "cap");
    op_dat dDer = op_decl_dat(cells, 2, "float", der.data(), "der");
    for (int threads : {1, 2}) {
        omp_set_num_threads(threads);
        std::vector<float> flux(nedges, -1.0f);
        op_dat dFlux = op_decl_dat(edges, 1, "float", flux.data(), ("flux" + std::to_string(threads)).c_str());
        op_par_loop_kernel_MORPHOLOGY_InternalFluxes(
            "kernel_MORPHOLOGY_InternalFluxes", internal, op_arg_dat(dNormal, 0, mEdge, 2, "float", OP_READ),
            op_arg_dat(dWet, 0, mCells, 1, "int", OP_READ), op_arg_dat(dWet, 1, mCells, 1, "int", OP_READ),
            op_arg_dat(dState, 0, mCells, 3, "float", OP_READ), op_arg_dat(dState, 1, mCells, 3, "float", OP_READ),
            op_arg_dat(dZb, 0, mCells, 1, "float", OP_READ), op_arg_dat(dZb, 1, mCells, 1, "float", OP_READ),
            op_arg_dat(dCap, 0, mCells, 2, "float", OP_READ), op_arg_dat(dCap, 1, mCells, 2, "float", OP_READ),
            op_arg_dat(dDer, 0, mCells, 2, "float", OP_READ), op_arg_dat(dDer, 1, mCells, 2, "float", OP_READ),
            op_arg_dat(dFlux, 0, mEdge, 1, "float", OP_WRITE));
        op_fetch_data(dFlux, flux.data());
        int bad = 0;
        for (int e = 0; e < nedges; ++e) bad += floatsamples::sameFloat(flux[e], expect[e]) ? 0 : 1;
        EXPECT_EQ(bad, 0) << threads << " threads";
    }
}

}  // namespace
