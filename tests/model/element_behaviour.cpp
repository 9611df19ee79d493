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

TEST(ElementBehaviour, PathsAndDimensionsFollowTheSetTheElementLivesOn)
{
    Set edges(SetID::EdgesAll, "EdgesAll", "edges");
    Set wall(SetID::EdgHydWL, "EdgHydWL", "wall edges");
    Set cells(SetID::CellsAll, "CellsAll", "cells");
    EXPECT_EQ(edges.getSize(), 0);
    edges.setSize(1000);

    Map leftRight(MapID::EdgesAll_CellsAll, "CellsAll", "map", &edges, &cells, 2);
    EXPECT_EQ(leftRight.getDimension(), (std::vector<int>{1000, 2}));
    EXPECT_EQ(leftRight.getSet(), &edges);
    EXPECT_EQ(leftRight.getSetMapped(), &cells);
    EXPECT_EQ(leftRight.getH5Path(), "EdgesAll/CellsAll");

    Map wallCells(MapID::EdgHydWL_CellsAll, "CellsAll", "map", &wall, &cells, 1);
    EXPECT_EQ(wallCells.getH5Path(), "EdgHydWL/CellsAll");

    Data state(DataID::HydState, "HydState", "state", false, false, DT_FLOAT, &cells, 3, true);
    cells.setSize(7);
    EXPECT_EQ(state.getH5Path(), "CellsAll/HydState");
    EXPECT_EQ(state.getDimension(), (std::vector<int>{7, 3}));  // follows a later setSize
    EXPECT_EQ(cells.getH5Path(), "CellsAll/set");
    EXPECT_EQ(cells.getH5PathRoot(), "CellsAll");

    Parameter gravity(ParameterID::Gravity, "Gravity", "g", false, false, DT_FLOAT, 1);
    EXPECT_EQ(gravity.getH5Path(), "Parameters/Gravity");
    Kernel update(KernelID::Update, "Update", "update", &cells);
    EXPECT_EQ(update.getH5Path(), "CellsAll/Update");
    Aggregate hydraulics(AggregateID::hydraulics_aggr, "hydraulics_aggr", "basis");
    EXPECT_EQ(hydraulics.getH5Path(), "hydraulics_aggr");
    EXPECT_STREQ(hydraulics.getNameC(), "hydraulics_aggr");

    Data orphan(DataID::BottomEl, "BottomEl", "zb", false, false, DT_FLOAT, nullptr, 1, false);
    EXPECT_THROW(orphan.getDimension(), std::out_of_range);
}

TEST(ElementBehaviour, VariableInTimeIsSimulationOnlyOrSolution)
{
    Set cells(SetID::CellsAll, "CellsAll", "cells");
    Data simOnly(DataID::FlowCurv, "FlowCurv", "", true, false, DT_FLOAT, &cells, 1, false);
    Data solution(DataID::HydState, "HydState", "", false, false, DT_FLOAT, &cells, 3, true);
    Data fixed(DataID::CellsAll_GeomArea, "GeomArea", "", false, true, DT_FLOAT, &cells, 1, false);
    EXPECT_TRUE(simOnly.isVariableInTime());
    EXPECT_FALSE(simOnly.isSolution());
    EXPECT_TRUE(solution.isVariableInTime());
    EXPECT_FALSE(solution.isSimulationOnly());
    EXPECT_FALSE(fixed.isVariableInTime());
    EXPECT_TRUE(fixed.isSetupOnly());

    // A parameter never varies, even when the simulation derives it; a variable always does.
    Parameter derived(ParameterID::InvGravity, "InvGravity", "", true, false, DT_FLOAT, 1);
    EXPECT_FALSE(derived.isVariableInTime());
    EXPECT_TRUE(derived.isSimulationOnly());
    Variable variable(static_cast<VariableID>(0), "Var", "", false, DT_INT, 2);
    EXPECT_TRUE(variable.isVariableInTime());
    EXPECT_FALSE(variable.isSetupOnly());
    EXPECT_FALSE(variable.isSolution());
    EXPECT_EQ(variable.getH5Path(), "Var");
    // An output is neither solution nor time-varying data of its own.
    Output output(OutputID::water_depth, "water_depth", "", DT_FLOAT, &cells, 1, false);
    EXPECT_FALSE(output.isSolution());
    EXPECT_FALSE(output.isVariableInTime());
}

TEST(ElementBehaviour, TypeTextCoversTheThreeCodesAndNothingElse)
{
    Set nodes(SetID::NodeStrg, "NodeStrg", "");
    EXPECT_EQ(Data(DataID::NodeStrg_ListSize, "ListSize", "", false, false, DT_INT, &nodes, 1, false).getType(), "int");
    EXPECT_EQ(Data(DataID::TotalLen, "TotalLen", "", false, false, DT_FLOAT, &nodes, 1, false).getType(), "float");
    EXPECT_EQ(Data(DataID::StrNames, "StrNames", "", false, true, DT_STRING, &nodes, 1, false).getType(), "string");
    EXPECT_EQ(Parameter(ParameterID::SafeMode, "SafeMode", "", false, false, static_cast<DataType>(3), 1).getType(),
              "");
}

