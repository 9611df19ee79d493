#include "model/Variable.hpp"

#include <cstdio>

namespace model {

Variable::Variable(const VariableID& id, const std::string& name, const std::string& description,
                   const bool& simulationOnly, const DataType& type, const int& size)
    : Base<VariableID>(id, name, size, description, simulationOnly, false),
      BaseData<VariableID>(id, name, size, description, simulationOnly, false, type, false) {}

bool Variable::isVariableInTime() const { return true; }

void Variable::print() const {
    std::printf("Variable: %s (dtype=%s)\n", getH5Path().c_str(), getType().c_str());
    std::printf(" -> with size %i\n", getSize());
}

}  // namespace model
