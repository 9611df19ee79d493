// The eight-lane edge solve gives, lane by lane, the bits of the scalar edge solve: random edges of every regime,
// hand-built edges of every branch, and batches whose lanes take different branches; and the loop hook that hands
// runs of consecutive elements of a block to a batch form.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "kernels/Avx2Fixture.hpp"
#include "kernels/FloatSamples.hpp"
#include "kernels/HydraulicTestSetup.hpp"
#include "op/op_par_loop.hpp"
#include "op/op_rt_support.h"
#include "simulation/kernels/HydraulicSolver.hpp"
#include "simulation/kernels/HydraulicSolverBatch.hpp"
#include "tests/op/OpFixture.hpp"

using hydtest::Flux;

namespace {

constexpr int kLanes = hydraulics::kEdgeBatch;

using Edge = hydtest::EdgeCase;

std::string describe(const Edge& e)
{
    std::ostringstream s;
    s.precision(9);
    s << "n=(" << e.n[0] << "," << e.n[1] << ") left H=" << e.sL[0] << " q=(" << e.sL[1] << "," << e.sL[2]
      << ") z=" << e.zL << " flag " << e.wL << ", right H=" << e.sR[0] << " q=(" << e.sR[1] << "," << e.sR[2]
      << ") z=" << e.zR << " flag " << e.wR;
    return s.str();
}

/// Same bit pattern, signed zeros told apart; a NaN only matches a NaN.
bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); }

/// Solves eight edges in one batch and each alone with the scalar solve; returns how many lanes differ (reporting
/// the first few).
int compareBatch(const Edge* const* edges)
{
    const float* n[kLanes];
    const float* sL[kLanes];
    const float* zL[kLanes];
    const int* wL[kLanes];
    const float* sR[kLanes];
    const float* zR[kLanes];
    const int* wR[kLanes];
    Flux batched[kLanes];
    float* out[kLanes];
    for (int j = 0; j < kLanes; ++j) {
        n[j] = edges[j]->n;
        sL[j] = edges[j]->sL;
        zL[j] = &edges[j]->zL;
        wL[j] = &edges[j]->wL;
        sR[j] = edges[j]->sR;
        zR[j] = &edges[j]->zR;
        wR[j] = &edges[j]->wR;
        batched[j].fill(std::numeric_limits<float>::quiet_NaN());  // every component must be written
        out[j] = batched[j].data();
    }
    hydraulics::solveEdgeBatch(n, sL, zL, wL, sR, zR, wR, out);
    int bad = 0;
    for (int j = 0; j < kLanes; ++j) {
        const Edge& e = *edges[j];
        Flux scalar{};
        hydraulics::solveEdge<true>(e.n, e.sL, e.zL, e.wL, e.sR, e.zR, e.wR, scalar.data());
        for (int i = 0; i < 5; ++i) {
            if (sameBits(batched[j][i], scalar[i])) continue;
            if (++bad <= 5)
                ADD_FAILURE() << "lane " << j << " component " << i << ": batch " << batched[j][i] << " scalar "
                              << scalar[i] << " for " << describe(e);
            break;
        }
    }
    return bad;
}

int compareBatch(const std::vector<Edge>& edges, std::size_t first)
{
    const Edge* p[kLanes];
    for (int j = 0; j < kLanes; ++j) p[j] = &edges[first + j];
    return compareBatch(p);
}

/// Random edges mixing every regime the run meets: dry, wet, wet/dry fronts, emerging topography, depths of exactly 0
/// and around the wet threshold and the 1e-6 guards, rest, sub- and supercritical flow both ways, flags 0/1/2, and a
/// few non-finite or huge values.
class EdgeSampler : public floatsamples::Random {
public:
    explicit EdgeSampler(float hmin, std::uint32_t seed) : Random(seed), hmin_(hmin) {}

