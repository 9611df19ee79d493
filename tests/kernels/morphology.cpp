// Morphological kernels: bed gradient, streamline curvature, slope-corrected critical Shields value, bed-load
// transport with its derivative and direction corrections, the HLL sediment flux of internal edges, walls and
// morphological boundary codes, the fixed-bed correction with its iteration, and sediment sources.
#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "kernels/KernelTest.hpp"
#include "simulation/kernels/MorphologyCell.hpp"
#include "simulation/kernels/MorphologyFixedBed.hpp"
#include "simulation/kernels/MorphologyFluxes.hpp"
#include "support/Tolerance.hpp"

using mortest::kFactor;
using mortest::kG;
using mortest::kHmin;
using mortest::kRepose;
using mortest::kThetaC0;
using mortest::Side;

namespace {

using Offsets = std::array<std::array<double, 2>, 3>;
const Offsets kOffsets = {{{1.0, 0.3}, {-0.8, 0.7}, {-0.2, -1.1}}};

using MorphologyCell = mortest::MorphologyKernels;

TEST_F(MorphologyCell, BedGradientStartsAtZeroAndIsExactForALinearBed)
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
    /// Critical value of a cell of depth h flowing along `flow` over the bed gradient `grad`, by the formula `type`;
    /// `theta` is the value held before.
    float onSlope(int type, std::array<float, 2> grad, std::array<float, 2> flow = {1, 0}, float h = 1, float theta = -1)
    {
        G_INT[slot::IncipientMotType] = type;
        const float state[3] = {1.0f + h, flow[0], flow[1]}, zb = 1.0f;
        kernel_MORPHOLOGY_LocalBedSlope(state, &zb, grad.data(), &theta);
        return theta;
    }
};

TEST_F(CriticalShields, FlatBedKeepsTheFlatValueUphillFlowNeedsMoreAndDryCellsKeepTheirs)
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
    // A dry cell keeps the value it held; still water gets the flat value.
    EXPECT_EQ(onSlope(1, {0.1f, 0.3f}, {0.5f, 0.0f}, kHmin, 0.123f), 0.123f);
    EXPECT_CLOSE(onSlope(1, {0.1f, 0.3f}, {0.0f, 0.0f}), kThetaC0, 1e-7, 1e-6);
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

TEST_F(BedloadTransport, EachFormFollowsItsNumberAboveTheThresholdAndTheDerivativeMatchesTheCapacity)
{
    // u = 1 m/s over 1 m: Shields number u^2 / (cf^2 g s d) well above critical.
    const double s = 1.65, theta = 1.0 / (100.0 * kG * s * 0.001);
    run(1.0f, 1.0f, 0.0f);
    EXPECT_CLOSE(cap[0], 8.0 * std::sqrt(kG * s * 1e-9) * std::pow(theta - kThetaC0, 1.5), 1e-9, 1e-4);
    EXPECT_EQ(cap[1], 0.0f);
    for (int type : {1, 3, 4}) {  // Shields, velocity (critical velocity 0.3 m/s) and Chezy-power forms
        SCOPED_TRACE(type);
        G_INT[slot::BeadloadType] = type;
        critical = type == 3 ? 0.3f : kThetaC0;
        friction = 1;
        // The derivative is dQ/d|q| at fixed depth. More flow carries more sediment; deeper water at the same
        // discharge carries less.
        const float h = 0.8f, q = 0.9f, qUp = q + 1e-3f, qDown = q - 1e-3f;
        const double slope = (static_cast<double>(capacity(h, qUp)) - capacity(h, qDown)) / (qUp - qDown);
        run(h, q, 0.0f);
        EXPECT_GT(cap[0], 0.0f);
        EXPECT_CLOSE(der[0], slope, 1e-9, 2e-3);
        EXPECT_GT(capacity(h, 1.2f * q), capacity(h, q));
        EXPECT_LT(capacity(1.5f * h, q), capacity(h, q));
        // A dry cell (no reciprocal depth) transports nothing; below the threshold of the forms that have one
        // nothing moves, never backwards.
        for (const std::array<float, 3>& cell : {std::array<float, 3>{0.0f, 0.5f, 0.2f}, {1.0f, 0.16f, 0.12f}}) {
            if (type == 4 && cell[0] > 0.0f) continue;
            run(cell[0], cell[1], cell[2]);
            EXPECT_TRUE(cap[0] == 0.0f && cap[1] == 0.0f && der[0] == 0.0f && der[1] == 0.0f) << cell[0];
        }
        // Without friction (and without a Chezy value to read) only the velocity form transports.
        friction = 0;
        EXPECT_EQ(capacity(1.0f, 1.0f) > 0.0f, type == 3);
    }
}

