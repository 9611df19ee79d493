// Analytical solutions of the shallow-water equations that the whole-run verification compares against, and the
// Newton solver they need.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>

namespace verification {

constexpr double g = 9.81;

/// Newton's method on f with a numerical derivative; throws nothing, returns the last iterate after 100 steps.
template <class F>
double newton(F f, double x)
{
    for (int k = 0; k < 100; ++k) {
        const double fx = f(x);
        const double dx = 1e-7 * std::max(1.0, std::abs(x));
        const double slope = (f(x + dx) - f(x - dx)) / (2.0 * dx);
        const double step = fx / slope;
        x -= step;
        if (std::abs(step) < 1e-14 * std::max(1.0, std::abs(x))) break;
    }
    return x;
}

/// Stoker's dam break over a flat, frictionless, wet bed: depth hl left of x0, hr < hl right of it, at rest. The
/// solution is a left rarefaction, a constant middle state (hm, um) and a right-going shock of speed s.
struct Stoker {
    double hl, hr, x0;
    double hm = 0.0, um = 0.0, shock = 0.0;

    Stoker(double hl_, double hr_, double x0_) : hl(hl_), hr(hr_), x0(x0_)
    {
        const double cl = std::sqrt(g * hl);
        // Middle depth: the rarefaction's velocity 2(cl - cm) equals the velocity behind the shock that the
        // Rankine-Hugoniot relations give for the jump from hr (at rest) to hm.
        const auto mismatch = [&](double h) {
            return 2.0 * (cl - std::sqrt(g * h)) - (h - hr) * std::sqrt(0.5 * g * (h + hr) / (h * hr));
        };
        hm = newton(mismatch, 0.5 * (hl + hr));
        um = 2.0 * (cl - std::sqrt(g * hm));
        shock = hm * um / (hm - hr);
    }

    double depth(double x, double t) const
    {
        const double cl = std::sqrt(g * hl);
        const double xi = (x - x0) / t;
        if (xi <= -cl) return hl;
        if (xi < um - std::sqrt(g * hm)) return (2.0 * cl - xi) * (2.0 * cl - xi) / (9.0 * g);
        if (xi < shock) return hm;
        return hr;
    }
};

/// Ritter's dry-bed dam break: depth h0 for x - x0 < -c0 t, (2 c0 - (x - x0)/t)^2 / (9 g) up to the front at
/// x - x0 = 2 c0 t, dry beyond (c0 = sqrt(g h0)).
inline double ritterDepth(double x, double t, double x0, double h0)
{
    const double c0 = std::sqrt(g * h0);
    const double xi = (x - x0) / t;
    if (xi <= -c0) return h0;
    if (xi >= 2.0 * c0) return 0.0;
    return (2.0 * c0 - xi) * (2.0 * c0 - xi) / (9.0 * g);
}

/// Steady subcritical flow over a bump z = max(0, 0.2 - 0.05 (x - 10)^2) in a 25 m frictionless channel: q per metre
/// of width enters on the left, the water surface is held at 2 m on the right. Per cell the depth follows from
/// Bernoulli's energy E = h + q^2 / (2 g h^2) + z, equal to its value at the outlet (h = 2 m, z = 0): the
/// subcritical root of h^3 + (z - E) h^2 + q^2 / (2 g) = 0, by Newton from h = E - z.
inline double bernoulliDepth(double z, double q, double energy)
{
    return newton([&](double h) { return h * h * h + (z - energy) * h * h + q * q / (2.0 * g); }, energy - z);
}

}  // namespace verification
