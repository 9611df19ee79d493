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
    // Inner cell: 1 m of water over bed 0.5 (surface 1.5); right cell of the 2xx codes: 0.6 m over bed 0.4.
    float inner[3] = {1.5f, 0.0f, 0.0f};
    float zL = 0.5f;
    float second[3] = {1.0f, 0.2f, -0.1f};
    float zR = 0.4f;
    float n[2] = {0.6f, 0.8f};
    float chezy = 100.0f;
    float charSize[2] = {4.0f, 4.0f};

    Flux run(int code, int factor, std::vector<float> values, bool friction = true)
    {
        values.resize(7, 0.0f);
        const int type[2] = {code, factor};
        Flux f{};
        kernel_HYDRAULICS_Boundary(type, values.data(), n, inner, second, &zL, &zR, friction ? &chezy : nullptr,
                                   charSize, f.data());
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
    static float normalPart(const Flux& f) { return f[1] * 0.6f + f[2] * 0.8f; }
    static float tangentialPart(const Flux& f) { return -f[1] * 0.8f + f[2] * 0.6f; }
};

#define EXPECT_FLUX_EQ(a, b)                                              \
    for (int k_ = 0; k_ < 5; ++k_) {                                      \
        EXPECT_CLOSE((a)[k_], (b)[k_], 1e-5, 1e-5) << "component " << k_; \
    }

TEST_F(HydraulicBoundary, WallPressureIsThePrebalancedColumn)
{
    const Flux w = wall();
    const double p = kG * 1.5 * (1.5 / 2 - 0.5);
    EXPECT_EQ(w[0], 0.0f);
    EXPECT_CLOSE(w[1], 0.6 * p, 1e-6, 1e-6);
    EXPECT_CLOSE(w[2], 0.8 * p, 1e-6, 1e-6);
    EXPECT_EQ(w[3], 0.0f);
    EXPECT_EQ(w[4], 0.0f);
    // Unknown codes close the edge like a wall.
    EXPECT_FLUX_EQ(run(0, 1, {}), w);
    EXPECT_FLUX_EQ(run(999, 1, {}), w);
}

TEST_F(HydraulicBoundary, DischargeCodesCloseForOutflowAndImposeInflow)
{
    // Outflow values (positive) close 100, 102 and 330; the sign factor turns the same value into inflow.
    EXPECT_FLUX_EQ(run(100, 1, {0, 0.001f, 2.0f}), wall());
    EXPECT_FLUX_EQ(run(102, 1, {0, 0.0f, 2.0f}), wall());
    EXPECT_FLUX_EQ(run(330, 1, {0, 2.0f}), wall());

    // 100 into a wet subcritical cell: the cell depth carries the inflow, no tangential momentum.
    Flux f = run(100, -1, {0, 0.001f, 2.0f});
    EXPECT_FLOAT_EQ(f[0], -2.0f);
    EXPECT_CLOSE(normalPart(f), 4.0 / 1.0 + kG * 1.5 * (1.5 / 2 - 0.5), 1e-4, 1e-5);
    EXPECT_CLOSE(tangentialPart(f), 0.0, 1e-5, 0.0);
    // 100 into a dry cell: the uniform-flow depth (Q^2 / (cf^2 g S))^(1/3) carries it.
    inner[0] = zL;
    f = run(100, -1, {0, 0.001f, 2.0f});
    const double hb = std::cbrt(4.0 / (100.0 * kG * 0.001));
    EXPECT_CLOSE(normalPart(f), 4.0 / hb + kG * (zL + hb) * ((zL + hb) / 2 - zL), 1e-3, 1e-5);
    // Without friction there is no normal depth: the inflow enters through the cell's own depth.
    G_INT[slot::FrictionOn] = 0;
    chezy = 1.0e-3f;  // must not be read
    inner[0] = zL + 0.1f;
    setDischarge(0.0f, 2.0f);  // supercritical along the edge
    f = run(100, -1, {0, 0.001f, 2.0f});
    EXPECT_CLOSE(normalPart(f), 4.0 / 0.1 + kG * (zL + 0.1) * ((zL + 0.1) / 2 - zL), 1e-3, 1e-5);
    G_INT[slot::FrictionOn] = 1;
    setDischarge(0.0f, 0.0f);
    // 102 with D[1] >= 1 enters at critical depth: Q^2/hb equals g hb^2, momentum 1.5 g hb^2 over a zero bed.
    zL = 0.0f;
    f = run(102, -1, {0, 1.0f, 2.0f});
    const double hc = std::cbrt(4.0 / kG);
    EXPECT_FLOAT_EQ(f[0], -2.0f);
    EXPECT_CLOSE(normalPart(f), 1.5 * kG * hc * hc, 1e-4, 1e-5);
    // Pure mass inflows 326, 328 and 330 keep the cell's pressure.
    inner[0] = 1.0f;
    const float P = kG * 1.0f * 0.5f;
    f = run(326, 1, {0, -1.0f, -0.7f});
    EXPECT_FLOAT_EQ(f[0], -0.7f);
    EXPECT_CLOSE(normalPart(f), P, 1e-5, 1e-5);
    EXPECT_FLUX_EQ(run(326, 1, {0, 1.0f, -0.7f}), wall());
    EXPECT_FLOAT_EQ(run(328, 1, {0, 0, 0, 0, 0, -0.5f, 3.0f})[0], -1.5f);
    EXPECT_FLUX_EQ(run(328, 1, {0, 0, 0, 0, 0, 0.5f, 3.0f}), wall());
    EXPECT_FLOAT_EQ(run(330, -1, {0, 0.25f})[0], -0.25f);
    // 322 and 324 impose s*D[3]*D[4] with the cell's momentum.
    for (int code : {322, 324}) {
        EXPECT_FLOAT_EQ(run(code, 1, {0, 0, 0, -0.5f, 2.0f})[0], -1.0f);
        EXPECT_FLUX_EQ(run(code, 1, {0, 0, 0, 0.5f, 2.0f}), wall());
    }
}

