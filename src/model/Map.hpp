// Catalogue element: a map between two sets.
#pragma once

#include <string>

#include "model/Base.hpp"

namespace model {

/// Map from the elements of a source set to `dimension` elements of a target set each.
class Map : public BaseSet<MapID>, public api::IMap {
public:
    Map(const MapID& id, const std::string& name, const std::string& description, api::ISet* from, api::ISet* to,
        const int& dimension);
    MapID getID() const override;
    api::ISet* getSetMapped() const override;
    void print() const override;

private:
    api::ISet* target;  // not owned
};

}  // namespace model
