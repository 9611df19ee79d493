// The eight-lane friction kernel gives, lane by lane, the bits of the scalar kernel: random cells of every regime,
// depths whose cube root the estimate cannot decide, batches of mixed lanes, and the friction loop over a whole set.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "kernels/Avx2Fixture.hpp"
#include "kernels/FloatSamples.hpp"
#include "kernels/HydraulicTestSetup.hpp"
#include "op/op_rt_support.h"
#include "simulation/TERRAdomain_loops.hpp"
#include "simulation/kernels/CellBatch.hpp"
#include "simulation/kernels/HydraulicsCell.hpp"
#include "tests/op/OpFixture.hpp"

namespace {

constexpr int kLanes = hydraulics::kCellBatch;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

bool sameBits(const void* a, const void* b, std::size_t n) { return std::memcmp(a, b, n) == 0; }

struct Cell {
    float dt;
    float zb;
    float r;
    float cf2;
    float state[3];
};

/// Runs kLanes cells starting at c through the batch form (as the loop hands them over).
void frictionLanes(Cell* c)
{
    const float* dt[kLanes];
    const float* zb[kLanes];
    const float* r[kLanes];
    float* cf2[kLanes];
    float* state[kLanes];
    for (int j = 0; j < kLanes; ++j) {
        dt[j] = &c[j].dt;
        zb[j] = &c[j].zb;
        r[j] = &c[j].r;
        cf2[j] = &c[j].cf2;
        state[j] = c[j].state;
    }
    hydraulics::frictionBatch(dt, zb, r, cf2, state);
}

void frictionScalar(Cell& c) { kernel_HYDRAULICS_Friction(&c.dt, &c.zb, &c.r, &c.cf2, c.state); }

/// Random cells mixing ordinary values with the awkward ones the kernels can meet.
class Sampler : public floatsamples::Random {
public:
    using Random::Random;

    float odd()
    {
        const float values[] = {kNaN, kInf, -kInf, 0.0f, -0.0f, 1e-40f, 1e-30f, 3e38f, -3e38f, 1e20f};
        return values[pick(10)];
    }

    /// Water depth around the wet threshold hmin and far from it.
    float depth(float hmin)
    {
        switch (pick(10)) {
            case 0:
                return hmin;
            case 1:
                return std::nextafter(hmin, 0.0f);
            case 2:
                return std::nextafter(hmin, 1.0f);
            case 3:
                return -logUniform(1e-6f, 1.0f);
            case 4:
                return pick(20) == 0 ? odd() : logUniform(1e-8f, hmin);
            case 5:
                return logUniform(10.0f, 1e4f);
            default:
                return logUniform(hmin, 10.0f);
        }
    }

    float discharge(float h)
    {
        switch (pick(8)) {
            case 0:
                return 0.0f;
            case 1:
                return pick(10) == 0 ? odd() : logUniform(1e-12f, 1e-3f);
            case 2:
                return -uniform(0.0f, 1e3f);
            default:
                return uniform(-3.0f, 3.0f) * std::fabs(h) * std::sqrt(9.81f * std::fabs(h));
        }
    }

    float roughness(int closure)
    {
        switch (pick(12)) {
            case 0:
                return 0.0f;
            case 1:
                return 1e-7f;
            case 2:
                return std::nextafter(1e-6f, 0.0f);
            case 3:
                return 1e-6f;
            case 4:
                return pick(4) == 0 ? odd() : -uniform(0.0f, 1.0f);
            default:
                return closure == hydraulics::friction::Manning ? logUniform(0.008f, 0.2f) : logUniform(5.0f, 100.0f);
        }
    }

