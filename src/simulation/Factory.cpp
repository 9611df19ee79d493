#include "simulation/Factory.hpp"

#include "simulation/ExecutionPlan.hpp"

namespace simulation {

api::IExecutionPlan* Factory::createExecutionPlan(const double& start, const double& increment, const double& end)
{
    return new ExecutionPlan(start, increment, end);
}

api::IExecutionPlan* Factory::createExecutionPlan(const double& start, const double& increment, const double& end,
                                                  bool closing, double origin)
{
    return new ExecutionPlan(start, increment, end, closing, origin);
}

}  // namespace simulation
