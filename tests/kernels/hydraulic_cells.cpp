// Hydraulic cell kernels (wet flags, roughness closures, friction, the explicit update with its mass check, sources,
// flood tracking, the domain's time-step rule), the boundary fluxes by type code, the node-string states, and the
// series look-up, interpolation and data modifications that feed the boundaries.
#include <cmath>
#include <string>
#include <vector>

#include "kernels/KernelTest.hpp"
#include "model/Dimensions.hpp"
#include "simulation/kernels/DataSeries.hpp"
#include "simulation/kernels/HydraulicSolver.hpp"
#include "simulation/kernels/HydraulicsBoundary.hpp"
#include "simulation/kernels/HydraulicsCell.hpp"
#include "simulation/kernels/KernelMessages.hpp"
#include "support/Text.hpp"
#include "support/Tolerance.hpp"

using hydtest::Flux;
using hydtest::kG;
using hydtest::kHmin;

namespace {

class HydraulicCell : public hydtest::HydraulicKernels {
protected:
    float closure(int type, float d, float r)
    {
        G_INT[slot::FrictionType] = type;
        return hydraulics::chezySquared(d, r);
    }
};

TEST_F(HydraulicCell, ClosuresAtKnownDepthsAndTheirJoins)
{
    EXPECT_CLOSE(closure(1, 1.0f, 0.03f), 1.0 / (0.03 * 0.03) / kG, 1e-3, 1e-6);              // Manning
    EXPECT_CLOSE(closure(1, 8.0f, 0.03f), 2.0 / (0.03 * 0.03) / kG, 1e-3, 1e-6);              // Manning, d^(1/3)
    EXPECT_CLOSE(closure(2, 8.0f, 30.0f), 2.0 * 900.0 / kG, 1e-3, 1e-6);                      // Strickler
    EXPECT_CLOSE(closure(3, 1.0f, 0.1f), std::pow(5.75 * std::log10(120.0), 2), 1e-3, 1e-6);  // log law
    EXPECT_CLOSE(closure(4, 1.0f, 1.0f), std::pow(1.25 * 2.388762789, 2), 1e-4, 1e-6);
    EXPECT_CLOSE(closure(4, 4.0f, 1.0f), std::pow(2.5 * std::sqrt(0.75) * (std::log(4.0) + 2.388762789), 2), 1e-4,
                 1e-6);
    EXPECT_FLOAT_EQ(closure(4, 0.4f, 1.0f), 2.25f);
    EXPECT_EQ(closure(9, 1.0f, 0.03f), 0.0f);
    // Manning and Strickler clamp the depth to the wet threshold; zero roughness n gives no Chezy value.
    EXPECT_FLOAT_EQ(closure(1, 0.0f, 0.03f), closure(1, kHmin, 0.03f));
    EXPECT_EQ(closure(1, 1.0f, 0.0f), 0.0f);
    // The log law is continuous where the depth reaches the roughness; the large-roughness law at d = 2 ks.
    EXPECT_CLOSE(closure(3, 0.10001f, 0.1f), closure(3, 0.1f, 0.1f), 1e-2, 0.0);
    EXPECT_CLOSE(closure(4, 2.0001f, 1.0f), closure(4, 1.9999f, 1.0f), 1e-2, 0.0);
    for (int type : {1, 2, 3, 4}) EXPECT_GT(closure(type, 3.0f, 0.05f), closure(type, 1.5f, 0.05f)) << type;
}

TEST_F(HydraulicCell, InitialFlagsAndFrictionClampTheDepth)
{
    const float bed = 1.0f;
    int wet = -1;
    const float atThreshold[3] = {bed + kHmin, 0, 0}, above[3] = {bed + 2 * kHmin, 0, 0};
    kernel_HYDRAULICS_InitializeCellFeatures(atThreshold, &bed, &wet);
    EXPECT_EQ(wet, 0);
    kernel_HYDRAULICS_InitializeCellFeatures(above, &bed, &wet);
    EXPECT_EQ(wet, 1);
    // A dry cell under the log law: the initial value uses hmin (above ks), the friction step the raw depth (Manning
    // clamps both alike, see the closures).
    G_INT[slot::FrictionType] = 3;
    const float dt = 0.1f, r = 0.001f;
    float dry[3] = {bed, 0, 0}, initial = 0, stepped = 0;
    kernel_HYDRAULICS_InitializeFriction(dry, &bed, &r, &initial);
    kernel_HYDRAULICS_Friction(&dt, &bed, &r, &stepped, dry);
    EXPECT_CLOSE(initial, std::pow(5.75 * std::log10(12.0 * kHmin / r), 2), 1e-3, 1e-5);
    EXPECT_FLOAT_EQ(stepped, 38.505653f);
}

TEST_F(HydraulicCell, FrictionSlowsFlowWithoutReversingIt)
{
    const float bed = 0.0f, n = 0.03f;
    float cf2 = 0, rest[3] = {2.0f, 0.0f, 0.0f};
    const float dt = 1.0f;
    kernel_HYDRAULICS_Friction(&dt, &bed, &n, &cf2, rest);
    EXPECT_EQ(rest[1], 0.0f);
    EXPECT_EQ(rest[2], 0.0f);
    EXPECT_GT(cf2, 0.0f);
    float previous = 1.0f;
    for (float step : {0.1f, 1.0f, 100.0f, 1.0e6f}) {
        float s[3] = {0.5f, 0.6f, -0.8f};
        kernel_HYDRAULICS_Friction(&step, &bed, &n, &cf2, s);
        EXPECT_EQ(s[0], 0.5f);
        EXPECT_CLOSE(s[1] / s[2], 0.6 / -0.8, 1e-6, 1e-5);  // direction kept
        const float magnitude = std::hypot(s[1], s[2]);
        EXPECT_LT(magnitude, previous) << "longer steps must slow the flow more, dt = " << step;
        EXPECT_GT(s[1], 0.0f) << "semi-implicit friction never reverses the flow, dt = " << step;
        previous = magnitude;
    }
    // In the limit of a very long step the two stages keep 5/8 of the discharge (damped, bounded, same sign).
    EXPECT_CLOSE(previous, 0.625, 1e-4, 0.0);
}

class CellUpdate : public hydtest::HydraulicKernels {
protected:
    float length[3] = {1.0f, 1.0f, 1.4142135f};
    float area = 0.5f, dt = 0.01f, bed = 0.0f;
    int id = 42, wet = 1, sign[3] = {1, 1, 1};
    int run(float* state, float (&fluxes)[3][5], int* flag = nullptr, const float* sediment = nullptr)
    {
        const float* L[3] = {&length[0], &length[1], &length[2]};
        const float* F[3] = {fluxes[0], fluxes[1], fluxes[2]};
        const float* M[3] = {sediment, sediment + 1, sediment + 2};
        int ok = 1, morphology = sediment ? 1 : 0;
        int* target = flag ? flag : &ok;
        kernel_GLOBAL_Update(&id, &dt, &morphology, &area, L, F, sediment ? M : nullptr, sign, state, &bed, &wet,
                             target);
        return *target;
    }
};

TEST_F(CellUpdate, EachEdgeCountsWithItsSignAndEachSideWithItsOwnMomentum)
{
    // Distinct fluxes on all three edges; the cell is the right cell of edge 1. Volume, momentum and bed follow
    // sum_e sign_e * L_e * F_e with the left (1, 2) or right (3, 4) momentum columns.
    float fluxes[3][5] = {{0.2f, 1.0f, 2.0f, 3.0f, 4.0f}, {0.1f, 5.0f, 6.0f, 7.0f, 8.0f}, {-0.05f, 0.5f, 0.3f, 9, 9}};
    const float sediment[3] = {0.05f, 0.02f, 0.01f};
    sign[1] = -1;
    const double k = dt / area, L2 = 1.4142135, water = 0.2 - 0.1 + L2 * -0.05;
    float s[3] = {1.0f, 0, 0};
    run(s, fluxes);
    EXPECT_CLOSE(s[0], 1.0 - k * water, 1e-6, 1e-5);
    EXPECT_CLOSE(s[1], -k * (1.0 + 7.0 + L2 * 0.5), 1e-6, 1e-5);
    EXPECT_CLOSE(s[2], -k * (2.0 + 8.0 + L2 * 0.3), 1e-6, 1e-5);
    // With morphology the bed follows the sediment fluxes and the depth only the water.
    s[0] = 1.0f;
    run(s, fluxes, nullptr, sediment);
    EXPECT_CLOSE(bed, -k * (0.05 - 0.02 + L2 * 0.01), 1e-7, 1e-5);
    EXPECT_CLOSE(s[0] - bed, 1.0 - k * water, 1e-6, 1e-5);
}

TEST_F(CellUpdate, WetThresholdAndMassCheck)
{
    // A depth of exactly hmin after the update dries the cell and drops its discharge; the next float above
    // keeps both.
    float still[3][5] = {};
    for (float h : {kHmin, std::nextafter(kHmin, 1.0f)}) {
        float s[3] = {h, 0.3f, 0.4f};
        const bool kept = h > kHmin;
        EXPECT_EQ(run(s, still), 1);
        EXPECT_TRUE(wet == kept && s[1] == (kept ? 0.3f : 0.0f) && s[2] == (kept ? 0.4f : 0.0f)) << h;
    }

    dt = 0.5f;
    area = 1.0f;
    bed = 0.1f;
    float fluxes[3][5] = {{0.08f}, {0.1f}, {}};  // outflow 0.5 * (0.08 + 0.1) = 0.09 m
    // Too much outflow: the message is printed, the flag drops, the state stays as computed, wet is untouched.
    G_Debug = 1;
    float empty[3] = {0.15f, 0.0f, 0.0f};
    testing::internal::CaptureStdout();
    EXPECT_EQ(run(empty, fluxes), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(wet, 1);
    EXPECT_CLOSE(empty[0], 0.15 - 0.09, 1e-6, 0.0);
    EXPECT_EQ(out.rfind("MASS BALANCE PROBLEM: h = -0.0", 0), 0u) << out;
    EXPECT_NE(out.find("< 0.0\n... in cell 42\n"), std::string::npos) << out;

    // A failed cell keeps the flag at 0 whatever cells follow. Within one loop call only 10 failing cells print;
    // the call's end counts the others.
    int flag = 1;
    float fine[3] = {2.0f, 0, 0};
    testing::internal::CaptureStdout();
    {
        const kernelmessages::LoopCall call("kernel_GLOBAL_Update");
        for (int i = 0; i < 25; ++i) {
            float failing[3] = {0.15f, 0, 0};
            run(failing, fluxes, &flag);
        }
        run(fine, still, &flag);
    }
    const std::string bounded = testing::internal::GetCapturedStdout();
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(testsupport::countOf(bounded, "MASS BALANCE PROBLEM: h = "), 10) << bounded;
    EXPECT_EQ(bounded.substr(bounded.rfind("...")),
              "... 15 more such messages of kernel_GLOBAL_Update in this step not shown\n");
}

TEST_F(HydraulicCell, SinksByBehaviour)
{
    const float bed = 1.0f, dt = 10.0f;
    float H = 0;
    int wet = 1;
    std::string out;
    auto apply = [&](int code, float rate, float start) {
        float s[3] = {start, 0.2f, 0.1f};
        const float row[2] = {0.0f, rate};
        int ok = 1;
        testing::internal::CaptureStdout();
        kernel_HYDRAULICS_Source(&dt, row, &code, &bed, s, &wet, &ok);
        out = testing::internal::GetCapturedStdout();
        H = s[0];
        return ok;
    };
    // A sink larger than the water present: 11 and 21 empty the cell silently, 10 overdraws and reports.
    for (int code : {11, 21}) {
        EXPECT_EQ(apply(code, -0.01f, 1.05f), 1);
        EXPECT_CLOSE(H, bed, 1e-6, 0.0);
        EXPECT_EQ(wet, 0);
        EXPECT_TRUE(out.empty());
    }
    EXPECT_EQ(apply(10, -0.01f, 1.05f), 0);
    EXPECT_CLOSE(H, 0.95, 1e-6, 0.0);
    EXPECT_EQ(out.rfind("MASS BALANCE PROBLEM: h = -0.0", 0), 0u) << out;
    EXPECT_NE(out.find(" < 0.0\n"), std::string::npos) << out;
    // 12 removes all water for any negative rate; sources add rate * dt in every behaviour; other codes do nothing.
    EXPECT_EQ(apply(12, -1.0e-6f, 3.0f), 1);
    EXPECT_CLOSE(H, bed, 1e-6, 0.0);
    const std::pair<int, double> sources[] = {{10, 1.15}, {11, 1.15}, {12, 1.15}, {20, 1.15}, {22, 1.15},
                                              {0, 1.05},  {13, 1.05}, {23, 1.05}, {30, 1.05}};
    for (const auto& [code, after] : sources) {
        apply(code, 0.01f, 1.05f);
        EXPECT_CLOSE(H, after, 1e-6, 0.0) << code;
        EXPECT_TRUE(after < 1.1 || wet == 1) << code;
    }
}

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
    static bool same(const Flux& a, const Flux& b)
    {
        for (int k = 0; k < 5; ++k)
            if (std::fabs(a[k] - b[k]) > 1e-5f * (1 + std::fabs(b[k]))) return false;
        return true;
    }
};

TEST_F(HydraulicBoundary, EveryCodeClosesOrOpensByItsRow)
{
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
        SCOPED_TRACE(testing::Message() << "code " << r.code << " s " << r.s);
        setDischarge(r.qn, 0.0f);
        const Flux f = run(r.code, r.s, r.D);
        EXPECT_EQ(same(f, wall()), r.closed);
        if (r.closed) continue;
        if (std::isnan(r.mass))
            EXPECT_NE(f[0], 0.0f);
        else
            EXPECT_FLOAT_EQ(f[0], r.mass);
        EXPECT_EQ(f[0] > 0, r.qn > 0) << "outflow only where the cell flows out";
    }
    // Velocity codes: V > 0 lets V*h out, 110, 327 and 329 with the cell's tangential velocity; V <= 0 closes.
    setDischarge(0.0f, 0.5f);
    for (int code : {106, 108, 323, 325, 110, 327, 329}) {
        std::vector<float> D(7, 0.0f);
        D[code == 329 ? 5 : (code == 110 || code == 327) ? 1 : 3] = 0.4f;
        const Flux f = run(code, 1, D);
        EXPECT_FLOAT_EQ(f[0], 0.4f) << code;
        const bool carries = code == 110 || code == 327 || code == 329;
        EXPECT_CLOSE(-f[1] * n[1] + f[2] * n[0], carries ? 0.5 * 0.4 : 0.0, 1e-5, 1e-5) << code;
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
    const float PR = kG * 1.0f * (1.0f / 2 - zR), PL = normalPart(wall());
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
        const float *L[40], *F[40], *Fm[40], *C[40], *S[40], *Z[40], *A[40], *T[40], *D[40];
        for (int i = 0; i < kEdges; ++i) {
            L[i] = &length[i], F[i] = massFlux[i], Fm[i] = &sediment[i], C[i] = &chezy;
            S[i] = state[i], Z[i] = &bed[i], A[i] = &area[i], T[i] = &theta, D[i] = &grain;
        }
        std::array<float, 10> sv;
        sv.fill(-7.0f);
        // Switched-off arguments arrive as null rows: the kernel must not touch them.
        kernel_TOPOLOGY_NodeStringStates(&morphology, &frictionMorphology, &edges, sign, L, F, morphology ? Fm : nullptr,
                                         frictionMorphology ? C : nullptr, morphology ? T : nullptr,
                                         morphology ? D : nullptr, S, Z, A, sv.data());
        return sv;
    }
};

