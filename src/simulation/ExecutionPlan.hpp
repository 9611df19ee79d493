// Periodic trigger over simulation time with start, increment and end (all in seconds).
#pragma once

#include "simulation/IExecutionPlan.hpp"

namespace simulation {

/// Fires at the trigger times origin + k × increment (k = 0, 1, ...) that lie in [start, end]; origin is start
/// unless given. Each trigger time is computed from k, never by summing increments, so that the thousandth
/// output of a 0.1 s interval is 100 and not 99.9999999999986; a trigger time within 1e-9 increments of start or
/// end is that time exactly. With `closing`, the plan also fires at end when end is not a trigger time itself.
/// start == end fires exactly once; increment 0 fires at every call within [start, end]. A plan that is late
/// fires on consecutive calls, one trigger per call, until it has caught up.
class ExecutionPlan : public api::IExecutionPlan {
public:
    ExecutionPlan(const double& start, const double& increment, const double& end, bool closing = false);
    ExecutionPlan(const double& start, const double& increment, const double& end, bool closing, double origin);
    ~ExecutionPlan() override = default;

    bool execute(const double& t) override;
    bool execute(const double& t, double& dt) override;
    double getIncrement() const override;
    double nextTime() const override;
    double lastTime() const override;

    /// Same decision and effect as execute(t).
    bool checkExecution(const double& t);

private:
    /// Trigger time of index k, snapped to start or end; the end itself past the last regular trigger when
    /// closing; +infinity beyond.
    double triggerTime(long long k) const;

    double start;
    double increment;
    double end;
    double origin;
    bool closing;
    long long k = 0;
    double next;
    double last;
    bool everyStep = false;
    bool once = false;
    bool done = false;
};

}  // namespace simulation