TEST_F(HydraulicBoundary, VelocityAndFreeOutflowCodesCloseForInflow)
{
    const float h = 1.0f;
    for (int code : {106, 108, 323, 325}) {
        EXPECT_FLUX_EQ(run(code, 1, {0, 0, 0, -0.3f}), wall());
        const Flux f = run(code, 1, {0, 0, 0, 0.3f});
        EXPECT_FLOAT_EQ(f[0], 0.3f * h) << code;
        EXPECT_CLOSE(normalPart(f), normalPart(wall()), 1e-5, 1e-5);
    }
    setDischarge(0.0f, 0.5f);  // tangential flow is carried out with the outflow
    for (int code : {110, 327, 329}) {
        std::vector<float> values(7, 0.0f);
        values[code == 329 ? 5 : 1] = 0.4f;
        const Flux f = run(code, 1, values);
        EXPECT_FLOAT_EQ(f[0], 0.4f) << code;
        EXPECT_CLOSE(tangentialPart(f), 0.5 * 0.4 / h, 1e-5, 1e-5) << code;
        values[code == 329 ? 5 : 1] = -0.4f;
        EXPECT_FLUX_EQ(run(code, 1, values), wall());
    }
    // 112 lets the cell's own normal discharge out, never in; 104 likewise through its normal-depth ghost.
    setDischarge(-0.3f, 0.5f);
    EXPECT_FLUX_EQ(run(112, 1, {}), wall());
    EXPECT_FLUX_EQ(run(104, 1, {0.001f}), wall());
    setDischarge(0.3f, 0.5f);
    Flux f = run(112, 1, {});
    EXPECT_FLOAT_EQ(f[0], 0.3f);
    EXPECT_CLOSE(tangentialPart(f), 0.5 * 0.3 / h, 1e-5, 1e-5);
    f = run(104, 1, {0.001f});
    EXPECT_GT(f[0], 0.0f);
    EXPECT_LT(f[0], 1.0f);
}

