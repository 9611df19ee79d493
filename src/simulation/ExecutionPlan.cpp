#include "simulation/ExecutionPlan.hpp"

#include <algorithm>

namespace simulation {

ExecutionPlan::ExecutionPlan(const double& start, const double& increment, const double& end)
    : start(start), increment(increment), end(end), next(start)
{
    once = (start == end);
    if (!once) everyStep = (increment == 0.0);
}

bool ExecutionPlan::checkExecution(const double& t)
{
    if (done || t < start || t > end) return false;
    if (everyStep) return true;
    if (t < next) return false;
    if (once) {
        done = true;
        return true;
    }
    next += increment;
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

}  // namespace simulation