TEST_F(NodeString, StatesIntegrateTheWetEdgesOnly)
{
    const auto sv = run(kEdges, 0, 0);
    const float expected[10] = {(1.0f * 2 + 1.2f) / 3, 2 * 0.5f - 0.2f, 0.8f * 3, (0.2f * 2 + 0.4f) / 3, 0.2f, 3.0f,
                                10 * 0.8f + 20 * 0.8f, 0, 0, 0};
    for (int k = 0; k < 10; ++k) EXPECT_CLOSE(sv[k], expected[k], 1e-5, 1e-5) << "slot " << k;
    // All upstream cells dry: no wetted part, but the lowest bed; no edges at all: the 1e6 sentinel.
    for (auto& s : state) s[0] = 0.0f;
    const auto dry = run(kEdges, 1, 1), empty = run(0, 0, 0);
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
    EXPECT_EQ(run(kEdges, 1, 0)[7], 0.0f) << "no friction: no conveyance";
}

class DataSeries : public hydtest::HydraulicKernels {
protected:
    std::vector<float> series = std::vector<float>(model::Dimensions::InputSeriesMaxValues, 0.0f);
    int size = 0;
    void setPairs(std::initializer_list<float> xy)
    {
        std::fill(series.begin(), series.end(), 0.0f);
        std::copy(xy.begin(), xy.end(), series.begin());
        size = static_cast<int>(xy.size());
    }
    float at(float x) const { return hydraulics::seriesLookup(series.data(), size, x); }
};

