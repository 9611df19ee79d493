// Consistency of the compiled-in catalogue: every relation points at an existing entry, every kernel reaches its
// data through its own maps, H5 paths are unique, and the output operations compute what their texts say.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

#include "ConfigurationSchema.hpp"
#include "model/Catalogue.hpp"
#include "support/Tolerance.hpp"

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

TEST(CatalogueInvariants, EveryIdentifierHasItsEntryAndOnlyParameterTwentyIsAHole)
{
    EXPECT_EQ(cat::aggregates().ids().size(), static_cast<std::size_t>(Dimensions::NrAggregates));
    EXPECT_EQ(cat::sets().ids().size(), static_cast<std::size_t>(Dimensions::NrSets));
    EXPECT_EQ(cat::maps().ids().size(), static_cast<std::size_t>(Dimensions::NrMaps));
    EXPECT_EQ(cat::data().ids().size(), static_cast<std::size_t>(Dimensions::NrData));
    EXPECT_EQ(cat::outputs().ids().size(), static_cast<std::size_t>(Dimensions::NrOutputs));
    EXPECT_EQ(cat::kernels().ids().size(), static_cast<std::size_t>(Dimensions::NrKernels));
    EXPECT_EQ(cat::parameters().ids().size(), static_cast<std::size_t>(Dimensions::NrParameters));
    EXPECT_TRUE(cat::variables().ids().empty());
    for (int v = 0; v < Dimensions::NrParameterSlots; ++v)
        EXPECT_EQ(cat::parameters().contains(static_cast<ParameterID>(v)), v != 20) << "parameter " << v;
    EXPECT_FALSE(cat::parameters().contains(static_cast<ParameterID>(Dimensions::NrParameterSlots)));
    EXPECT_FALSE(cat::kernels().contains(static_cast<KernelID>(-1)));
}

TEST(CatalogueInvariants, KernelRelationsPointAtExistingEntries)
{
    for (const KernelID kid : cat::kernels().ids()) {
        const auto& k = *cat::kernels().find(kid);
        SCOPED_TRACE(k.property.name);
        EXPECT_TRUE(cat::sets().contains(k.set));
        for (const DataID d : k.data) EXPECT_TRUE(cat::data().contains(d));
        for (const DataID d : k.optionalData) {
            EXPECT_TRUE(cat::data().contains(d));
            EXPECT_FALSE(cat::contains(k.data, d)) << "optional datum is also required";
        }
        for (const MapID m : k.maps) {
            ASSERT_TRUE(cat::maps().contains(m));
            // Indirect loops start at the kernel's own set.
            EXPECT_EQ(cat::maps().find(m)->from, k.set) << mapPath(m);
        }
        for (const ParameterID p : k.parameters) EXPECT_TRUE(cat::parameters().contains(p));
        EXPECT_TRUE(k.variables.empty());
        if (k.solutionData) {
            EXPECT_TRUE(cat::contains(k.data, *k.solutionData));
        }
    }
    for (const AggregateID aid : cat::aggregates().ids()) {
        const auto& a = *cat::aggregates().find(aid);
        EXPECT_FALSE(a.kernels.empty()) << a.property.name;
        EXPECT_FALSE(a.cmdFilePaths.empty()) << a.property.name;
        for (const KernelID k : a.kernels) EXPECT_TRUE(cat::kernels().contains(k));
        for (const KernelID k : a.optionalKernels) EXPECT_TRUE(cat::kernels().contains(k));
    }
    EXPECT_EQ(*cat::kernels().find(KernelID::HydInternalFluxes)->solutionData, DataID::HydState);
    EXPECT_EQ(*cat::kernels().find(KernelID::MorInternalFluxes)->solutionData, DataID::BottomEl);
}

