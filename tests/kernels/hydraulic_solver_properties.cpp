// Physical properties of the Riemann solver, the internal-edge kernel and the time-step kernel.
#include <cmath>

#include "kernels/HydraulicTestSetup.hpp"
#include "simulation/kernels/HydraulicSolver.hpp"
#include "simulation/kernels/HydraulicsBoundary.hpp"
#include "simulation/kernels/HydraulicsTimeStepFluxes.hpp"
#include "support/Tolerance.hpp"

using hydtest::Flux;
using hydtest::kG;

namespace {

class HydrodynamicSolver : public hydtest::HydraulicKernels {
protected:
    static Flux solve(const float* n, const float* sL, float zL, int wL, const float* sR, float zR, int wR)
    {
        Flux f{};
        hydrodynamic_solver(n, sL, zL, wL, sR, zR, wR, f.data());
        return f;
    }
};

TEST_F(HydrodynamicSolver, LakeAtRestBalancesOverAClosedCell)
{
    // Triangle (0,0), (2,0), (0,1.5) with water surface 1.0 over bed 0.2; its neighbours have other beds, one of them
    // above the surface (dry), and on one edge the cell is the edge's right cell. The three momentum
    // contributions leaving the cell must cancel and no mass may move.
    const float H = 1.0f, zb = 0.2f;
    const float cell[3] = {H, 0.0f, 0.0f};
    struct Edge {
        float nx, ny, length, zNeighbour;
        bool cellIsLeft;
    };
    const float diag = std::sqrt(2.0f * 2.0f + 1.5f * 1.5f);
    const Edge edges[3] = {{0.0f, -1.0f, 2.0f, -0.5f, true},
                           {1.5f / diag, 2.0f / diag, diag, 1.4f, true},
                           {1.0f, 0.0f, 1.5f, 0.6f, false}};  // normal points into the cell: cell on the right
    float sumX = 0.0f, sumY = 0.0f;
    for (const Edge& e : edges) {
        const float n[2] = {e.nx, e.ny};
        const float neighbourH = std::max(H, e.zNeighbour);
        const float neighbour[3] = {neighbourH, 0.0f, 0.0f};
        const int neighbourWet = neighbourH - e.zNeighbour > hydtest::kHmin ? 1 : 0;
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

TEST_F(HydrodynamicSolver, DryEdgesCarryNoMassAndOnlyPressure)
{
    const float n[2] = {0.6f, 0.8f};
    // Two cells without water: no mass flux and the same pressure as a closed wall.
    const float dryL[3] = {0.3f, 0.0f, 0.0f}, dryR[3] = {0.3f, 0.0f, 0.0f};
    Flux f = solve(n, dryL, 0.3f, 0, dryR, 0.3f, 0);
    Flux wall{};
    kernel_HYDRAULICS_WallFluxes(dryL, &dryL[0], n, wall.data());
    EXPECT_EQ(f[0], 0.0f);
    EXPECT_CLOSE(f[1], wall[1], 1e-6, 1e-6);
    EXPECT_CLOSE(f[2], wall[2], 1e-6, 1e-6);
    // Equal depths below the wet threshold: still nothing moves.
    const float thin[3] = {0.305f, 0.0f, 0.0f};
    f = solve(n, thin, 0.3f, 0, thin, 0.3f, 0);
    EXPECT_FLOAT_EQ(f[0], 0.0f);
}

TEST_F(HydrodynamicSolver, DamBreakOnDryBedUsesTheDryFront)
{
    const float n[2] = {1.0f, 0.0f};
    const float dry[3] = {0.0f, 0.0f, 0.0f};
    const float h = 1.0f;
    for (float u : {0.0f, 1.0f, -1.0f}) {
        const float wet[3] = {h, u * h, 0.0f};
        const Flux f = solve(n, wet, 0.0f, 1, dry, 0.0f, 0);
        // HLL mass flux with the left wave uL - cL and the dry front SR = uL + 2 cL (rarefaction, no shock).
        const double c = std::sqrt(kG * h);
        const double sl = u - c, sr = u + 2 * c;
        const double expected = (sr * h * u + sl * sr * (0.0 - h)) / (sr - sl);
        EXPECT_CLOSE(f[0], expected, 1e-5, 1e-5) << "u = " << u;
        EXPECT_GT(f[0], 0.0f) << "water must run onto the dry bed";
        // Mirror image: dry left, wet right with the opposite velocity gives the negated mass flux.
        const float wetMirror[3] = {h, -u * h, 0.0f};
        const Flux m = solve(n, dry, 0.0f, 0, wetMirror, 0.0f, 1);
        EXPECT_CLOSE(m[0], -f[0], 1e-5, 1e-5);
    }
    // Supercritical flow towards the dry bed: every wave leaves to the right, the flux is the upwind flux h*u.
    const float fast[3] = {h, 5.0f * h, 0.0f};
    EXPECT_FLOAT_EQ(solve(n, fast, 0.0f, 1, dry, 0.0f, 0)[0], 5.0f * h);
}

TEST_F(HydrodynamicSolver, CollidingStreamsFormShocksFasterThanSound)
{
    // Equal streams running into each other: no net mass crosses, and the reflected shocks travel faster than
    // the characteristics, so the interface momentum exceeds gh^2/2 + h*u*c (it would equal it for u - c waves).
    const float n[2] = {1.0f, 0.0f};
    const float h = 1.0f, u = 1.0f, c = std::sqrt(kG * h);
    const float left[3] = {h, u * h, 0.0f}, right[3] = {h, -u * h, 0.0f};
    const Flux f = solve(n, left, 0.0f, 1, right, 0.0f, 1);
    EXPECT_CLOSE(f[0], 0.0, 1e-6, 0.0);
    EXPECT_GT(f[1], kG * h * h / 2 + h * u * c + 0.1f);
    EXPECT_CLOSE(f[3], -f[1], 1e-5, 1e-6);
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

TEST_F(HydrodynamicSolver, BedStepBelowTheRightBedUsesTheMirroredSolve)
{
    // Left surface 0.5 lies below the right bed 1.0: the right cell spills over the step into the left one.
    const float n[2] = {1.0f, 0.0f};
    const float sL[3] = {0.5f, 0.0f, 0.0f}, sR[3] = {1.5f, 0.0f, 0.0f};
    const Flux f = solve(n, sL, 0.0f, 1, sR, 1.0f, 1);
    EXPECT_LT(f[0], 0.0f) << "water must flow from the right cell to the left cell";
    // The spill pushes the left cell harder than its own resting column would.
    EXPECT_GT(f[1], kG * 0.5f * (0.5f / 2 - 0.0f));
    // The right cell's momentum comes from its own (mirrored) problem, not from negating the left momentum.
    EXPECT_GT(std::fabs(f[3] + f[1]), 1.0f);
    EXPECT_FLOAT_EQ(f[2], 0.0f);
    EXPECT_FLOAT_EQ(f[4], 0.0f);
}

TEST_F(HydrodynamicSolver, ACellNotFlaggedWetContributesDepthButNoDischarge)
{
    const float n[2] = {0.0f, 1.0f};
    const float moving[3] = {1.0f, 0.3f, 0.8f}, still[3] = {1.0f, 0.0f, 0.0f}, right[3] = {0.9f, 0.0f, 0.1f};
    Flux a{}, b{}, c{}, d{};
    const int dry = 0, wet = 1, other = 2;
    const float z = 0.0f;
    kernel_HYDRAULICS_InternalFluxes(n, &dry, &wet, moving, right, &z, &z, a.data());
    kernel_HYDRAULICS_InternalFluxes(n, &wet, &wet, still, right, &z, &z, b.data());
    kernel_HYDRAULICS_InternalFluxes(n, &other, &wet, moving, right, &z, &z, c.data());
    kernel_HYDRAULICS_InternalFluxes(n, &wet, &wet, moving, right, &z, &z, d.data());
    for (int k = 0; k < 5; ++k) {
        EXPECT_FLOAT_EQ(a[k], b[k]) << k;
        EXPECT_FLOAT_EQ(c[k], b[k]) << k;
    }
    EXPECT_GT(d[0], b[0] + 0.1f) << "the flagged cell's discharge must enter the flux";
}

TEST_F(HydrodynamicSolver, TimeStepFollowsNormalSpeedAndEachSidesSize)
{
    const float n[2] = {1.0f, 0.0f};
    const float size[2] = {2.0f, 8.0f};
    const float zb[2] = {0.0f, 0.0f};
    const int wet = 1, dry = 0;
    const float h = 1.0f, c = std::sqrt(kG * h);
    auto step = [&](const float* sL, int wL, const float* sR, int wR, float start) {
        float m = start;
        kernel_HYDRAULICS_TimeStep(n, size, &wL, &wR, sL, sR, &zb[0], &zb[1], &m);
        return m;
    };
    const float rest[3] = {h, 0.0f, 0.0f};
    const float tangential[3] = {h, 0.0f, 5.0f};
    const float backwards[3] = {h, -2.0f, 0.0f};
    // Left limits (size 2 against 8); tangential flow does not matter, the sign of the normal flow does not either.
    EXPECT_CLOSE(step(rest, wet, rest, wet, 100.0f), 2.0 / c, 1e-5, 1e-5);
    EXPECT_CLOSE(step(tangential, wet, rest, wet, 100.0f), 2.0 / c, 1e-5, 1e-5);
    EXPECT_CLOSE(step(backwards, wet, rest, wet, 100.0f), 2.0 / (2.0 + c), 1e-5, 1e-5);
    // Only the right cell wet: its own size applies.
    EXPECT_CLOSE(step(rest, dry, rest, wet, 100.0f), 8.0 / c, 1e-5, 1e-5);
    // Two dry cells contribute 1e6 s; a smaller running minimum is kept.
    EXPECT_FLOAT_EQ(step(rest, dry, rest, dry, 2.0e6f), 1.0e6f);
    EXPECT_FLOAT_EQ(step(rest, wet, rest, wet, 0.1f), 0.1f);
}

}  // namespace