TEST_F(HydraulicBoundary, WaterLevelCodesLetWaterOutOrInByLevel)
{
    // 114 with the level below bed + hmin: a zero-depth ghost drains, never fills.
    setDischarge(-0.2f, 0.0f);
    EXPECT_FLUX_EQ(run(114, 1, {zL, 1.0f}), wall());
    setDischarge(0.2f, 0.0f);
    EXPECT_GT(run(114, 1, {zL + 0.005f, 1.0f})[0], 0.0f);
    // Level above the bed: inflow only when D[1] = 1; a lake at the same level stays at rest.
    setDischarge(0.0f, 0.0f);
    EXPECT_FLUX_EQ(run(114, 1, {2.0f, 0.0f}), wall());
    EXPECT_LT(run(114, 1, {2.0f, 1.0f})[0], 0.0f);
    const Flux rest = run(114, 1, {1.5f, 1.0f});
    EXPECT_CLOSE(rest[0], 0.0, 1e-6, 0.0);
    EXPECT_CLOSE(normalPart(rest), normalPart(wall()), 1e-4, 1e-5);
    // 331 drains to a lower level, closes when the cell's flow points inwards.
    setDischarge(0.2f, 0.0f);
    EXPECT_GT(run(331, 1, {1.0f})[0], 0.0f);
    setDischarge(-0.2f, 0.0f);
    EXPECT_FLUX_EQ(run(331, 1, {1.0f}), wall());
}

TEST_F(HydraulicBoundary, TwoCellCodesCoupleBothCells)
{
    const float PR = kG * 1.0f * (1.0f / 2 - zR);
    const float PL = normalPart(wall());
    auto expectClosed = [&](const Flux& f) {
        EXPECT_EQ(f[0], 0.0f);
        EXPECT_CLOSE(normalPart(f), PL, 1e-5, 1e-5);
        EXPECT_CLOSE(f[3], -0.6f * PR, 1e-5, 1e-5);
        EXPECT_CLOSE(f[4], -0.8f * PR, 1e-5, 1e-5);
    };
    expectClosed(run(220, 1, {0, 1.0f}));
    expectClosed(run(216, 1, {0, 0.0f}));
    expectClosed(run(218, 1, {0, -1.0f}));
    // 216 from left to right: velocity times the inner depth; the right cell keeps its pressure.
    Flux f = run(216, 1, {0, 0.5f});
    EXPECT_FLOAT_EQ(f[0], 0.5f * 1.0f);
    EXPECT_CLOSE(f[3], -0.6f * PR, 1e-5, 1e-5);
    // 216 from right to left (factor below 1): the right depth carries it and the left keeps its pressure.
    f = run(216, -1, {0, 0.5f});
    EXPECT_FLOAT_EQ(f[0], -0.5f * 0.6f);
    EXPECT_CLOSE(normalPart(f), PL, 1e-5, 1e-5);
    // 218 with an open gate is the internal solver between both cells.
    f = run(218, 1, {0, 1.0f});
    Flux internal{};
    hydrodynamic_solver(n, inner, zL, 1, second, zR, 1, internal.data());
    EXPECT_FLUX_EQ(f, internal);
}

class NodeString : public hydtest::HydraulicKernels {
protected:
    static constexpr int kEdges = 3;
    float length[kEdges] = {2.0f, 1.0f, 3.0f};
    float massFlux[kEdges][5] = {{0.5f}, {0.2f}, {-0.1f}};
    float sediment[kEdges] = {0.01f, 0.05f, 0.03f};
    float state[kEdges][3] = {{1.0f, 0.4f, 0.3f}, {1.2f, 0.0f, 0.0f}, {0.8f, 0.0f, 0.0f}};  // last one dry
    float bed[kEdges] = {0.2f, 0.4f, 0.8f};
    float area[kEdges] = {10.0f, 20.0f, 30.0f};
    float chezy[kEdges] = {100.0f, 100.0f, 100.0f};
    float theta[kEdges] = {0.1f, 0.1f, 0.1f};
    float grain[kEdges] = {0.002f, 0.002f, 0.002f};
    int sign[40] = {1, -1, 1};

