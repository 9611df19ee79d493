// A driver whose kernels are test scripts: they limit the step, change the state or record their calls, so that
// the time loop, the set-up and the results file can be checked without the numerical kernels.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "model/Identifiers.hpp"
#include "simulation/TERRAcommon_op.hpp"

namespace drivertest {

class ScriptedDriver : public simulation::TERRAcommon {
public:
    ScriptedDriver(const std::string& configFile, const std::string& runfile) : TERRAcommon(configFile, runfile) {}

    void initializeSimulationParameters() override { ++derivedParameterCalls; }

    /// Registers a kernel that records its identifier and the time of each call.
    void addRecorder(model::KernelID id)
    {
        kernelFunctions[id] = [this, id] { calls.push_back({id, time}); };
    }
    /// Registers, under the time-step identifier, a kernel that limits the step to `step` [s] and, like the
    /// time-step kernel, hands it back rounded to float.
    void addStepLimiter(double step)
    {
        kernelFunctions[model::KernelID::TimeStepCalculation] = [this, step] {
            calls.push_back({model::KernelID::TimeStepCalculation, time});
            dt = static_cast<double>(std::min(static_cast<float>(dt), static_cast<float>(step)));
        };
    }
    /// Registers, under the internal-flux identifier, a kernel that raises the water surface of every cell.
    void addSurfaceRise(float rise)
    {
        kernelFunctions[model::KernelID::HydInternalFluxes] = [this, rise] {
            op_dat state = data.at(model::DataID::HydState);
            float* values = reinterpret_cast<float*>(state->data);
            for (int c = 0; c < state->set->size; ++c) values[3 * c] += rise;
        };
    }

    struct Call {
        model::KernelID id;
        double time;
    };
    std::vector<Call> calls;
    int derivedParameterCalls = 0;

    using TERRAcommon::data;
    using TERRAcommon::enumeratorData;
    using TERRAcommon::kernelFunctions;
    using TERRAcommon::kernelPlans;
    using TERRAcommon::outputCounter;
    using TERRAcommon::regularOutputs;
    using TERRAcommon::sets;
    using TERRAcommon::solutionData;
    using TERRAcommon::trackedOutputs;
};

}  // namespace drivertest
