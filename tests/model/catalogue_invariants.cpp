// The compiled-in catalogue and its elements: every relation points at an existing entry, every kernel reaches its
// data through its own maps, H5 paths are unique, output operations compute what their texts say, and an output lists
// its data once, taking repeated columns from the initial state.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

#include "ConfigurationSchema.hpp"
#include "model/Catalogue.hpp"
#include "model/Output.hpp"
#include "model/Set.hpp"

using namespace model;
namespace cat = model::catalogue;

namespace {

std::string dataPath(DataID id)
{
    const auto& d = *cat::data().find(id);
    return cat::sets().find(d.set)->property.name + "/" + d.property.name;
}

std::string mapPath(MapID id)
{
    const auto& m = *cat::maps().find(id);
    return cat::sets().find(m.from)->property.name + "/" + m.property.name;
}

}  // namespace

TEST(CatalogueInvariants, EveryIdentifierHasItsEntryAndEveryRelationLeadsToOne)
{
    EXPECT_EQ(cat::aggregates().ids().size(), static_cast<std::size_t>(Dimensions::NrAggregates));
    EXPECT_EQ(cat::sets().ids().size(), static_cast<std::size_t>(Dimensions::NrSets));
    EXPECT_EQ(cat::maps().ids().size(), static_cast<std::size_t>(Dimensions::NrMaps));
    EXPECT_EQ(cat::data().ids().size(), static_cast<std::size_t>(Dimensions::NrData));
    EXPECT_EQ(cat::outputs().ids().size(), static_cast<std::size_t>(Dimensions::NrOutputs));
    EXPECT_EQ(cat::kernels().ids().size(), static_cast<std::size_t>(Dimensions::NrKernels));
    for (int v = 0; v < Dimensions::NrParameterSlots; ++v)
        EXPECT_EQ(cat::parameters().contains(static_cast<ParameterID>(v)), v != 20) << "parameter " << v;

    for (const KernelID kid : cat::kernels().ids()) {
        const auto& k = *cat::kernels().find(kid);
        SCOPED_TRACE(k.property.name);
        EXPECT_TRUE(cat::sets().contains(k.set));
        for (const MapID m : k.maps) {
            ASSERT_TRUE(cat::maps().contains(m));
            EXPECT_EQ(cat::maps().find(m)->from, k.set) << "indirect loops start at the kernel's set: " << mapPath(m);
        }
        for (const ParameterID p : k.parameters) EXPECT_TRUE(cat::parameters().contains(p));
        std::vector<DataID> needed = k.data;
        needed.insert(needed.end(), k.optionalData.begin(), k.optionalData.end());
        for (const DataID d : needed) {
            ASSERT_TRUE(cat::data().contains(d));
            const SetID target = cat::data().find(d)->set;
            bool reachable = target == k.set;
            for (const MapID m : k.maps) reachable = reachable || cat::maps().find(m)->to == target;
            EXPECT_TRUE(reachable) << "cannot reach " << dataPath(d);
        }
        for (const DataID d : k.optionalData) EXPECT_FALSE(cat::contains(k.data, d)) << "optional datum also required";
        EXPECT_TRUE(!k.solutionData || cat::contains(k.data, *k.solutionData));
    }
    for (const AggregateID aid : cat::aggregates().ids()) {
        const auto& a = *cat::aggregates().find(aid);
        EXPECT_FALSE(a.kernels.empty() || a.cmdFilePaths.empty()) << a.property.name;
        for (const KernelID k : a.kernels) EXPECT_TRUE(cat::kernels().contains(k));
        for (const KernelID k : a.optionalKernels) EXPECT_TRUE(cat::kernels().contains(k));
    }
}

TEST(CatalogueInvariants, NamesAndPathsAreWellFormedAndUnique)
{
    std::set<std::string> paths;
    for (const SetID s : cat::sets().ids()) {
        const std::string& name = cat::sets().find(s)->property.name;
        EXPECT_EQ(name.size(), 8u) << name;
        EXPECT_TRUE(paths.insert(name + "/set").second) << name;
    }
    for (const DataID d : cat::data().ids()) {
        EXPECT_EQ(cat::data().find(d)->property.name.size(), 8u) << dataPath(d);
        EXPECT_TRUE(paths.insert(dataPath(d)).second) << dataPath(d);
    }
    for (const MapID m : cat::maps().ids()) {
        EXPECT_EQ(cat::maps().find(m)->property.type, DT_INT);
        EXPECT_TRUE(paths.insert(mapPath(m)).second) << mapPath(m);
    }
}