    Cell cell(int closure, float hmin)
    {
        Cell c{};
        c.zb = pick(3) == 0 ? uniform(-50.0f, 50.0f) : 0.0f;
        c.state[0] = c.zb + depth(hmin);
        c.state[1] = discharge(c.state[0] - c.zb);
        c.state[2] = pick(4) == 0 ? 0.0f : discharge(c.state[0] - c.zb);
        c.r = roughness(closure);
        c.dt = pick(50) == 0 ? (pick(2) == 0 ? 0.0f : 1e6f) : logUniform(1e-3f, 5.0f);
        c.cf2 = -1.0f;
        return c;
    }

private:
    std::mt19937 rng_;
};

class CellBatches : public kerneltest::NeedsAvx2<hydtest::HydraulicKernels> {
protected:
    /// Number of cells in `cells` (a whole number of batches) whose batched result differs from the scalar one.
    static int frictionDifferences(const std::vector<Cell>& cells)
    {
        std::vector<Cell> scalar = cells;
        std::vector<Cell> batched = cells;
        for (Cell& c : scalar) frictionScalar(c);
        for (std::size_t i = 0; i + kLanes <= batched.size(); i += kLanes) frictionLanes(&batched[i]);
        int differences = 0;
        for (std::size_t i = 0; i < cells.size(); ++i)
            if (!sameBits(&scalar[i], &batched[i], sizeof(Cell)) && ++differences <= 5)
                ADD_FAILURE() << std::hexfloat << "cell " << i << " (h " << cells[i].state[0] - cells[i].zb << ", r "
                              << cells[i].r << "): cf2 " << batched[i].cf2 << " vs " << scalar[i].cf2 << ", q "
                              << batched[i].state[1] << ", " << batched[i].state[2] << " vs " << scalar[i].state[1]
                              << ", " << scalar[i].state[2];
        return differences;
    }
};

TEST_F(CellBatches, RandomCellsGiveTheScalarFrictionBits)
{
    using namespace hydraulics::friction;
    for (int closure : {Manning, Strickler}) {
        G_INT[slot::FrictionType] = closure;
        Sampler sample(static_cast<unsigned>(closure) * 7919u);
        std::vector<Cell> cells(1 << 20);
        for (Cell& c : cells) c = sample.cell(closure, hydtest::kHmin);
        EXPECT_EQ(frictionDifferences(cells), 0) << "closure " << closure;
    }
    // The other closures take the scalar kernel lane by lane; without a wet threshold Manning sees raw depths.
    for (int closure : {int{LogarithmicLaw}, int{LargeRelativeRoughness}, 0}) {
        G_INT[slot::FrictionType] = closure;
        Sampler sample(17u + static_cast<unsigned>(closure));
        std::vector<Cell> cells(1 << 14);
        for (Cell& c : cells) c = sample.cell(closure, hydtest::kHmin);
        EXPECT_EQ(frictionDifferences(cells), 0) << "closure " << closure;
    }
    G_INT[slot::FrictionType] = Manning;
    G_REAL[slot::MinWaterDepth] = 0.0f;
    Sampler sample(5u);
    std::vector<Cell> cells(1 << 18);
    for (Cell& c : cells) c = sample.cell(Manning, 1e-3f);
    EXPECT_EQ(frictionDifferences(cells), 0) << "no wet threshold";
}

TEST_F(CellBatches, DepthsWhoseCubeRootTheEstimateCannotDecideGiveTheLibraryBits)
{
    // Clamped depths and roughness values whose closure product lies so close to the midpoint between two floats that
    // the estimate's interval straddles it (found offline by scanning depths from 0.01 m up).
    struct Case {
        int closure;
        float x;
        float r;
    };
    using namespace hydraulics::friction;
    const Case cases[] = {
        {Manning, 0x1.0f7f76p-6f, 0x1.eb851ep-6f}, {Manning, 0x1.51c2cp-5f, 0x1.eb851ep-6f},
        {Manning, 0x1.354c6p+0f, 0x1.eb851ep-6f},  {Manning, 0x1.f7b036p-7f, 0x1.99999ap-7f},
        {Manning, 0x1.3627cap-1f, 0x1.99999ap-7f}, {Manning, 0x1.2607e8p+0f, 0x1.99999ap-5f},
        {Strickler, 0x1.799978p-7f, 0x1.ep+4f},    {Strickler, 0x1.a4b41p-3f, 0x1.ep+4f},
        {Strickler, 0x1.6fa9c2p-6f, 0x1.4p+5f},    {Strickler, 0x1.6fa9c2p-3f, 0x1.4p+5f},
    };
    const double invG = static_cast<double>(G_REAL[slot::InvGravity]);
    Sampler sample(99u);
    for (const Case& k : cases) {
        G_INT[slot::FrictionType] = k.closure;
        // The guard must indeed fail for these, so that the lane falls back to the library root.
        const double a = k.closure == Manning ? 1.0 / static_cast<double>(k.r) : static_cast<double>(k.r);
        const double c = hydraulics::cubeRootEstimate(k.x);
        const float lo = static_cast<float>(invG * hydraulics::stepUlps(c, -hydraulics::CubeRootUlpBound) * a * a);
        const float hi = static_cast<float>(invG * hydraulics::stepUlps(c, hydraulics::CubeRootUlpBound) * a * a);
        ASSERT_NE(lo, hi) << std::hexfloat << k.x << " " << k.r;
        // Such a cell at every lane of a batch of ordinary cells, and a batch of nothing but such cells.
        for (int lane = 0; lane < kLanes; ++lane) {
            std::vector<Cell> cells(kLanes);
            for (Cell& cell : cells) {
                cell = sample.cell(k.closure, hydtest::kHmin);
                cell.r = k.r;
            }
            cells[lane].zb = 0.0f;
            cells[lane].state[0] = k.x;
            EXPECT_EQ(frictionDifferences(cells), 0) << std::hexfloat << k.x << " at lane " << lane;
        }
        std::vector<Cell> all(kLanes, Cell{0.5f, 0.0f, k.r, 0.0f, {k.x, 0.3f, -0.1f}});
        EXPECT_EQ(frictionDifferences(all), 0) << std::hexfloat << k.x;
    }
}

TEST_F(CellBatches, MixedLanesInOneFrictionBatch)
{
    using namespace hydraulics::friction;
    for (int closure : {Manning, Strickler}) {
        G_INT[slot::FrictionType] = closure;
        const float r = closure == Manning ? 0.03f : 30.0f;
        const std::vector<Cell> cells = {
            {0.5f, 0.0f, r, 0.0f, {2.0f, 1.5f, -0.5f}},            // wet, flowing
            {0.5f, 1.0f, r, 0.0f, {0.995f, 0.0f, 0.0f}},           // dry, depth below the threshold
            {0.5f, 0.0f, r, 0.0f, {hydtest::kHmin, 1e-3f, 0.0f}},  // depth exactly at the threshold
            {0.5f, 0.0f, 0.0f, 0.0f, {1.0f, 1.0f, 1.0f}},          // no roughness
            {0.5f, 0.0f, 1e-7f, 0.0f, {1.0f, 1.0f, 1.0f}},         // roughness below 1e-6
            {0.5f, 0.0f, r, 0.0f, {kNaN, 1.0f, 1.0f}},             // NaN surface
            {0.5f, 0.0f, r, 0.0f, {1e4f, 3e38f, -3e38f}},          // huge discharge
            {0.5f, 0.0f, r, 0.0f, {0.3f, 0.0f, 0.0f}},             // at rest
        };
        EXPECT_EQ(frictionDifferences(cells), 0) << "closure " << closure;
        // The lane at rest keeps its zero discharge and the flowing lane is slowed, not reversed.
        std::vector<Cell> batched = cells;
        frictionLanes(batched.data());
        EXPECT_EQ(batched[7].state[1], 0.0f);
        EXPECT_EQ(batched[7].state[2], 0.0f);
        EXPECT_GT(batched[0].state[1], 0.0f);
        EXPECT_LT(batched[0].state[1], 1.5f);
        EXPECT_GT(batched[0].cf2, 0.0f);
        // Manning without roughness has no friction term; the threshold cell's cf2 is the one of the threshold depth.
        EXPECT_EQ(batched[2].cf2, hydraulics::chezySquared(hydtest::kHmin, r));
    }
}

using CellBatchLoops = optest::ThreadedOpTest;

TEST_F(CellBatchLoops, FrictionLoopOverAWholeSetEqualsTheScalarKernel)
{
    kerneltest::resetGlobals(hydtest::kG, hydtest::kHmin, 0.4f);
    hydraulics::deriveParameters(G_REAL);
    // A cell count that is not a whole number of batches: each thread range ends with cells taken one by one.
    const int ncells = 10007;
    Sampler sample(31u);
    std::vector<float> zb(ncells), rough(ncells), state(3 * ncells);
    for (int i = 0; i < ncells; ++i) {
        zb[i] = sample.uniform(-2.0f, 2.0f);
        const float h = sample.pick(5) == 0 ? sample.uniform(-0.1f, hydtest::kHmin) : sample.logUniform(0.01f, 5.0f);
        state[3 * i] = zb[i] + h;
        state[3 * i + 1] = sample.uniform(-2.0f, 2.0f) * h;
        state[3 * i + 2] = sample.pick(4) == 0 ? 0.0f : sample.uniform(-2.0f, 2.0f) * h;
        rough[i] = sample.logUniform(0.01f, 0.1f);
    }
    op_set cells = op_decl_set(ncells, "cells");
    float dt = 0.7f;
    using namespace hydraulics::friction;
    for (int closure : {int{Manning}, int{LogarithmicLaw}}) {
        G_INT[slot::FrictionType] = closure;
        std::vector<float> expectState = state, expectCf2(ncells);
        for (int i = 0; i < ncells; ++i)
            kernel_HYDRAULICS_Friction(&dt, &zb[i], &rough[i], &expectCf2[i], &expectState[3 * i]);
        ASSERT_FALSE(sameBits(expectState.data(), state.data(), state.size() * sizeof(float)));
        for (int threads : {1, 2}) {
            omp_set_num_threads(threads);
            std::vector<float> s = state, cf2(ncells, -1.0f);
            op_dat dZb = op_decl_dat(cells, 1, "float", zb.data(), "zb");
            op_dat dRough = op_decl_dat(cells, 1, "float", rough.data(), "rough");
            op_dat dCf2 = op_decl_dat(cells, 1, "float", cf2.data(), "cf2");
            op_dat dState = op_decl_dat(cells, 3, "float", s.data(), "state");
            op_par_loop_kernel_HYDRAULICS_Friction(
                "kernel_HYDRAULICS_Friction", cells, op_arg_gbl(&dt, 1, "float", OP_READ),
                op_arg_dat(dZb, -1, OP_ID, 1, "float", OP_READ), op_arg_dat(dRough, -1, OP_ID, 1, "float", OP_READ),
                op_arg_dat(dCf2, -1, OP_ID, 1, "float", OP_WRITE), op_arg_dat(dState, -1, OP_ID, 3, "float", OP_RW));
            EXPECT_TRUE(sameBits(cf2.data(), expectCf2.data(), cf2.size() * sizeof(float)))
                << "closure " << closure << ", " << threads << " threads";
            EXPECT_TRUE(sameBits(s.data(), expectState.data(), s.size() * sizeof(float)))
                << "closure " << closure << ", " << threads << " threads";
        }
    }
}

}  // namespace
