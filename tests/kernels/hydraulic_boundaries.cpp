// Boundary conditions by type code, walls, and the integrated node-string states.
#include <cmath>
#include <vector>

#include "kernels/HydraulicTestSetup.hpp"
#include "simulation/kernels/HydraulicsBoundary.hpp"
#include "support/Tolerance.hpp"

using hydtest::Flux;
using hydtest::kG;

namespace {

class HydraulicBoundary : public hydtest::HydraulicKernels {
protected:
    // Inner cell: 1 m of water over bed 0.5; right cell of the 2xx codes: 0.6 m over bed 0.4.
    float inner[3] = {1.5f, 0.0f, 0.0f}, zL = 0.5f;
    float second[3] = {1.0f, 0.2f, -0.1f}, zR = 0.4f;
    float n[2] = {0.6f, 0.8f};
    float chezy = 100.0f;
    float charSize[2] = {4.0f, 4.0f};

    Flux run(int code, int factor, std::vector<float> values)
    {
        values.resize(7, 0.0f);
        const int type[2] = {code, factor};
        Flux f{};
        kernel_HYDRAULICS_Boundary(type, values.data(), n, inner, second, &zL, &zR, &chezy, charSize, f.data());
        return f;
    }
    Flux wall() const
    {
        Flux f{};
        kernel_HYDRAULICS_WallFluxes(inner, &zL, n, f.data());
        return f;
    }
    void setDischarge(float qn, float qt)
    {
        inner[1] = qn * n[0] - qt * n[1];
        inner[2] = qn * n[1] + qt * n[0];
    }
    float normalPart(const Flux& f) const { return f[1] * n[0] + f[2] * n[1]; }
    float tangentialPart(const Flux& f) const { return -f[1] * n[1] + f[2] * n[0]; }
    static bool same(const Flux& a, const Flux& b)
    {
        for (int k = 0; k < 5; ++k)
            if (std::fabs(a[k] - b[k]) > 1e-5f * (1 + std::fabs(b[k]))) return false;
        return true;
    }
};

TEST_F(HydraulicBoundary, EveryCodeClosesOrOpensByItsRow)
{
    // The wall kernel: no mass, the pre-balanced column g*H*(H/2 - zb) along the normal.
    const Flux w = wall();
    EXPECT_EQ(w[0], 0.0f);
    EXPECT_CLOSE(w[2], 0.8 * kG * 1.5 * (1.5 / 2 - 0.5), 1e-6, 1e-6);
    EXPECT_EQ(w[3], 0.0f);

    // code, factor s, values D, cell normal discharge, closed?, mass flux when open (NaN: only its sign is known).
    const float any = std::nanf("");
    struct Row {
        int code, s;
        std::vector<float> D;
        float qn;
        bool closed;
        float mass;
    };
    const Row rows[] = {
        {0, 1, {}, 0.2f, true, 0},
        {999, 1, {}, 0.2f, true, 0},
        {100, 1, {0, 0.001f, 2.0f}, 0, true, 0},  // outflow value: closed
        {100, -1, {0, 0.001f, 2.0f}, 0, false, -2.0f},
        {102, 1, {0, 0, 2.0f}, 0, true, 0},
        {102, -1, {0, 0, 2.0f}, 0, false, -2.0f},
        {104, 1, {0.001f}, -0.3f, true, 0},
        {104, 1, {0.001f}, 0.3f, false, any},
        {112, 1, {}, -0.3f, true, 0},
        {112, 1, {}, 0.3f, false, 0.3f},
        {114, 1, {0.5f, 1.0f}, -0.2f, true, 0},  // level at the bed: nothing enters
        {114, 1, {0.505f, 1.0f}, 0.2f, false, any},
        {114, 1, {2.0f, 0.0f}, 0, true, 0},  // inflow needs D[1] = 1
        {114, 1, {2.0f, 1.0f}, 0, false, any},
        {322, 1, {0, 0, 0, 0.5f, 2.0f}, 0, true, 0},
        {324, 1, {0, 0, 0, -0.5f, 2.0f}, 0, false, -1.0f},
        {326, 1, {0, 1.0f, -0.7f}, 0, true, 0},
        {326, 1, {0, -1.0f, -0.7f}, 0, false, -0.7f},
        {328, 1, {0, 0, 0, 0, 0, 0.5f, 3.0f}, 0, true, 0},
        {328, 1, {0, 0, 0, 0, 0, -0.5f, 3.0f}, 0, false, -1.5f},
        {330, 1, {0, 0.25f}, 0, true, 0},
        {330, -1, {0, 0.25f}, 0, false, -0.25f},
        {331, 1, {1.0f}, -0.2f, true, 0},
        {331, 1, {1.0f}, 0.2f, false, any},
    };
    for (const Row& r : rows) {
        setDischarge(r.qn, 0.0f);
        const Flux f = run(r.code, r.s, r.D);
        EXPECT_EQ(same(f, wall()), r.closed) << "code " << r.code << " s " << r.s;
        if (r.closed) continue;
        if (std::isnan(r.mass))
            EXPECT_NE(f[0], 0.0f) << r.code;
        else
            EXPECT_FLOAT_EQ(f[0], r.mass) << r.code;
        EXPECT_EQ(f[0] > 0, r.qn > 0) << "outflow only where the cell flows out, code " << r.code;
    }
    // Velocity codes: V > 0 lets V*h out; V <= 0 closes.
    setDischarge(0.0f, 0.5f);
    for (int code : {106, 108, 323, 325, 110, 327, 329}) {
        std::vector<float> D(7, 0.0f);
        D[code == 329 ? 5 : (code == 110 || code == 327) ? 1 : 3] = 0.4f;
        const Flux f = run(code, 1, D);
        EXPECT_FLOAT_EQ(f[0], 0.4f) << code;
        // 110, 327 and 329 carry the cell's tangential velocity out with the water.
        const bool carries = code == 110 || code == 327 || code == 329;
        EXPECT_CLOSE(tangentialPart(f), carries ? 0.5 * 0.4 : 0.0, 1e-5, 1e-5) << code;
        EXPECT_TRUE(same(run(code, -1, D), wall())) << code;
    }
}

TEST_F(HydraulicBoundary, InflowMomentumUsesTheBoundaryDepth)
{
    // Wet subcritical cell: the cell depth carries Q (momentum Q^2/h + pressure).
    Flux f = run(100, -1, {0, 0.001f, 2.0f});
    EXPECT_CLOSE(normalPart(f), 4.0 / 1.0 + kG * 1.5 * (1.5 / 2 - 0.5), 1e-4, 1e-5);
    // Dry cell: the uniform-flow depth (Q^2 / (cf^2 g S))^(1/3) carries it.
    inner[0] = zL;
    f = run(100, -1, {0, 0.001f, 2.0f});
    const double hb = std::cbrt(4.0 / (100.0 * kG * 0.001));
    EXPECT_CLOSE(normalPart(f), 4.0 / hb + kG * (zL + hb) * ((zL + hb) / 2 - zL), 1e-3, 1e-5);
    // Friction off: no normal depth, and the Chezy value is not read; a supercritical cell uses its own depth.
    G_INT[slot::FrictionOn] = 0;
    chezy = 1.0e-3f;
    inner[0] = zL + 0.1f;
    setDischarge(0.0f, 2.0f);
    f = run(100, -1, {0, 0.001f, 2.0f});
    EXPECT_CLOSE(normalPart(f), 4.0 / 0.1 + kG * (zL + 0.1) * ((zL + 0.1) / 2 - zL), 1e-3, 1e-5);
    // 102 with D[1] >= 1 enters at critical depth: Q^2/hb = g hb^2, so the momentum is 1.5 g hb^2 over a zero bed.
    zL = 0.0f;
    f = run(102, -1, {0, 1.0f, 2.0f});
    const double hc = std::cbrt(4.0 / kG);
    EXPECT_CLOSE(normalPart(f), 1.5 * kG * hc * hc, 1e-4, 1e-5);
    // A water level equal to the cell's surface leaves a lake at rest.
    inner[0] = 1.5f;
    setDischarge(0.0f, 0.0f);
    f = run(114, 1, {1.5f, 1.0f});
    EXPECT_CLOSE(f[0], 0.0, 1e-6, 0.0);
    EXPECT_CLOSE(normalPart(f), normalPart(wall()), 1e-4, 1e-5);
}

TEST_F(HydraulicBoundary, TwoCellCodesCoupleBothCells)
{
    const float PR = kG * 1.0f * (1.0f / 2 - zR);
    const float PL = normalPart(wall());
    for (const Flux& f : {run(220, 1, {0, 1.0f}), run(216, 1, {0, 0.0f}), run(218, 1, {0, -1.0f})}) {
        EXPECT_EQ(f[0], 0.0f);
        EXPECT_CLOSE(normalPart(f), PL, 1e-5, 1e-5);
        EXPECT_CLOSE(f[3], -0.6f * PR, 1e-5, 1e-5);
        EXPECT_CLOSE(f[4], -0.8f * PR, 1e-5, 1e-5);
    }
    // 216 from left to right: velocity times the inner depth; the right cell keeps its pressure.
    Flux f = run(216, 1, {0, 0.5f});
    EXPECT_FLOAT_EQ(f[0], 0.5f * 1.0f);
    EXPECT_CLOSE(f[3], -0.6f * PR, 1e-5, 1e-5);
    // 216 with a factor below 1: from right to left through the right depth; the left keeps its pressure.
    f = run(216, -1, {0, 0.5f});
    EXPECT_FLOAT_EQ(f[0], -0.5f * 0.6f);
    EXPECT_CLOSE(normalPart(f), PL, 1e-5, 1e-5);
    // 218 with an open gate is the internal solver between both cells.
    Flux internal{};
    hydrodynamic_solver(n, inner, zL, 1, second, zR, 1, internal.data());
    EXPECT_TRUE(same(run(218, 1, {0, 1.0f}), internal));
}

class NodeString : public hydtest::HydraulicKernels {
protected:
    static constexpr int kEdges = 3;
    float length[kEdges] = {2.0f, 1.0f, 3.0f};
    float massFlux[kEdges][5] = {{0.5f}, {0.2f}, {-0.1f}};
    float sediment[kEdges] = {0.01f, 0.05f, 0.03f};
    // Upstream cells: depths 0.8, 0.8 and 0 (dry, on the highest bed).
    float state[kEdges][3] = {{1.0f, 0.4f, 0.3f}, {1.2f, 0.0f, 0.0f}, {0.8f, 0.0f, 0.0f}};
    float bed[kEdges] = {0.2f, 0.4f, 0.8f};
    float area[kEdges] = {10.0f, 20.0f, 30.0f};
    float chezy = 100.0f, theta = 0.1f, grain = 0.002f;
    int sign[40] = {1, -1, 1};