    /// An edge with no water above the higher bed on either side (a dry region's edge).
    Edge nextDry()
    {
        Edge e = next();
        const float top = std::max(e.zL, e.zR);
        for (int side = 0; side < 2; ++side) {
            float& H = side == 0 ? e.sL[0] : e.sR[0];
            const float z = side == 0 ? e.zL : e.zR;
            switch (pick(4)) {
                case 0:
                    H = z;
                    break;
                case 1:
                    H = top;
                    break;
                case 2:
                    H = z - uniform(0.0f, 0.5f);
                    break;
                default:
                    H = top - uniform(0.0f, 0.3f);
            }
        }
        return e;
    }

    Edge next()
    {
        Edge e{};
        const float angle = uniform(0.0f, 6.2831853f);
        e.n[0] = std::cos(angle);
        e.n[1] = std::sin(angle);
        if (pick(8) == 0) {  // axis-aligned normals, signed zeros included
            const float axes[][2] = {{1.0f, 0.0f}, {-1.0f, 0.0f}, {0.0f, 1.0f}, {-0.0f, -1.0f}};
            const int a = pick(4);
            e.n[0] = axes[a][0];
            e.n[1] = axes[a][1];
        }
        e.zL = bed();
        e.zR = pick(4) == 0 ? e.zL : bed();
        const float top = std::max(e.zL, e.zR);
        e.sL[0] = surface(e.zL, top);
        e.sR[0] = surface(e.zR, top);
        discharge(e.sL, e.sL[0] - e.zL);
        discharge(e.sR, e.sR[0] - e.zR);
        const int flags[] = {1, 1, 1, 1, 0, 2};
        e.wL = flags[pick(6)];
        e.wR = flags[pick(6)];
        return e;
    }

private:
    float bed()
    {
        if (pick(500) == 0) return std::numeric_limits<float>::quiet_NaN();  // a blown-up state
        switch (pick(4)) {
            case 0:
                return pick(2) ? 0.0f : -0.0f;
            case 1:
                return uniform(-2.0f, 2.0f);
            case 2:
                return uniform(-0.01f, 0.01f);
            default:
                return uniform(95.0f, 105.0f);  // far from 0: rounding of surfaces near the bed
        }
    }

    /// A surface for a cell of bed z next to an interface bed top.
    float surface(float z, float top)
    {
        if (pick(500) == 0) return pick(2) ? std::numeric_limits<float>::quiet_NaN() : 1e30f;
        switch (pick(12)) {
            case 0:
                return z;  // exactly dry
            case 1:
                return top;  // level with the higher bed
            case 2:
                return z + uniform(-0.5f, 0.0f);
            case 3:
                return top + hmin_;
            case 4:
                return std::nextafter(top + hmin_, -1e30f);
            case 5:
                return std::nextafter(top + hmin_, 1e30f);
            case 6:
                return top + uniform(0.0f, 2.0f * hmin_);
            case 7:
                return top + std::ldexp(uniform(0.5f, 1.0f), -pick(30));  // 1 .. 1e-9 above the higher bed
            case 8:
                return top + uniform(-0.3f, 0.3f);
            case 9:
                return z + uniform(0.0f, 0.3f);
            case 10:
                return top + uniform(0.0f, 20.0f);
            default:
                return std::max(z, top) + uniform(0.5f, 5.0f);
        }
    }

