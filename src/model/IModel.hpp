// Abstract interface of a composed model: the catalogue elements one run uses, owned by the model.
#pragma once

#include <string>
#include <vector>

#include "model/Identifiers.hpp"
#include "model/Interfaces.hpp"

namespace api {

/// A model composed from aggregates or kernels and closed over the catalogue relations. Every element list is in
/// ascending identifier order; the model owns its elements and deletes them when it is destroyed.
class IModel {
public:
    virtual ~IModel() = default;

    virtual std::vector<IAggregate*> getAggregates() const = 0;
    virtual std::vector<ISet*> getSets() const = 0;
    virtual std::vector<IKernel*> getKernels() const = 0;
    virtual std::vector<IData*> getDats() const = 0;
    virtual std::vector<IMap*> getMaps() const = 0;
    virtual std::vector<IParameter*> getPars() const = 0;
    virtual std::vector<IVariable*> getVars() const = 0;
    virtual std::vector<IOutput*> getOuts() const = 0;

    /// The element of the model; fatal (" -> <kind> <id> not found") when it is not part of the model.
    virtual IAggregate* getAggregate(const model::AggregateID& id) const = 0;
    virtual ISet* getSet(const model::SetID& id) const = 0;
    virtual IKernel* getKernel(const model::KernelID& id) const = 0;
    virtual IData* getData(const model::DataID& id) const = 0;
    virtual IMap* getMap(const model::MapID& id) const = 0;
    virtual IParameter* getParameter(const model::ParameterID& id) const = 0;
    virtual IVariable* getVariable(const model::VariableID& id) const = 0;
    virtual IOutput* getOutput(const model::OutputID& id) const = 0;

    /// Whether the element is part of the model.
    virtual bool getComponent(const model::AggregateID& id) const = 0;
    virtual bool getComponent(const model::SetID& id) const = 0;
    virtual bool getComponent(const model::KernelID& id) const = 0;
    virtual bool getComponent(const model::DataID& id) const = 0;
    virtual bool getComponent(const model::MapID& id) const = 0;
    virtual bool getComponent(const model::ParameterID& id) const = 0;
    virtual bool getComponent(const model::VariableID& id) const = 0;
    virtual bool getComponent(const model::OutputID& id) const = 0;

    /// Free-standing catalogue element for facts about something outside the model; the caller owns the result.
    /// A datum or a map lives on freshly built sets that the model keeps (and deletes) itself, so the element
    /// must not be used after the model is gone. A kernel lives on the model's set when the model has it.
    virtual ISet* createTempComponent(const model::SetID& id) = 0;
    virtual IData* createTempComponent(const model::DataID& id) = 0;
    virtual IMap* createTempComponent(const model::MapID& id) = 0;
    virtual IKernel* createTempComponent(const model::KernelID& id) = 0;
    virtual IParameter* createTempComponent(const model::ParameterID& id) = 0;

    /// Gives an output of the model its columns and operations from the catalogue.
    virtual void defineOutput(const model::OutputID& id) = 0;
    /// Adds the requested outputs (names as in the configuration's OUTPUT list). A name that this model cannot
    /// compute is fatal, after the list of the valid names is printed on standard error.
    virtual void addOutputs(const std::vector<std::string>& names) = 0;
};

}  // namespace api
