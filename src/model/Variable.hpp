// Catalogue element: a global value that changes in time.
#pragma once

#include <string>

#include "model/Base.hpp"

namespace model {

/// Global value that changes in time, held on the host.
class Variable : public BaseData<VariableID>, public api::IVariable {
public:
    Variable(const VariableID& id, const std::string& name, const std::string& description,
             const bool& simulationOnly, const DataType& type, const int& size);
    bool isVariableInTime() const override;  // true
    void print() const override;
};

}  // namespace model