TEST_F(DataSeries, LookupHoldsEndsAndInterpolatesInside)
{
    setPairs({10.0f, 1.0f, 20.0f, 3.0f, 40.0f, -1.0f});
    const float x[] = {-5.0f, 10.0f, 15.0f, 20.0f, 30.0f, 40.0f, 1.0e5f}, y[] = {1.0f, 1.0f, 2.0f, 3.0f, 1.0f, -1, -1};
    for (int k = 0; k < 7; ++k) EXPECT_FLOAT_EQ(at(x[k]), y[k]) << x[k];
    // A time series starting at time 0 interpolates on its first interval instead of taking 0 as its end.
    setPairs({0.0f, 2.0f, 10.0f, 4.0f});
    EXPECT_FLOAT_EQ(at(5.0f), 3.0f);
    EXPECT_FLOAT_EQ(at(50.0f), 4.0f);
    // One pair is a constant; an empty series gives 0.
    setPairs({3.0f, 7.5f});
    EXPECT_FLOAT_EQ(at(0.0f), 7.5f);
    EXPECT_FLOAT_EQ(at(9.0f), 7.5f);
    setPairs({});
    EXPECT_FLOAT_EQ(at(1.0f), 0.0f);
    // A completely full series holds its last value beyond its last pair.
    for (int j = 0; j < model::Dimensions::InputSeriesMaxValues / 2; ++j) {
        series[2 * j] = static_cast<float>(j + 1);
        series[2 * j + 1] = static_cast<float>(2 * j);
    }
    size = model::Dimensions::InputSeriesMaxValues;
    EXPECT_FLOAT_EQ(at(2.5f), 3.0f);
    EXPECT_FLOAT_EQ(at(1.0e7f), static_cast<float>(model::Dimensions::InputSeriesMaxValues - 2));
}