    /// Discharges for a depth d: rest, signed zeros, sub- and supercritical both ways, tiny, and rarely non-finite.
    void discharge(float* s, float d)
    {
        const float depth = std::max(d, 0.0f);
        const float celerity = std::sqrt(9.81f * depth);
        switch (pick(10)) {
            case 0:
                s[1] = 0.0f;
                s[2] = 0.0f;
                break;
            case 1:
                s[1] = -0.0f;
                s[2] = pick(2) ? 0.0f : -0.0f;
                break;
            case 2:
                s[1] = uniform(-1e-7f, 1e-7f);
                s[2] = uniform(-1e-7f, 1e-7f);
                break;
            case 3:
                s[1] = depth * uniform(2.0f, 6.0f) * celerity;
                s[2] = uniform(-1.0f, 1.0f) * depth;
                break;
            case 4:
                s[1] = -depth * uniform(2.0f, 6.0f) * celerity;
                s[2] = uniform(-1.0f, 1.0f) * depth;
                break;
            case 5:
                s[1] = uniform(-50.0f, 50.0f);
                s[2] = uniform(-50.0f, 50.0f);
                break;
            case 6:
                if (pick(50) == 0) {
                    const float odd[] = {std::numeric_limits<float>::quiet_NaN(),
                                         std::numeric_limits<float>::infinity(),
                                         -std::numeric_limits<float>::infinity(), 3e38f};
                    s[1] = odd[pick(4)];
                    s[2] = uniform(-1.0f, 1.0f);
                    break;
                }
                [[fallthrough]];
            default:
                s[1] = depth * uniform(-2.0f, 2.0f) * celerity;
                s[2] = depth * uniform(-2.0f, 2.0f) * celerity;
        }
    }

    float hmin_;
};

class SolverBatch : public kerneltest::NeedsAvx2<hydtest::HydraulicKernels> {
protected:
    /// Counts lanes of random batches that differ, over `batches` batches; every fourth batch is all dry edges.
    static int randomBatches(int batches, std::uint32_t seed)
    {
        EdgeSampler sampler(G_REAL[slot::MinWaterDepth], seed);
        std::vector<Edge> edges(kLanes);
        int bad = 0;
        for (int b = 0; b < batches && bad < 20; ++b) {
            const bool dryRegion = b % 4 == 0;  // whole batches of dry edges take a path of their own
            for (Edge& e : edges) e = dryRegion ? sampler.nextDry() : sampler.next();
            bad += compareBatch(edges, 0);
        }
        return bad;
    }
};

TEST_F(SolverBatch, RandomEdgesGiveTheScalarBits)
{
    EXPECT_EQ(randomBatches(200000, 12345u), 0);  // 1.6 million edges at the run's parameters
    // A wet threshold of 0 makes a zero depth wet (no dry short path), a tiny one sits at the 1e-6 guards.
    G_REAL[slot::MinWaterDepth] = 0.0f;
    EXPECT_EQ(randomBatches(30000, 777u), 0);
    G_REAL[slot::MinWaterDepth] = 1e-6f;
    EXPECT_EQ(randomBatches(30000, 4242u), 0);
    G_REAL[slot::MinWaterDepth] = 0.01f;
    G_REAL[slot::Gravity] = 1.0f;
    EXPECT_EQ(randomBatches(30000, 99u), 0);
}