TEST_F(BedloadTransport, DirectionFollowsFlowAndTurnsDownslopeAndTowardsTheInnerBank)
{
    // Both switches off: parallel to the discharge, although slope and curvature are there.
    gradient[0] = 0.05f;
    gradient[1] = 0.1f;
    curvature = 0.05f;
    run(1.0f, 0.6f, 0.8f);
    EXPECT_GT(cap[0], 0.0f);
    EXPECT_CLOSE(cap[0] * 0.8f - cap[1] * 0.6f, 0.0, 1e-10, 0.0);
    EXPECT_CLOSE(der[0] * 0.8f - der[1] * 0.6f, 0.0, 1e-10, 0.0);
    const float straight = std::hypot(cap[0], cap[1]);
    // Lateral slope: a bed rising to the left of a flow in +x turns the transport to the right (downslope), and the
    // other way round; the deflection turns, it does not scale. A flat bed does not deflect.
    G_INT[slot::BedloadIsIkeda] = 1;
    gradient[0] = curvature = 0.0f;
    for (float side : {0.1f, -0.1f, 0.0f}) {
        gradient[1] = side;
        run(1.0f, 1.0f, 0.0f);
        EXPECT_EQ(cap[1] < 0.0f, side > 0.0f) << side;
        EXPECT_EQ(der[1] < 0.0f, side > 0.0f) << side;
        EXPECT_EQ(cap[1] == 0.0f, side == 0.0f) << side;
        EXPECT_CLOSE(std::hypot(cap[0], cap[1]), straight, 1e-10, 1e-5) << side;
    }
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

TEST_F(SedimentFlux, HandBuiltEdgesOfEveryRegime)
{
    Side dry = cell(0.0f, {0.0f, 0.0f}, 0.0f, 0.0f, 0.3f);
    dry.wet = 0;
    dry.state[0] = dry.zb - 5e-7f;  // the small negative depth the update accepts
    const Side wet = cell(1.0f, {0.8f, 0.1f}, 2e-4f, 5e-4f), empty = cell(0.0f, {0.0f, 0.0f}, 1e-3f, 0.0f);
    const Side left = cell(1.0f, {1.0f, 0.5f}, 3e-4f, 0.0f), right = cell(1.2f, {1.1f, 0.4f}, 5e-4f, 0.0f, 0.05f);
    const Side same = cell(0.9f, {0.7f, -0.4f}, 3e-4f, 8e-4f, 0.2f);
    const float q = 0.2f * std::sqrt(kG * 0.2f);  // 0.2 m deep at the wave speed
    using N = std::array<float, 2>;
    const N x = {1.0f, 0.0f}, y = {0.0f, -1.0f}, d = {0.6f, 0.8f}, e = {-0.28f, 0.96f};
    const auto along = [](const Side& s, N n) { return s.cap[0] * n[0] + s.cap[1] * n[1]; };
    const struct {
        Side l, r;
        N n;
        float transport;
    } rows[] = {
        // Dry or half-dry edges carry nothing; two wet cells without depth or flow neither (a fan without width).
        {wet, dry, x, 0.0f}, {dry, wet, x, 0.0f}, {dry, dry, x, 0.0f}, {empty, empty, x, 0.0f},
        // Without bed waves the flux is upwind of the water wave: subcritical the right cell's normal transport,
        // supercritical (u_n > c on both sides) the upstream cell's, either way.
        {left, right, d, along(right, d)},
        {cell(0.2f, {2.0f * q, 0.0f}, 4e-4f, 0.0f), cell(0.2f, {2.5f * q, 0.0f}, 6e-4f, 0.0f, -0.1f), x, 4e-4f},
        {cell(0.2f, {-2.0f * q, 0.0f}, 4e-4f, 0.0f), cell(0.2f, {-2.5f * q, 0.0f}, 6e-4f, 0.0f), x, -6e-4f},
        // Equal states carry their common normal transport, whatever the wave speeds.
        {same, same, x, along(same, x)}, {same, same, y, along(same, y)}, {same, same, e, along(same, e)},
        // A bed step without transport moves nothing when the bed waves cannot travel (no derivative, subcritical).
        {cell(1.0f, {0.6f, 0.0f}, 0.0f, 0.0f), cell(0.9f, {0.6f, 0.0f}, 0.0f, 0.0f, 0.1f), x, 0.0f},
    };
    for (const auto& r : rows)
        EXPECT_CLOSE(flux(r.l, r.r, r.n), r.transport * scale(), 0.0, 1e-5) << "row " << &r - rows;
    // With bed waves a bed step alone moves sediment from the higher to the lower cell.
    const Side low = cell(1.0f, {0.6f, 0.0f}, 0.0f, 1e-3f, 0.0f), high = cell(0.9f, {0.6f, 0.0f}, 0.0f, 1e-3f, 0.1f);
    EXPECT_LT(flux(low, high), 0.0f);
    EXPECT_GT(flux(high, low), 0.0f);
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
};

TEST_F(SedimentBoundary, EveryCodeByItsRow)
{
    // Depth 2 m, cf^2 = 25, edge length 3 m, cell area 12 m^2, dt 2 s: a flux f moves the bed by -0.5 f. A negative
    // flux enters the cell and raises its bed.
    const double f = kFactor * porosityFactor(), h = 2.0, conveyance = h * std::sqrt(25.0 * h);
    const struct {
        int type, k;
        float r0, r1;
        double flux;
    } rows[] = {
        {400, 0, 1.5f, 0, -1.0},  // 400 raises a bed below the level r0 to it within one step
        {400, 0, 0.5f, 0, 0},     {400, 0, 1.0f, 0, 0},
        {402, 0, 0.25f, 0, 1.5},  // 402 lowers a bed above the level r0 to it within one step
        {402, 0, 1.5f, 0, 0},     {402, 0, 1.0f, 0, 0},
        // 404-408 feed r1 (per depth, per conveyance) only for k*r1 < 0, i.e. into the cell.
        {404, -1, 0, 0.2f, -0.2 * f},  {406, -1, 0, 0.2f, -0.2 * h * f},  {408, 2, 0, -0.1f, -0.2 * conveyance * f},
        {404, 1, 0, 0.2f, 0},          {406, 1, 0, 0.2f, 0},               {408, 1, 0, 0.2f, 0},
        {404, -1, 0, 0, 0},            {406, -1, 0, 0, 0},                 {408, -1, 0, 0, 0},
        // 410-414 impose r0*r1 (per depth, per conveyance) in either direction.
        {410, 0, 0.4f, 0.2f, -0.08 * f},  {410, 0, -0.4f, 0.2f, 0.08 * f},  {412, 0, 0.4f, 0.2f, -0.08 * h * f},
        {414, 0, 0.4f, -0.2f, 0.08 * conveyance * f},
        // Unknown codes (also 0 and the odd codes between) are closed.
        {0, -1, 0.4f, 0.2f, 0},  {399, -1, 0.4f, 0.2f, 0}, {401, -1, 0.4f, 0.2f, 0}, {405, -1, 0.4f, 0.2f, 0},
        {411, -1, 0.4f, 0.2f, 0}, {416, -1, 0.4f, 0.2f, 0}, {100, -1, 0.4f, 0.2f, 0},
    };
    for (const auto& r : rows) EXPECT_CLOSE(flux(r.type, r.k, r.r0, r.r1), r.flux, 1e-6, 1e-5) << r.type << " " << r.k;
    // Without friction there is no Chezy value to read: the conveyance-weighted codes give nothing.
    G_INT[slot::FrictionOn] = 0;
    EXPECT_EQ(flux(408, -1, 0.4f, 0.2f), 0.0f);
    EXPECT_EQ(flux(414, -1, 0.4f, 0.2f), 0.0f);
    EXPECT_CLOSE(flux(406, -1, 0.4f, 0.2f), -0.2 * h * f, 1e-7, 1e-5);
}

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
    EXPECT_TRUE(f[0] == 0.5f && f[1] == 0.3f && f[2] == -0.4f);

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
};

