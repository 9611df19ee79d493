// Periodic trigger over simulation time with start, increment and end (all in seconds).
#pragma once

#include "simulation/IExecutionPlan.hpp"

namespace simulation {

/// Fires at start, start + increment, ... up to end. start == end fires exactly once; increment 0 fires at every
/// call within [start, end]. A plan that is late fires on consecutive calls, one increment per call, until it has
/// caught up.
class ExecutionPlan : public api::IExecutionPlan {
public:
    ExecutionPlan(const double& start, const double& increment, const double& end);
    ~ExecutionPlan() override = default;

    bool execute(const double& t) override;
    bool execute(const double& t, double& dt) override;
    double getIncrement() const override;

    /// Same decision and effect as execute(t).
    bool checkExecution(const double& t);

private:
    double start;
    double increment;
    double end;
    double next;
    bool everyStep = false;
    bool once = false;
    bool done = false;
};

}  // namespace simulation
