// Morphological cell kernels: bed gradient, streamline curvature, slope-corrected critical Shields value and the
// bed-load transport capacity with its derivative and direction corrections.
#include <array>
#include <cmath>
#include <limits>

#include "kernels/MorphologyTestSetup.hpp"
#include "simulation/kernels/MorphologyCell.hpp"
#include "support/Tolerance.hpp"

using mortest::kG;
using mortest::kHmin;
using mortest::kRepose;
using mortest::kThetaC0;

namespace {

using Offsets = std::array<std::array<double, 2>, 3>;
const Offsets kOffsets = {{{1.0, 0.3}, {-0.8, 0.7}, {-0.2, -1.1}}};

using MorphologyCell = mortest::MorphologyKernels;

TEST_F(MorphologyCell, BedGradientIsExactForALinearBedAndZeroForAFlatOne)
{
    float curvature = 5.0f;
    float gradient[2] = {3.0f, -4.0f};
    const float z0 = 12.5f;
    kernel_MORPHOLOGY_InitializeCellFeatures(&z0, &curvature, gradient);
    EXPECT_EQ(curvature, 0.0f);
    EXPECT_EQ(gradient[0], 0.0f);
    EXPECT_EQ(gradient[1], 0.0f);

    const auto w = mortest::reconstructionWeights(kOffsets);
    const double gx = 0.02, gy = -0.035;
    float zNb[3];
    for (int j = 0; j < 3; ++j) zNb[j] = static_cast<float>(z0 + gx * kOffsets[j][0] + gy * kOffsets[j][1]);
    const float* nb[3] = {&zNb[0], &zNb[1], &zNb[2]};
    kernel_MORPHOLOGY_CalcBedGradient(&z0, nb, w.data(), gradient);
    EXPECT_CLOSE(gradient[0], gx, 2e-5, 0.0);
    EXPECT_CLOSE(gradient[1], gy, 2e-5, 0.0);

    // Neighbours at the cell's own level give no gradient, whatever the weights.
    const float same[3] = {z0, z0, z0};
    const float* flat[3] = {&same[0], &same[1], &same[2]};
    const float odd[6] = {3.0f, -7.0f, 11.0f, 0.5f, -2.0f, 9.0f};
    kernel_MORPHOLOGY_CalcBedGradient(&z0, flat, odd, gradient);
    EXPECT_EQ(gradient[0], 0.0f);
    EXPECT_EQ(gradient[1], 0.0f);
}

/// Curvature of a cell centred at `centre` with neighbours at centre + offsets, in the velocity field `field`
/// (depth 1 m everywhere, so q = u). The configuration may be rotated as a whole by `angle`.
template <class Field>
float curvatureIn(Field field, std::array<double, 2> centre, Offsets offsets, double angle = 0.0)
{
    centre = mortest::rotated(centre, angle);
    for (auto& o : offsets) o = mortest::rotated(o, angle);
    const auto w = mortest::reconstructionWeights(offsets);
    const float zb = 0.0f;
    float state[3], stateNb[3][3], unit[3][2], dist[3], zNb[3] = {0, 0, 0};
    const auto fill = [&](float* s, std::array<double, 2> p) {
        const auto u = field(p);
        s[0] = 1.0f;
        s[1] = static_cast<float>(u[0]);
        s[2] = static_cast<float>(u[1]);
    };
    fill(state, centre);
    for (int j = 0; j < 3; ++j) {
        fill(stateNb[j], {centre[0] + offsets[j][0], centre[1] + offsets[j][1]});
        const double len = std::hypot(offsets[j][0], offsets[j][1]);
        unit[j][0] = static_cast<float>(offsets[j][0] / len);
        unit[j][1] = static_cast<float>(offsets[j][1] / len);
        dist[j] = static_cast<float>(len);
    }
    const float* unitP[3] = {unit[0], unit[1], unit[2]};
    const float* distP[3] = {&dist[0], &dist[1], &dist[2]};
    const float* stateP[3] = {stateNb[0], stateNb[1], stateNb[2]};
    const float* zP[3] = {&zNb[0], &zNb[1], &zNb[2]};
    float curvature = std::numeric_limits<float>::quiet_NaN();
    kernel_HYDRAULICS_CalcCurvature(unitP, distP, state, &zb, stateP, zP, w.data(), &curvature);
    return curvature;
}

TEST_F(MorphologyCell, CurvatureIsPositiveForLeftTurnsAndIndependentOfOrientation)
{
    const auto vortex = [](double omega) {
        return [omega](std::array<double, 2> p) { return std::array<double, 2>{-omega * p[1], omega * p[0]}; };
    };
    const std::array<double, 2> centre = {10.0, 0.0};
    const float left = curvatureIn(vortex(0.1), centre, kOffsets);
    const float right = curvatureIn(vortex(-0.1), centre, kOffsets);
    EXPECT_GT(left, 0.0f) << "counter-clockwise flow turns left";
    EXPECT_CLOSE(right, -left, 1e-6, 1e-5);
    // Turning the whole configuration (positions and velocities) changes nothing.
    for (double angle : {0.4, 1.9, -2.7})
        EXPECT_CLOSE(curvatureIn(vortex(0.1), centre, kOffsets, angle), left, 1e-6, 1e-3);

    // Straight uniform flow and nearly still water have no curvature.
    const auto uniform = [](std::array<double, 2>) { return std::array<double, 2>{0.3, -0.4}; };
    EXPECT_EQ(curvatureIn(uniform, centre, kOffsets), 0.0f);
    const auto creeping = [](std::array<double, 2> p) { return std::array<double, 2>{-1e-4 * p[1], 1e-4 * p[0]}; };
    EXPECT_EQ(curvatureIn(creeping, {1.0, 0.0}, kOffsets), 0.0f) << "|U|^3 below 1e-6";
}

class CriticalShields : public mortest::MorphologyKernels {
protected:
    /// Critical value of a wet cell flowing along `flow` over the bed gradient `grad`, by the formula `type`.
    float onSlope(int type, std::array<float, 2> grad, std::array<float, 2> flow = {1.0f, 0.0f})
    {
        G_INT[slot::IncipientMotType] = type;
        const float state[3] = {2.0f, flow[0], flow[1]}, zb = 1.0f;
        float theta = -1.0f;
        kernel_MORPHOLOGY_LocalBedSlope(state, &zb, grad.data(), &theta);
        return theta;
    }
};

TEST_F(CriticalShields, FlatBedKeepsTheFlatValueAndUphillFlowNeedsMore)
{
    const double t = std::tan(static_cast<double>(kRepose));
    for (int type : {1, 2}) {
        SCOPED_TRACE(type);
        EXPECT_CLOSE(onSlope(type, {0.0f, 0.0f}), kThetaC0, 1e-7, 1e-6);
        // Flow up the slope needs a larger stress, flow down the slope a smaller one.
        EXPECT_GT(onSlope(type, {0.1f, 0.0f}), kThetaC0);
        EXPECT_LT(onSlope(type, {-0.1f, 0.0f}), kThetaC0);
        // A lateral slope lowers the value alike to both sides, down to 0 at the angle of repose and beyond.
        const float lateral = onSlope(type, {0.0f, 0.2f});
        EXPECT_LT(lateral, kThetaC0);
        EXPECT_CLOSE(onSlope(type, {0.0f, -0.2f}), lateral, 1e-7, 1e-5);
        EXPECT_CLOSE(onSlope(type, {0.0f, static_cast<float>(t)}), 0.0, 2e-4, 0.0);
        EXPECT_CLOSE(onSlope(type, {0.0f, 1.5f}), 0.0, 1e-9, 0.0) << "steeper than repose: 0, not NaN";
        // Only the slopes along and across the flow count, not the orientation of the frame.
        const std::array<double, 2> g = {0.08, -0.15};
        const double a = 2.2;
        const auto gr = mortest::rotated(g, a), fr = mortest::rotated({1.0, 0.0}, a);
        EXPECT_CLOSE(onSlope(type, {static_cast<float>(gr[0]), static_cast<float>(gr[1])},
                             {static_cast<float>(fr[0]), static_cast<float>(fr[1])}),
                     onSlope(type, {0.08f, -0.15f}), 1e-6, 1e-4);
    }
    // A pure slope along the flow: Van Rijn scales by sin(phi + beta)/sin(phi); Chen et al. add sin(beta) to
    // cos(beta) times the flat value.
    const double beta = std::atan(0.1);
    EXPECT_CLOSE(onSlope(1, {0.1f, 0.0f}), kThetaC0 * std::sin(kRepose + beta) / std::sin(kRepose), 1e-7, 1e-5);
    EXPECT_CLOSE(onSlope(2, {0.1f, 0.0f}), std::sin(beta) + std::cos(beta) * kThetaC0, 1e-7, 1e-5);
}

TEST_F(CriticalShields, DryCellsKeepTheirValueAndStillWaterGetsTheFlatValue)
{
    const float grad[2] = {0.1f, 0.3f}, zb = 1.0f;
    const float dry[3] = {1.0f + kHmin, 0.5f, 0.0f};
    float theta = 0.123f;
    kernel_MORPHOLOGY_LocalBedSlope(dry, &zb, grad, &theta);
    EXPECT_EQ(theta, 0.123f);
    const float still[3] = {2.0f, 0.0f, 0.0f};
    kernel_MORPHOLOGY_LocalBedSlope(still, &zb, grad, &theta);
    EXPECT_CLOSE(theta, kThetaC0, 1e-7, 1e-6);
}

class BedloadTransport : public mortest::MorphologyKernels {
protected:
    float chezy = 100.0f;  // cf^2
    float grain = 0.001f;  // m
    float critical = kThetaC0;
    float gradient[2] = {0.0f, 0.0f};
    float curvature = 0.0f;
    int friction = 1;
    float cap[2] = {0, 0};
    float der[2] = {0, 0};