TEST_F(FixedBedChain, IteratesUntilNoCellErodesItsFixedBedWithinItsLimits)
{
    // accuracy, iteration limit, passes and searches expected, fluxes afterwards (A's bed ends at f0 - f1 below
    // its fixed bed, B's at f1 - f2).
    const struct {
        float accuracy;
        int maxIter, passes, searches;
        float f0, f1, f2;
    } rows[] = {
        {1e-4f, 10, 3, 3, 1.0f, 1.0f, 1.0f},  // the supply passes through, nothing is eroded
        {1e-4f, 0, 0, 0, 1.0f, 2.0f, 3.0f},   // no iteration allowed
        {1e6f, 10, 0, 0, 1.0f, 2.0f, 3.0f},   // an accuracy no overshoot reaches
        {1e-4f, 1, 1, 0, 1.0f, 1.0f, 2.0f},   // one pass, no search: B still loses 1 m
        {1.5f, 10, 1, 1, 1.0f, 1.0f, 2.0f},   // an overshoot within the accuracy ends after the first search
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "accuracy " << r.accuracy << ", limit " << r.maxIter);
        f[0] = 1.0f, f[1] = 2.0f, f[2] = 3.0f;
        passes = searches = 0;
        EXPECT_EQ(iterate(r.accuracy, r.maxIter), r.passes);
        EXPECT_EQ(passes, r.passes);
        EXPECT_EQ(searches, r.searches);
        EXPECT_CLOSE(f[0], r.f0, 1e-6, 0.0);
        EXPECT_CLOSE(f[1], r.f1, 1e-6, 0.0);
        EXPECT_CLOSE(f[2], r.f2, 1e-6, 0.0);
        EXPECT_CLOSE(a.bedAfter(1.0f), r.f0 - r.f1, 1e-6, 0.0);
        EXPECT_CLOSE(b.bedAfter(1.0f), r.f1 - r.f2, 1e-6, 0.0);
    }
}

