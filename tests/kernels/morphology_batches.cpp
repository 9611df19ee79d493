// The eight-lane morphological kernels give, lane by lane, the bits of the scalar ones. Sediment flux: random edges of
// every regime, hand-built edges of each branch side by side in one batch. Bed-load transport: random cells with and
// without friction and direction corrections, every formula.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "kernels/KernelTest.hpp"
#include "simulation/kernels/MorphologyCell.hpp"
#include "simulation/kernels/MorphologyCellBatch.hpp"
#include "simulation/kernels/MorphologyFluxes.hpp"
#include "simulation/kernels/MorphologyFluxesBatch.hpp"

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
class Sampler : public kerneltest::Random {
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

/// The morphological parameter set, on processors with AVX2 only.
using MorphologyLanes = kerneltest::NeedsAvx2<mortest::MorphologyKernels>;

class SedimentBatch : public MorphologyLanes {
protected:
    /// Counts the lanes of `edges` (a whole number of batches) whose batch flux differs from the scalar one.
    static int mismatches(const std::vector<Edge>& edges)
    {
        int bad = 0;
        float out[kLanes];
        for (std::size_t b = 0; b + kLanes <= edges.size(); b += kLanes) {
            batchFluxes(&edges[b], out);
            for (int j = 0; j < kLanes; ++j) {
                const float expect = scalarFlux(edges[b + j]);
                if (!kerneltest::sameFloat(out[j], expect) && ++bad <= 5)
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
    EXPECT_TRUE(kerneltest::sameFloat(scalarFlux(dry), 0.0f));
    EXPECT_EQ(scalarFlux(still), 0.0f);
    EXPECT_TRUE(std::isnan(scalarFlux(nan)));
    // Every rotation of the batch: a branch gives the same bits in any lane.
    std::vector<Edge> rotated = batch;
    for (int k = 1; k < kLanes; ++k) {
        std::rotate(rotated.begin(), rotated.begin() + 1, rotated.end());
        EXPECT_EQ(mismatches(rotated), 0) << "rotation " << k;
    }
}


/// One cell of the bed-load transport kernel.
struct BedCell {
    float state[3] = {1.0f, 0.0f, 0.0f};
    float zb = 0.0f;
    float chezy = 400.0f;
    float d = 0.002f;
    float crit = 0.047f;
    float slope[2] = {0.0f, 0.0f};
    float curv = 0.0f;
    float cap[2] = {kNaN, kNaN};
    float der[2] = {kNaN, kNaN};
};

BedCell randomBedCell(Sampler& sample)
{
    const Side s = sample.side();
    BedCell c;
    std::memcpy(c.state, s.state, sizeof c.state);
    c.zb = s.zb;
    c.chezy = sample.pick(20) == 0 ? (sample.pick(2) == 0 ? 0.0f : sample.odd()) : sample.logUniform(10.0f, 4000.0f);
    c.d = sample.pick(20) == 0 ? (sample.pick(2) == 0 ? 0.0f : 1e-7f) : sample.logUniform(1e-4f, 0.05f);
    c.crit = sample.pick(10) == 0 ? 0.0f : sample.uniform(0.01f, 0.08f);
    for (float& g : c.slope) g = sample.pick(4) == 0 ? 0.0f : sample.uniform(-0.3f, 0.3f);
    // Curvature 0 (a straight reach: the deflection's cosine is exactly 1) or not.
    c.curv = sample.pick(3) == 0 ? 0.0f : (sample.pick(30) == 0 ? sample.odd() : sample.uniform(-0.05f, 0.05f));
    return c;
}

void bedloadScalar(int frictionOn, BedCell& c)
{
    kernel_MORPHOLOGY_CalcBedloadTransport(&frictionOn, c.state, &c.zb, frictionOn == 1 ? &c.chezy : nullptr, &c.d,
                                           &c.crit, c.slope, &c.curv, c.cap, c.der);
}

/// Runs kLanes cells starting at c through the batch form, as the loop hands them over.
void bedloadLanes(int frictionOn, BedCell* c)
{
    const int* on[kLanes];
    const float *state[kLanes], *zb[kLanes], *chezy[kLanes], *d[kLanes], *crit[kLanes], *slope[kLanes], *curv[kLanes];
    float *cap[kLanes], *der[kLanes];
    for (int j = 0; j < kLanes; ++j) {
        on[j] = &frictionOn;
        state[j] = c[j].state;
        zb[j] = &c[j].zb;
        chezy[j] = frictionOn == 1 ? &c[j].chezy : nullptr;
        d[j] = &c[j].d;
        crit[j] = &c[j].crit;
        slope[j] = c[j].slope;
        curv[j] = &c[j].curv;
        cap[j] = c[j].cap;
        der[j] = c[j].der;
    }
    morphology::bedloadTransportBatch(on, state, zb, chezy, d, crit, slope, curv, cap, der);
}

bool sameOutputs(const BedCell& a, const BedCell& b)
{
    for (int i = 0; i < 2; ++i)
        if (!kerneltest::sameFloat(a.cap[i], b.cap[i]) || !kerneltest::sameFloat(a.der[i], b.der[i])) return false;
    return true;
}

class BedloadBatch : public MorphologyLanes {
protected:
    /// Lanes of `cells` (a whole number of batches) whose batch outputs differ from the scalar ones.
    static int mismatches(int frictionOn, const std::vector<BedCell>& cells)
    {
        int bad = 0;
        for (std::size_t b = 0; b + kLanes <= cells.size(); b += kLanes) {
            BedCell lanes[kLanes], scalar[kLanes];
            for (int j = 0; j < kLanes; ++j) lanes[j] = scalar[j] = cells[b + j];
            bedloadLanes(frictionOn, lanes);
            for (int j = 0; j < kLanes; ++j) {
                bedloadScalar(frictionOn, scalar[j]);
                if (!sameOutputs(lanes[j], scalar[j]) && ++bad <= 5)
                    ADD_FAILURE() << "cell " << b + j << ": batch " << lanes[j].cap[0] << ", " << lanes[j].der[0]
                                  << "; scalar " << scalar[j].cap[0] << ", " << scalar[j].der[0];
            }
        }
        return bad;
    }
};

TEST_F(BedloadBatch, RandomCellsGiveTheScalarBitsWithAndWithoutFrictionAndCorrections)
{
    Sampler sample(41u);
    std::vector<BedCell> cells(200000);
    for (BedCell& c : cells) c = randomBedCell(sample);
    for (int ikeda : {1, 0})
        for (int curvature : {1, 0}) {
            G_INT[slot::BedloadIsIkeda] = ikeda;
            G_INT[slot::BedloadIsCurvature] = curvature;
            for (int frictionOn : {1, 0})
                EXPECT_EQ(mismatches(frictionOn, cells), 0)
                    << "Ikeda " << ikeda << ", curvature " << curvature << ", friction " << frictionOn;
        }
    // The sample moves sediment in most wet cells and deflects it in many.
    G_INT[slot::BedloadIsIkeda] = G_INT[slot::BedloadIsCurvature] = 1;
    int moving = 0, deflected = 0;
    for (BedCell c : cells) {
        bedloadScalar(1, c);
        if (c.cap[0] != 0.0f || c.cap[1] != 0.0f) ++moving;
        const float q = std::hypot(c.state[1], c.state[2]);
        if (q > 0.0f &&
            std::fabs(c.cap[0] * c.state[2] - c.cap[1] * c.state[1]) > 1e-6f * std::hypot(c.cap[0], c.cap[1]) * q)
            ++deflected;
    }
    EXPECT_GT(moving, 50000);
    EXPECT_GT(deflected, 20000);
}

TEST_F(BedloadBatch, OtherFormulasAndExponentsGiveTheScalarBits)
{
    Sampler sample(43u);
    std::vector<BedCell> cells(20000);
    for (BedCell& c : cells) c = randomBedCell(sample);
    G_INT[slot::BedloadIsIkeda] = G_INT[slot::BedloadIsCurvature] = 1;
    for (int formula : {int{morphology::bedload::Velocity}, int{morphology::bedload::ChezyPower}, 1}) {
        G_INT[slot::BeadloadType] = formula;
        for (float exponent : {1.5f, 1.6f}) {
            G_REAL[slot::BedloadExpon] = exponent;
            EXPECT_EQ(mismatches(1, cells), 0) << "formula " << formula << ", exponent " << exponent;
        }
    }
}


}  // namespace
