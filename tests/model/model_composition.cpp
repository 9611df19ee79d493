// Composition of models: the specification string, the closure over the catalogue, requested outputs and the
// fatal paths with their messages.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>

#include "dataio/Archive.hpp"
#include "dataio/Factory.hpp"
#include "model/Catalogue.hpp"
#include "model/Factory.hpp"
#include "model/Model.hpp"
#include "support/FatalOutput.hpp"
#include "support/ScratchDir.hpp"

using namespace model;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

/// Composes quietly (the progress lines go to a captured stdout) and returns the model with that output.
std::unique_ptr<api::IModel> compose(const std::string& spec, std::string* out = nullptr)
{
    ::testing::internal::CaptureStdout();
    std::unique_ptr<api::IModel> model;
    try {
        model.reset(Factory::createModel(spec));
    } catch (...) {
        ::testing::internal::GetCapturedStdout();
        throw;
    }
    const std::string text = ::testing::internal::GetCapturedStdout();
    if (out != nullptr) *out = text;
    return model;
}

template <typename T>
std::vector<std::string> names(const std::vector<T*>& elements)
{
    std::vector<std::string> list;
    for (const T* e : elements) list.push_back(e->getName());
    return list;
}

const char* const commandFile = R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
    "HYDRAULICS": {"BOUNDARY": {"LIST": []}, "FRICTION": {"type": 1}},
    "GEOMETRY": {"REGIONDEF": {}}
}}}})";

}  // namespace

TEST(ModelComposition, EmptySpecComposesEveryKernelWithWhatItUsesAndTheSetupData)
{
    std::string out;
    auto full = compose("", &out);
    EXPECT_EQ(out, " -> composing the full model\n");
    EXPECT_EQ(full->getAggregates().size(), 12u);
    EXPECT_EQ(full->getKernels().size(), static_cast<std::size_t>(Dimensions::NrKernels));
    // Maps and data come only through kernels: those no kernel uses stay out even of the full model.
    for (MapID m : catalogue::maps().ids()) {
        bool used = false;
        for (KernelID k : catalogue::kernels().ids())
            used = used || catalogue::contains(catalogue::kernels().find(k)->maps, m);
        EXPECT_EQ(full->getComponent(m), used) << "map " << toInt(m);
    }
    for (DataID d : catalogue::data().ids()) {
        bool used = catalogue::contains(catalogue::dataSetup(), d);
        for (KernelID k : catalogue::kernels().ids())
            used = used || catalogue::contains(catalogue::kernels().find(k)->data, d);
        EXPECT_EQ(full->getComponent(d), used) << "data " << toInt(d);
    }
    // Every element lives on the model's own set objects; solutions are the state the flux kernels integrate.
    for (api::IData* d : full->getDats()) {
        EXPECT_EQ(d->getSet(), full->getSet(catalogue::data().find(d->getID())->set));
        EXPECT_EQ(d->isSolution(), d->getID() == DataID::HydState || d->getID() == DataID::BottomEl) << d->getH5Path();
    }
    for (api::IMap* m : full->getMaps()) {
        EXPECT_EQ(m->getSet(), full->getSet(catalogue::maps().find(m->getID())->from));
        EXPECT_EQ(m->getSetMapped(), full->getSet(catalogue::maps().find(m->getID())->to));
    }
    // Only the tracking output joins by itself, already defined.
    ASSERT_EQ(names(full->getOuts()), std::vector<std::string>{"flood_tracking"});
    EXPECT_EQ(full->getOutput(OutputID::flood_tracking)->getDataColumns().size(), 4u);
    EXPECT_THAT(full->getKernel(KernelID::Update)->getOptionalData(), ElementsAre(DataID::FluxesMo));
}

TEST(ModelComposition, AnAggregateOrAKernelComposesItsClosure)
{
    std::string out;
    auto hyd = compose("a.0", &out);
    EXPECT_EQ(out, " -> composing the model for aggregate <0>\n");
    EXPECT_EQ(names(hyd->getKernels()), (std::vector<std::string>{"InitCellHydFeatures", "TimeStepCalculation",
                                                                  "HydWallBFluxes", "HydInternalFluxes", "Update"}));
    EXPECT_EQ(names(hyd->getSets()), (std::vector<std::string>{"CellsAll", "EdgesAll", "EdgHydWL", "EdgesSWE"}));
    EXPECT_FALSE(hyd->getComponent(DataID::Coordnts));  // no set-up data
    EXPECT_FALSE(hyd->getComponent(DataID::FluxesMo));  // Update's optional datum is not pulled in
    EXPECT_FALSE(hyd->getData(DataID::BottomEl)->isSolution()) << "no morphology here";
    for (api::IParameter* p : hyd->getPars()) EXPECT_EQ(hyd->getParameter(p->getID()), p);

    auto update = compose("k.21", &out);
    EXPECT_EQ(out, " -> composing the model for kernel <21>\n");
    EXPECT_EQ(names(update->getKernels()), std::vector<std::string>{"Update"});
    EXPECT_EQ(names(update->getSets()), (std::vector<std::string>{"CellsAll", "EdgesAll"}));
    EXPECT_EQ(names(update->getPars()),
              (std::vector<std::string>{"MinWaterDepth", "Gravity", "MorphStart", "SafeMode"}));
}