using SedimentSource = mortest::MorphologyKernels;

TEST_F(SedimentSource, SinksHonourTheFixedBedByTheirCode)
{
    // Bed 1.0 over a fixed bed 0.8 under 1 m of water, dt 10 s. Deposits are added by every code; 31 (available)
    // erodes down to the fixed bed at most, 32 (infinity) exactly down to it, 30 (exact) into it, reporting it and
    // failing the mass check; other codes do nothing. The water depth and discharge are always kept.
    const float zFix = 0.8f, dt = 10.0f;
    const struct {
        int type;
        float rate, bed;
        int ok;
        const char* out;
    } rows[] = {
        {30, 0.01f, 1.1f, 1, ""},     {31, 0.01f, 1.1f, 1, ""},      {32, 0.01f, 1.1f, 1, ""},
        {31, -0.01f, 0.9f, 1, ""},    {31, -0.03f, zFix, 1, ""},     {32, -1e-4f, zFix, 1, ""},
        {32, -0.03f, zFix, 1, ""},    {32, -100.0f, zFix, 1, ""},    {30, -0.03f, 0.7f, 0, "MASS BALANCE PROBLEM: z = 0.7 < zFix = 0.8\n"},
        {0, -0.05f, 1.0f, 1, ""},     {12, -0.05f, 1.0f, 1, ""},     {29, -0.05f, 1.0f, 1, ""},
        {33, -0.05f, 1.0f, 1, ""},    {40, -0.05f, 1.0f, 1, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "code " << r.type << ", rate " << r.rate);
        float zb = 1.0f, state[3] = {2.0f, 0.3f, -0.1f};
        const float row[2] = {0.0f, r.rate};
        int ok = 1;
        testing::internal::CaptureStdout();
        kernel_MORPHOLOGY_Source(&dt, row, &r.type, &zb, &zFix, state, &ok);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), r.out);
        if (r.bed == zFix)
            EXPECT_EQ(zb, zFix);
        else
            EXPECT_CLOSE(zb, r.bed, 1e-6, 1e-6);
        EXPECT_EQ(ok, r.ok);
        EXPECT_CLOSE(state[0] - zb, 1.0, 1e-6, 0.0) << "the water depth is kept";
        EXPECT_EQ(state[1], 0.3f);
        EXPECT_EQ(state[2], -0.1f);
        // A later good cell does not restore the flag.
        const float none[2] = {0.0f, 0.0f};
        kernel_MORPHOLOGY_Source(&dt, none, &r.type, &zb, &zFix, state, &ok);
        EXPECT_EQ(ok, r.ok);
    }
}

}  // namespace
