// The eight-lane friction kernel gives, lane by lane, the bits of the scalar kernel on random cells of every regime
// and closure and on depths whose cube root the estimate cannot decide; the guarded cube root of the scalar closures
// rounds like the library root.
#include <cmath>
#include <cstring>
#include <vector>

#include "kernels/KernelTest.hpp"
#include "simulation/kernels/CellBatch.hpp"
#include "simulation/kernels/HydraulicsCell.hpp"

namespace {

using namespace hydraulics::friction;
constexpr int kLanes = hydraulics::kCellBatch;

struct Cell {
    float dt, zb, r, cf2;
    float state[3];
};

/// A random cell: depths around the wet threshold and far from it, discharges of both signs, tiny and huge,
/// roughness values around the 1e-6 cut-off, and now and then a non-finite or extreme value.
Cell randomCell(kerneltest::Random& r, int closure, float hmin)
{
    const float depths[] = {hmin, std::nextafter(hmin, 0.0f), std::nextafter(hmin, 1.0f), -r.logUniform(1e-6f, 1.0f),
                            r.pick(20) == 0 ? r.odd() : r.logUniform(1e-8f, hmin), r.logUniform(10.0f, 1e4f),
                            r.logUniform(hmin, 10.0f), r.logUniform(hmin, 10.0f)};
    Cell c{};
    c.zb = r.pick(3) == 0 ? r.uniform(-50.0f, 50.0f) : 0.0f;
    const float h = depths[r.pick(8)];
    c.state[0] = c.zb + h;
    for (int i = 1; i < 3; ++i) {
        const float q[] = {0.0f, r.pick(10) == 0 ? r.odd() : r.logUniform(1e-12f, 1e-3f), -r.uniform(0.0f, 1e3f),
                           r.uniform(-3.0f, 3.0f) * std::fabs(h) * std::sqrt(9.81f * std::fabs(h))};
        c.state[i] = q[std::min(r.pick(8), 3)];
    }
    const float rough[] = {0.0f, 1e-7f, std::nextafter(1e-6f, 0.0f), 1e-6f,
                           r.pick(4) == 0 ? r.odd() : -r.uniform(0.0f, 1.0f),
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

TEST_F(CellBatches, RandomCellsAndUndecidableCubeRootsGiveTheScalarFrictionBits)
{
    // Clamped depths and roughness values whose closure product lies so close to the midpoint between two floats that
    // the estimate's interval straddles it (found offline by scanning depths from 0.01 m up): the lanes must fall
    // back to the library root like the scalar kernel. Each goes into every lane of a batch of random cells.
    const struct {
        int closure;
        float x, r;
    } undecidable[] = {
        {Manning, 0x1.0f7f76p-6f, 0x1.eb851ep-6f}, {Manning, 0x1.51c2cp-5f, 0x1.eb851ep-6f},
        {Manning, 0x1.354c6p+0f, 0x1.eb851ep-6f},  {Manning, 0x1.f7b036p-7f, 0x1.99999ap-7f},
        {Manning, 0x1.3627cap-1f, 0x1.99999ap-7f}, {Manning, 0x1.2607e8p+0f, 0x1.99999ap-5f},
        {Strickler, 0x1.799978p-7f, 0x1.ep+4f},    {Strickler, 0x1.a4b41p-3f, 0x1.ep+4f},
        {Strickler, 0x1.6fa9c2p-6f, 0x1.4p+5f},    {Strickler, 0x1.6fa9c2p-3f, 0x1.4p+5f},
    };
    const double invG = static_cast<double>(G_REAL[slot::InvGravity]);
    for (const auto& k : undecidable) {
        const double a = k.closure == Manning ? 1.0 / static_cast<double>(k.r) : static_cast<double>(k.r);
        const double c = hydraulics::cubeRootEstimate(k.x);
        ASSERT_NE(static_cast<float>(invG * hydraulics::stepUlps(c, -hydraulics::CubeRootUlpBound) * a * a),
                  static_cast<float>(invG * hydraulics::stepUlps(c, hydraulics::CubeRootUlpBound) * a * a))
            << std::hexfloat << k.x << " " << k.r;
    }
    // Every closure (Manning and Strickler have lanes of their own, the others run the scalar kernel lane by lane),
    // and Manning without a wet threshold (raw depths).
    for (int closure : {int{Manning}, int{Strickler}, int{LogarithmicLaw}, int{LargeRelativeRoughness}, 0, -1}) {
        const float hmin = closure == -1 ? 0.0f : hydtest::kHmin;
        G_INT[slot::FrictionType] = closure == -1 ? int{Manning} : closure;
        G_REAL[slot::MinWaterDepth] = hmin;
        kerneltest::Random sample(17u + static_cast<unsigned>(closure + 1));
        std::vector<Cell> cells(closure == Manning || closure == Strickler ? 1 << 19 : 1 << 14);
        for (Cell& c : cells) c = randomCell(sample, closure, hmin);
        int placed = 0;
        for (const auto& k : undecidable)
            for (int lane = 0; lane < kLanes && k.closure == closure; ++lane, ++placed)
                cells[kLanes * placed + lane] = Cell{0.5f, 0.0f, k.r, 0.0f, {k.x, 0.3f, -0.1f}};
        EXPECT_EQ(frictionDifferences(cells), 0) << "closure " << closure;
    }
}

// The closures' cube root is estimated and accepted only where the estimate provably rounds like the library root
// (the stored reference results were made with the library root). Where a product lies next to a float rounding
// boundary an estimate a few ulps off would round the other way: there the guard must fall back to the library.
TEST(ExactCubeRoot, GuardedRootRoundsLikeTheLibraryOnFloatRoundingBoundaries)
{
    const double s = static_cast<double>(1.0f / 9.81f);
    long long cases = 0, estimateWouldDiffer = 0;
    int failures = 0;
    for (std::uint32_t bits = 0x0d000000u; bits < 0x72000000u; bits += 65521u) {  // x from about 4e-31 to 3e30
        float x;
        std::memcpy(&x, &bits, sizeof x);
        const double root = std::cbrt(static_cast<double>(x));
        for (double a : {1.0 / 0.03, 1.0 / static_cast<double>(0.0125f), 33.0, 0.7}) {
            // Factors b whose library product lies within a few double ulps of the midpoint between two floats.
            const double p = s * root * a;
            const float f = static_cast<float>(p * a);
            const double mid = 0.5 * (f + static_cast<double>(std::nextafter(f, std::numeric_limits<float>::infinity())));
            for (int k = -4; k <= 4; ++k) {
                double b = mid / p;
                for (int i = 0; i < std::abs(k); ++i) b = std::nextafter(b, k > 0 ? 2.0 * b : 0.0);
                const float library = static_cast<float>(s * root * a * b);
                ++cases;
                if (static_cast<float>(s * hydraulics::cubeRootEstimate(x) * a * b) != library) ++estimateWouldDiffer;
                const float fast = hydraulics::scaledCubeRoot(s, x, a, b);
                if (!kerneltest::sameFloat(fast, library) && ++failures <= 5)
                    ADD_FAILURE() << std::hexfloat << "x " << x << " a " << a << " b " << b << ": " << fast << " vs "
                                  << library;
            }
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_GT(estimateWouldDiffer, cases / 100) << "the sample must exercise the guard";
}

}  // namespace