TEST(CatalogueInvariants, EveryDatumOnAnotherSetIsReachableByAMapOfTheKernel)
{
    for (const KernelID kid : cat::kernels().ids()) {
        const auto& k = *cat::kernels().find(kid);
        std::vector<DataID> needed = k.data;
        needed.insert(needed.end(), k.optionalData.begin(), k.optionalData.end());
        for (const DataID d : needed) {
            const SetID target = cat::data().find(d)->set;
            if (target == k.set) continue;
            bool reachable = false;
            for (const MapID m : k.maps) reachable = reachable || cat::maps().find(m)->to == target;
            EXPECT_TRUE(reachable) << k.property.name << " cannot reach " << dataPath(d);
        }
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
        EXPECT_TRUE(cat::sets().contains(cat::data().find(d)->set));
        EXPECT_TRUE(paths.insert(dataPath(d)).second) << dataPath(d);
    }
    for (const MapID m : cat::maps().ids()) {
        const auto& map = *cat::maps().find(m);
        EXPECT_EQ(map.property.type, DT_INT);
        EXPECT_GE(map.property.size, 1);
        EXPECT_TRUE(cat::sets().contains(map.from) && cat::sets().contains(map.to));
        EXPECT_TRUE(paths.insert(mapPath(m)).second) << mapPath(m);
    }
    std::set<std::string> parameterNames, outputNames, kernelNames, aggregateNames;
    for (const ParameterID p : cat::parameters().ids())
        EXPECT_TRUE(parameterNames.insert(cat::parameters().find(p)->property.name).second);
    for (const OutputID o : cat::outputs().ids())
        EXPECT_TRUE(outputNames.insert(cat::outputs().find(o)->property.name).second);
    for (const KernelID k : cat::kernels().ids())
        EXPECT_TRUE(kernelNames.insert(cat::kernels().find(k)->property.name).second);
    for (const AggregateID a : cat::aggregates().ids())
        EXPECT_TRUE(aggregateNames.insert(cat::aggregates().find(a)->property.name).second);

    // Same short name on two sets, two distinct data.
    EXPECT_NE(dataPath(DataID::CellsAll_GeomArea), dataPath(DataID::MatIDRgn_GeomArea));
    EXPECT_EQ(dataPath(DataID::MatIDRgn_GeomArea), "MatIDRgn/GeomArea");
    EXPECT_EQ(mapPath(MapID::EdgHydWL_CellsAll), "EdgHydWL/CellsAll");
    EXPECT_EQ(cat::maps().find(MapID::EdgHydWL_CellsAll)->property.size, 1);
    EXPECT_EQ(cat::maps().find(MapID::EdgesSWE_CellsAll)->property.size, 2);
}

TEST(CatalogueInvariants, FlagListsAreConsistentWithTheData)
{
    const auto setup = cat::dataSetup();
    EXPECT_EQ(setup, (std::vector<DataID>{DataID::Coordnts, DataID::Topology, DataID::StrNames}));
    for (const DataID d : cat::dataSimulation()) EXPECT_FALSE(cat::contains(setup, d)) << dataPath(d);
    // Simulation-only data exist because some kernel computes or uses them.
    for (const DataID d : cat::dataSimulation()) {
        bool used = false;
        for (const KernelID k : cat::kernels().ids()) used = used || cat::contains(cat::kernels().find(k)->data, d);
        EXPECT_TRUE(used) << dataPath(d);
    }
    EXPECT_TRUE(cat::parameterSetup().empty());
    EXPECT_EQ(
        cat::parameterSimulation(),
        (std::vector<ParameterID>{ParameterID::InvGravity, ParameterID::InvBedPorosity, ParameterID::SedRelDensity}));
    EXPECT_EQ(cat::outputTracking(), std::vector<OutputID>{OutputID::flood_tracking});
    EXPECT_EQ(cat::data().find(DataID::StrNames)->property.type, DT_STRING);
}

