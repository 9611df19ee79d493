#include "model/Factory.hpp"

#include <filesystem>
#include <iostream>
#include <memory>

#include "common/TerraException.hpp"
#include "dataio/Archive.hpp"
#include "dataio/Factory.hpp"
#include "model/Aggregate.hpp"
#include "model/Catalogue.hpp"
#include "model/Data.hpp"
#include "model/Kernel.hpp"
#include "model/Map.hpp"
#include "model/Model.hpp"
#include "model/Output.hpp"
#include "model/Parameter.hpp"
#include "model/Set.hpp"
#include "model/Variable.hpp"

namespace model {

namespace {

/// The number of a whole-argument specification "a.N" or "k.N" (prefix given), or -1 when spec is not one.
/// Only the whole argument counts: "a.1/model.h5" or "run.1" are paths, not specifications.
long specNumber(const std::string& spec, char prefix)
{
    if (spec.size() < 3 || spec[0] != prefix || spec[1] != '.') return -1;
    long n = 0;
    for (std::size_t i = 2; i < spec.size(); ++i) {
        if (spec[i] < '0' || spec[i] > '9') return -1;
        if (n < 100000) n = 10 * n + (spec[i] - '0');  // larger than any identifier either way
    }
    return n;
}

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

/// The slots of the global constant tables, one per parameter value.
struct ParameterSlots {
    std::size_t count(const ParameterID& id) const
    {
        return toInt(id) >= 0 && toInt(id) < Dimensions::NrParameterSlots ? 1 : 0;
    }
};

}  // namespace

api::IModel* Factory::createModel(const std::string& spec)
{
    if (spec.empty()) {
        std::cout << " -> "
                  << "composing the full model" << std::endl;
        return getModelFromAggregates(Model::getFullModel(), true);
    }
    for (const char prefix : {'a', 'k'}) {
        const long n = specNumber(spec, prefix);
        if (n == -1) continue;
        if (n > 9999) {
            std::cerr << " -> " << (prefix == 'a' ? "aggregate" : "kernel") << " number out of range: " << spec
                      << std::endl;
            throw TerraException();
        }
        if (prefix == 'a') {
            std::cout << " -> "
                      << "composing the model for aggregate <" << n << ">" << std::endl;
            return getModelFromAggregates({static_cast<AggregateID>(n)}, false);
        }
        std::cout << " -> "
                  << "composing the model for kernel <" << n << ">" << std::endl;
        return getModelFromKernels({static_cast<KernelID>(n)}, false);
    }
    // Anything else is a file: its ending decides how it is read, and an existing file without one of the two
    // endings is taken for a model file.
    std::error_code error;
    if (endsWith(spec, ".json")) {
        std::cout << " -> "
                  << "composing the model from the input file" << std::endl;
        return getModelFromCommandFile(spec);
    }
    if (endsWith(spec, ".h5") || std::filesystem::is_regular_file(spec, error)) {
        std::cout << " -> "
                  << "composing the model from archive" << std::endl;
        return getModelFromH5File(spec);
    }
    std::cerr << " -> "
              << "no model definition found" << std::endl;
    throw TerraException();
}

api::IModel* Factory::getModelFromCommandFile(const std::string& fileOrText)
{
    const std::unique_ptr<api::ICommandFileReader> reader(dataio::Factory::createCommandFileReader(fileOrText));
    std::vector<AggregateID> found;
    for (const AggregateID id : catalogue::aggregates().ids()) {
        const catalogue::AggregateEntry& entry = *catalogue::aggregates().find(id);
        if (reader->checkPaths(entry.cmdFilePaths)) {
            std::cout << " -> "
                      << "found aggregate <" << entry.property.name << ">" << std::endl;
            found.push_back(id);
        }
    }
    return getModelFromAggregates(found, true);
}

api::IModel* Factory::getModelFromH5File(const std::string& h5File)
{
    std::string text;
    {
        const std::unique_ptr<api::IH5Reader> reader(dataio::Factory::createH5Reader(h5File));
        text = dataio::Archive::getModel(reader.get());
    }
    return getModelFromCommandFile(text);
}

api::IModel* Factory::getModelFromAggregates(const std::vector<AggregateID>& aggregates, const bool& includeSetup)
{
    HYDROVA_ASSERT(aggregates.size() != 0, "no aggregates found...something went wrong with the model definition");
    return new Model(aggregates, includeSetup);
}

api::IModel* Factory::getModelFromKernels(const std::vector<KernelID>& kernels, const bool& includeSetup)
{
    HYDROVA_ASSERT(kernels.size() != 0, "no kernels found...something went wrong with the model definition");
    return new Model(kernels, includeSetup);
}

// clang-format off
// The catalogue keeps a property and its description in one record; the two look-ups below are kept apart so
// that a missing entry is reported in the terms of the table it belongs to.

api::IAggregate* Factory::createAggregate(const AggregateID& id)
{
    const auto& AggregateProps = catalogue::aggregates();
    const auto& AggregateDescription = catalogue::aggregates();
    HYDROVA_ASSERT(AggregateProps.count(id)==1, "aggregate property definition not found (id ="
                                                      << " " << toInt(id) << ")");
    HYDROVA_ASSERT(AggregateDescription.count(id) == 1, "aggregate description not found (id ="
                                                            << " " << toInt(id) << ")");
    const auto& entry = *AggregateProps.find(id);
    return new Aggregate(id, entry.property.name, entry.description);
}

api::ISet* Factory::createSet(const SetID& id)
{
    const auto& SetProps = catalogue::sets();
    const auto& SetDescription = catalogue::sets();
    HYDROVA_ASSERT(SetProps.count(id)==1, "set property definition not found");
    HYDROVA_ASSERT(SetDescription.count(id) == 1, "set description not found (id ="
                                                      << " " << toInt(id) << ")");
    const auto& entry = *SetProps.find(id);
    return new Set(id, entry.property.name, entry.description);
}

api::IKernel* Factory::createKernel(const KernelID& id, api::ISet* set)
{
    const auto& KernelProps = catalogue::kernels();
    const auto& KernelDescription = catalogue::kernels();
    HYDROVA_ASSERT(KernelProps.count(id)==1, "kernel property definition not found");
    HYDROVA_ASSERT(KernelDescription.count(id) == 1, "kernel description not found (id ="
                                                         << " " << toInt(id) << ")");
    const auto& entry = *KernelProps.find(id);
    return new Kernel(id, entry.property.name, entry.description, set);
}

api::IMap* Factory::createMap(const MapID& id, api::ISet* from, api::ISet* to)
{
    const auto& MapProps = catalogue::maps();
    const auto& MapDescription = catalogue::maps();
    HYDROVA_ASSERT(MapProps.count(id)==1, "map property definition not found");
    HYDROVA_ASSERT(MapDescription.count(id) == 1, "map description not found (id ="
                                                      << " " << toInt(id) << ")");
    const auto& entry = *MapProps.find(id);
    return new Map(id, entry.property.name, entry.description, from, to, entry.property.size);
}

api::IData* Factory::createData(const DataID& id, api::ISet* set, const bool& isSolution)
{
    const auto& DataProps = catalogue::data();
    const auto& DataDescription = catalogue::data();
    HYDROVA_ASSERT(DataProps.count(id)==1, "data property definition not found");
    HYDROVA_ASSERT(DataDescription.count(id) == 1, "data description not found (id ="
                                                       << " " << toInt(id) << ")");
    const auto& entry = *DataProps.find(id);
    return new Data(id, entry.property.name, entry.description, catalogue::contains(catalogue::dataSimulation(), id),
                    catalogue::contains(catalogue::dataSetup(), id), static_cast<DataType>(entry.property.type), set,
                    entry.property.size, isSolution);
}

api::IParameter* Factory::createParameter(const ParameterID& id)
{
    // Parameter values are slots of the global constant tables: the property look-up accepts every slot, so that
    // the unused slot 20 is reported with its value by the description look-up.
    const ParameterSlots ParameterProps;
    const auto& ParameterDescription = catalogue::parameters();
    HYDROVA_ASSERT(ParameterProps.count(id)==1, "parameter property definition not found");
    HYDROVA_ASSERT(ParameterDescription.count(id) == 1, "parameter description not found (id ="
                                                            << " " << toInt(id) << ")");
    const auto& entry = *ParameterDescription.find(id);
    return new Parameter(id, entry.property.name, entry.description,
                         catalogue::contains(catalogue::parameterSimulation(), id),
                         catalogue::contains(catalogue::parameterSetup(), id),
                         static_cast<DataType>(entry.property.type), entry.property.size);
}

api::IVariable* Factory::createVariable(const VariableID& id)
{
    const auto& VariableProps = catalogue::variables();
    const auto& VariableDescription = catalogue::variables();
    HYDROVA_ASSERT(VariableProps.count(id)==1, "variable property definition not found");
    HYDROVA_ASSERT(VariableDescription.count(id) == 1, "variable description not found (id ="
                                                           << " " << toInt(id) << ")");
    const auto& entry = *VariableProps.find(id);
    return new Variable(id, entry.property.name, entry.description,
                        catalogue::contains(catalogue::variableSimulation(), id),
                        static_cast<DataType>(entry.property.type), entry.property.size);
}

api::IOutput* Factory::createOutput(const OutputID& id, api::ISet* set)
{
    const auto& OutputProps = catalogue::outputs();
    const auto& OutputDescription = catalogue::outputs();
    HYDROVA_ASSERT(OutputProps.count(id)==1, "output property definition not found");
    HYDROVA_ASSERT(OutputDescription.count(id) == 1, "output description not found (id ="
                                                         << " " << toInt(id) << ")");
    const auto& entry = *OutputProps.find(id);
    return new Output(id, entry.property.name, entry.description, static_cast<DataType>(entry.property.type), set,
                      entry.property.size, catalogue::contains(catalogue::outputTracking(), id));
}

// clang-format on

}  // namespace model
