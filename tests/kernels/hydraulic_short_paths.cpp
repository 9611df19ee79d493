// The kernels' short paths (dry edges) give the same bits as the full computation they stand in for.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "kernels/HydraulicTestSetup.hpp"
#include "simulation/kernels/HydraulicSolver.hpp"

using hydtest::Flux;

namespace {

using hydtest::EdgeCase;

/// Edges around a dry region: surfaces below, at and just above the higher bed (thinner than the wet threshold),
/// discharges of both signs and signed zeros, normals in all quadrants, flags 0, 1 and 2.
std::vector<EdgeCase> edgesAroundDryRegion()
{
    const float normals[][2] = {{1.0f, 0.0f}, {-1.0f, 0.0f}, {0.0f, -1.0f}, {0.6f, -0.8f}, {-0.6f, 0.8f}};
    const float beds[][2] = {{0.5f, 0.5f}, {0.9f, 0.2f}, {-0.3f, 0.4f}};
    const float depthsAboveTop[] = {-0.7f, -0.05f, 0.0f, 0.004f, 0.3f};  // surface minus the higher bed [m]
    const float discharges[][2] = {{0.0f, 0.0f}, {-0.0f, -0.0f}, {0.0f, -0.0f}, {0.4f, -0.25f}, {-0.4f, 0.0f}};
    std::vector<EdgeCase> cases;
    for (const auto& n : normals)
        for (const auto& z : beds)
            for (float dL : depthsAboveTop)
                for (float dR : depthsAboveTop)
                    for (int q = 0; q < 5; ++q) {
                        const float top = std::max(z[0], z[1]);
                        const auto& qL = discharges[q];
                        const auto& qR = discharges[(q + 2) % 5];
                        const int flag = q % 3;  // 0, 1 and 2: only 1 lets a side carry its discharge
                        cases.push_back(EdgeCase{{n[0], n[1]},
                                                 {top + dL, qL[0], qL[1]},
                                                 z[0],
                                                 flag,
                                                 {top + dR, qR[0], qR[1]},
                                                 z[1],
                                                 (flag + 1) % 3});
                    }
    return cases;
}

/// Same bits component by component; two NaNs count as equal (which NaN an operation passes on depends on the
/// operand order the compiler picks, and a NaN flux ends a run anyway).
bool sameBits(const Flux& a, const Flux& b)
{
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::isnan(a[i]) && std::isnan(b[i])) continue;
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return false;
    }
    return true;
}

class SolverShortPath : public hydtest::HydraulicKernels {
protected:
    /// Runs every case through both variants; returns how many had both reconstructed depths zero.
    static int expectSameBits(const std::vector<EdgeCase>& cases)
    {
        int dry = 0;
        for (const EdgeCase& c : cases) {
            Flux shortcut{}, full{};
            hydraulics::solveEdge<true>(c.n, c.sL, c.zL, c.wL, c.sR, c.zR, c.wR, shortcut.data());
            hydraulics::solveEdge<false>(c.n, c.sL, c.zL, c.wL, c.sR, c.zR, c.wR, full.data());
            const float top = std::max(c.zL, c.zR);
            if (c.sL[0] <= top && c.sR[0] <= top) ++dry;
            EXPECT_TRUE(sameBits(shortcut, full))
                << "n=(" << c.n[0] << "," << c.n[1] << ") left H=" << c.sL[0] << " q=(" << c.sL[1] << "," << c.sL[2]
                << ") z=" << c.zL << " flag " << c.wL << ", right H=" << c.sR[0] << " q=(" << c.sR[1] << "," << c.sR[2]
                << ") z=" << c.zR << " flag " << c.wR << ": mass " << shortcut[0] << " vs " << full[0];
        }
        return dry;
    }
};

TEST_F(SolverShortPath, DryEdgesGiveTheFullSolversBitsSignedZerosIncluded)
{
    const std::vector<EdgeCase> cases = edgesAroundDryRegion();
    const int dry = expectSameBits(cases);
    // The grid must really exercise the short path (both sides at or below the higher bed) and the full one.
    EXPECT_GE(dry, 600);
    EXPECT_LT(dry, static_cast<int>(cases.size()));

    // A zero wet threshold makes a zero depth "wet": the full solve must run (and agree with itself).
    G_REAL[slot::MinWaterDepth] = 0.0f;
    expectSameBits(cases);
}

TEST_F(SolverShortPath, DryEdgeFluxIsPressureOnly)
{
    // Left cell dry at its bed 0.9 m, right cell dry at 0.2 m: no mass and no discharge terms; each side keeps the
    // pre-balanced pressure of its own interface bed minus its bed-step term (both 0 here, h = 0 everywhere).
    const float n[2] = {0.6f, -0.8f};
    const float sL[3] = {0.9f, 0.0f, 0.0f};
    const float sR[3] = {0.2f, -0.0f, 0.0f};
    Flux f{};
    hydrodynamic_solver(n, sL, 0.9f, 0, sR, 0.2f, 0, f.data());
    EXPECT_EQ(f[0], 0.0f);
    for (int i = 1; i < 5; ++i) EXPECT_TRUE(std::isfinite(f[i])) << i;
    // Each side sees g*(zs/2 - zs)*zs at its own interface bed: zs = 0.9 from the left (along +n), 0.2 from the
    // right (along -n); no bed-step term, as both surfaces lie on the interface beds.
    const double pL = 9.81 * (0.45 - 0.9) * 0.9;
    const double pR = 9.81 * (0.1 - 0.2) * 0.2;
    EXPECT_NEAR(f[1], 0.6 * pL, 1e-5);
    EXPECT_NEAR(f[2], -0.8 * pL, 1e-5);
    EXPECT_NEAR(f[3], -0.6 * pR, 1e-5);
    EXPECT_NEAR(f[4], 0.8 * pR, 1e-5);
}

}  // namespace