TEST(ModelComposition, WhatCannotBeComposedOrFoundIsAFatalMessage)
{
    auto update = compose("k.21");
    auto hyd = compose("a.0");
    // The source location that follows each message is the fatal assertion's (tested with it).
    // "a.N" and "k.N" count only as whole arguments; other dotted names are paths of files that do not exist.
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[] { compose("b.3"); }, " -> no model definition found\n"},
        {[] { compose("a.1/model"); }, " -> no model definition found\n"},
        {[] { compose("k.99999999999"); }, " -> kernel number out of range: k.99999999999\n"},
        {[] { compose("a.12"); }, " -> aggregate <12> not defined, in file: "},
        {[] { compose("k.26"); }, " -> kernel <26> not defined"},
        {[] { delete Factory::createParameter(static_cast<ParameterID>(20)); },
         " -> parameter description not found (id = 20), in file: "},
        {[] { delete Factory::createParameter(static_cast<ParameterID>(28)); },
         " -> parameter property definition not found"},
        {[&] { update->getParameter(ParameterID::CFLnumber); }, " -> parameter <1> not found, in file: "},
        {[&] { update->getSet(SetID::NodeStrg); }, " -> set <11> not found"},
        {[&] { update->defineOutput(OutputID::water_depth); }, " -> output <1> not existing"},
        {[&] { hyd->addOutputs({"flood_tracking"}); }, "output <flood_tracking> cannot be defined"},
        {[&] { hyd->addOutputs({"ns_mor_discharge"}); },
         " -> output <ns_mor_discharge> cannot be defined within the this model setup, valid are:\n"
         " -> water_surface\n -> water_depth\n -> bottom_elevation\n -> spec_discharge\n"
         " -> delta_z\n -> flow_velocity\n -> flow_velocity_abs\n -> \n"},
        {[] { delete Factory::getModelFromCommandFile(R"({"SETUP": {}})"); },
         " -> no aggregates found...something went wrong with the model definition, in file: "},
    };
    for (const auto& [run, message] : cases) EXPECT_THAT(testsupport::fatalStderr(run), HasSubstr(message));

    hyd->addOutputs({"water_depth", "flow_velocity", "water_depth"});
    EXPECT_EQ(names(hyd->getOuts()), (std::vector<std::string>{"water_depth", "flow_velocity"}));
    EXPECT_EQ(hyd->getOutput(OutputID::flow_velocity)->getNrDataFunctions(), 2);
}

TEST(ModelComposition, CommandFileSwitchesOnAggregatesWhosePathsAreAllPresent)
{
    ::testing::internal::CaptureStdout();
    std::unique_ptr<api::IModel> fromText(Factory::getModelFromCommandFile(commandFile));
    // BOUNDARY without STRINGDEF does not switch the hydraulic boundaries on; FRICTION does switch friction on.
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              " -> found aggregate <hydraulics_aggr>\n -> found aggregate <hyd_friction_aggr>\n");
    EXPECT_EQ(names(fromText->getAggregates()), (std::vector<std::string>{"hydraulics_aggr", "hyd_friction_aggr"}));
    EXPECT_TRUE(fromText->getComponent(DataID::Topology));  // set-up data included

    testsupport::ScratchDir dir("model_composition");
    std::string out;
    std::unique_ptr<api::IModel> fromFile(compose(dir.write("setup.json", commandFile), &out));
    EXPECT_THAT(out, HasSubstr(" -> composing the model from the input file\n"));
    EXPECT_EQ(names(fromFile->getKernels()), names(fromText->getKernels()));
}

TEST(ModelComposition, ArchivedCommandTextIsReadFromAModelFileWhateverDotsItsPathHolds)
{
    testsupport::ScratchDir dir("model_archive");
    const std::filesystem::path root(dir.path());
    const std::vector<std::string> paths = {"run.1/model.h5", "a.1/model.v2.h5", "v2.0.3/j.doe/model", "k.3"};
    for (const std::string& p : paths) {
        std::filesystem::create_directories((root / p).parent_path());
        std::unique_ptr<api::IH5Writer> writer(dataio::Factory::createH5Writer((root / p).string()));
        dataio::Archive::addModel(writer.get(), commandFile);
    }
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(root);
    for (const std::string& p : paths) {
        std::string out;
        std::unique_ptr<api::IModel> archived;
        EXPECT_NO_THROW(archived = compose(p == "k.3" ? "./k.3" : p, &out)) << p;
        EXPECT_EQ(out,
                  " -> composing the model from archive\n"
                  " -> found aggregate <hydraulics_aggr>\n -> found aggregate <hyd_friction_aggr>\n")
            << p;
        EXPECT_TRUE(archived && archived->getComponent(KernelID::HydFriction)) << p;
    }
    // The whole argument "k.3" stays a kernel specification even when a file of that name exists.
    std::string out;
    EXPECT_NO_THROW(compose("k.3", &out));
    std::filesystem::current_path(cwd);
    EXPECT_EQ(out, " -> composing the model for kernel <3>\n");
}
