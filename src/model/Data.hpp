// Catalogue element: a typed per-element data array on a set.
#pragma once

#include <string>

#include "model/Base.hpp"

namespace model {

/// Typed per-element array of `dimension` components on one set.
class Data : public BaseData<DataID>, public BaseSet<DataID>, public api::IData {
public:
    Data(const DataID& id, const std::string& name, const std::string& description, const bool& simulationOnly,
         const bool& setupOnly, const DataType& type, api::ISet* set, const int& dimension, const bool& solution);
    void print() const override;
};

}  // namespace model
