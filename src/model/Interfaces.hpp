// Abstract interfaces of the catalogue elements; users of a model hold elements only through these.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "model/Identifiers.hpp"
#include "model/Property.hpp"

namespace api {

class ISet;

/// Facts every catalogue element has: name, description, size, place in the HDF5 files and two flags.
class IBase {
public:
    virtual ~IBase() = default;
    virtual std::string getName() const = 0;
    /// The name as a character pointer, valid as long as the element lives (for the mesh-framework declarations).
    virtual const char* getNameC() const = 0;
    virtual std::string getH5Path() const = 0;
    virtual int getSize() const = 0;
    /// Created by the simulation itself instead of being read from the model file.
    virtual bool isSimulationOnly() const = 0;
    /// Part of the mesh description that only the set-up program needs.
    virtual bool isSetupOnly() const = 0;
    virtual std::string getDescription() const = 0;
    /// Writes a short description to standard output.
    virtual void print() const = 0;
};

/// Element that lives on a mesh set.
class IBaseSet : public virtual IBase {
public:
    /// The set the element lives on (for a map: its source set); not owned.
    virtual ISet* getSet() const = 0;
    /// (number of elements of the set, the element's own size).
    virtual std::vector<int> getDimension() const = 0;
};

/// Element that carries typed values.
template <typename ID>
class IBaseData : public virtual IBase {
public:
    /// "int", "float", "string", or "" for an unknown type code.
    virtual std::string getType() const = 0;
    /// Time-integrated state of a kernel.
    virtual bool isSolution() const = 0;
    virtual bool isVariableInTime() const = 0;
    virtual ID getID() const = 0;
};

class ISet : public virtual IBase {
public:
    /// Number of elements, known once the set is declared from the model file.
    virtual void setSize(const int& n) = 0;
    virtual std::string getH5PathRoot() const = 0;
    virtual model::SetID getID() const = 0;
};

class IMap : public virtual IBaseSet {
public:
    virtual model::MapID getID() const = 0;
    /// The target set; not owned.
    virtual ISet* getSetMapped() const = 0;
};

class IData : public virtual IBaseData<model::DataID>, public virtual IBaseSet {};

class IParameter : public virtual IBaseData<model::ParameterID> {};

class IVariable : public virtual IBaseData<model::VariableID> {};

/// A result quantity: copied from data columns, or computed from them by one operation per component.
class IOutput : public virtual IBaseData<model::OutputID>, public virtual IBaseSet {
public:
    using Column = std::pair<model::DataID, int>;
    virtual void define(const std::vector<Column>& columns, const std::vector<model::OutputOperation>& operations) = 0;
    /// Distinct data of the columns, ascending.
    virtual std::vector<model::DataID> getData() const = 0;
    virtual std::vector<Column> getDataColumns() const = 0;
    virtual int getNrDataFunctions() const = 0;
    virtual model::OutputOperation getDataFunction(const int& i) const = 0;
    /// Column positions to be filled from the initial state: position i of every equal pair i < j.
    virtual std::vector<int> getInitData() const = 0;
    /// Tracks maxima over the run and is written once at the end.
    virtual bool isTracking() const = 0;
};

class IKernel : public virtual IBaseSet {
public:
    virtual model::KernelID getID() const = 0;
    virtual void setOptionalData(const std::vector<model::DataID>& data) = 0;
    virtual std::vector<model::DataID> getOptionalData() const = 0;
};

class IAggregate : public virtual IBase {
public:
    virtual model::AggregateID getID() const = 0;
};

}  // namespace api
