// A composed model: the closure of a list of aggregates or kernels over the catalogue relations.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/IModel.hpp"
#include "model/Identifiers.hpp"

namespace model {

/// Owns one element object per catalogue entry the model uses. Built once per run; outputs requested by the
/// configuration are added afterwards; elements are never removed.
class Model : public api::IModel {
public:
    /// Kernels are those of the aggregates; set-up-only data and parameters join when includeSetup is true.
    Model(const std::vector<AggregateID>& aggregates, const bool& includeSetup);
    Model(const std::vector<KernelID>& kernels, const bool& includeSetup);
    ~Model() override;
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    /// Every aggregate of the catalogue, ascending.
    static std::vector<AggregateID> getFullModel();

    std::vector<api::IAggregate*> getAggregates() const override;
    std::vector<api::ISet*> getSets() const override;
    std::vector<api::IKernel*> getKernels() const override;
    std::vector<api::IData*> getDats() const override;
    std::vector<api::IMap*> getMaps() const override;
    std::vector<api::IParameter*> getPars() const override;
    std::vector<api::IVariable*> getVars() const override;
    std::vector<api::IOutput*> getOuts() const override;

    api::IAggregate* getAggregate(const AggregateID& id) const override;
    api::ISet* getSet(const SetID& id) const override;
    api::IKernel* getKernel(const KernelID& id) const override;
    api::IData* getData(const DataID& id) const override;
    api::IMap* getMap(const MapID& id) const override;
    api::IParameter* getParameter(const ParameterID& id) const override;
    api::IVariable* getVariable(const VariableID& id) const override;
    api::IOutput* getOutput(const OutputID& id) const override;

    bool getComponent(const AggregateID& id) const override;
    bool getComponent(const SetID& id) const override;
    bool getComponent(const KernelID& id) const override;
    bool getComponent(const DataID& id) const override;
    bool getComponent(const MapID& id) const override;
    bool getComponent(const ParameterID& id) const override;
    bool getComponent(const VariableID& id) const override;
    bool getComponent(const OutputID& id) const override;

    api::ISet* createTempComponent(const SetID& id) override;
    api::IData* createTempComponent(const DataID& id) override;
    api::IMap* createTempComponent(const MapID& id) override;
    api::IKernel* createTempComponent(const KernelID& id) override;
    api::IParameter* createTempComponent(const ParameterID& id) override;

    void defineOutput(const OutputID& id) override;
    void addOutputs(const std::vector<std::string>& names) override;

private:
    /// Closes the kernel list over data, maps, parameters, variables and sets, checks the indirections, adds
    /// set-up data when asked, selects the tracking outputs, then creates the elements.
    void init(const bool& includeSetup);
    void create();
    /// Output names this model can compute on request: non-tracking outputs whose set and data are all present.
    std::vector<OutputID> validOutputs() const;

    std::vector<AggregateID> aggregates;
    std::vector<KernelID> kernels;
    std::vector<SetID> sets;
    std::vector<DataID> dats;
    std::vector<MapID> maps;
    std::vector<ParameterID> pars;
    std::vector<VariableID> vars;
    std::vector<OutputID> outs;

    std::map<AggregateID, api::IAggregate*> aMap;
    std::map<SetID, api::ISet*> sMap;
    std::map<KernelID, api::IKernel*> kMap;
    std::map<DataID, api::IData*> dMap;
    std::map<MapID, api::IMap*> mMap;
    std::map<ParameterID, api::IParameter*> pMap;
    std::map<VariableID, api::IVariable*> vMap;
    std::map<OutputID, api::IOutput*> oMap;

    /// Sets built for free-standing data, maps and kernels (createTempComponent); owned here.
    std::vector<api::ISet*> tempSets;
};

}  // namespace model
