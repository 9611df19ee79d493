// Behaviour of single catalogue elements: paths, dimensions, flags, output definition and printing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "model/Aggregate.hpp"
#include "model/Data.hpp"
#include "model/Kernel.hpp"
#include "model/Map.hpp"
#include "model/Output.hpp"
#include "model/Parameter.hpp"
#include "model/Set.hpp"
#include "model/Variable.hpp"
#include "support/FatalOutput.hpp"

using namespace model;
using ::testing::HasSubstr;

namespace {

std::vector<OutputOperation> twoOperations()
{
    auto first = [](double, const std::vector<double>& c) { return c.at(0); };
    auto second = [](double, const std::vector<double>& c) { return c.at(1); };
    return {{"$0", first}, {"$1", second}};
}

}  // namespace

TEST(ElementBehaviour, PrintShowsPathsAndDimensionsThatFollowTheSetsSize)
{
    Set cells(SetID::CellsAll, "CellsAll", "cells");
    Set edges(SetID::EdgesAll, "EdgesAll", "edges");
    Map map(MapID::EdgesAll_CellsAll, "CellsAll", "", &edges, &cells, 2);
    Data data(DataID::IsWetted, "IsWetted", "", true, false, DT_INT, &cells, 1, false);
    Parameter parameter(ParameterID::BedloadInts, "BedloadInts", "", false, false, DT_INT, 2);
    Variable variable(static_cast<VariableID>(0), "Clock", "", true, DT_FLOAT, 1);
    Output output(OutputID::spec_discharge, "spec_discharge", "", DT_FLOAT, &cells, 2, false);
    Kernel kernel(KernelID::TimeStepCalculation, "TimeStepCalculation", "", &edges);
    Aggregate aggregate(AggregateID::hyd_flood_aggr, "hyd_flood_aggr", "");
    cells.setSize(4);
    edges.setSize(9);
    ::testing::internal::CaptureStdout();
    cells.print();
    map.print();
    data.print();
    parameter.print();
    variable.print();
    output.print();
    kernel.print();
    aggregate.print();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Set: CellsAll/set (N=4)\n"
              "Map: EdgesAll/CellsAll\n -> with dimension (9/2)\n"
              "Data: CellsAll/IsWetted (dtype=int)\n -> with dimension (4/1)\n"
              "Parameter: Parameters/BedloadInts (dtype=int)\n -> with size 2\n"
              "Variable: Clock (dtype=float)\n -> with size 1\n"
              "Output: CellsAll/spec_discharge (dtype=float)\n -> with dimension (4/2)\n"
              "Kernel: TimeStepCalculation\n -> on set EdgesAll\n"
              "Aggregate: hyd_flood_aggr\n");
    EXPECT_EQ(Kernel(KernelID::Update, "Update", "", &cells).getH5Path(), "CellsAll/Update");
    Data orphan(DataID::BottomEl, "BottomEl", "zb", false, false, DT_FLOAT, nullptr, 1, false);
    EXPECT_THROW(orphan.getDimension(), std::out_of_range);
}

TEST(ElementBehaviour, VariableInTimeMeansSimulationOnlyOrSolutionForDataAndAlwaysForVariables)
{
    Set cells(SetID::CellsAll, "CellsAll", "cells");
    EXPECT_TRUE(Data(DataID::FlowCurv, "FlowCurv", "", true, false, DT_FLOAT, &cells, 1, false).isVariableInTime());
    EXPECT_TRUE(Data(DataID::HydState, "HydState", "", false, false, DT_FLOAT, &cells, 3, true).isVariableInTime());
    EXPECT_FALSE(Data(DataID::Topology, "Topology", "", false, true, DT_INT, &cells, 3, false).isVariableInTime());
    EXPECT_FALSE(Parameter(ParameterID::InvGravity, "InvGravity", "", true, false, DT_FLOAT, 1).isVariableInTime());
    EXPECT_TRUE(Variable(static_cast<VariableID>(0), "Var", "", false, DT_INT, 2).isVariableInTime());
    EXPECT_FALSE(Output(OutputID::water_depth, "water_depth", "", DT_FLOAT, &cells, 1, false).isVariableInTime());
}

TEST(ElementBehaviour, OutputDefinitionMatchesItsSizeAndRepeatedColumnsComeFromTheInitialState)
{
    Set cells(SetID::CellsAll, "CellsAll", "cells");
    const std::vector<api::IOutput::Column> four = {
        {DataID::HydState, 1}, {DataID::HydState, 2}, {DataID::HydState, 0}, {DataID::BottomEl, 0}};
    Output velocity(OutputID::flow_velocity, "flow_velocity", "", DT_FLOAT, &cells, 2, false);
    velocity.define(four, twoOperations());
    EXPECT_EQ(velocity.getDataFunction(1).function, "$1");
    EXPECT_EQ(velocity.getData(), (std::vector<DataID>{DataID::HydState, DataID::BottomEl}));
    EXPECT_TRUE(velocity.getInitData().empty()) << "same datum, different components: nothing repeats";
    EXPECT_THAT(testsupport::fatalStderr([&] { velocity.define(four, {}); }),
                HasSubstr(" -> number of data columns do not match the output size, in file: "));
    Output scalar(OutputID::water_depth, "water_depth", "", DT_FLOAT, &cells, 1, false);
    EXPECT_THAT(testsupport::fatalStderr([&] { scalar.define(four, twoOperations()); }),
                HasSubstr(" -> number of functions must match the output size,, in file: "));

    // A repeat is reported at its first position.
    Output mixed(OutputID::flood_tracking, "flood_tracking", "", DT_FLOAT, &cells, 3, true);
    mixed.define({{DataID::HydState, 0}, {DataID::BottomEl, 0}, {DataID::HydState, 0}}, {});
    EXPECT_EQ(mixed.getInitData(), std::vector<int>{0});
    EXPECT_EQ(mixed.getData(), (std::vector<DataID>{DataID::HydState, DataID::BottomEl}));
}
