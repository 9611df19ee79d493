// Common implementation of the catalogue elements: the facts of every element, of elements on a set and of
// elements carrying typed values.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "model/Interfaces.hpp"

namespace model {

/// Text form of a DataType code: "int", "float", "string", and "" for any other value.
std::string dataTypeText(int type);

template <typename ID>
class Base : public virtual api::IBase {
public:
    Base(const ID& id, const std::string& name, const int& size, const std::string& description,
         const bool& simulationOnly, const bool& setupOnly)
        : size(size), id(id), name(name), description(description), simulationOnly(simulationOnly),
          setupOnly(setupOnly) {}

    std::string getName() const override { return name; }
    const char* getNameC() const override { return name.c_str(); }
    std::string getH5Path() const override { return name; }
    int getSize() const override { return size; }
    bool isSimulationOnly() const override { return simulationOnly; }
    bool isSetupOnly() const override { return setupOnly; }
    std::string getDescription() const override { return description; }

protected:
    int size;
    ID id;
    std::string name;
    std::string description;
    bool simulationOnly;
    bool setupOnly;
};

/// Element on a set; its H5 path is the set's root + "/" + name.
template <typename ID>
class BaseSet : public virtual Base<ID>, public virtual api::IBaseSet {
public:
    BaseSet(const ID& id, const std::string& name, const int& size, const std::string& description, api::ISet* set)
        : Base<ID>(id, name, size, description, false, false), set(set) {}

    std::string getH5Path() const override { return set->getH5PathRoot() + "/" + this->name; }
    api::ISet* getSet() const override { return set; }
    std::vector<int> getDimension() const override {
        if (set == nullptr) throw std::out_of_range("element <" + this->name + "> has no set");
        return {set->getSize(), this->getSize()};
    }

protected:
    api::ISet* set;  // not owned
};

/// Element with typed values.
template <typename ID>
class BaseData : public virtual Base<ID>, public virtual api::IBaseData<ID> {
public:
    BaseData(const ID& id, const std::string& name, const int& size, const std::string& description,
             const bool& simulationOnly, const bool& setupOnly, const DataType& type, const bool& solution)
        : Base<ID>(id, name, size, description, simulationOnly, setupOnly), type(type), solution(solution) {}

    std::string getType() const override { return dataTypeText(type); }
    bool isSolution() const override { return solution; }
    /// Changes during the run: created by the simulation, or integrated in time.
    bool isVariableInTime() const override { return this->isSimulationOnly() || this->isSolution(); }
    ID getID() const override { return this->id; }

protected:
    DataType type;
    bool solution;
};

}  // namespace model