TEST_F(DataSeries, InterpolationKeysPickTheirAbscissaAndCellModificationsConvertToRates)
{
    setPairs({-1.0f, -10.0f, 1.0f, 10.0f, 3.0f, 30.0f});  // y = 10 x on [-1, 1], then 10 + 10 (x - 1)
    // Mean surface 2.0, discharge 0.5, ..., mean bed 1.5: depth 0.5. Keys 0 (time), 1 (depth), 2, 3, unknown 7.
    const float sv[10] = {2.0f, 0.5f, 0, 1.5f, 0, 0, 0, 0, 0, 0}, drySv[10] = {}, time = 0.2f;
    const int keys[5] = {0, 1, 2, 3, 7};
    const float expected[5] = {2.0f, 5.0f, 20.0f, 5.0f, 0.0f};
    for (int k = 0; k < 5; ++k) {
        float row[7] = {9, 9, 9, 9, 9, 9, 9};
        const int keyPostn[2] = {keys[k], 4};
        kernel_DATA_EdgeInterpolation(series.data(), &size, keyPostn, sv, &time, row);
        EXPECT_FLOAT_EQ(row[4], expected[k]) << "key " << keys[k];
        EXPECT_FLOAT_EQ(row[3] + row[5], 18.0f);
    }
    // A rating curve over the discharge of a dry node string (all states 0) is read at 0.
    float row[7] = {9, 9, 9, 9, 9, 9, 9};
    const int rating[2] = {3, 0};
    kernel_DATA_EdgeInterpolation(series.data(), &size, rating, drySv, &time, row);
    EXPECT_FLOAT_EQ(row[0], 0.0f);
    // Cells only know the time key.
    float source[2] = {5, 5};
    const int cellKey[2] = {0, 1}, cellOther[2] = {3, 0};
    kernel_DATA_CellInterpolation(series.data(), &size, cellKey, &time, source);
    kernel_DATA_CellInterpolation(series.data(), &size, cellOther, &time, source);
    EXPECT_FLOAT_EQ(source[1], 2.0f);
    EXPECT_FLOAT_EQ(source[0], 0.0f);
    // Cell modifications: 6 a total volume per area, 7 a rain rate in mm/h, others as rain.
    float rate[2] = {120.0f, 0.0f};
    const float area = 40.0f;
    for (const auto& [type, expect] : {std::pair<int, float>{6, 3.0f}, {7, 120.0f / 3.6e6f}, {3, 120.0f / 3.6e6f}}) {
        const int info[7] = {type, 1, 0};
        kernel_DATA_CellModification(info, &area, &time, rate);
        EXPECT_FLOAT_EQ(rate[1], expect) << type;
    }
}

