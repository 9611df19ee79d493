// Cell kernels: wet flags, roughness closures, friction, the explicit update with its mass check, sources and
// flood tracking; and the domain's time-step and derived-parameter rules.
#include <cmath>
#include <string>

#include "kernels/HydraulicTestSetup.hpp"
#include "simulation/kernels/DomainRules.hpp"
#include "simulation/kernels/HydraulicSolver.hpp"
#include "simulation/kernels/HydraulicsCell.hpp"
#include "simulation/kernels/KernelMessages.hpp"
#include "support/Text.hpp"
#include "support/Tolerance.hpp"

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
    // Deeper water is smoother for every closure.
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

    // A dry cell under the log law: the initial value uses hmin (above ks), the friction step the raw depth.
    G_INT[slot::FrictionType] = 3;
    const float ks = 0.001f, dt = 0.1f;
    float dry[3] = {bed, 0, 0};
    float initial = 0, stepped = 0;
    kernel_HYDRAULICS_InitializeFriction(dry, &bed, &ks, &initial);
    kernel_HYDRAULICS_Friction(&dt, &bed, &ks, &stepped, dry);
    EXPECT_CLOSE(initial, std::pow(5.75 * std::log10(12.0 * kHmin / ks), 2), 1e-3, 1e-5);
    EXPECT_FLOAT_EQ(stepped, 38.505653f);
    // Manning clamps in both.
    G_INT[slot::FrictionType] = 1;
    const float n = 0.03f;
    kernel_HYDRAULICS_InitializeFriction(dry, &bed, &n, &initial);
    kernel_HYDRAULICS_Friction(&dt, &bed, &n, &stepped, dry);
    EXPECT_FLOAT_EQ(initial, stepped);
}

