// The internal-edge Riemann solve: physical properties on hand-built edges (lake at rest, dry fronts, shocks,
// symmetry, bed steps, wet flags), the time-step kernel, and the eight-lane solve against the scalar one bit for bit
// on random edges of every regime, with the scalar one's dry short path against its full solve.
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "kernels/KernelTest.hpp"
#include "simulation/kernels/HydraulicSolver.hpp"
#include "simulation/kernels/HydraulicSolverBatch.hpp"
#include "simulation/kernels/HydraulicsBoundary.hpp"
#include "simulation/kernels/HydraulicsTimeStepFluxes.hpp"
#include "support/Tolerance.hpp"

using hydtest::Flux;
using hydtest::kG;
using Edge = hydtest::EdgeCase;

namespace {

using kerneltest::kNaN;

Flux solve(const float* n, const float* sL, float zL, int wL, const float* sR, float zR, int wR)
{
    Flux f{};
    hydrodynamic_solver(n, sL, zL, wL, sR, zR, wR, f.data());
    return f;
}
Flux solve(const Edge& e) { return solve(e.n, e.sL, e.zL, e.wL, e.sR, e.zR, e.wR); }

std::string describe(const Edge& e)
{
    std::ostringstream s;
    s.precision(9);
    s << "n=(" << e.n[0] << "," << e.n[1] << ") left H=" << e.sL[0] << " q=(" << e.sL[1] << "," << e.sL[2]
      << ") z=" << e.zL << " flag " << e.wL << ", right H=" << e.sR[0] << " q=(" << e.sR[1] << "," << e.sR[2]
      << ") z=" << e.zR << " flag " << e.wR;
    return s.str();
}

using HydrodynamicSolver = hydtest::HydraulicKernels;

TEST_F(HydrodynamicSolver, LakeAtRestBalancesOverAClosedCell)
{
    // Triangle (0,0), (2,0), (0,1.5) with water surface 1.0 over bed 0.2; its neighbours have other beds, one of them
    // above the surface (dry), and on one edge the cell is the edge's right cell. The three momentum
    // contributions leaving the cell must cancel and no mass may move.
    const float H = 1.0f, zb = 0.2f, diag = std::sqrt(2.0f * 2.0f + 1.5f * 1.5f);
    const float cell[3] = {H, 0.0f, 0.0f};
    struct Side {
        float nx, ny, length, zNeighbour;
        bool cellIsLeft;
    };
    const Side edges[3] = {{0.0f, -1.0f, 2.0f, -0.5f, true},
                           {1.5f / diag, 2.0f / diag, diag, 1.4f, true},
                           {1.0f, 0.0f, 1.5f, 0.6f, false}};  // normal points into the cell: cell on the right
    float sumX = 0.0f, sumY = 0.0f;
    for (const Side& e : edges) {
        const float n[2] = {e.nx, e.ny};
        const float neighbour[3] = {std::max(H, e.zNeighbour), 0.0f, 0.0f};
        const int neighbourWet = neighbour[0] - e.zNeighbour > hydtest::kHmin ? 1 : 0;
        Flux f = e.cellIsLeft ? solve(n, cell, zb, 1, neighbour, e.zNeighbour, neighbourWet)
                              : solve(n, neighbour, e.zNeighbour, neighbourWet, cell, zb, 1);
        EXPECT_CLOSE(f[0], 0.0, 1e-6, 0.0);  // zero up to the rounding of the star depth
        sumX += e.length * (e.cellIsLeft ? f[1] : f[3]);
        sumY += e.length * (e.cellIsLeft ? f[2] : f[4]);
        // Per cell the pressure is g*H*(H/2 - zb) along the outward normal, whatever the neighbour's bed.
        const float outward = e.cellIsLeft ? 1.0f : -1.0f;
        EXPECT_CLOSE(e.cellIsLeft ? f[1] : f[3], outward * e.nx * kG * H * (H / 2 - zb), 1e-5, 1e-5);
    }
    EXPECT_CLOSE(sumX, 0.0, 1e-4, 0.0);
    EXPECT_CLOSE(sumY, 0.0, 1e-4, 0.0);
}

TEST_F(HydrodynamicSolver, EachBranchOnAHandBuiltEdge)
{
    const Edge e[] = {
        {{1.0f, 0.0f}, {1.0f, 10.0f, 1.0f}, 0.0f, 1, {1.0f, 10.0f, 0.0f}, 0.0f, 1},    // 0 left supersonic
        {{1.0f, 0.0f}, {1.0f, -10.0f, 0.0f}, 0.0f, 1, {1.0f, -10.0f, 2.0f}, 0.0f, 1},  // 1 right supersonic
        {{0.6f, 0.8f}, {2.0f, 0.9f, 1.2f}, 0.0f, 1, {1.0f, 0.3f, 0.4f}, 0.0f, 1},      // 2 star, sStar > 0
        {{0.6f, 0.8f}, {1.0f, -0.3f, -0.4f}, 0.0f, 1, {2.0f, -0.9f, -1.2f}, 0.0f, 1},  // 3 star, sStar < 0
        {{1.0f, 0.0f}, {1.0f, 3.0f, 0.0f}, 0.0f, 1, {1.0f, -3.0f, 0.0f}, 0.0f, 1},     // 4 two shocks
        {{1.0f, 0.0f}, {1.0f, 0.5f, 0.0f}, 0.0f, 1, {0.0f, 0.0f, 0.0f}, 0.0f, 0},      // 5 right dry
        {{0.0f, -1.0f}, {0.0f, 0.0f, 0.0f}, 0.0f, 0, {1.5f, 0.0f, 2.0f}, 0.0f, 1},     // 6 left dry
        {{1.0f, 0.0f}, {0.5f, 0.0f, 0.0f}, 0.0f, 1, {1.5f, 0.0f, 0.0f}, 1.0f, 1},      // 7 emerging bed on the right
        {{0.6f, -0.8f}, {0.5f, 0.0f, 0.0f}, 0.5f, 0, {0.2f, 0.0f, 0.0f}, 0.2f, 0},     // 8 dry both sides
    };
    EXPECT_EQ(solve(e[0])[0], 10.0f);   // left supersonic: the left mass flux h u
    EXPECT_EQ(solve(e[1])[0], -10.0f);  // right supersonic: the right one
    EXPECT_FLOAT_EQ(solve(e[1])[4], -(-10.0f * 2.0f));  // and the right cell's tangential momentum leaves it
    // Star regions: neither side's own mass flux (1.5 and 0.5), and the mirrored edge gives the opposite flux.
    EXPECT_GT(solve(e[2])[0], 1.5f);
    EXPECT_NEAR(solve(e[3])[0], -solve(e[2])[0], 1e-5f);
    // Equal streams running into each other: no net mass, and the reflected shocks travel faster than the
    // characteristics, so the momentum exceeds gh^2/2 + h*u*c (it would equal it for u - c waves).
    const Flux shocks = solve(e[4]);
    EXPECT_EQ(shocks[0], 0.0f);
    EXPECT_GT(shocks[1], kG / 2 + 3.0f * std::sqrt(kG) + 0.1f);
    EXPECT_CLOSE(shocks[3], -shocks[1], 1e-5, 1e-6);
    EXPECT_GT(solve(e[5])[0], 0.0f) << "water must run onto the dry bed";
    EXPECT_LT(solve(e[6])[0], 0.0f);
    // Left surface 0.5 below the right bed 1.0: the right cell spills over the step into the left one, pushing the
    // left cell harder than its own resting column; the right momentum comes from its own (mirrored) problem.
    const Flux spill = solve(e[7]);
    EXPECT_LT(spill[0], 0.0f);
    EXPECT_GT(spill[1], kG * 0.5f * (0.5f / 2));
    EXPECT_GT(std::fabs(spill[3] + spill[1]), 1.0f);
    EXPECT_EQ(spill[2], 0.0f);
    // Dry on both sides: no mass, and each side keeps its own resting column at its own bed, as at a wall.
    const Flux dry2 = solve(e[8]);
    const float back[2] = {-0.6f, 0.8f};
    Flux wallL{}, wallR{};
    kernel_HYDRAULICS_WallFluxes(e[8].sL, &e[8].zL, e[8].n, wallL.data());
    kernel_HYDRAULICS_WallFluxes(e[8].sR, &e[8].zR, back, wallR.data());
    EXPECT_EQ(dry2[0], 0.0f);
    for (int k : {1, 2}) {
        EXPECT_CLOSE(dry2[k], wallL[k], 1e-6, 1e-6) << k;
        EXPECT_CLOSE(dry2[k + 2], wallR[k], 1e-6, 1e-6) << k;
    }
    // Supercritical flow towards a dry bed: every wave leaves to the right, the flux is the upwind flux h*u.
    const float fast[3] = {1.0f, 5.0f, 0.0f}, dry[3] = {0.0f, 0.0f, 0.0f};
    EXPECT_FLOAT_EQ(solve(e[5].n, fast, 0.0f, 1, dry, 0.0f, 0)[0], 5.0f);
}

TEST_F(HydrodynamicSolver, SwappingOrRotatingTheEdgeTransformsTheFlux)
{
    struct Case {
        float sL[3], zL;
        float sR[3], zR;
    };
    const Case cases[] = {
        {{1.2f, 0.4f, -0.1f}, 0.0f, {0.9f, -0.2f, 0.3f}, 0.1f},  // subcritical, both wet
        {{2.0f, 3.0f, 0.5f}, 0.0f, {0.5f, 0.1f, 0.0f}, 0.2f},    // strong jump
        {{0.5f, 0.0f, 0.0f}, 0.0f, {1.5f, -0.3f, 0.2f}, 1.0f},   // left surface below the right bed
        {{1.3f, 0.2f, 0.2f}, 0.0f, {1.0f, 0.0f, 0.0f}, 1.0f},    // right cell dry on a higher bed
    };
    const auto wet = [](const float* s, float z) { return s[0] - z > hydtest::kHmin ? 1 : 0; };
    const float c = std::cos(2.0f), s = std::sin(2.0f);
    const auto rot = [c, s](float x, float y) { return std::array<float, 2>{c * x - s * y, s * x + c * y}; };
    for (const Case& k : cases) {
        const float n[2] = {0.8f, -0.6f}, flipped[2] = {-0.8f, 0.6f};
        const Flux f = solve(n, k.sL, k.zL, wet(k.sL, k.zL), k.sR, k.zR, wet(k.sR, k.zR));
        // Swapped cells: the mass flux changes sign, each cell keeps its own momentum.
        const Flux g = solve(flipped, k.sR, k.zR, wet(k.sR, k.zR), k.sL, k.zL, wet(k.sL, k.zL));
        const Flux swapped = {-f[0], f[3], f[4], f[1], f[2]};
        // Rotated frame (normal and discharges turned by 2 rad): mass unchanged, momenta turned alike.
        const auto nr = rot(n[0], n[1]), qL = rot(k.sL[1], k.sL[2]), qR = rot(k.sR[1], k.sR[2]);
        const float rL[3] = {k.sL[0], qL[0], qL[1]}, rR[3] = {k.sR[0], qR[0], qR[1]};
        const Flux r = solve(nr.data(), rL, k.zL, wet(rL, k.zL), rR, k.zR, wet(rR, k.zR));
        const auto left = rot(f[1], f[2]), right = rot(f[3], f[4]);
        const Flux rotated = {f[0], left[0], left[1], right[0], right[1]};
        for (int m = 0; m < 5; ++m) {
            EXPECT_CLOSE(g[m], swapped[m], 1e-4, 1e-5) << "component " << m;
            EXPECT_CLOSE(r[m], rotated[m], 1e-4, 1e-5) << "component " << m;
        }
    }
}

TEST_F(HydrodynamicSolver, ACellNotFlaggedWetContributesDepthButNoDischarge)
{
    const float n[2] = {0.0f, 1.0f};
    const float moving[3] = {1.0f, 0.3f, 0.8f}, still[3] = {1.0f, 0.0f, 0.0f}, right[3] = {0.9f, 0.0f, 0.1f};
    const float z = 0.0f;
    auto internal = [&](int flag, const float* left) {
        Flux f{};
        const int wet = 1;
        kernel_HYDRAULICS_InternalFluxes(n, &flag, &wet, left, right, &z, &z, f.data());
        return f;
    };
    const Flux reference = internal(1, still);
    for (int flag : {0, 2})
        for (int k = 0; k < 5; ++k) EXPECT_FLOAT_EQ(internal(flag, moving)[k], reference[k]) << flag << " " << k;
    EXPECT_GT(internal(1, moving)[0], reference[0] + 0.1f) << "the flagged cell's discharge must enter the flux";
}

TEST_F(HydrodynamicSolver, TimeStepFollowsNormalSpeedAndEachSidesSize)
{
    const float n[2] = {1.0f, 0.0f}, size[2] = {2.0f, 8.0f}, zb[2] = {0.0f, 0.0f};
    const float c = std::sqrt(kG);
    auto step = [&](const float* sL, int wL, const float* sR, int wR, float start) {
        float m = start;
        kernel_HYDRAULICS_TimeStep(n, size, &wL, &wR, sL, sR, &zb[0], &zb[1], &m);
        return m;
    };
    const float rest[3] = {1.0f, 0.0f, 0.0f}, tangential[3] = {1.0f, 0.0f, 5.0f}, backwards[3] = {1.0f, -2.0f, 0.0f};
    // Left limits (size 2 against 8); tangential flow does not matter, the sign of the normal flow does not either.
    EXPECT_CLOSE(step(rest, 1, rest, 1, 100.0f), 2.0 / c, 1e-5, 1e-5);
    EXPECT_CLOSE(step(tangential, 1, rest, 1, 100.0f), 2.0 / c, 1e-5, 1e-5);
    EXPECT_CLOSE(step(backwards, 1, rest, 1, 100.0f), 2.0 / (2.0 + c), 1e-5, 1e-5);
    // Only the right cell wet: its own size applies.
    EXPECT_CLOSE(step(rest, 0, rest, 1, 100.0f), 8.0 / c, 1e-5, 1e-5);
    // Two dry cells contribute 1e6 s; a smaller running minimum is kept.
    EXPECT_FLOAT_EQ(step(rest, 0, rest, 0, 2.0e6f), 1.0e6f);
    EXPECT_FLOAT_EQ(step(rest, 1, rest, 1, 0.1f), 0.1f);
}

// ---- The eight-lane solve ----

/// Solves eight edges in one batch and each alone with the scalar solve, with and without its dry short path; returns
/// how many lanes differ.
int compareBatch(const std::vector<Edge>& edges)
{
    constexpr int L = hydraulics::kEdgeBatch;
    const float *n[L], *sL[L], *zL[L], *sR[L], *zR[L];
    const int *wL[L], *wR[L];
    Flux batched[L];
    float* out[L];
    for (int j = 0; j < L; ++j) {
        const Edge& e = edges[j];
        n[j] = e.n, sL[j] = e.sL, zL[j] = &e.zL, wL[j] = &e.wL, sR[j] = e.sR, zR[j] = &e.zR, wR[j] = &e.wR;
        batched[j].fill(kNaN);  // every component must be written
        out[j] = batched[j].data();
    }
    hydraulics::solveEdgeBatch(n, sL, zL, wL, sR, zR, wR, out);
    int bad = 0;
    for (int j = 0; j < L; ++j) {
        Flux scalar{}, full{};
        const Edge& e = edges[j];
        hydraulics::solveEdge<true>(e.n, e.sL, e.zL, e.wL, e.sR, e.zR, e.wR, scalar.data());
        hydraulics::solveEdge<false>(e.n, e.sL, e.zL, e.wL, e.sR, e.zR, e.wR, full.data());
        for (int i = 0; i < 5; ++i)
            if (!kerneltest::sameFloat(batched[j][i], scalar[i]) || !kerneltest::sameFloat(full[i], scalar[i])) {
                if (++bad <= 5)
                    ADD_FAILURE() << "lane " << j << " component " << i << ": batch " << batched[j][i] << " scalar "
                                  << scalar[i] << " full " << full[i] << " for " << describe(e);
                break;
            }
    }
    return bad;
}

/// A random edge of every regime a run meets: dry, wet, wet/dry fronts, emerging topography, depths of exactly 0
/// and around the wet threshold and the 1e-6 guards, rest, sub- and supercritical flow both ways, flags 0/1/2, a few
/// non-finite or huge values. `dry`: nothing above the higher bed on either side (a whole dry batch has its own path).
Edge randomEdge(kerneltest::Random& r, float hmin, bool dry)
{
    Edge e{};
    const float a = r.uniform(0.0f, 6.2831853f), axes[][2] = {{1, 0}, {-1, 0}, {0, 1}, {-0.0f, -1}};
    const int ax = r.pick(32);  // axis-aligned normals, signed zeros included, for one edge in eight
    e.n[0] = ax < 4 ? axes[ax][0] : std::cos(a);
    e.n[1] = ax < 4 ? axes[ax][1] : std::sin(a);
    const float beds[] = {0.0f, -0.0f, r.uniform(-2.0f, 2.0f), r.uniform(-0.01f, 0.01f), r.uniform(95.0f, 105.0f)};
    e.zL = r.pick(500) == 0 ? kNaN : beds[r.pick(5)];
    e.zR = r.pick(4) == 0 ? e.zL : beds[r.pick(5)];
    const float top = std::max(e.zL, e.zR);
    for (int side = 0; side < 2; ++side) {
        float* s = side == 0 ? e.sL : e.sR;
        const float z = side == 0 ? e.zL : e.zR;
        const float wet[] = {z, top, z + r.uniform(-0.5f, 0.0f), top + hmin, std::nextafter(top + hmin, -1e30f),
                             std::nextafter(top + hmin, 1e30f), top + r.uniform(0.0f, 2.0f * hmin),
                             top + std::ldexp(r.uniform(0.5f, 1.0f), -r.pick(30)), top + r.uniform(-0.3f, 0.3f),
                             z + r.uniform(0.0f, 0.3f), top + r.uniform(0.0f, 20.0f), top + r.uniform(0.5f, 5.0f)};
        const float dried[] = {z, top, z - r.uniform(0.0f, 0.5f), top - r.uniform(0.0f, 0.3f)};
        s[0] = dry ? dried[r.pick(4)] : r.pick(500) == 0 ? (r.pick(2) ? kNaN : 1e30f) : wet[r.pick(12)];
        const float h = std::max(s[0] - z, 0.0f), c = std::sqrt(9.81f * h);
        const float q[][2] = {{0.0f, 0.0f},
                              {-0.0f, r.pick(2) ? 0.0f : -0.0f},
                              {r.uniform(-1e-7f, 1e-7f), r.uniform(-1e-7f, 1e-7f)},
                              {h * r.uniform(2.0f, 6.0f) * c, r.uniform(-1.0f, 1.0f) * h},
                              {-h * r.uniform(2.0f, 6.0f) * c, r.uniform(-1.0f, 1.0f) * h},
                              {r.uniform(-50.0f, 50.0f), r.uniform(-50.0f, 50.0f)},
                              {r.pick(50) == 0 ? r.odd() : h * r.uniform(-2.0f, 2.0f) * c,
                               h * r.uniform(-2.0f, 2.0f) * c}};
        const int k = r.pick(7);
        s[1] = q[k][0];
        s[2] = q[k][1];
    }
    const int flags[] = {1, 1, 1, 1, 0, 2};
    e.wL = flags[r.pick(6)];
    e.wR = flags[r.pick(6)];
    return e;
}

using SolverBatch = kerneltest::NeedsAvx2<hydtest::HydraulicKernels>;

TEST_F(SolverBatch, RandomEdgesGiveTheScalarBits)
{
    // Random edges at the run's parameters, without a wet threshold (no dry short path), with one at the 1e-6
    // guards, and with another gravity; every fourth batch is all dry edges.
    const struct {
        float hmin, g;
        int batches;
        unsigned seed;
    } runs[] = {{0.01f, 9.81f, 100000, 12345u}, {0.0f, 9.81f, 20000, 777u}, {1e-6f, 9.81f, 20000, 4242u},
                {0.01f, 1.0f, 20000, 99u}};
    for (const auto& run : runs) {
        G_REAL[slot::MinWaterDepth] = run.hmin;
        G_REAL[slot::Gravity] = run.g;
        kerneltest::Random r(run.seed);
        std::vector<Edge> edges(hydraulics::kEdgeBatch);
        int bad = 0;
        for (int b = 0; b < run.batches && bad < 20; ++b) {
            for (Edge& e : edges) e = randomEdge(r, run.hmin, b % 4 == 0);
            bad += compareBatch(edges);
        }
        EXPECT_EQ(bad, 0) << "hmin " << run.hmin << ", g " << run.g;
    }
}

}  // namespace