/// One edge of each branch of the solve, wet side on the left unless said otherwise (g = 9.81, hmin = 0.01).
std::vector<Edge> branchEdges()
{
    return {
        {{1.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, 0.0f, 1, {1.0f, 0.0f, 0.0f}, 0.0f, 1},      // 0 lake at rest
        {{1.0f, 0.0f}, {1.0f, 10.0f, 1.0f}, 0.0f, 1, {1.0f, 10.0f, 0.0f}, 0.0f, 1},    // 1 left supersonic
        {{1.0f, 0.0f}, {1.0f, -10.0f, 0.0f}, 0.0f, 1, {1.0f, -10.0f, 2.0f}, 0.0f, 1},  // 2 right supersonic
        {{0.6f, 0.8f}, {2.0f, 0.9f, 1.2f}, 0.0f, 1, {1.0f, 0.3f, 0.4f}, 0.0f, 1},      // 3 star, sStar > 0
        {{0.6f, 0.8f}, {1.0f, -0.3f, -0.4f}, 0.0f, 1, {2.0f, -0.9f, -1.2f}, 0.0f, 1},  // 4 star, sStar < 0
        {{1.0f, 0.0f}, {1.0f, 3.0f, 0.0f}, 0.0f, 1, {1.0f, -3.0f, 0.0f}, 0.0f, 1},     // 5 two shocks
        {{1.0f, 0.0f}, {1.0f, 0.5f, 0.0f}, 0.0f, 1, {0.0f, 0.0f, 0.0f}, 0.0f, 0},      // 6 right dry
        {{0.0f, -1.0f}, {0.0f, 0.0f, 0.0f}, 0.0f, 0, {1.5f, 0.0f, 2.0f}, 0.0f, 1},     // 7 left dry
        {{1.0f, 0.0f}, {1.0f, 0.2f, 0.0f}, 0.5f, 1, {0.3f, 0.0f, 0.0f}, 0.0f, 1},      // 8 emerging bed on the left
        {{1.0f, 0.0f}, {0.2f, 0.0f, 0.1f}, 0.0f, 1, {1.0f, -0.4f, 0.0f}, 0.6f, 1},     // 9 emerging bed on the right
        {{1.0f, 0.0f}, {0.005f, 0.001f, 0.0f}, 0.0f, 1, {1.0f, 0.0f, 0.0f}, 0.0f, 1},  // 10 film below hmin
        {{1.0f, 0.0f}, {0.5f, 0.0f, 0.0f}, 0.5f, 0, {0.2f, 0.0f, 0.0f}, 0.2f, 0},      // 11 dry both sides
        {{1.0f, 0.0f}, {1.0f, 0.5f, 0.5f}, 0.0f, 2, {1.0f, 0.5f, 0.0f}, 0.0f, 0},      // 12 flags other than 1
        {{-1.0f, 0.0f}, {1.0f, -0.0f, 0.0f}, 0.0f, 1, {1.0f, 0.0f, -0.0f}, 0.0f, 1},   // 13 signed zeros at rest
    };
}

TEST_F(SolverBatch, EveryBranchGivesTheScalarBits)
{
    const std::vector<Edge> edges = branchEdges();
    // The edges really take the branches named: checked on the scalar fluxes they must match.
    auto scalar = [](const Edge& e) {
        Flux f{};
        hydraulics::solveEdge<true>(e.n, e.sL, e.zL, e.wL, e.sR, e.zR, e.wR, f.data());
        return f;
    };
    EXPECT_NEAR(scalar(edges[0])[0], 0.0f, 1e-6f);
    EXPECT_EQ(scalar(edges[1])[0], 10.0f);   // left supersonic: the left mass flux h u
    EXPECT_EQ(scalar(edges[2])[0], -10.0f);  // right supersonic: the right one
    // Star regions: neither side's own mass flux (1.5 and 0.5), and the mirrored edge gives the opposite flux.
    EXPECT_GT(scalar(edges[3])[0], 1.5f);
    EXPECT_NEAR(scalar(edges[4])[0], -scalar(edges[3])[0], 1e-5f);
    EXPECT_EQ(scalar(edges[5])[0], 0.0f);  // symmetric collision: no mass across, pressure rises
    EXPECT_GT(scalar(edges[6])[0], 0.0f);  // water runs into the dry cell
    EXPECT_LT(scalar(edges[7])[0], 0.0f);
    EXPECT_EQ(scalar(edges[11])[0], 0.0f);

    // Each edge alone in all eight lanes (whole batches of one branch) ...
    for (const Edge& e : edges) {
        std::vector<Edge> same(kLanes, e);
        EXPECT_EQ(compareBatch(same, 0), 0) << describe(e);
    }
    // ... and at every lane beside dry edges, so that the dry short path of a whole batch is not taken.
    const Edge dry = edges[11];
    for (const Edge& e : edges)
        for (int lane = 0; lane < kLanes; ++lane) {
            std::vector<Edge> batch(kLanes, dry);
            batch[lane] = e;
            EXPECT_EQ(compareBatch(batch, 0), 0) << describe(e) << " at lane " << lane;
        }
}

TEST_F(SolverBatch, LanesOfDifferentBranchesInOneBatch)
{
    std::vector<Edge> edges = branchEdges();
    const std::size_t count = edges.size();
    // Every rotation of the list, eight consecutive edges per batch: each branch meets every other in every lane.
    for (std::size_t shift = 0; shift < count; ++shift)
        for (std::size_t first = 0; first < count; ++first) {
            std::vector<Edge> batch;
            for (int j = 0; j < kLanes; ++j) batch.push_back(edges[(first + j * (shift + 1)) % count]);
            EXPECT_EQ(compareBatch(batch, 0), 0) << "first " << first << " step " << shift + 1;
        }
}

TEST_F(SolverBatch, DryBatches)
{
    const Edge dry = branchEdges()[11];
    std::vector<Edge> batch(kLanes, dry);
    batch[3].sL[1] = -0.0f;
    batch[5].n[0] = -1.0f;
    EXPECT_EQ(compareBatch(batch, 0), 0);
    // A non-finite discharge on a dry edge: the short path declines and the full solve decides (NaN flux).
    batch[6].sR[1] = std::numeric_limits<float>::infinity();
    EXPECT_EQ(compareBatch(batch, 0), 0);
    // Without a wet threshold dry edges take the full solve in the scalar code too.
    G_REAL[slot::MinWaterDepth] = 0.0f;
    EXPECT_EQ(compareBatch(batch, 0), 0);
}

}  // namespace

