// Fixed-bed correction (one pass, the maximum search, the iteration and its limits) and sediment sources.
#include <array>
#include <string>

#include "kernels/MorphologyTestSetup.hpp"
#include "simulation/kernels/MorphologyFixedBed.hpp"
#include "support/Tolerance.hpp"

namespace {

/// A fixed-bed cell of a hand-built mesh: its edges' fluxes are shared with the neighbours through pointers.
struct FixedCell {
    int id = 0;
    float area = 1.0f;
    float zb = 0.0f;
    float zFix = 0.0f;
    std::array<int, 3> sign{};
    std::array<float, 3> length{1.0f, 1.0f, 1.0f};
    std::array<float*, 3> flux{};
    float newBed = -999.0f;

    void correct(float dt)
    {
        const float* L[3] = {&length[0], &length[1], &length[2]};
        kernel_MORPHOLOGY_FixedBedCorrection(&id, &dt, &area, &zb, &zFix, sign.data(), L, &newBed, flux.data());
    }
    /// Bed after an update with the current fluxes.
    float bedAfter(float dt) const
    {
        float net = 0.0f;
        for (int j = 0; j < 3; ++j) net += static_cast<float>(sign[j]) * *flux[j] * length[j];
        return zb - dt / area * net;
    }
};

using FixedBed = mortest::MorphologyKernels;

TEST_F(FixedBed, APassScalesOnlyOutgoingFluxesSoTheBedLandsOnTheFixedBed)
{
    // Edge 0 carries sediment out (left cell, positive flux), edge 1 in, edge 2 out (right cell, negative flux).
    float f[3] = {0.5f, 0.3f, -0.4f};
    FixedCell c;
    c.id = 7;
    c.area = 2.0f;
    c.sign = {1, -1, -1};
    c.length = {1.0f, 2.0f, 1.0f};
    c.flux = {&f[0], &f[1], &f[2]};

    // High above the fixed bed: nothing changes, the prediction is recorded.
    c.zb = 2.0f;
    c.correct(1.0f);
    EXPECT_FLOAT_EQ(c.newBed, c.bedAfter(1.0f));
    EXPECT_EQ(f[0], 0.5f);
    EXPECT_EQ(f[1], 0.3f);
    EXPECT_EQ(f[2], -0.4f);

    // 0.1 m above it with a net loss of 0.15 m: the outgoing fluxes shrink by one factor, the incoming stays.
    c.zb = 0.1f;
    G_Debug = 1;
    testing::internal::CaptureStdout();
    c.correct(1.0f);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "overdraft in cell 7 by dz = 0.050000 [m]\n");
    EXPECT_CLOSE(c.newBed, -0.05, 1e-6, 0.0) << "the prediction made before the scaling";
    EXPECT_EQ(f[1], 0.3f);
    EXPECT_GT(f[0], 0.0f);
    EXPECT_LT(f[0], 0.5f);
    EXPECT_CLOSE(f[2] / f[0], -0.4 / 0.5, 1e-6, 1e-5);
    EXPECT_CLOSE(c.bedAfter(1.0f), c.zFix, 1e-6, 0.0);

    // Without the debug switch the pass is silent.
    G_Debug = 0;
    c.zb = 0.05f;
    testing::internal::CaptureStdout();
    c.correct(1.0f);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_CLOSE(c.bedAfter(1.0f), c.zFix, 1e-6, 0.0);
}

TEST_F(FixedBed, OvershootWithoutOutflowChangesNothingAndAWholeOverdraftClosesTheCell)
{
    // Already below the fixed bed and only receiving: the factor is 0 but no edge is outgoing.
    float in[3] = {-0.2f, 0.1f, 0.0f};
    FixedCell c;
    c.zb = -0.5f;
    c.sign = {1, -1, 1};
    c.flux = {&in[0], &in[1], &in[2]};
    c.correct(1.0f);
    EXPECT_FLOAT_EQ(c.newBed, -0.5f + 0.3f);
    EXPECT_EQ(in[0], -0.2f);
    EXPECT_EQ(in[1], 0.1f);

    // At the fixed bed with outflow only: the overshoot equals the outflow volume and every outgoing flux stops.
    float out[3] = {0.5f, -0.3f, 0.0f};
    FixedCell d;
    d.area = 3.0f;
    d.sign = {1, -1, -1};
    d.flux = {&out[0], &out[1], &out[2]};
    d.correct(2.0f);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(d.bedAfter(2.0f), 0.0f);
}

TEST_F(FixedBed, MaximumSearchKeepsTheLargestOvershootAndItsStart)
{
    float overshoot = 0.01f;
    const float fix = 1.0f;
    for (float predicted : {1.2f, 0.995f, 5.0f})
        kernel_MORPHOLOGY_FixedBedCorrectionFindMax(&fix, &predicted, &overshoot);
    EXPECT_EQ(overshoot, 0.01f) << "cells above the fixed bed and smaller overshoots do not count";
    const float deep = 0.7f;
    kernel_MORPHOLOGY_FixedBedCorrectionFindMax(&fix, &deep, &overshoot);
    EXPECT_CLOSE(overshoot, 0.3, 1e-6, 0.0);
}

/// Two fixed-bed cells in a row, both at their fixed bed: sediment enters A over e0 (1), passes to B over e1 (2)
/// and leaves B over e2 (3); the third edges are walls. The passes visit B before A, so B's correction must wait
/// for the reduced supply from A: a cascade that needs three passes.
class FixedBedChain : public mortest::MorphologyKernels {
protected:
    float f[5] = {1.0f, 2.0f, 3.0f, 0.0f, 0.0f};
    FixedCell a, b;
    int passes = 0, searches = 0;