TEST(ElementBehaviour, OutputDefinitionChecksColumnsOrOperationsAgainstItsSize)
{
    Set cells(SetID::CellsAll, "CellsAll", "cells");
    const std::vector<api::IOutput::Column> four = {
        {DataID::HydState, 1}, {DataID::HydState, 2}, {DataID::HydState, 0}, {DataID::BottomEl, 0}};

    Output velocity(OutputID::flow_velocity, "flow_velocity", "", DT_FLOAT, &cells, 2, false);
    velocity.define(four, twoOperations());
    EXPECT_EQ(velocity.getNrDataFunctions(), 2);
    EXPECT_EQ(velocity.getDataFunction(1).function, "$1");
    EXPECT_THROW(velocity.getDataFunction(2), std::out_of_range);
    EXPECT_EQ(velocity.getDataColumns(), four);
    EXPECT_EQ(velocity.getData(), (std::vector<DataID>{DataID::HydState, DataID::BottomEl}));
    EXPECT_TRUE(velocity.getInitData().empty());

    Output bare(OutputID::flow_velocity, "flow_velocity", "", DT_FLOAT, &cells, 2, false);
    std::string err = testsupport::fatalStderr([&] { bare.define(four, {}); });
    EXPECT_THAT(
        err, HasSubstr(" -> number of data columns do not match the output size, in file: src/model/Output on line"));
    EXPECT_THAT(err, HasSubstr(", version v3.0.0"));

    Output scalar(OutputID::water_depth, "water_depth", "", DT_FLOAT, &cells, 1, false);
    err = testsupport::fatalStderr([&] { scalar.define(four, twoOperations()); });
    EXPECT_THAT(err, HasSubstr(" -> number of functions must match the output size,, in file: src/model/Output"));
}

TEST(ElementBehaviour, RepeatedColumnsAreFilledFromTheInitialState)
{
    Set cells(SetID::CellsAll, "CellsAll", "cells");
    Output delta(OutputID::delta_z, "delta_z", "", DT_FLOAT, &cells, 1, false);
    delta.define({{DataID::BottomEl, 0}, {DataID::BottomEl, 0}}, {{"$1-$0", nullptr}});
    EXPECT_EQ(delta.getInitData(), std::vector<int>{0});
    EXPECT_EQ(delta.getData(), std::vector<DataID>{DataID::BottomEl});

    // Same datum, different components: nothing repeats.
    Output discharge(OutputID::spec_discharge, "spec_discharge", "", DT_FLOAT, &cells, 2, false);
    discharge.define({{DataID::HydState, 1}, {DataID::HydState, 2}}, {});
    EXPECT_TRUE(discharge.getInitData().empty());

    // A repeat at a later position is reported at the earlier one.
    Output mixed(OutputID::flood_tracking, "flood_tracking", "", DT_FLOAT, &cells, 3, true);
    mixed.define({{DataID::HydState, 0}, {DataID::BottomEl, 0}, {DataID::HydState, 0}}, {});
    EXPECT_EQ(mixed.getInitData(), std::vector<int>{0});
    EXPECT_TRUE(mixed.isTracking());
}

TEST(ElementBehaviour, PrintWritesTheDocumentedLines)
{
    Set cells(SetID::CellsAll, "CellsAll", "cells");
    Set edges(SetID::EdgesAll, "EdgesAll", "edges");
    cells.setSize(4);
    edges.setSize(9);
    Map map(MapID::EdgesAll_CellsAll, "CellsAll", "", &edges, &cells, 2);
    Data data(DataID::IsWetted, "IsWetted", "", true, false, DT_INT, &cells, 1, false);
    Parameter parameter(ParameterID::BedloadInts, "BedloadInts", "", false, false, DT_INT, 2);
    Variable variable(static_cast<VariableID>(0), "Clock", "", true, DT_FLOAT, 1);
    Output output(OutputID::spec_discharge, "spec_discharge", "", DT_FLOAT, &cells, 2, false);
    Kernel kernel(KernelID::TimeStepCalculation, "TimeStepCalculation", "", &edges);
    Aggregate aggregate(AggregateID::hyd_flood_aggr, "hyd_flood_aggr", "");

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
}

TEST(ElementBehaviour, KernelOptionalDataIsReplacedAsAWhole)
{
    Set cells(SetID::CellsAll, "CellsAll", "cells");
    Kernel update(KernelID::Update, "Update", "", &cells);
    EXPECT_TRUE(update.getOptionalData().empty());
    update.setOptionalData({DataID::FluxesMo, DataID::ChezyCoe});
    update.setOptionalData({DataID::FluxesMo});
    EXPECT_EQ(update.getOptionalData(), std::vector<DataID>{DataID::FluxesMo});
    EXPECT_EQ(Kernel::kernelPath, "kernels/ID");
    EXPECT_EQ(Kernel::kernelTimingPath, "kernels/execution");
    EXPECT_EQ(Kernel::kernelTimingLength, 3);
}
