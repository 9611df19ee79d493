// Catalogue element: a switchable model feature.
#pragma once

#include <string>

#include "model/Base.hpp"

namespace model {

/// Switchable model feature.
class Aggregate : public Base<AggregateID>, public api::IAggregate {
public:
    Aggregate(const AggregateID& id, const std::string& name, const std::string& description);
    AggregateID getID() const override;
    void print() const override;
};

}  // namespace model
