// The compiled-in catalogue: one record per element with its name, sizes, description and relations,
// looked up by identifier value.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/Dimensions.hpp"
#include "model/Identifiers.hpp"
#include "model/Property.hpp"

namespace model::catalogue {

/// Constant table from an identifier to its record; values without an entry (parameter 20) are holes.
/// Look-up is an array access by the identifier's value.
template <typename ID, typename Entry, int N>
class Table {
public:
    /// Enters the record of id (used while the table is built).
    void set(ID id, const Entry& entry) {
        const auto v = static_cast<std::size_t>(toInt(id));
        slots.at(v) = entry;
        present.at(v) = true;
    }

    /// The record of id, or nullptr when the catalogue has none.
    const Entry* find(ID id) const {
        const int v = toInt(id);
        if (v < 0 || v >= N || !present[static_cast<std::size_t>(v)]) return nullptr;
        return &slots[static_cast<std::size_t>(v)];
    }

    bool contains(ID id) const { return find(id) != nullptr; }

    /// 1 when id has a record, else 0 (the ordered-map idiom the composition's checks read with).
    std::size_t count(ID id) const { return contains(id) ? 1 : 0; }

    /// Every identifier with a record, ascending.
    std::vector<ID> ids() const {
        std::vector<ID> result;
        for (int v = 0; v < N; ++v)
            if (present[static_cast<std::size_t>(v)]) result.push_back(static_cast<ID>(v));
        return result;
    }

private:
    std::array<Entry, static_cast<std::size_t>(N)> slots{};
    std::array<bool, static_cast<std::size_t>(N)> present{};
};

struct AggregateEntry {
    Property property;
    std::string description;
    /// Blocks of the set-up command file that must all be present to switch the aggregate on.
    std::vector<std::string> cmdFilePaths;
    std::vector<KernelID> kernels;
    /// Kernels the aggregate uses when some other aggregate brings them.
    std::vector<KernelID> optionalKernels;
};

struct SetEntry {
    Property property;
    std::string description;
};

struct MapEntry {
    Property property;  // size: target entries per source element
    SetID from{};
    SetID to{};
    std::string description;
};

/// Where a datum comes from: the model file, the set-up program only, or the simulation itself.
enum class Origin { ModelFile, SetupOnly, SimulationOnly };

struct DataEntry {
    Property property;  // size: components per element
    SetID set{};
    Origin origin = Origin::ModelFile;
    std::string description;
};

struct ParameterEntry {
    Property property;  // size: number of values (consecutive slots of the global constant tables)
    bool simulationOnly = false;  // derived by the simulation, not read from the model file
    std::string description;
};

struct VariableEntry {
    Property property;
    bool simulationOnly = false;
    std::string description;
};

struct OutputEntry {
    Property property;  // size: components per element
    SetID set{};
    /// Tracks maxima over the run instead of being written at every output time.
    bool tracking = false;
    /// (datum, component) the output is computed from.
    std::vector<std::pair<DataID, int>> columns;
    /// One per output component when present; otherwise each column is a component.
    std::vector<OutputOperation> operations;
    std::string description;
};

struct KernelEntry {
    Property property;
    SetID set{};  // the set the kernel loops over
    std::vector<DataID> data;
    /// Data used when present; empty when the kernel has none.
    std::vector<DataID> optionalData;
    /// The time-integrated state the kernel advances, if any.
    std::optional<DataID> solutionData;
    std::vector<MapID> maps;
    std::vector<ParameterID> parameters;
    std::vector<VariableID> variables;
    std::string description;
};

const Table<AggregateID, AggregateEntry, Dimensions::NrAggregates>& aggregates();
const Table<SetID, SetEntry, Dimensions::NrSets>& sets();
const Table<MapID, MapEntry, Dimensions::NrMaps>& maps();
const Table<DataID, DataEntry, Dimensions::NrData>& data();
const Table<ParameterID, ParameterEntry, Dimensions::NrParameterSlots>& parameters();
const Table<VariableID, VariableEntry, Dimensions::NrVariables>& variables();
const Table<OutputID, OutputEntry, Dimensions::NrOutputs>& outputs();
const Table<KernelID, KernelEntry, Dimensions::NrKernels>& kernels();

/// Set-up-only data (the mesh description), ascending.
std::vector<DataID> dataSetup();
/// Data the simulation creates itself, ascending.
std::vector<DataID> dataSimulation();
/// Set-up-only parameters (none).
std::vector<ParameterID> parameterSetup();
/// Parameters the simulation derives itself, ascending.
std::vector<ParameterID> parameterSimulation();
/// Variables the simulation creates itself (none).
std::vector<VariableID> variableSimulation();
/// Outputs that track maxima over the run.
std::vector<OutputID> outputTracking();

template <typename T>
bool contains(const std::vector<T>& list, const T& value) {
    for (const auto& item : list)
        if (item == value) return true;
    return false;
}

}  // namespace model::catalogue
