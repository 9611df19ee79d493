// The eight-lane morphological kernels give, lane by lane, the bits of the scalar ones: the sediment flux on random
// edges of every regime, the bed-load transport on random cells with and without friction and direction corrections,
// by every formula.
#include <algorithm>
#include <cmath>
#include <vector>

#include "kernels/KernelTest.hpp"
#include "simulation/kernels/MorphologyCell.hpp"
#include "simulation/kernels/MorphologyCellBatch.hpp"
#include "simulation/kernels/MorphologyFluxes.hpp"
#include "simulation/kernels/MorphologyFluxesBatch.hpp"

namespace {

constexpr int kLanes = morphology::kSedimentBatch;
using kerneltest::kNaN;
using kerneltest::sameFloat;
using mortest::Side;

/// A random cell: flags 0/1/2, depths around the 1e-6 guard of the reciprocal depth, zero, slightly negative and
/// ordinary; capacities and derivatives (large ones against the flow make the root's radicand negative); now and
/// then a non-finite or extreme value.
Side randomSide(kerneltest::Random& r)
{
    Side s;
    s.wet = r.pick(8) == 0 ? (r.pick(4) == 0 ? 2 : 0) : 1;
    s.zb = r.uniform(-2.0f, 2.0f);
    const float depths[] = {std::nextafter(hydraulics::kGuard, r.pick(2) == 0 ? 0.0f : 1.0f),
                            r.pick(2) == 0 ? 0.0f : -r.logUniform(1e-8f, 1e-3f),
                            r.pick(10) == 0 ? r.odd() : r.logUniform(1e-7f, 1e-3f), r.logUniform(1e-3f, 8.0f)};
    const float h = depths[std::min(r.pick(8), 3)];
    s.state[0] = s.zb + h;
    s.state[1] = r.pick(30) == 0 ? r.odd() : (r.pick(6) == 0 ? 0.0f : r.uniform(-4.0f, 4.0f)) * h;
    s.state[2] = r.pick(4) == 0 ? 0.0f : r.uniform(-2.0f, 2.0f) * h;
    for (int i = 0; i < 2; ++i) {
        s.cap[i] = r.pick(30) == 0 ? r.odd() : r.uniform(-1e-3f, 1e-3f);
        s.der[i] = r.pick(30) == 0 ? r.odd() : (r.pick(5) == 0 ? r.uniform(-20.0f, 20.0f) : r.uniform(-1e-2f, 1e-2f));
    }
    return s;
}

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

/// Lanes of `edges` (a whole number of batches) whose batch flux differs from the scalar one.
int fluxMismatches(const std::vector<Edge>& edges)
{
    int bad = 0;
    for (std::size_t b = 0; b + kLanes <= edges.size(); b += kLanes) {
        const float *n[kLanes], *sL[kLanes], *sR[kLanes], *zL[kLanes], *zR[kLanes], *cL[kLanes], *cR[kLanes],
            *dL[kLanes], *dR[kLanes];
        const int *wL[kLanes], *wR[kLanes];
        float out[kLanes], *f[kLanes];
        for (int j = 0; j < kLanes; ++j) {
            const Edge& e = edges[b + j];
            n[j] = e.n, wL[j] = &e.l.wet, wR[j] = &e.r.wet, sL[j] = e.l.state, sR[j] = e.r.state, zL[j] = &e.l.zb;
            zR[j] = &e.r.zb, cL[j] = e.l.cap, cR[j] = e.r.cap, dL[j] = e.l.der, dR[j] = e.r.der, f[j] = &out[j];
        }
        morphology::sedimentFluxBatch(n, wL, wR, sL, sR, zL, zR, cL, cR, dL, dR, f);
        for (int j = 0; j < kLanes; ++j)
            if (!sameFloat(out[j], scalarFlux(edges[b + j])) && ++bad <= 5)
                ADD_FAILURE() << "edge " << b + j << ": batch " << out[j] << ", scalar " << scalarFlux(edges[b + j]);
    }
    return bad;
}

using MorphologyLanes = kerneltest::NeedsAvx2<mortest::MorphologyKernels>;

TEST_F(MorphologyLanes, RandomSedimentFluxesGiveTheScalarBits)
{
    kerneltest::Random r(7u);
    std::vector<Edge> edges(400000);
    int nan = 0, zero = 0, finite = 0;
    for (Edge& e : edges) {
        const float a = r.uniform(0.0f, 6.2831853f);
        const bool axis = r.pick(5) == 0;
        e.n[0] = axis ? 1.0f : std::cos(a);
        e.n[1] = axis ? 0.0f : std::sin(a);
        e.l = randomSide(r);
        e.r = r.pick(10) == 0 ? e.l : randomSide(r);
        const float f = scalarFlux(e);
        (std::isnan(f) ? nan : f == 0.0f ? zero : finite)++;
    }
    EXPECT_EQ(fluxMismatches(edges), 0);
    // The sample reaches every branch: no flux (dry or a fan without width), NaN, fluxes through the division.
    EXPECT_GT(zero, 1000);
    EXPECT_GT(nan, 100);
    EXPECT_GT(finite, 100000);
}

/// One cell of the bed-load transport kernel.
struct BedCell {
    float state[3], zb, chezy, d, crit, slope[2], curv;
    float cap[2] = {kNaN, kNaN}, der[2] = {kNaN, kNaN};
};

TEST_F(MorphologyLanes, RandomBedloadTransportGivesTheScalarBitsWithEverySwitchAndFormula)
{
    kerneltest::Random r(41u);
    std::vector<BedCell> cells(100000);
    for (BedCell& c : cells) {
        const Side s = randomSide(r);
        std::copy(s.state, s.state + 3, c.state);
        c.zb = s.zb;
        c.chezy = r.pick(20) == 0 ? (r.pick(2) == 0 ? 0.0f : r.odd()) : r.logUniform(10.0f, 4000.0f);
        c.d = r.pick(20) == 0 ? (r.pick(2) == 0 ? 0.0f : 1e-7f) : r.logUniform(1e-4f, 0.05f);
        c.crit = r.pick(10) == 0 ? 0.0f : r.uniform(0.01f, 0.08f);
        for (float& g : c.slope) g = r.pick(4) == 0 ? 0.0f : r.uniform(-0.3f, 0.3f);
        // Curvature 0 (a straight reach: the deflection's cosine is exactly 1) or not.
        c.curv = r.pick(3) == 0 ? 0.0f : (r.pick(30) == 0 ? r.odd() : r.uniform(-0.05f, 0.05f));
    }
    int moving = 0;
    auto mismatches = [&cells, &moving](int on) {
        int bad = 0;
        for (std::size_t b = 0; b + kLanes <= cells.size(); b += kLanes) {
            BedCell lanes[kLanes], scalar[kLanes];
            const int* onP[kLanes];
            const float *state[kLanes], *zb[kLanes], *chezy[kLanes], *d[kLanes], *crit[kLanes], *slope[kLanes],
                *curv[kLanes];
            float *cap[kLanes], *der[kLanes];
            for (int j = 0; j < kLanes; ++j) {
                BedCell& c = lanes[j] = scalar[j] = cells[b + j];
                onP[j] = &on, state[j] = c.state, zb[j] = &c.zb, chezy[j] = on == 1 ? &c.chezy : nullptr;
                d[j] = &c.d, crit[j] = &c.crit, slope[j] = c.slope, curv[j] = &c.curv, cap[j] = c.cap, der[j] = c.der;
            }
            morphology::bedloadTransportBatch(onP, state, zb, chezy, d, crit, slope, curv, cap, der);
            for (int j = 0; j < kLanes; ++j) {
                BedCell& s = scalar[j];
                kernel_MORPHOLOGY_CalcBedloadTransport(&on, s.state, &s.zb, on == 1 ? &s.chezy : nullptr, &s.d,
                                                       &s.crit, s.slope, &s.curv, s.cap, s.der);
                moving += s.cap[0] != 0.0f;
                bool same = true;
                for (int i = 0; i < 2; ++i)
                    same = same && sameFloat(lanes[j].cap[i], s.cap[i]) && sameFloat(lanes[j].der[i], s.der[i]);
                if (!same && ++bad <= 5)
                    ADD_FAILURE() << "cell " << b + j << ": batch " << lanes[j].cap[0] << ", " << lanes[j].der[0]
                                  << "; scalar " << s.cap[0] << ", " << s.der[0];
            }
        }
        return bad;
    };
    for (int ikeda : {1, 0})
        for (int curvature : {1, 0}) {
            G_INT[slot::BedloadIsIkeda] = ikeda;
            G_INT[slot::BedloadIsCurvature] = curvature;
            for (int on : {1, 0})
                EXPECT_EQ(mismatches(on), 0) << "Ikeda " << ikeda << ", curvature " << curvature << ", friction " << on;
        }
    EXPECT_GT(moving, 150000) << "the sample must move sediment in many cells";
    for (int formula : {int{morphology::bedload::Velocity}, int{morphology::bedload::ChezyPower}, 1})
        for (float exponent : {1.5f, 1.6f}) {
            G_INT[slot::BeadloadType] = formula;
            G_REAL[slot::BedloadExpon] = exponent;
            EXPECT_EQ(mismatches(1), 0) << "formula " << formula << ", exponent " << exponent;
        }
}

}  // namespace
