#include "model/Parameter.hpp"

#include <cstdio>

namespace model {

Parameter::Parameter(const ParameterID& id, const std::string& name, const std::string& description,
                     const bool& simulationOnly, const bool& setupOnly, const DataType& type, const int& size)
    : Base<ParameterID>(id, name, size, description, simulationOnly, setupOnly),
      BaseData<ParameterID>(id, name, size, description, simulationOnly, setupOnly, type, false) {}

std::string Parameter::getH5Path() const { return "Parameters/" + name; }

bool Parameter::isVariableInTime() const { return false; }

void Parameter::print() const {
    std::printf("Parameter: %s (dtype=%s)\n", getH5Path().c_str(), getType().c_str());
    std::printf(" -> with size %i\n", getSize());
}

}  // namespace model