namespace {

using BatchLoop = optest::ThreadedOpTest;

TEST_F(BatchLoop, RunsOfEightConsecutiveElementsOfEachBlockGoToTheBatchTheRestOneByOne)
{
    // Elements read a target through a map and write their own row: (target value, lane or -1, batch's first element).
    const int n = 9001, ntargets = 613;
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> pick(0, ntargets - 1);
    std::vector<int> m1(n), target(ntargets), out(3 * n);
    for (int& t : m1) t = pick(rng);
    for (int t = 0; t < ntargets; ++t) target[t] = 7 * t + 1;
    op_set elems = op_decl_set(n, "elems");
    op_set targets = op_decl_set(ntargets, "targets");
    op_map one = op_decl_map(elems, targets, 1, m1.data(), "one");
    op_dat dtarget = op_decl_dat(targets, 1, "int", target.data(), "target");
    op_dat dout = op_decl_dat(elems, 3, "int", out.data(), "out");
    int* base = out.data();
    auto scalar = [](const int* src, int* row) {
        row[0] = *src;
        row[1] = -1;
        row[2] = -1;
    };
    auto batch = [base](const int* const* src, int* const* rows) {
        for (int j = 0; j < 8; ++j) {
            rows[j][0] = *src[j];
            rows[j][1] = j;
            rows[j][2] = static_cast<int>((rows[0] - base) / 3);
        }
    };
    static const int inds[2] = {0, -1};
    for (int threads : {1, 2}) {
        omp_set_num_threads(threads);
        std::fill(out.begin(), out.end(), -2);
        op_par_loop_indirect(
            3, "kernel_Batched", elems, inds, op::batched<8>(scalar, batch),
            op::indirect<const int, 1, op::map_slot<0, 1>, 0>(op_arg_dat(dtarget, 0, one, 1, "int", OP_READ)),
            op::direct<int, 3>(op_arg_dat(dout, -1, OP_ID, 3, "int", OP_WRITE)));
        const op_plan& plan = OP_plans[OP_plan_index - 1];
        ASSERT_GT(plan.nblocks, 1);
        int batchedElements = 0;
        for (int b = 0; b < plan.nblocks; ++b) {
            const int first = plan.offset[b];
            const int size = plan.nelems[b];
            const int whole = size - size % 8;
            for (int e = first; e < first + size; ++e) {
                const int* row = &out[3 * e];
                ASSERT_EQ(row[0], 7 * m1[e] + 1) << "element " << e << ", " << threads << " threads";
                if (e < first + whole) {
                    ++batchedElements;
                    ASSERT_EQ(row[1], (e - first) % 8) << "element " << e << " of block " << b;
                    ASSERT_EQ(row[2], e - row[1]) << "element " << e << " of block " << b;
                } else {
                    ASSERT_EQ(row[1], -1) << "element " << e << " past the block's last whole batch";
                }
            }
        }
        EXPECT_GT(batchedElements, n / 2);
    }
}

}  // namespace