TEST(CatalogueInvariants, OutputColumnsFitTheirDataAndTheSchemaListsTheRequestableOnes)
{
    std::set<std::string> requestable;
    for (const OutputID o : cat::outputs().ids()) {
        const auto& out = *cat::outputs().find(o);
        SCOPED_TRACE(out.property.name);
        const std::size_t components = out.operations.empty() ? out.columns.size() : out.operations.size();
        EXPECT_EQ(components, static_cast<std::size_t>(out.property.size));
        for (const auto& column : out.columns) {
            ASSERT_TRUE(cat::data().contains(column.first));
            EXPECT_EQ(cat::data().find(column.first)->set, out.set) << dataPath(column.first);
            EXPECT_GE(column.second, 0);
            EXPECT_LT(column.second, cat::data().find(column.first)->property.size) << dataPath(column.first);
        }
        if (!out.tracking) requestable.insert(out.property.name);
    }
    requestable.erase("flow_velocity_abs");
    const auto schema = nlohmann::json::parse(hydrova::configurationSchema);
    std::set<std::string> accepted;
    for (const auto& name :
         schema.at(nlohmann::json::json_pointer("/properties/SIMULATION/properties/OUTPUT/items/enum")))
        accepted.insert(name.get<std::string>());
    EXPECT_EQ(accepted, requestable);
}

TEST(CatalogueInvariants, OutputOperationsComputeTheirQuantity)
{
    // Columns: qx = 2, qy = -1 m^2/s, surface 5 m, bottom 3 m (depth 2 m); a dry cell is below the threshold 0.01 m.
    const std::vector<double> wet = {2.0, -1.0, 5.0, 3.0}, dry = {2.0, -1.0, 3.005, 3.0};
    struct Case {
        OutputID id;
        std::size_t component;
        std::vector<double> columns;
        double value;
    };
    const Case cases[] = {
        {OutputID::water_depth, 0, {5.0, 3.0}, 2.0},
        {OutputID::delta_z, 0, {3.0, 2.5}, -0.5},  // initial then current bottom: erosion is negative
        {OutputID::flow_velocity, 0, wet, 1.0},
        {OutputID::flow_velocity, 1, wet, -0.5},
        {OutputID::flow_velocity_abs, 0, wet, std::sqrt(1.25)},
        {OutputID::flow_velocity, 0, dry, 0.0},
        {OutputID::flow_velocity, 1, dry, 0.0},
        {OutputID::flow_velocity_abs, 0, dry, 0.0},
        {OutputID::flow_radius, 0, {0.25}, 4.0},
    };
    for (const Case& c : cases) {
        const auto& op = cat::outputs().find(c.id)->operations.at(c.component);
        EXPECT_NEAR(op.operation(0.01, c.columns), c.value, 1e-12) << op.function;
        if (c.columns.size() > 1) {
            EXPECT_THROW(op.operation(0.01, {c.columns[0]}), std::out_of_range) << op.function;
        }
    }
}

TEST(ElementBehaviour, OutputDataAreListedOnceAndRepeatedColumnsComeFromTheInitialState)
{
    Set cells(SetID::CellsAll, "CellsAll", "cells");
    const std::vector<api::IOutput::Column> four = {
        {DataID::HydState, 1}, {DataID::HydState, 2}, {DataID::HydState, 0}, {DataID::BottomEl, 0}};
    Output velocity(OutputID::flow_velocity, "flow_velocity", "", DT_FLOAT, &cells, 2, false);
    auto column = [](std::size_t i) { return [i](double, const std::vector<double>& c) { return c.at(i); }; };
    velocity.define(four, {{"$0", column(0)}, {"$1", column(1)}});
    EXPECT_EQ(velocity.getDataFunction(1).function, "$1");
    EXPECT_EQ(velocity.getData(), (std::vector<DataID>{DataID::HydState, DataID::BottomEl}));
    EXPECT_TRUE(velocity.getInitData().empty()) << "same datum, different components: nothing repeats";

    // A repeat is reported at its first position.
    Output mixed(OutputID::flood_tracking, "flood_tracking", "", DT_FLOAT, &cells, 3, true);
    mixed.define({{DataID::HydState, 0}, {DataID::BottomEl, 0}, {DataID::HydState, 0}}, {});
    EXPECT_EQ(mixed.getInitData(), std::vector<int>{0});
    EXPECT_EQ(mixed.getData(), (std::vector<DataID>{DataID::HydState, DataID::BottomEl}));
}
