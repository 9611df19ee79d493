// Sediment fluxes: the HLL flux of internal edges (dry cells, upwinding, consistency, bed steps), walls and every
// morphological boundary code.
#include <array>
#include <cmath>
#include <limits>

#include "kernels/MorphologyTestSetup.hpp"
#include "simulation/kernels/MorphologyFluxes.hpp"
#include "support/Tolerance.hpp"

using mortest::kFactor;
using mortest::kG;

namespace {

using mortest::Side;

class SedimentFlux : public mortest::MorphologyKernels {
protected:
    float flux(const Side& l, const Side& r, std::array<float, 2> n = {1.0f, 0.0f})
    {
        float f = std::numeric_limits<float>::quiet_NaN();
        kernel_MORPHOLOGY_InternalFluxes(n.data(), &l.wet, &r.wet, l.state, r.state, &l.zb, &r.zb, l.cap, r.cap, l.der,
                                         r.der, &f);
        return f;
    }
    /// A wet cell of depth h flowing with discharge q [m^2/s], carrying the capacity `cap` with derivative `der`
    /// along the flow.
    static Side cell(float h, std::array<float, 2> q, float cap, float der, float zb = 0.0f)
    {
        Side s;
        s.zb = zb;
        s.state[0] = zb + h;
        s.state[1] = q[0];
        s.state[2] = q[1];
        const float m = std::hypot(q[0], q[1]);
        for (int i = 0; i < 2; ++i) {
            s.cap[i] = m > 0 ? cap * q[i] / m : 0.0f;
            s.der[i] = m > 0 ? der * q[i] / m : 0.0f;
        }
        return s;
    }
    float scale() const { return kFactor * porosityFactor(); }
};

TEST_F(SedimentFlux, DryOrHalfDryEdgesCarryNothing)
{
    const Side wet = cell(1.0f, {0.8f, 0.1f}, 2e-4f, 5e-4f);
    Side dry = cell(0.0f, {0.0f, 0.0f}, 0.0f, 0.0f, 0.3f);
    dry.wet = 0;
    dry.state[0] = dry.zb - 5e-7f;  // the small negative depth the update accepts
    EXPECT_EQ(flux(wet, dry), 0.0f);
    EXPECT_EQ(flux(dry, wet), 0.0f);
    EXPECT_EQ(flux(dry, dry), 0.0f);
    // Both flagged wet but without depth or flow: the wave fan has no width, so no flux (and no NaN).
    const Side empty = cell(0.0f, {0.0f, 0.0f}, 1e-3f, 0.0f);
    EXPECT_EQ(flux(empty, empty), 0.0f);
}

TEST_F(SedimentFlux, WithoutBedWavesTheFluxIsUpwindOfTheWaterWave)
{
    // No transport derivative, subcritical flow: the right cell's normal transport.
    const Side left = cell(1.0f, {1.0f, 0.5f}, 3e-4f, 0.0f);
    const Side right = cell(1.2f, {1.1f, 0.4f}, 5e-4f, 0.0f, 0.05f);
    const std::array<float, 2> n = {0.6f, 0.8f};
    const float normalR = right.cap[0] * n[0] + right.cap[1] * n[1];
    EXPECT_CLOSE(flux(left, right, n), normalR * scale(), 1e-10, 1e-5);
    // Supercritical towards the right cell (u_n > c on both sides): the left cell's transport.
    const float c = std::sqrt(kG * 0.2f);
    const Side fastL = cell(0.2f, {0.2f * 2.0f * c, 0.0f}, 4e-4f, 0.0f);
    const Side fastR = cell(0.2f, {0.2f * 2.5f * c, 0.0f}, 6e-4f, 0.0f, -0.1f);
    EXPECT_CLOSE(flux(fastL, fastR), 4e-4f * scale(), 1e-10, 1e-5);
    // Supercritical towards the left cell: the right cell's, moving to the left.
    const Side backL = cell(0.2f, {-0.2f * 2.0f * c, 0.0f}, 4e-4f, 0.0f);
    const Side backR = cell(0.2f, {-0.2f * 2.5f * c, 0.0f}, 6e-4f, 0.0f);
    EXPECT_CLOSE(flux(backL, backR), -6e-4f * scale(), 1e-10, 1e-5);
}

TEST_F(SedimentFlux, EqualStatesGiveTheCommonTransportAndBedStepsDriftDownhill)
{
    // Consistency: equal states carry their common normal transport, whatever the wave speeds.
    for (std::array<float, 2> n : {std::array<float, 2>{1.0f, 0.0f}, {0.0f, -1.0f}, {-0.28f, 0.96f}}) {
        const Side s = cell(0.9f, {0.7f, -0.4f}, 3e-4f, 8e-4f, 0.2f);
        const float normal = s.cap[0] * n[0] + s.cap[1] * n[1];
        EXPECT_CLOSE(flux(s, s, n), normal * scale(), 1e-10, 1e-5) << n[0] << " " << n[1];
    }
    // Without transport a bed step alone moves sediment from the higher to the lower cell.
    const Side low = cell(1.0f, {0.6f, 0.0f}, 0.0f, 1e-3f, 0.0f);
    const Side high = cell(0.9f, {0.6f, 0.0f}, 0.0f, 1e-3f, 0.1f);
    EXPECT_LT(flux(low, high), 0.0f);
    EXPECT_GT(flux(high, low), 0.0f);
    // ... and not at all when the bed waves cannot travel downstream (no derivative, subcritical).
    const Side lowStill = cell(1.0f, {0.6f, 0.0f}, 0.0f, 0.0f, 0.0f);
    const Side highStill = cell(0.9f, {0.6f, 0.0f}, 0.0f, 0.0f, 0.1f);
    EXPECT_EQ(flux(lowStill, highStill), 0.0f);
}

TEST_F(SedimentFlux, WallsAreClosed)
{
    float f = 7.0f;
    kernel_MORPHOLOGY_WallFluxes(&f);
    EXPECT_EQ(f, 0.0f);
}

class SedimentBoundary : public mortest::MorphologyKernels {
protected:
    float dt = 2.0f, length = 3.0f, area = 12.0f;
    float zb = 1.0f;
    float state[3] = {3.0f, 0.5f, 0.0f};  // depth 2 m
    float chezy = 25.0f;
    float grain = 0.001f;
    float normal[2] = {1.0f, 0.0f};