    void run(float h, float qx, float qy)
    {
        const float zb = 3.0f;
        const float state[3] = {zb + h, qx, qy};
        kernel_MORPHOLOGY_CalcBedloadTransport(&friction, state, &zb, friction == 1 ? &chezy : nullptr, &grain,
                                               &critical, gradient, &curvature, cap, der);
    }
    float capacity(float h, float q)
    {
        run(h, q, 0.0f);
        return cap[0];
    }
};

TEST_F(BedloadTransport, ShieldsFormFollowsTheShieldsNumberAndDerivativeMatchesTheCapacity)
{
    // u = 1 m/s over 1 m: Shields number u^2 / (cf^2 g s d) well above critical.
    const double s = 1.65, theta = 1.0 / (100.0 * kG * s * 0.001);
    const double expected = 8.0 * std::sqrt(kG * s * 1e-9) * std::pow(theta - kThetaC0, 1.5);
    run(1.0f, 1.0f, 0.0f);
    EXPECT_CLOSE(cap[0], expected, 1e-9, 1e-4);
    EXPECT_EQ(cap[1], 0.0f);

    // The derivative is dQ/d|q| at fixed depth, for every form (velocity form: critical velocity 0.3 m/s).
    for (int type : {1, 3, 4}) {
        SCOPED_TRACE(type);
        G_INT[slot::BeadloadType] = type;
        critical = type == 3 ? 0.3f : kThetaC0;
        const float h = 0.8f, q = 0.9f, qUp = q + 1e-3f, qDown = q - 1e-3f;
        const double slope = (static_cast<double>(capacity(h, qUp)) - capacity(h, qDown)) / (qUp - qDown);
        run(h, q, 0.0f);
        EXPECT_GT(cap[0], 0.0f);
        EXPECT_CLOSE(der[0], slope, 1e-9, 2e-3);
        // More flow carries more sediment; deeper water at the same discharge carries less.
        EXPECT_GT(capacity(h, 1.2f * q), capacity(h, q));
        EXPECT_LT(capacity(1.5f * h, q), capacity(h, q));
    }
}

TEST_F(BedloadTransport, NoTransportBelowCriticalOnDryCellsOrWithoutFriction)
{
    for (int type : {1, 3, 4}) {
        SCOPED_TRACE(type);
        G_INT[slot::BeadloadType] = type;
        friction = 1;
        critical = type == 3 ? 0.3f : kThetaC0;
        run(0.0f, 0.5f, 0.2f);  // dry: no reciprocal depth
        EXPECT_EQ(cap[0], 0.0f);
        EXPECT_EQ(cap[1], 0.0f);
        EXPECT_EQ(der[0], 0.0f);
        EXPECT_EQ(der[1], 0.0f);
        // Without friction (and without a Chezy value to read) only the velocity form transports.
        friction = 0;
        run(1.0f, 1.0f, 0.0f);
        if (type == 3)
            EXPECT_GT(cap[0], 0.0f);
        else
            EXPECT_EQ(cap[0], 0.0f);
    }
    // Below the critical value: zero, never negative, in both forms with a threshold.
    friction = 1;
    G_INT[slot::BeadloadType] = 1;
    run(1.0f, 0.2f, 0.1f);  // Shields number about 0.031 < 0.047
    EXPECT_EQ(cap[0], 0.0f);
    EXPECT_EQ(der[0], 0.0f);
    G_INT[slot::BeadloadType] = 3;
    critical = 0.6f;
    run(1.0f, 0.3f, 0.4f);
    EXPECT_EQ(cap[0], 0.0f);
    EXPECT_EQ(cap[1], 0.0f);
    EXPECT_EQ(der[1], 0.0f);
}

TEST_F(BedloadTransport, DirectionFollowsFlowAndTurnsDownslopeAndTowardsTheInnerBank)
{
    const auto magnitude = [](const float* v) { return std::hypot(v[0], v[1]); };
    // Both switches off: parallel to the discharge, although slope and curvature are there.
    gradient[0] = 0.05f;
    gradient[1] = 0.1f;
    curvature = 0.05f;
    run(1.0f, 0.6f, 0.8f);
    EXPECT_CLOSE(cap[0] * 0.8f - cap[1] * 0.6f, 0.0, 1e-10, 0.0);
    EXPECT_GT(cap[0], 0.0f);
    EXPECT_CLOSE(der[0] * 0.8f - der[1] * 0.6f, 0.0, 1e-10, 0.0);
    const float straight = magnitude(cap);

    // Lateral slope: bed rising to the left of a flow in +x turns the transport to the right (downslope).
    G_INT[slot::BedloadIsIkeda] = 1;
    gradient[0] = 0.0f;
    gradient[1] = 0.1f;
    curvature = 0.0f;
    run(1.0f, 1.0f, 0.0f);
    EXPECT_LT(cap[1], 0.0f);
    EXPECT_LT(der[1], 0.0f);
    EXPECT_CLOSE(magnitude(cap), straight, 1e-10, 1e-5) << "the deflection turns, it does not scale";
    gradient[1] = -0.1f;
    run(1.0f, 1.0f, 0.0f);
    EXPECT_GT(cap[1], 0.0f);
    gradient[1] = 0.0f;  // flat bed: no deflection
    run(1.0f, 1.0f, 0.0f);
    EXPECT_EQ(cap[1], 0.0f);

    // Curvature: a left-turning flow carries bed load towards the inner (left) bank, more in deeper water.
    G_INT[slot::BedloadIsIkeda] = 0;
    G_INT[slot::BedloadIsCurvature] = 1;
    curvature = 0.02f;
    run(1.0f, 1.0f, 0.0f);
    EXPECT_GT(cap[1], 0.0f);
    const float shallowAngle = std::atan2(cap[1], cap[0]);
    run(2.0f, 2.0f, 0.0f);
    EXPECT_GT(std::atan2(cap[1], cap[0]), shallowAngle);
    curvature = -0.02f;
    run(1.0f, 1.0f, 0.0f);
    EXPECT_LT(cap[1], 0.0f);
}

}  // namespace