    std::array<float, 10> run(int edges, int morphology, int frictionMorphology)
    {
        const float *L[40], *F[40], *Fm[40], *C[40], *S[40], *Z[40], *A[40];
        for (int i = 0; i < kEdges; ++i) {
            L[i] = &length[i], F[i] = massFlux[i], Fm[i] = &sediment[i], C[i] = &chezy;
            S[i] = state[i], Z[i] = &bed[i], A[i] = &area[i];
        }
        std::array<float, 10> sv;
        sv.fill(-7.0f);
        const float* thetaRow[40];
        const float* grainRow[40];
        for (int i = 0; i < kEdges; ++i) thetaRow[i] = &theta, grainRow[i] = &grain;
        // Switched-off arguments arrive as null rows: the kernel must not touch them.
        kernel_TOPOLOGY_NodeStringStates(&morphology, &frictionMorphology, &edges, sign, L, F,
                                         morphology ? Fm : nullptr, frictionMorphology ? C : nullptr,
                                         morphology ? thetaRow : nullptr, morphology ? grainRow : nullptr, S, Z, A,
                                         sv.data());
        return sv;
    }
};

TEST_F(NodeString, StatesIntegrateTheWetEdgesOnly)
{
    const auto sv = run(kEdges, 0, 0);
    const float expected[10] = {(1.0f * 2 + 1.2f) / 3,
                                2 * 0.5f - 0.2f,
                                0.8f * 3,
                                (0.2f * 2 + 0.4f) / 3,
                                0.2f,
                                3.0f,
                                10 * 0.8f + 20 * 0.8f,
                                0,
                                0,
                                0};
    for (int k = 0; k < 10; ++k) EXPECT_CLOSE(sv[k], expected[k], 1e-5, 1e-5) << "slot " << k;
    // Reversing the string's orientation reverses its discharge only.
    for (int& s : sign) s = -s;
    const auto flipped = run(kEdges, 0, 0);
    EXPECT_FLOAT_EQ(flipped[1], -sv[1]);
    EXPECT_FLOAT_EQ(flipped[0], sv[0]);
    // All upstream cells dry: no wetted part, but the lowest bed; no edges at all: the 1e6 sentinel.
    for (auto& s : state) s[0] = 0.0f;
    const auto dry = run(kEdges, 1, 1);
    const auto empty = run(0, 0, 0);
    for (int k : {0, 1, 2, 3, 5, 6, 7, 8, 9}) {
        EXPECT_EQ(dry[k], 0.0f) << k;
        EXPECT_EQ(empty[k], 0.0f) << k;
    }
    EXPECT_FLOAT_EQ(dry[4], 0.2f);
    EXPECT_FLOAT_EQ(empty[4], 1.0e6f);
}

TEST_F(NodeString, MorphologyAddsConveyanceSedimentAndCapacity)
{
    G_INT[slot::BeadloadType] = 3;  // velocity form: A * max(u - uc, 0)^B
    G_REAL[slot::BedloadCoeff] = 2.0f;
    G_REAL[slot::BedloadExpon] = 1.0f;
    auto sv = run(kEdges, 1, 1);
    EXPECT_CLOSE(sv[7], 0.8 * 3 * std::sqrt(100 * 0.8), 1e-4, 1e-5);
    EXPECT_CLOSE(sv[8], (2 * 0.01 - 1 * 0.05) * (1 - 0.4), 1e-7, 1e-5);
    // Only edge 0 moves: u = 0.5 / 0.8 above the critical 0.1.
    EXPECT_CLOSE(sv[9], 2 * 2.0 * (0.5 / 0.8 - 0.1), 1e-5, 1e-5);
    sv = run(kEdges, 1, 0);  // no friction: no conveyance
    EXPECT_EQ(sv[7], 0.0f);
}

}  // namespace
