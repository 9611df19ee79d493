#include "model/Set.hpp"

#include <cstdio>

namespace model {

Set::Set(const SetID& id, const std::string& name, const std::string& description)
    : Base<SetID>(id, name, 0, description, false, false) {}

std::string Set::getH5Path() const { return name + "/set"; }

void Set::setSize(const int& n) { size = n; }

std::string Set::getH5PathRoot() const { return name; }

SetID Set::getID() const { return id; }

void Set::print() const { std::printf("Set: %s (N=%i)\n", getH5Path().c_str(), getSize()); }

}  // namespace model
