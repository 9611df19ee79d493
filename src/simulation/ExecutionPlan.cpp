#include "simulation/ExecutionPlan.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace simulation {

namespace {

/// Trigger times closer than this many increments to the start or the end are taken as those times.
constexpr double kSnap = 1.0e-9;

}  // namespace

ExecutionPlan::ExecutionPlan(const double& start, const double& increment, const double& end, bool closing)
    : ExecutionPlan(start, increment, end, closing, start)
{
}

ExecutionPlan::ExecutionPlan(const double& start, const double& increment, const double& end, bool closing,
                             double origin)
    : start(start), increment(increment), end(end), origin(origin), closing(closing), next(start), last(start)
{
    once = (start == end);
    if (!once) everyStep = (increment == 0.0);
    if (once || everyStep || !(increment > 0.0)) return;
    // The first trigger at or after the start.
    k = std::max(0LL, static_cast<long long>(std::ceil((start - origin) / increment - kSnap)));
    next = triggerTime(k);
}

double ExecutionPlan::triggerTime(long long index) const
{
    const double t = origin + static_cast<double>(index) * increment;
    const double snap = kSnap * increment;
    if (std::abs(t - start) <= snap) return start;
    if (std::abs(t - end) <= snap) return end;
    if (t < end) return t;
    // Past the end: the end itself closes the plan when the trigger before it fell short of the end.
    const double before = origin + static_cast<double>(index - 1) * increment;
    if (closing && before < end - snap) return end;
    return closing ? std::numeric_limits<double>::infinity() : t;
}

bool ExecutionPlan::checkExecution(const double& t)
{
    if (done || t < start || t > end) return false;
    if (everyStep) return true;
    if (t < next) return false;
    last = next;
    if (once) {
        done = true;
        return true;
    }
    next = triggerTime(++k);
    return true;
}

bool ExecutionPlan::execute(const double& t) { return checkExecution(t); }

bool ExecutionPlan::execute(const double& t, double& dt)
{
    const bool due = checkExecution(t);
    if (due)
        dt = std::min(increment, dt);
    else
        dt = std::min(next - t, dt);
    return due;
}

double ExecutionPlan::getIncrement() const { return increment; }

double ExecutionPlan::nextTime() const
{
    if (done || next > end) return std::numeric_limits<double>::infinity();
    return next;
}

double ExecutionPlan::lastTime() const { return last; }

}  // namespace simulation