    std::array<float, 10> run(int edges, int morphology, int frictionMorphology)
    {
        const float *L[40], *F[40], *Fm[40], *C[40], *T[40], *D[40], *S[40], *Z[40], *A[40];
        for (int i = 0; i < kEdges; ++i) {
            L[i] = &length[i], F[i] = massFlux[i], Fm[i] = &sediment[i], C[i] = &chezy[i], T[i] = &theta[i];
            D[i] = &grain[i], S[i] = state[i], Z[i] = &bed[i], A[i] = &area[i];
        }
        std::array<float, 10> sv;
        sv.fill(-7.0f);
        // Switched-off arguments arrive as null rows: the kernel must not touch them.
        kernel_TOPOLOGY_NodeStringStates(&morphology, &frictionMorphology, &edges, sign, L, F,
                                         morphology ? Fm : nullptr, frictionMorphology ? C : nullptr,
                                         morphology ? T : nullptr, morphology ? D : nullptr, S, Z, A, sv.data());
        return sv;
    }
};

TEST_F(NodeString, StatesIntegrateTheWetEdgesOnly)
{
    const auto sv = run(kEdges, 0, 0);
    // Wet edges 0 (h 0.8, L 2) and 1 (h 0.8, L 1); edge 2 is dry but its bed is still the lowest candidate.
    EXPECT_CLOSE(sv[0], (1.0 * 2 + 1.2 * 1) / 3.0, 1e-6, 1e-6);
    EXPECT_CLOSE(sv[1], 2 * 0.5 - 1 * 0.2, 1e-6, 1e-6);
    EXPECT_CLOSE(sv[2], 0.8 * 2 + 0.8 * 1, 1e-6, 1e-6);
    EXPECT_CLOSE(sv[3], (0.2 * 2 + 0.4 * 1) / 3.0, 1e-6, 1e-6);
    EXPECT_FLOAT_EQ(sv[4], 0.2f);
    EXPECT_FLOAT_EQ(sv[5], 3.0f);
    EXPECT_CLOSE(sv[6], 10 * 0.8 + 20 * 0.8, 1e-5, 1e-6);
    EXPECT_EQ(sv[7], 0.0f);
    EXPECT_EQ(sv[8], 0.0f);
    EXPECT_EQ(sv[9], 0.0f);
    // Reversing the string's orientation reverses its discharge and nothing else.
    for (int& s : sign) s = -s;
    const auto flipped = run(kEdges, 0, 0);
    EXPECT_FLOAT_EQ(flipped[1], -sv[1]);
    EXPECT_FLOAT_EQ(flipped[0], sv[0]);
}

TEST_F(NodeString, DryAndEmptyStringsHaveNoWettedPart)
{
    for (auto& s : state) s[0] = 0.0f;  // every upstream cell dry
    const auto sv = run(kEdges, 1, 1);
    for (int k : {0, 1, 2, 3, 5, 6, 7, 8, 9}) EXPECT_EQ(sv[k], 0.0f) << k;
    EXPECT_FLOAT_EQ(sv[4], 0.2f);
    const auto empty = run(0, 0, 0);
    for (int k : {0, 1, 2, 3, 5, 6, 7, 8, 9}) EXPECT_EQ(empty[k], 0.0f) << k;
    EXPECT_FLOAT_EQ(empty[4], 1.0e6f);
}

TEST_F(NodeString, MorphologyAddsConveyanceSedimentAndCapacity)
{
    G_INT[slot::BeadloadType] = 3;  // velocity form: A * max(u - uc, 0)^B
    G_REAL[slot::BedloadCoeff] = 2.0f;
    G_REAL[slot::BedloadExpon] = 1.0f;
    auto sv = run(kEdges, 1, 1);
    EXPECT_CLOSE(sv[7], 0.8 * 2 * std::sqrt(100 * 0.8) + 0.8 * 1 * std::sqrt(100 * 0.8), 1e-4, 1e-5);
    EXPECT_CLOSE(sv[8], (2 * 0.01 - 1 * 0.05) * (1 - 0.4), 1e-7, 1e-5);
    // Only edge 0 moves: u = 0.5 / 0.8 above the critical 0.1.
    EXPECT_CLOSE(sv[9], 2 * 2.0 * (0.5 / 0.8 - 0.1), 1e-5, 1e-5);
    // Without friction the conveyance is not accumulated.
    sv = run(kEdges, 1, 0);
    EXPECT_EQ(sv[7], 0.0f);
    EXPECT_CLOSE(sv[9], 2 * 2.0 * (0.5 / 0.8 - 0.1), 1e-5, 1e-5);
}

}  // namespace
