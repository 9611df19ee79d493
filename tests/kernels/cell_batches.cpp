// The eight-lane friction kernel gives, lane by lane, the bits of the scalar kernel: random cells of every regime
// and closure, hand-built cells side by side, and depths whose cube root the estimate cannot decide.
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "kernels/KernelTest.hpp"
#include "simulation/kernels/CellBatch.hpp"
#include "simulation/kernels/HydraulicsCell.hpp"

namespace {

using namespace hydraulics::friction;
constexpr int kLanes = hydraulics::kCellBatch;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct Cell {
    float dt, zb, r, cf2;
    float state[3];
};

/// A random cell: depths around the wet threshold and far from it, discharges of both signs, tiny and huge,
/// roughness values around the 1e-6 cut-off, and now and then a non-finite or extreme value.
Cell randomCell(kerneltest::Random& r, int closure, float hmin)
{
    const float odd[] = {kNaN, std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                         0.0f, -0.0f, 1e-40f, 1e-30f, 3e38f, -3e38f, 1e20f};
    const float depths[] = {hmin, std::nextafter(hmin, 0.0f), std::nextafter(hmin, 1.0f), -r.logUniform(1e-6f, 1.0f),
                            r.pick(20) == 0 ? odd[r.pick(10)] : r.logUniform(1e-8f, hmin), r.logUniform(10.0f, 1e4f),
                            r.logUniform(hmin, 10.0f), r.logUniform(hmin, 10.0f)};
    Cell c{};
    c.zb = r.pick(3) == 0 ? r.uniform(-50.0f, 50.0f) : 0.0f;
    const float h = depths[r.pick(8)];
    c.state[0] = c.zb + h;
    for (int i = 1; i < 3; ++i) {
        const float q[] = {0.0f, r.pick(10) == 0 ? odd[r.pick(10)] : r.logUniform(1e-12f, 1e-3f), -r.uniform(0.0f, 1e3f),
                           r.uniform(-3.0f, 3.0f) * std::fabs(h) * std::sqrt(9.81f * std::fabs(h))};
        c.state[i] = q[std::min(r.pick(8), 3)];
    }
    const float rough[] = {0.0f, 1e-7f, std::nextafter(1e-6f, 0.0f), 1e-6f,
                           r.pick(4) == 0 ? odd[r.pick(10)] : -r.uniform(0.0f, 1.0f),
                           closure == Manning ? r.logUniform(0.008f, 0.2f) : r.logUniform(5.0f, 100.0f)};
    c.r = rough[std::min(r.pick(12), 5)];
    c.dt = r.pick(50) == 0 ? (r.pick(2) == 0 ? 0.0f : 1e6f) : r.logUniform(1e-3f, 5.0f);
    c.cf2 = -1.0f;
    return c;
}

/// Number of cells (a whole number of batches) whose batched result differs from the scalar one.
int frictionDifferences(const std::vector<Cell>& cells)
{
    std::vector<Cell> scalar = cells, batched = cells;
    for (Cell& c : scalar) kernel_HYDRAULICS_Friction(&c.dt, &c.zb, &c.r, &c.cf2, c.state);
    for (std::size_t i = 0; i + kLanes <= batched.size(); i += kLanes) {
        const float *dt[kLanes], *zb[kLanes], *r[kLanes];
        float *cf2[kLanes], *state[kLanes];
        for (int j = 0; j < kLanes; ++j) {
            Cell& c = batched[i + j];
            dt[j] = &c.dt, zb[j] = &c.zb, r[j] = &c.r, cf2[j] = &c.cf2, state[j] = c.state;
        }
        hydraulics::frictionBatch(dt, zb, r, cf2, state);
    }
    int differences = 0;
    for (std::size_t i = 0; i < cells.size(); ++i)
        if (std::memcmp(&scalar[i], &batched[i], sizeof(Cell)) != 0 && ++differences <= 5)
            ADD_FAILURE() << std::hexfloat << "cell " << i << " (h " << cells[i].state[0] - cells[i].zb << ", r "
                          << cells[i].r << "): cf2 " << batched[i].cf2 << " vs " << scalar[i].cf2 << ", q "
                          << batched[i].state[1] << " vs " << scalar[i].state[1];
    return differences;
}

using CellBatches = kerneltest::NeedsAvx2<hydtest::HydraulicKernels>;

TEST_F(CellBatches, RandomAndHandBuiltCellsGiveTheScalarFrictionBits)
{
    // Every closure (Manning and Strickler have lanes of their own, the others run the scalar kernel lane by lane),
    // and Manning without a wet threshold (raw depths).
    for (int closure : {int{Manning}, int{Strickler}, int{LogarithmicLaw}, int{LargeRelativeRoughness}, 0, -1}) {
        const float hmin = closure == -1 ? 0.0f : hydtest::kHmin;
        G_INT[slot::FrictionType] = closure == -1 ? int{Manning} : closure;
        G_REAL[slot::MinWaterDepth] = hmin;
        const float r = closure == Strickler ? 30.0f : 0.03f;
        std::vector<Cell> cells = {
            {0.5f, 0.0f, r, 0.0f, {2.0f, 1.5f, -0.5f}},            // wet, flowing
            {0.5f, 1.0f, r, 0.0f, {0.995f, 0.0f, 0.0f}},           // dry, depth below the threshold
            {0.5f, 0.0f, r, 0.0f, {hydtest::kHmin, 1e-3f, 0.0f}},  // depth exactly at the threshold
            {0.5f, 0.0f, 0.0f, 0.0f, {1.0f, 1.0f, 1.0f}},          // no roughness
            {0.5f, 0.0f, 1e-7f, 0.0f, {1.0f, 1.0f, 1.0f}},         // roughness below 1e-6
            {0.5f, 0.0f, r, 0.0f, {kNaN, 1.0f, 1.0f}},             // NaN surface
            {0.5f, 0.0f, r, 0.0f, {1e4f, 3e38f, -3e38f}},          // huge discharge
            {0.5f, 0.0f, r, 0.0f, {0.3f, 0.0f, 0.0f}},             // at rest
        };
        kerneltest::Random sample(17u + static_cast<unsigned>(closure + 1));
        cells.resize(closure == Manning || closure == Strickler ? 1 << 19 : 1 << 14);
        for (std::size_t i = kLanes; i < cells.size(); ++i) cells[i] = randomCell(sample, closure, hmin);
        EXPECT_EQ(frictionDifferences(cells), 0) << "closure " << closure;
    }
}

TEST_F(CellBatches, DepthsWhoseCubeRootTheEstimateCannotDecideGiveTheLibraryBits)
{
    // Clamped depths and roughness values whose closure product lies so close to the midpoint between two floats that
    // the estimate's interval straddles it (found offline by scanning depths from 0.01 m up).
    const struct {
        int closure;
        float x, r;
    } cases[] = {
        {Manning, 0x1.0f7f76p-6f, 0x1.eb851ep-6f}, {Manning, 0x1.51c2cp-5f, 0x1.eb851ep-6f},
        {Manning, 0x1.354c6p+0f, 0x1.eb851ep-6f},  {Manning, 0x1.f7b036p-7f, 0x1.99999ap-7f},
        {Manning, 0x1.3627cap-1f, 0x1.99999ap-7f}, {Manning, 0x1.2607e8p+0f, 0x1.99999ap-5f},
        {Strickler, 0x1.799978p-7f, 0x1.ep+4f},    {Strickler, 0x1.a4b41p-3f, 0x1.ep+4f},
        {Strickler, 0x1.6fa9c2p-6f, 0x1.4p+5f},    {Strickler, 0x1.6fa9c2p-3f, 0x1.4p+5f},
    };
    const double invG = static_cast<double>(G_REAL[slot::InvGravity]);
    kerneltest::Random sample(99u);
    for (const auto& k : cases) {
        G_INT[slot::FrictionType] = k.closure;
        // The guard must indeed fail for these, so that the lane falls back to the library root.
        const double a = k.closure == Manning ? 1.0 / static_cast<double>(k.r) : static_cast<double>(k.r);
        const double c = hydraulics::cubeRootEstimate(k.x);
        ASSERT_NE(static_cast<float>(invG * hydraulics::stepUlps(c, -hydraulics::CubeRootUlpBound) * a * a),
                  static_cast<float>(invG * hydraulics::stepUlps(c, hydraulics::CubeRootUlpBound) * a * a))
            << std::hexfloat << k.x << " " << k.r;
        // Such a cell at every lane of a batch of ordinary cells, and a batch of nothing but such cells.
        for (int lane = 0; lane <= kLanes; ++lane) {
            std::vector<Cell> cells(kLanes, Cell{0.5f, 0.0f, k.r, 0.0f, {k.x, 0.3f, -0.1f}});
            for (int j = 0; j < kLanes && lane < kLanes; ++j)
                if (j != lane) cells[j] = randomCell(sample, k.closure, hydtest::kHmin), cells[j].r = k.r;
            EXPECT_EQ(frictionDifferences(cells), 0) << std::hexfloat << k.x << " at lane " << lane;
        }
    }
}

}  // namespace
