// Creation of the driver's helper objects.
#pragma once

#include "simulation/IExecutionPlan.hpp"

namespace simulation {

class Factory {
public:
    /// A new periodic plan (times in seconds); the caller owns it.
    static api::IExecutionPlan* createExecutionPlan(const double& start, const double& increment, const double& end);
    /// A plan whose triggers are origin + k × increment within [start, end], and, when `closing`, also end itself.
    static api::IExecutionPlan* createExecutionPlan(const double& start, const double& increment, const double& end,
                                                    bool closing, double origin);
};

}  // namespace simulation
