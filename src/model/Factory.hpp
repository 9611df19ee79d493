// Creation of catalogue elements and choice of a model composition.
#pragma once

#include <string>
#include <vector>

#include "model/IModel.hpp"
#include "model/Identifiers.hpp"
#include "model/Interfaces.hpp"

namespace model {

/// Static creators. Every returned object is owned by the caller (normally a Model, which deletes its elements).
class Factory {
public:
    /// Composes a model from a specification:
    ///  ""                   every aggregate, with the set-up-only data;
    ///  "a.<N>" / "k.<N>"    (the whole argument) one aggregate / one kernel, without set-up-only data;
    ///  "<path>.json"        the aggregates switched on in that set-up command file;
    ///  "<path>.h5", or any other existing file: the aggregates of the command text archived in that model or
    ///                       results file (dots elsewhere in the path, as in "run.1/model.v2.h5", do not matter).
    /// Anything else prints " -> no model definition found" on standard error and throws TerraException.
    static api::IModel* createModel(const std::string& spec);

    /// File name or JSON text of a set-up command file; an aggregate is on when all its command-file paths exist.
    static api::IModel* getModelFromCommandFile(const std::string& fileOrText);
    /// Model or results file holding the archived set-up command text ".config/model".
    static api::IModel* getModelFromH5File(const std::string& h5File);
    static api::IModel* getModelFromAggregates(const std::vector<AggregateID>& aggregates, const bool& includeSetup);
    static api::IModel* getModelFromKernels(const std::vector<KernelID>& kernels, const bool& includeSetup);

    static api::IAggregate* createAggregate(const AggregateID& id);
    static api::ISet* createSet(const SetID& id);
    /// `set` is the kernel's loop set; not owned by the kernel.
    static api::IKernel* createKernel(const KernelID& id, api::ISet* set);
    /// `from` and `to` are the source and target sets; not owned by the map.
    static api::IMap* createMap(const MapID& id, api::ISet* from, api::ISet* to);
    static api::IData* createData(const DataID& id, api::ISet* set, const bool& isSolution);
    static api::IParameter* createParameter(const ParameterID& id);
    static api::IVariable* createVariable(const VariableID& id);
    /// The output is created undefined; Model::defineOutput gives it its columns and operations.
    static api::IOutput* createOutput(const OutputID& id, api::ISet* set);
};

}  // namespace model
