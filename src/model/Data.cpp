#include "model/Data.hpp"

#include <cstdio>

namespace model {

Data::Data(const DataID& id, const std::string& name, const std::string& description, const bool& simulationOnly,
           const bool& setupOnly, const DataType& type, api::ISet* set, const int& dimension, const bool& solution)
    : Base<DataID>(id, name, dimension, description, simulationOnly, setupOnly),
      BaseData<DataID>(id, name, dimension, description, simulationOnly, setupOnly, type, solution),
      BaseSet<DataID>(id, name, dimension, description, set) {}

void Data::print() const {
    std::printf("Data: %s (dtype=%s)\n", getH5Path().c_str(), getType().c_str());
    std::printf(" -> with dimension (%i/%i)\n", set->getSize(), getSize());
}

}  // namespace model