class EdgeModification : public hydtest::HydraulicKernels {
protected:
    float sv[10] = {3.0f, 12.0f, 8.0f, 1.0f, 0.5f, 0, 0, 4.0f, 6.0f, 3.0f};
    float otherSv[10] = {};
    float tl0 = 20.0f, tl1 = 5.0f;
    float local[2] = {1.0f, 1.0e6f};
    float modify(int type, std::vector<float> row, std::vector<int> read = {}, float time = 0.0f)
    {
        row.resize(7, 0.0f);
        int info[7] = {type, 0, 1, 2, 3, 4, 5};
        for (size_t k = 0; k < read.size(); ++k) info[2 + k] = read[k];
        kernel_DATA_EdgeModification(info, sv, otherSv, &tl0, &tl1, &time, local, row.data());
        return row[0];
    }
};

TEST_F(EdgeModification, ConversionsUseLengthsAndAreasGuardedAndTheWeirNeedsHead)
{
    // Type and the row value it makes of the value 40, the node-string lengths 20 and 5 and the states above (wetted
    // area 8, conveyance 4, discharge 12, capacity 3): 40 per first length, per second length, per wetted area, per
    // conveyance, and states per length or area.
    const std::pair<int, float> conversions[] = {{1, 2.0f},  {10, 2.0f},        {2, 8.0f},         {4, 5.0f},
                                                 {11, 5.0f}, {9, 8.0f / 5.0f},  {12, 10.0f},       {16, 12.0f / 5.0f},
                                                 {13, 3.0f / 20.0f}, {14, 3.0f / 8.0f}, {15, 3.0f / 4.0f}};
    for (const auto& [type, expect] : conversions) EXPECT_FLOAT_EQ(modify(type, {0, 40.0f}), expect) << type;
    for (int type : {0, 6, 7, 17}) EXPECT_FLOAT_EQ(modify(type, {-3.0f, 40.0f}), -3.0f) << "unlisted " << type;
    // Weir: crest 3.2 above a surface of 3.0: nothing flows; crest 2.0: 1 m of head, coefficient 0.5 only; a
    // higher head gives more.
    EXPECT_FLOAT_EQ(modify(3, {0, 3.2f, 0.5f, 0.0f}, {1, 2, 3}), 0.0f);
    const float q = modify(3, {0, 2.0f, 0.5f, 0.0f}, {1, 2, 3});
    EXPECT_CLOSE(q, 20.0 * std::sqrt(2 * kG) * 0.5 * (2.0 / 3.0) / 8.0, 1e-5, 1e-5);
    sv[0] = 4.0f;
    EXPECT_GT(modify(3, {0, 2.0f, 0.5f, 0.0f}, {1, 2, 3}), q);
    // Zero lengths or areas give 0 instead of a division by zero.
    tl0 = 0.0f;
    sv[2] = 0.0f;
    EXPECT_FLOAT_EQ(modify(1, {7, 40.0f}), 0.0f);
    EXPECT_FLOAT_EQ(modify(4, {7, 40.0f}), 0.0f);
}

