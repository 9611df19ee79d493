#include "model/Map.hpp"

#include <cstdio>

namespace model {

Map::Map(const MapID& id, const std::string& name, const std::string& description, api::ISet* from, api::ISet* to,
         const int& dimension)
    : Base<MapID>(id, name, dimension, description, false, false),
      BaseSet<MapID>(id, name, dimension, description, from),
      target(to) {}

MapID Map::getID() const { return id; }

api::ISet* Map::getSetMapped() const { return target; }

void Map::print() const {
    std::printf("Map: %s\n", getH5Path().c_str());
    std::printf(" -> with dimension (%i/%i)\n", set->getSize(), getSize());
}

}  // namespace model