    void SetUp() override
    {
        MorphologyKernels::SetUp();
        a.sign = {-1, 1, 1};
        a.flux = {&f[0], &f[1], &f[3]};
        b.sign = {-1, 1, 1};
        b.flux = {&f[1], &f[2], &f[4]};
    }
    int iterate(float accuracy, int maxIter)
    {
        G_REAL[slot::FixBedAccuracy] = accuracy;
        G_INT[slot::FixBedMaxIter] = maxIter;
        return morphology::iterateFixedBedCorrection(
            G_REAL[slot::FixBedAccuracy], G_INT[slot::FixBedMaxIter],
            [&] {
                ++passes;
                b.correct(1.0f);
                a.correct(1.0f);
            },
            [&](float& overshoot) {
                ++searches;
                for (const FixedCell* c : {&a, &b})
                    kernel_MORPHOLOGY_FixedBedCorrectionFindMax(&c->zFix, &c->newBed, &overshoot);
            });
    }
    void expectFluxes(float f0, float f1, float f2) const
    {
        EXPECT_CLOSE(f[0], f0, 1e-6, 0.0);
        EXPECT_CLOSE(f[1], f1, 1e-6, 0.0);
        EXPECT_CLOSE(f[2], f2, 1e-6, 0.0);
    }
};

TEST_F(FixedBedChain, IteratesUntilNoCellErodesItsFixedBed)
{
    EXPECT_EQ(iterate(1e-4f, 10), 3);
    EXPECT_EQ(passes, 3);
    EXPECT_EQ(searches, 3);
    expectFluxes(1.0f, 1.0f, 1.0f);  // the supply passes through, nothing is eroded
    EXPECT_CLOSE(a.bedAfter(1.0f), 0.0, 1e-6, 0.0);
    EXPECT_CLOSE(b.bedAfter(1.0f), 0.0, 1e-6, 0.0);
}

TEST_F(FixedBedChain, IterationLimitsAndAccuracy)
{
    EXPECT_EQ(iterate(1e-4f, 0), 0);
    EXPECT_EQ(iterate(1e6f, 10), 0);
    EXPECT_EQ(passes + searches, 0);
    expectFluxes(1.0f, 2.0f, 3.0f);

    // One pass and no search: B still loses 1 m below its fixed bed, which a second pass would have caught.
    EXPECT_EQ(iterate(1e-4f, 1), 1);
    EXPECT_EQ(searches, 0);
    expectFluxes(1.0f, 1.0f, 2.0f);
    EXPECT_CLOSE(b.bedAfter(1.0f), -1.0, 1e-6, 0.0);
}

TEST_F(FixedBedChain, OvershootWithinTheAccuracyEndsAfterTheFirstSearch)
{
    EXPECT_EQ(iterate(1.5f, 10), 1);
    EXPECT_EQ(searches, 1);
    expectFluxes(1.0f, 1.0f, 2.0f);
}

class SedimentSource : public mortest::MorphologyKernels {
protected:
    float zb = 1.0f, zFix = 0.8f, state[3] = {2.0f, 0.3f, -0.1f};
    int ok = 1;
    std::string out;
    void run(int type, float rate, float dt = 10.0f)
    {
        const float row[2] = {0.0f, rate};
        testing::internal::CaptureStdout();
        kernel_MORPHOLOGY_Source(&dt, row, &type, &zb, &zFix, state, &ok);
        out = testing::internal::GetCapturedStdout();
        EXPECT_CLOSE(state[0] - zb, 1.0, 1e-6, 0.0) << "the water depth is kept";
        EXPECT_EQ(state[1], 0.3f);
        EXPECT_EQ(state[2], -0.1f);
    }
    void reset()
    {
        zb = 1.0f;
        state[0] = 2.0f;
        ok = 1;
    }
};

TEST_F(SedimentSource, SinksHonourTheFixedBedByTheirCode)
{
    for (int type : {30, 31, 32}) {
        reset();
        run(type, 0.01f);
        EXPECT_FLOAT_EQ(zb, 1.1f) << type << ": deposits are added by every code";
        EXPECT_EQ(ok, 1);
    }
    reset();
    run(31, -0.01f);
    EXPECT_FLOAT_EQ(zb, 0.9f);
    reset();
    run(31, -0.03f);
    EXPECT_EQ(zb, zFix) << "available: never below the fixed bed";
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(out, "");
    for (float rate : {-1e-4f, -0.03f, -100.0f}) {
        reset();
        run(32, rate);
        EXPECT_EQ(zb, zFix) << "infinity: exactly down to the fixed bed, rate " << rate;
        EXPECT_EQ(ok, 1);
    }
    // Exact: erodes into the fixed bed, reports it and fails the mass check.
    reset();
    run(30, -0.03f);
    EXPECT_CLOSE(zb, 0.7, 1e-6, 0.0);
    EXPECT_EQ(out, "MASS BALANCE PROBLEM: z = 0.7 < zFix = 0.8\n");
    EXPECT_EQ(ok, 0);
    // A later good cell does not restore the flag.
    zb = 1.0f;
    state[0] = 2.0f;
    run(30, 0.0f);
    EXPECT_EQ(ok, 0);
}

TEST_F(SedimentSource, OtherCodesLeaveBedAndSurfaceAlone)
{
    for (int type : {0, 12, 29, 33, 40}) {
        reset();
        run(type, -0.05f);
        EXPECT_EQ(zb, 1.0f) << type;
        EXPECT_EQ(state[0], 2.0f) << type;
        EXPECT_EQ(ok, 1);
    }
}

}  // namespace