TEST_F(HydraulicCell, FrictionSlowsFlowWithoutReversingIt)
{
    const float bed = 0.0f, n = 0.03f;
    float cf2 = 0;
    // A lake at rest is untouched.
    float rest[3] = {2.0f, 0.0f, 0.0f};
    const float dt = 1.0f;
    kernel_HYDRAULICS_Friction(&dt, &bed, &n, &cf2, rest);
    EXPECT_EQ(rest[1], 0.0f);
    EXPECT_EQ(rest[2], 0.0f);
    EXPECT_GT(cf2, 0.0f);

    float previous = 1.0f;
    for (float step : {0.1f, 1.0f, 100.0f, 1.0e6f}) {
        float s[3] = {0.5f, 0.6f, -0.8f};
        kernel_HYDRAULICS_Friction(&step, &bed, &n, &cf2, s);
        EXPECT_EQ(s[0], 0.5f);                              // surface untouched
        EXPECT_CLOSE(s[1] / s[2], 0.6 / -0.8, 1e-6, 1e-5);  // direction kept
        const float magnitude = std::sqrt(s[1] * s[1] + s[2] * s[2]);
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
    float area = 0.5f;
    float dt = 0.01f;
    int id = 42;
    int run(float* state, float* bed, int* wet, float (&fluxes)[3][5], const int* sign, int morphology = 0,
            const float* sediment = nullptr, int* flag = nullptr)
    {
        const float* L[3] = {&length[0], &length[1], &length[2]};
        const float* F[3] = {fluxes[0], fluxes[1], fluxes[2]};
        const float* M[3] = {sediment, sediment ? sediment + 1 : nullptr, sediment ? sediment + 2 : nullptr};
        int ok = 1;
        int* target = flag ? flag : &ok;
        kernel_GLOBAL_Update(&id, &dt, &morphology, &area, L, F, morphology ? M : nullptr, sign, state, bed, wet,
                             target);
        return *target;
    }
};

TEST_F(CellUpdate, LakeAtRestStaysAtRest)
{
    // Right triangle (0,0), (1,0), (0,1); fluxes from the solver against neighbours on other beds.
    const float H = 1.0f, zb = 0.3f;
    float state[3] = {H, 0, 0}, bed = zb;
    const float normals[3][2] = {{0, -1}, {0.70710678f, 0.70710678f}, {1, 0}};
    const int sign[3] = {1, 1, -1};  // the cell is the right cell of its third edge
    const float neighbourBed[3] = {0.0f, 0.5f, 1.2f};
    float fluxes[3][5];
    float lengths[3] = {1.0f, 1.4142135f, 1.0f};
    std::copy(lengths, lengths + 3, length);
    for (int e = 0; e < 3; ++e) {
        const float nb[3] = {std::max(H, neighbourBed[e]), 0, 0};
        const int nbWet = nb[0] - neighbourBed[e] > kHmin;
        if (sign[e] > 0)
            hydrodynamic_solver(normals[e], state, zb, 1, nb, neighbourBed[e], nbWet, fluxes[e]);
        else
            hydrodynamic_solver(normals[e], nb, neighbourBed[e], nbWet, state, zb, 1, fluxes[e]);
    }
    int wet = 1;
    dt = 1.0f;
    EXPECT_EQ(run(state, &bed, &wet, fluxes, sign), 1);
    EXPECT_CLOSE(state[0], H, 1e-6, 0.0);
    EXPECT_CLOSE(state[1], 0.0, 1e-4, 0.0);
    EXPECT_CLOSE(state[2], 0.0, 1e-4, 0.0);
    EXPECT_EQ(wet, 1);
}

TEST_F(CellUpdate, SharedEdgeConservesVolumeAndUsesEachSidesMomentum)
{
    // Two cells share edge 0 (left: cell a, right: cell b); their other edges carry nothing.
    float fluxes[3][5] = {{0.2f, 1.0f, 2.0f, 3.0f, 4.0f}, {}, {}};
    const int signA[3] = {1, 1, 1}, signB[3] = {-1, 1, 1};
    float a[3] = {1.0f, 0, 0}, b[3] = {1.0f, 0, 0}, bedA = 0, bedB = 0;
    int wetA = 1, wetB = 1;
    run(a, &bedA, &wetA, fluxes, signA);
    run(b, &bedB, &wetB, fluxes, signB);
    EXPECT_LT(a[0], 1.0f);
    EXPECT_CLOSE(area * (a[0] + b[0]), 2 * area, 1e-6, 0.0);
    EXPECT_CLOSE(a[1], -dt / area * 1.0f, 1e-7, 1e-5);
    EXPECT_CLOSE(a[2], -dt / area * 2.0f, 1e-7, 1e-5);
    EXPECT_CLOSE(b[1], -dt / area * 3.0f, 1e-7, 1e-5);
    EXPECT_CLOSE(b[2], -dt / area * 4.0f, 1e-7, 1e-5);

    // With morphology the bed follows the sediment flux and the depth only the water flux.
    float c[3] = {1.0f, 0, 0}, bedC = 0.0f;
    const float sediment[3] = {0.05f, 0.0f, 0.0f};
    float noMomentum[3][5] = {{0.2f}, {}, {}};
    run(c, &bedC, &wetA, noMomentum, signA, 1, sediment);
    EXPECT_CLOSE(bedC, -dt / area * 0.05, 1e-7, 1e-5);
    EXPECT_CLOSE(c[0] - bedC, 1.0 - dt / area * 0.2, 1e-6, 1e-5);
}

TEST_F(CellUpdate, WetThresholdAndMassCheck)
{
    // A depth of exactly hmin after the update dries the cell and drops its discharge; the next float above
    // keeps both.
    const int sign[3] = {1, 1, 1};
    float still[3][5] = {};
    float bed = 0.0f;
    float atThreshold[3] = {kHmin, 0.3f, 0.4f};
    int wet = 1;
    EXPECT_EQ(run(atThreshold, &bed, &wet, still, sign), 1);
    EXPECT_EQ(wet, 0);
    EXPECT_EQ(atThreshold[1], 0.0f);
    EXPECT_EQ(atThreshold[2], 0.0f);
    float justAbove[3] = {std::nextafter(kHmin, 1.0f), 0.3f, 0.4f};
    wet = 0;
    EXPECT_EQ(run(justAbove, &bed, &wet, still, sign), 1);
    EXPECT_EQ(wet, 1);
    EXPECT_EQ(justAbove[1], 0.3f);
    EXPECT_EQ(justAbove[2], 0.4f);

    dt = 0.5f;
    area = 1.0f;
    bed = 0.1f;
    float fluxes[3][5] = {{0.08f}, {0.1f}, {}};  // outflow 0.5 * (0.08 + 0.1) = 0.09 m
    // Too much outflow: the message is printed, the flag drops, the state stays as computed, wet is untouched.
    G_Debug = 1;
    float empty[3] = {0.15f, 0.0f, 0.0f};
    wet = 1;
    testing::internal::CaptureStdout();
    const int ok = run(empty, &bed, &wet, fluxes, sign);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(ok, 0);
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
            run(failing, &bed, &wet, fluxes, sign, 0, nullptr, &flag);
        }
        run(fine, &bed, &wet, still, sign, 0, nullptr, &flag);
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
    auto apply = [&](int code, float rate, float H, float& after, int& wet, std::string& out) {
        float s[3] = {H, 0.2f, 0.1f};
        const float row[2] = {0.0f, rate};
        int ok = 1;
        testing::internal::CaptureStdout();
        kernel_HYDRAULICS_Source(&dt, row, &code, &bed, s, &wet, &ok);
        out = testing::internal::GetCapturedStdout();
        after = s[0];
        return ok;
    };
    float H = 0;
    int wet = 1;
    std::string out;
    // A sink larger than the water present: 11 empties the cell silently, 10 overdraws and reports.
    for (int code : {11, 21}) {
        EXPECT_EQ(apply(code, -0.01f, 1.05f, H, wet, out), 1);
        EXPECT_CLOSE(H, bed, 1e-6, 0.0);
        EXPECT_EQ(wet, 0);
        EXPECT_TRUE(out.empty());
    }
    EXPECT_EQ(apply(10, -0.01f, 1.05f, H, wet, out), 0);
    EXPECT_CLOSE(H, 0.95, 1e-6, 0.0);
    EXPECT_EQ(out.rfind("MASS BALANCE PROBLEM: h = -0.0", 0), 0u) << out;
    EXPECT_NE(out.find(" < 0.0\n"), std::string::npos) << out;
    // 12 removes all water for any negative rate; sources add rate * dt in every behaviour.
    EXPECT_EQ(apply(12, -1.0e-6f, 3.0f, H, wet, out), 1);
    EXPECT_CLOSE(H, bed, 1e-6, 0.0);
    for (int code : {10, 11, 12, 20, 22}) {
        apply(code, 0.01f, 1.05f, H, wet, out);
        EXPECT_CLOSE(H, 1.15, 1e-6, 0.0) << code;
        EXPECT_EQ(wet, 1);
    }
    // Other codes do nothing.
    for (int code : {0, 13, 23, 30}) {
        apply(code, 0.01f, 1.05f, H, wet, out);
        EXPECT_FLOAT_EQ(H, 1.05f) << code;
    }
}

