#include "model/Model.hpp"

#include <algorithm>
#include <iostream>

#include "common/TerraException.hpp"
#include "model/Catalogue.hpp"
#include "model/Factory.hpp"

namespace model {

namespace {

template <typename T>
void sortUnique(std::vector<T>& list)
{
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
}

template <typename T>
void append(std::vector<T>& list, const std::vector<T>& more)
{
    list.insert(list.end(), more.begin(), more.end());
}

template <typename ID, typename I>
std::vector<I*> values(const std::map<ID, I*>& elements)
{
    std::vector<I*> list;
    list.reserve(elements.size());
    for (const auto& it : elements) list.push_back(it.second);
    return list;
}

/// The element of id, or fatal "<kind> <id> not found".
template <typename ID, typename I>
I* lookup(const std::map<ID, I*>& elements, const ID& id, const char* kind)
{
    const auto it = elements.find(id);
    I* c = it == elements.end() ? nullptr : it->second;
    HYDROVA_ASSERT(c != nullptr, kind << " <" << toInt(id) << "> not found");
    return c;
}

template <typename ID, typename I>
void deleteAll(std::map<ID, I*>& elements)
{
    for (auto& it : elements) delete it.second;
    elements.clear();
}

}  // namespace

Model::Model(const std::vector<AggregateID>& aggregates, const bool& includeSetup) : aggregates(aggregates)
{
    const auto& AggregateDescription = catalogue::aggregates();
    sortUnique(this->aggregates);
    for (const AggregateID aid : this->aggregates) {
        HYDROVA_ASSERT(AggregateDescription.count(aid) > 0, "aggregate <" << toInt(aid) << "> not defined");
        append(kernels, AggregateDescription.find(aid)->kernels);
    }
    init(includeSetup);
}

Model::Model(const std::vector<KernelID>& kernels, const bool& includeSetup) : kernels(kernels)
{
    const auto& KernelDescription = catalogue::kernels();
    for (const KernelID kid : this->kernels)
        HYDROVA_ASSERT(KernelDescription.count(kid) > 0, "kernel <" << toInt(kid) << "> not defined");
    init(includeSetup);
}

Model::~Model()
{
    // Elements that live on sets go first; the sets last.
    deleteAll(oMap);
    deleteAll(vMap);
    deleteAll(pMap);
    deleteAll(mMap);
    deleteAll(dMap);
    deleteAll(kMap);
    deleteAll(sMap);
    deleteAll(aMap);
    for (api::ISet* set : tempSets) delete set;
}

std::vector<AggregateID> Model::getFullModel() { return catalogue::aggregates().ids(); }

void Model::init(const bool& includeSetup)
{
    const auto& Kernel2Set = catalogue::kernels();
    const auto& Map2Sets = catalogue::maps();
    const auto& Data2Set = catalogue::data();

    sortUnique(kernels);
    for (const KernelID kid : kernels) {
        const catalogue::KernelEntry& k = *catalogue::kernels().find(kid);
        append(dats, k.data);
        append(maps, k.maps);
        append(pars, k.parameters);
        append(vars, k.variables);
    }
    sortUnique(dats);
    sortUnique(maps);
    sortUnique(pars);
    sortUnique(vars);

    for (const KernelID kid : kernels) {
        HYDROVA_ASSERT(Kernel2Set.count(kid) == 1, "no set defined for kernel <" << toInt(kid) << ">");
        sets.push_back(Kernel2Set.find(kid)->set);
    }
    for (const MapID mid : maps) {
        HYDROVA_ASSERT(Map2Sets.count(mid) == 1, "no set defined for map <" << toInt(mid) << ">");
        sets.push_back(Map2Sets.find(mid)->from);
        sets.push_back(Map2Sets.find(mid)->to);
    }
    for (const DataID did : dats) {
        HYDROVA_ASSERT(Data2Set.count(did) == 1, "no set defined for data <" << toInt(did) << ">");
        sets.push_back(Data2Set.find(did)->set);
    }

    // A kernel reaches data on another set only through a map from its own loop set.
    for (const KernelID kid : kernels) {
        const catalogue::KernelEntry& k = *catalogue::kernels().find(kid);
        for (const DataID did : k.data) {
            const SetID target = Data2Set.find(did)->set;
            if (target == k.set) continue;
            bool ok = false;
            for (const MapID mid : catalogue::maps().ids()) {
                const catalogue::MapEntry& m = *catalogue::maps().find(mid);
                if (m.from == k.set && m.to == target) ok = true;
            }
            HYDROVA_ASSERT(ok == true, "no indirection map defined from set <"
                                           << catalogue::sets().find(k.set)->property.name << "> to set <"
                                           << catalogue::sets().find(target)->property.name << ">");
        }
    }

    if (includeSetup) {
        for (const DataID did : catalogue::dataSetup()) {
            dats.push_back(did);
            sets.push_back(Data2Set.find(did)->set);
        }
        append(pars, catalogue::parameterSetup());
    }
    sortUnique(sets);
    sortUnique(dats);
    sortUnique(pars);

    const auto& Output2DataColumns = catalogue::outputs();
    for (const OutputID oid : catalogue::outputTracking()) {
        HYDROVA_ASSERT(Output2DataColumns.count(oid) == 1, "no data defined for output <" << toInt(oid) << ">");
        bool complete = true;
        for (const auto& column : Output2DataColumns.find(oid)->columns)
            if (!std::binary_search(dats.begin(), dats.end(), column.first)) complete = false;
        if (complete) outs.push_back(oid);
    }
    sortUnique(outs);

    create();
}

void Model::create()
{
    for (const AggregateID aid : aggregates) aMap[aid] = Factory::createAggregate(aid);
    for (const SetID sid : sets) sMap[sid] = Factory::createSet(sid);
    for (const KernelID kid : kernels) {
        const catalogue::KernelEntry& k = *catalogue::kernels().find(kid);
        api::IKernel* kernel = Factory::createKernel(kid, sMap.at(k.set));
        // Passed unfiltered: the kernels test each optional datum for presence before use.
        if (!k.optionalData.empty()) kernel->setOptionalData(k.optionalData);
        kMap[kid] = kernel;
    }
    for (const DataID did : dats) {
        bool isSolution = false;
        for (const KernelID kid : kernels) {
            const auto& solution = catalogue::kernels().find(kid)->solutionData;
            if (solution && *solution == did) isSolution = true;
        }
        dMap[did] = Factory::createData(did, sMap.at(catalogue::data().find(did)->set), isSolution);
    }
    for (const MapID mid : maps) {
        const catalogue::MapEntry& m = *catalogue::maps().find(mid);
        mMap[mid] = Factory::createMap(mid, sMap.at(m.from), sMap.at(m.to));
    }
    for (const ParameterID pid : pars) pMap[pid] = Factory::createParameter(pid);
    for (const VariableID vid : vars) vMap[vid] = Factory::createVariable(vid);
    for (const OutputID oid : outs) {
        oMap[oid] = Factory::createOutput(oid, sMap.at(catalogue::outputs().find(oid)->set));
        defineOutput(oid);
    }
}

std::vector<api::IAggregate*> Model::getAggregates() const { return values(aMap); }
std::vector<api::ISet*> Model::getSets() const { return values(sMap); }
std::vector<api::IKernel*> Model::getKernels() const { return values(kMap); }
std::vector<api::IData*> Model::getDats() const { return values(dMap); }
std::vector<api::IMap*> Model::getMaps() const { return values(mMap); }
std::vector<api::IParameter*> Model::getPars() const { return values(pMap); }
std::vector<api::IVariable*> Model::getVars() const { return values(vMap); }
std::vector<api::IOutput*> Model::getOuts() const { return values(oMap); }

api::IAggregate* Model::getAggregate(const AggregateID& id) const { return lookup(aMap, id, "aggregate"); }
api::ISet* Model::getSet(const SetID& id) const { return lookup(sMap, id, "set"); }
api::IKernel* Model::getKernel(const KernelID& id) const { return lookup(kMap, id, "kernel"); }
api::IData* Model::getData(const DataID& id) const { return lookup(dMap, id, "data"); }
api::IMap* Model::getMap(const MapID& id) const { return lookup(mMap, id, "map"); }
api::IParameter* Model::getParameter(const ParameterID& id) const { return lookup(pMap, id, "parameter"); }
api::IVariable* Model::getVariable(const VariableID& id) const { return lookup(vMap, id, "variable"); }
api::IOutput* Model::getOutput(const OutputID& id) const { return lookup(oMap, id, "output"); }

bool Model::getComponent(const AggregateID& id) const { return aMap.count(id) == 1; }
bool Model::getComponent(const SetID& id) const { return sMap.count(id) == 1; }
bool Model::getComponent(const KernelID& id) const { return kMap.count(id) == 1; }
bool Model::getComponent(const DataID& id) const { return dMap.count(id) == 1; }
bool Model::getComponent(const MapID& id) const { return mMap.count(id) == 1; }
bool Model::getComponent(const ParameterID& id) const { return pMap.count(id) == 1; }
bool Model::getComponent(const VariableID& id) const { return vMap.count(id) == 1; }
bool Model::getComponent(const OutputID& id) const { return oMap.count(id) == 1; }

api::ISet* Model::createTempComponent(const SetID& id) { return Factory::createSet(id); }

api::IData* Model::createTempComponent(const DataID& id)
{
    const auto& Data2Set = catalogue::data();
    HYDROVA_ASSERT(Data2Set.count(id) == 1, "no set defined for data <" << toInt(id) << ">");
    api::ISet* set = Factory::createSet(Data2Set.find(id)->set);
    tempSets.push_back(set);
    return Factory::createData(id, set, false);
}

api::IMap* Model::createTempComponent(const MapID& id)
{
    const auto& Map2Sets = catalogue::maps();
    HYDROVA_ASSERT(Map2Sets.count(id) == 1, "no set defined for map <" << toInt(id) << ">");
    api::ISet* from = Factory::createSet(Map2Sets.find(id)->from);
    tempSets.push_back(from);
    api::ISet* to = Factory::createSet(Map2Sets.find(id)->to);
    tempSets.push_back(to);
    return Factory::createMap(id, from, to);
}

api::IKernel* Model::createTempComponent(const KernelID& id)
{
    const auto& Kernel2Set = catalogue::kernels();
    HYDROVA_ASSERT(Kernel2Set.count(id) == 1, "no set defined for kernel <" << toInt(id) << ">");
    const SetID sid = Kernel2Set.find(id)->set;
    api::ISet* set = nullptr;
    if (getComponent(sid)) {
        set = sMap.at(sid);
    } else {
        set = Factory::createSet(sid);
        tempSets.push_back(set);
    }
    api::IKernel* kernel = Factory::createKernel(id, set);
    if (!Kernel2Set.find(id)->optionalData.empty()) kernel->setOptionalData(Kernel2Set.find(id)->optionalData);
    return kernel;
}

api::IParameter* Model::createTempComponent(const ParameterID& id) { return Factory::createParameter(id); }

void Model::defineOutput(const OutputID& oid)
{
    HYDROVA_ASSERT(this->oMap.count(oid), "output <" << toInt(oid) << "> not existing");
    const catalogue::OutputEntry& entry = *catalogue::outputs().find(oid);
    oMap.at(oid)->define(entry.columns, entry.operations);
}

std::vector<OutputID> Model::validOutputs() const
{
    std::vector<OutputID> valid;
    const auto& Output2DataColumns = catalogue::outputs();
    for (const OutputID oid : catalogue::outputs().ids()) {
        HYDROVA_ASSERT(Output2DataColumns.count(oid) == 1, "no data defined for output <" << toInt(oid) << ">");
        const catalogue::OutputEntry& entry = *Output2DataColumns.find(oid);
        if (entry.tracking || !getComponent(entry.set)) continue;
        bool complete = true;
        for (const auto& column : entry.columns)
            if (!getComponent(column.first)) complete = false;
        if (complete) valid.push_back(oid);
    }
    return valid;
}

void Model::addOutputs(const std::vector<std::string>& names)
{
    const std::vector<OutputID> valid = validOutputs();
    for (const std::string& name : names) {
        const OutputID* match = nullptr;
        for (const OutputID& oid : valid)
            if (catalogue::outputs().find(oid)->property.name == name) match = &oid;
        if (match == nullptr) {
            std::cerr << " -> "
                      << "output <" << name
                      << "> cannot be defined within the this model setup, valid are:" << std::endl;
            for (const OutputID oid : valid)
                std::cerr << " -> " << catalogue::outputs().find(oid)->property.name << std::endl;
            std::cerr << " -> " << std::endl;
            throw TerraException();
        }
        const OutputID oid = *match;
        if (getComponent(oid)) continue;
        oMap[oid] = Factory::createOutput(oid, sMap.at(catalogue::outputs().find(oid)->set));
        defineOutput(oid);
        outs.push_back(oid);
        sortUnique(outs);
    }
}

}  // namespace model
