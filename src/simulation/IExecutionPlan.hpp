// Interface of a periodic trigger over simulation time (outputs, progress messages, kernel schedule).
#pragma once

namespace api {

class IExecutionPlan {
public:
    virtual ~IExecutionPlan() = default;
    /// True when the plan is due at time t [s]; a due periodic plan moves on to its next trigger time.
    virtual bool execute(const double& t) = 0;
    /// As execute(t), and also limits the caller's step dt [s]: to the time left until the next trigger when the
    /// plan is not due, to one increment when it is.
    virtual bool execute(const double& t, double& dt) = 0;
    virtual double getIncrement() const = 0;
    /// The time [s] of the next trigger; +infinity when the plan will not fire again.
    virtual double nextTime() const = 0;
    /// The time [s] of the trigger the plan fired for last (the start before it has fired).
    virtual double lastTime() const = 0;
};

}  // namespace api