TEST_F(HydraulicCell, FloodMaximaOnlyGrow)
{
    const float bed = 0.0f;
    float flood[4] = {0, 0, 0, 0};
    auto track = [&](float time, float H, float qx, int wet) {
        const float s[3] = {H, qx, 0.0f};
        kernel_HYDRAULICS_FloodTracking(&time, s, &bed, &wet, flood);
    };
    track(5.0f, 0.5f, 0.3f, 0);  // dry: nothing recorded
    EXPECT_EQ(flood[0], 0.0f);
    EXPECT_EQ(flood[1], 0.0f);
    track(10.0f, 1.0f, 2.0f, 1);
    EXPECT_FLOAT_EQ(flood[0], 10.0f);
    EXPECT_FLOAT_EQ(flood[1], 1.0f);
    EXPECT_FLOAT_EQ(flood[2], 2.0f);
    EXPECT_FLOAT_EQ(flood[3], 2.0f);
    track(20.0f, 0.5f, 1.5f, 1);  // shallower but faster; smaller discharge
    EXPECT_FLOAT_EQ(flood[0], 10.0f);
    EXPECT_FLOAT_EQ(flood[1], 1.0f);
    EXPECT_FLOAT_EQ(flood[2], 3.0f);
    EXPECT_FLOAT_EQ(flood[3], 2.0f);
}

TEST_F(HydraulicCell, TimeStepRuleAndDerivedParameters)
{
    const float dtMax = 10.0f, cfl = 0.5f;
    bool first = true;
    // First step on a dry domain: the unlimited sentinel becomes the initial step.
    EXPECT_CLOSE(hydraulics::limitedTimeStep(1.0e6, dtMax, first, 0.02, dtMax, cfl), 0.02, 1e-9, 1e-6);
    EXPECT_FALSE(first);
    // Later dry steps use dtMax * CFL; a limiting edge gives its minimum * CFL; the step never grows.
    EXPECT_CLOSE(hydraulics::limitedTimeStep(1.0e6, dtMax, first, 0.02, dtMax, cfl), 5.0, 1e-9, 1e-6);
    EXPECT_CLOSE(hydraulics::limitedTimeStep(1.0e6, 0.3f, first, 0.02, dtMax, cfl), 0.15, 1e-7, 1e-6);
    EXPECT_CLOSE(hydraulics::limitedTimeStep(0.1, 0.3f, first, 0.02, dtMax, cfl), 0.1, 1e-7, 1e-6);
    // A limited first step keeps its value and clears the flag.
    first = true;
    EXPECT_CLOSE(hydraulics::limitedTimeStep(1.0e6, 0.3f, first, 0.02, dtMax, cfl), 0.15, 1e-7, 1e-6);
    EXPECT_FALSE(first);

    G_REAL[slot::Gravity] = 10.0f;
    G_REAL[slot::BedPorosity] = 0.25f;
    G_REAL[slot::InvGravity] = G_REAL[slot::InvBedPorosity] = G_REAL[slot::SedRelDensity] = -1.0f;
    hydraulics::deriveParameters(G_REAL);
    EXPECT_FLOAT_EQ(G_REAL[slot::InvGravity], 0.1f);
    EXPECT_FLOAT_EQ(G_REAL[slot::InvBedPorosity], 4.0f / 3.0f);
    EXPECT_FLOAT_EQ(G_REAL[slot::SedRelDensity], 1.65f);
}

}  // namespace
