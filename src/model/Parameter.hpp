// Catalogue element: a global parameter.
#pragma once

#include <string>

#include "model/Base.hpp"

namespace model {

/// Global constant of `size` values; stored under "Parameters/" + name.
class Parameter : public BaseData<ParameterID>, public api::IParameter {
public:
    Parameter(const ParameterID& id, const std::string& name, const std::string& description,
              const bool& simulationOnly, const bool& setupOnly, const DataType& type, const int& size);
    std::string getH5Path() const override;
    bool isVariableInTime() const override;  // false: constant over the run
    void print() const override;
};

}  // namespace model
