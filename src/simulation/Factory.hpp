// Creation of the driver's helper objects.
#pragma once

#include "simulation/IExecutionPlan.hpp"

namespace simulation {

class Factory {
public:
    /// A new periodic plan (times in seconds); the caller owns it.
    static api::IExecutionPlan* createExecutionPlan(const double& start, const double& increment, const double& end);
};

}  // namespace simulation