TEST(CatalogueInvariants, OutputColumnsFitTheirDataAndTheSchemaListsTheRequestableOnes)
{
    std::set<std::string> requestable;
    for (const OutputID o : cat::outputs().ids()) {
        const auto& out = *cat::outputs().find(o);
        SCOPED_TRACE(out.property.name);
        EXPECT_EQ(out.property.type, DT_FLOAT);
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
    EXPECT_EQ(requestable.size(), 11u);

    const auto schema = nlohmann::json::parse(hydrova::configurationSchema);
    const auto& names = schema.at(nlohmann::json::json_pointer("/properties/SIMULATION/properties/OUTPUT/items/enum"));
    std::set<std::string> accepted;
    for (const auto& name : names) accepted.insert(name.get<std::string>());
    EXPECT_EQ(accepted, requestable);
}

TEST(CatalogueInvariants, OutputOperationsComputeTheirQuantity)
{
    const auto op = [](OutputID id, std::size_t k) { return cat::outputs().find(id)->operations.at(k); };
    const double threshold = 0.01;
    // Surface 5 m, bottom 3 m: depth 2 m.
    EXPECT_DOUBLE_EQ(op(OutputID::water_depth, 0).operation(threshold, {5.0, 3.0}), 2.0);
    // Column 0 is the initial bottom, column 1 the current one: erosion is negative.
    EXPECT_DOUBLE_EQ(op(OutputID::delta_z, 0).operation(threshold, {3.0, 2.5}), -0.5);

    // qx = 2, qy = -1 m^2/s over h = 2 m.
    const std::vector<double> wet = {2.0, -1.0, 5.0, 3.0};
    EXPECT_DOUBLE_EQ(op(OutputID::flow_velocity, 0).operation(threshold, wet), 1.0);
    EXPECT_DOUBLE_EQ(op(OutputID::flow_velocity, 1).operation(threshold, wet), -0.5);
    EXPECT_CLOSE(op(OutputID::flow_velocity_abs, 0).operation(threshold, wet), std::sqrt(1.25), 1e-12, 0.0);
    // Below the depth threshold a cell has no velocity.
    const std::vector<double> dry = {2.0, -1.0, 3.005, 3.0};
    EXPECT_EQ(op(OutputID::flow_velocity, 0).operation(threshold, dry), 0.0);
    EXPECT_EQ(op(OutputID::flow_velocity, 1).operation(threshold, dry), 0.0);
    EXPECT_EQ(op(OutputID::flow_velocity_abs, 0).operation(threshold, dry), 0.0);
    EXPECT_DOUBLE_EQ(op(OutputID::flow_radius, 0).operation(threshold, {0.25}), 4.0);

    EXPECT_THROW(op(OutputID::water_depth, 0).operation(threshold, {5.0}), std::out_of_range);
    EXPECT_THROW(op(OutputID::flow_velocity, 1).operation(threshold, {1.0, 2.0, 3.0}), std::out_of_range);
    EXPECT_THROW(op(OutputID::flow_radius, 0).operation(threshold, {}), std::out_of_range);

    EXPECT_EQ(op(OutputID::flow_velocity_abs, 0).function, "sqrt($0/($2-$3)*$0/($2-$3) + $1/($2-$3)*$1/($2-$3))");
    EXPECT_EQ(op(OutputID::flow_radius, 0).function, "1.0/$0");
}

TEST(CatalogueInvariants, SystemTextsAreKeptExactly)
{
    EXPECT_EQ(cat::parameters().find(ParameterID::BeadloadType)->property.name, "BeadloadType");
    EXPECT_EQ(cat::aggregates().find(AggregateID::hydraulics_aggr)->description,
              "This Aggregate is the basis and is required for all simulations. A circular dam break simulation is "
              "possible,        invoking DT calculation, flux calculation of type 'WALL' and 'SWE', and cell update.");
    EXPECT_EQ(cat::data().find(DataID::NewBedEl)->description,
              "New temporary bed elevation due to the pseudo-update used for the fixed bed correction approach [m]. ");
    EXPECT_EQ(cat::maps().find(MapID::EdgesSWE_EdgesAll)->description,
              "Map from internal (SWE) edges  to the entire edge set (ALL) (1 -> 1).");
    EXPECT_EQ(cat::aggregates().find(AggregateID::hyd_boundary_aggr)->cmdFilePaths,
              (std::vector<std::string>{"SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/BOUNDARY",
                                        "SETUP/DOMAIN/LAMINA_2D/GEOMETRY/STRINGDEF"}));
}
