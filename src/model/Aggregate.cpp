#include "model/Aggregate.hpp"

#include <cstdio>

namespace model {

Aggregate::Aggregate(const AggregateID& id, const std::string& name, const std::string& description)
    : Base<AggregateID>(id, name, 0, description, false, false) {}

AggregateID Aggregate::getID() const { return id; }

void Aggregate::print() const { std::printf("Aggregate: %s\n", getName().c_str()); }

}  // namespace model