TEST_F(EdgeModification, TimeSwitchAndLevelSwitch)
{
    // Type 5: -1 up to and including the switch time, +1 afterwards.
    EXPECT_FLOAT_EQ(modify(5, {0, 100.0f}, {}, 99.0f), -1.0f);
    EXPECT_FLOAT_EQ(modify(5, {0, 100.0f}, {}, 100.0f), -1.0f);
    EXPECT_FLOAT_EQ(modify(5, {0, 100.0f}, {}, 100.5f), 1.0f);
    // Type 8: open value 16 (-> 2 per wetted area 8), closed value 0, close at level 3.5 after a delay, reopen at
    // level 2.5. Rows: level, delay, time, value, then the pending close time (0: not checked).
    auto gate = [&](float level, float delay, float time) {
        sv[0] = level;
        return modify(8, {0, 16.0f, 0.0f, 3.5f, delay, 2.5f}, {1, 2, 3, 4, 5}, time);
    };
    const float steps[][5] = {
        {3.0f, 0, 1.0f, 2.0f, 0},  {3.5f, 0, 2.0f, 0.0f, 0},  // closes in the pass that reaches the level
        {3.0f, 0, 3.0f, 0.0f, 0},  {2.5f, 0, 4.0f, 2.0f, 0},  // stays closed above the reopening level
        {3.6f, 10, 5.0f, 2.0f, 15}, {3.6f, 10, 12.0f, 2.0f, 15},  // the deadline is not pushed back
        {3.6f, 10, 15.0f, 2.0f, 0}, {3.6f, 10, 15.5f, 0.0f, 1e6f},
    };
    for (const auto& s : steps) {
        EXPECT_FLOAT_EQ(gate(s[0], s[1], s[2]), s[3]) << "t " << s[2];
        EXPECT_TRUE(s[4] == 0 || local[1] == s[4]) << "t " << s[2] << ": close pending at " << local[1];
        EXPECT_EQ(local[0] > 0.0f, s[3] > 0.0f) << "t " << s[2];
    }
    // Without a reopening level (0) a closed gate stays closed even when the water falls.
    local[0] = -1.0f;
    sv[0] = 0.1f;
    EXPECT_FLOAT_EQ(modify(8, {0, 16.0f, 0.0f, 3.5f, 0.0f, 0.0f}, {1, 2, 3, 4, 5}, 20.0f), 0.0f);
    // A level falling below the closing level cancels a pending close.
    local[0] = 1.0f;
    EXPECT_FLOAT_EQ(gate(3.6f, 10.0f, 30.0f), 2.0f);
    EXPECT_FLOAT_EQ(gate(3.0f, 10.0f, 31.0f), 2.0f);
    EXPECT_FLOAT_EQ(local[1], 1.0e6f);
}

}  // namespace