    float flux(int type, int k, float r0, float r1)
    {
        const int code[2] = {type, k};
        const float row[7] = {r0, r1, 99.0f, 99.0f, 99.0f, 99.0f, 99.0f};
        float f = std::numeric_limits<float>::quiet_NaN();
        kernel_MORPHOLOGY_Boundary(&dt, code, row, normal, &length, state, nullptr, &zb, nullptr,
                                   G_INT[slot::FrictionOn] == 1 ? &chezy : nullptr, &area, &grain, &f);
        return f;
    }
    /// The inner cell's bed after an update with the boundary flux f as its only sediment flux.
    float bedAfter(float f) const { return zb - dt / area * length * f; }
};

TEST_F(SedimentBoundary, LevelCodesMoveTheBedToTheLevelWithinOneStep)
{
    EXPECT_CLOSE(bedAfter(flux(400, 0, 1.5f, 0.0f)), 1.5, 1e-6, 0.0);
    EXPECT_EQ(flux(400, 0, 0.5f, 0.0f), 0.0f) << "bed above the level: 400 does nothing";
    EXPECT_CLOSE(bedAfter(flux(402, 0, 0.25f, 0.0f)), 0.25, 1e-6, 0.0);
    EXPECT_EQ(flux(402, 0, 1.5f, 0.0f), 0.0f) << "bed below the level: 402 does nothing";
    EXPECT_EQ(flux(400, 0, 1.0f, 0.0f), 0.0f);
    EXPECT_EQ(flux(402, 0, 1.0f, 0.0f), 0.0f);
}

TEST_F(SedimentBoundary, RateCodesScaleByDepthOrConveyanceAndFeedOnlyWhenAsked)
{
    const float f = kFactor * porosityFactor();
    const double h = 2.0, conveyance = h * std::sqrt(25.0 * h);
    // 404-408 act only for k*r1 < 0, i.e. sediment entering the cell (a negative flux raises its bed).
    EXPECT_CLOSE(flux(404, -1, 0.0f, 0.2f), -0.2 * f, 1e-7, 1e-5);
    EXPECT_CLOSE(flux(406, -1, 0.0f, 0.2f), -0.2 * h * f, 1e-7, 1e-5);
    EXPECT_CLOSE(flux(408, 2, 0.0f, -0.1f), -0.2 * conveyance * f, 1e-6, 1e-5);
    EXPECT_GT(bedAfter(flux(404, -1, 0.0f, 0.2f)), zb);
    for (int type : {404, 406, 408}) {
        EXPECT_EQ(flux(type, 1, 0.0f, 0.2f), 0.0f) << type;
        EXPECT_EQ(flux(type, -1, 0.0f, 0.0f), 0.0f) << type;
    }
    // 410-414 always act, in either direction.
    EXPECT_CLOSE(flux(410, 0, 0.4f, 0.2f), -0.08 * f, 1e-7, 1e-5);
    EXPECT_CLOSE(flux(410, 0, -0.4f, 0.2f), 0.08 * f, 1e-7, 1e-5);
    EXPECT_CLOSE(flux(412, 0, 0.4f, 0.2f), -0.08 * h * f, 1e-7, 1e-5);
    EXPECT_CLOSE(flux(414, 0, 0.4f, -0.2f), 0.08 * conveyance * f, 1e-6, 1e-5);
    // Unknown codes (also 0 and the odd codes between) are closed.
    for (int type : {0, 399, 401, 405, 411, 416, 100}) EXPECT_EQ(flux(type, -1, 0.4f, 0.2f), 0.0f) << type;

    // Without friction there is no Chezy value to read: the conveyance-weighted codes give nothing.
    G_INT[slot::FrictionOn] = 0;
    EXPECT_EQ(flux(408, -1, 0.4f, 0.2f), 0.0f);
    EXPECT_EQ(flux(414, -1, 0.4f, 0.2f), 0.0f);
    EXPECT_CLOSE(flux(406, -1, 0.4f, 0.2f), -0.2 * h * f, 1e-7, 1e-5);
}

}  // namespace
