// Composition of models: the specification string, the closure over the catalogue, requested outputs and the
// fatal paths with their messages.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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

template <typename T, typename ID>
std::vector<ID> ids(const std::vector<T*>& elements)
{
    std::vector<ID> list;
    for (const T* e : elements) list.push_back(e->getID());
    return list;
}

const char* const commandFile = R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
    "HYDRAULICS": {"BOUNDARY": {"LIST": []}, "FRICTION": {"type": 1}},
    "GEOMETRY": {"REGIONDEF": {}}
}}}})";

}  // namespace

TEST(ModelComposition, EmptySpecComposesEverythingWithTheSetupData)
{
    std::string out;
    auto full = compose("", &out);
    EXPECT_EQ(out, " -> composing the full model\n");
    EXPECT_EQ(full->getAggregates().size(), 12u);
    EXPECT_EQ(full->getKernels().size(), static_cast<std::size_t>(Dimensions::NrKernels));
    EXPECT_EQ(full->getSets().size(), static_cast<std::size_t>(Dimensions::NrSets));
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
    EXPECT_FALSE(full->getComponent(DataID::NrTrueNb));
    EXPECT_FALSE(full->getComponent(MapID::ClHydSrc_ClRegion));
    EXPECT_TRUE(full->getVars().empty());
    for (DataID d : {DataID::Coordnts, DataID::Topology, DataID::StrNames}) {
        ASSERT_TRUE(full->getComponent(d));
        EXPECT_TRUE(full->getData(d)->isSetupOnly());
    }
    // Only the tracking output joins by itself, already defined.
    ASSERT_EQ(names(full->getOuts()), std::vector<std::string>{"flood_tracking"});
    EXPECT_EQ(full->getOutput(OutputID::flood_tracking)->getDataColumns().size(), 4u);
    EXPECT_TRUE(full->getOutput(OutputID::flood_tracking)->isTracking());

    // Every element is built from its own catalogue entry and lives on the model's own set objects.
    for (api::IData* d : full->getDats()) {
        EXPECT_EQ(d->getSet(), full->getSet(catalogue::data().find(d->getID())->set));
        EXPECT_EQ(d->isSimulationOnly(), catalogue::contains(catalogue::dataSimulation(), d->getID()));
    }
    for (api::IMap* m : full->getMaps()) {
        EXPECT_EQ(m->getSet(), full->getSet(catalogue::maps().find(m->getID())->from));
        EXPECT_EQ(m->getSetMapped(), full->getSet(catalogue::maps().find(m->getID())->to));
    }
    // Solutions are exactly the state the flux kernels integrate.
    for (api::IData* d : full->getDats())
        EXPECT_EQ(d->isSolution(), d->getID() == DataID::HydState || d->getID() == DataID::BottomEl) << d->getH5Path();
    EXPECT_THAT(full->getKernel(KernelID::Update)->getOptionalData(), ElementsAre(DataID::FluxesMo));
    EXPECT_TRUE(full->getKernel(KernelID::HydFlood)->getOptionalData().empty());
}

TEST(ModelComposition, HydraulicsAggregateAloneGivesItsKernelsAndSets)
{
    std::string out;
    auto hyd = compose("a.0", &out);
    EXPECT_EQ(out, " -> composing the model for aggregate <0>\n");
    EXPECT_EQ(names(hyd->getKernels()), (std::vector<std::string>{"InitCellHydFeatures", "TimeStepCalculation",
                                                                  "HydWallBFluxes", "HydInternalFluxes", "Update"}));
    EXPECT_EQ(names(hyd->getSets()), (std::vector<std::string>{"CellsAll", "EdgesAll", "EdgHydWL", "EdgesSWE"}));
    EXPECT_FALSE(hyd->getComponent(DataID::Coordnts));  // no set-up data
    EXPECT_FALSE(hyd->getComponent(SetID::NodesAll));
    EXPECT_FALSE(hyd->getComponent(DataID::FluxesMo));  // Update's optional datum is not pulled in
    EXPECT_TRUE(hyd->getData(DataID::HydState)->isSolution());
    EXPECT_FALSE(hyd->getData(DataID::BottomEl)->isSolution());  // no morphology here
    EXPECT_TRUE(hyd->getOuts().empty());

    // Lists are ascending and their elements are found again by identifier.
    const auto dataIds = ids<api::IData, DataID>(hyd->getDats());
    EXPECT_TRUE(std::is_sorted(dataIds.begin(), dataIds.end()));
    for (api::IParameter* p : hyd->getPars()) EXPECT_EQ(hyd->getParameter(p->getID()), p);
    EXPECT_EQ(hyd->getMap(MapID::EdgHydWL_CellsAll)->getH5Path(), "EdgHydWL/CellsAll");
}

TEST(ModelComposition, SingleKernelAndUnorderedAggregates)
{
    std::string out;
    auto update = compose("k.21", &out);
    EXPECT_EQ(out, " -> composing the model for kernel <21>\n");
    EXPECT_EQ(names(update->getKernels()), std::vector<std::string>{"Update"});
    EXPECT_TRUE(update->getAggregates().empty());
    EXPECT_EQ(names(update->getSets()), (std::vector<std::string>{"CellsAll", "EdgesAll"}));
    EXPECT_EQ(names(update->getPars()),
              (std::vector<std::string>{"MinWaterDepth", "Gravity", "MorphStart", "SafeMode"}));

    std::unique_ptr<api::IModel> mixed(
        Factory::getModelFromAggregates({AggregateID::hyd_flood_aggr, AggregateID::mor_source_aggr,
                                         AggregateID::hydraulics_aggr, AggregateID::hyd_flood_aggr},
                                        false));
    const auto dataIds = ids<api::IData, DataID>(mixed->getDats());
    EXPECT_TRUE(std::is_sorted(dataIds.begin(), dataIds.end()));
    EXPECT_EQ(std::adjacent_find(dataIds.begin(), dataIds.end()), dataIds.end());
    EXPECT_EQ(mixed->getAggregates().size(), 3u);
    const auto kernelIds = ids<api::IKernel, KernelID>(mixed->getKernels());
    EXPECT_TRUE(std::is_sorted(kernelIds.begin(), kernelIds.end()));
    // Every datum a kernel needs is in the model, on a set of the model.
    for (api::IKernel* k : mixed->getKernels())
        for (DataID d : catalogue::kernels().find(k->getID())->data) EXPECT_TRUE(mixed->getComponent(d));
}

TEST(ModelComposition, SpecificationsThatNameNoModel)
{
    // "a.N" and "k.N" count only as whole arguments; other dotted names are paths of files that do not exist.
    for (const char* spec : {"b.3", "a", "model", "a.x", "a.1/model", "k.2.3"}) {
        const std::string err = testsupport::fatalStderr([&] { compose(spec); });
        EXPECT_EQ(err, " -> no model definition found\n") << spec;
    }
    EXPECT_EQ(testsupport::fatalStderr([] { compose("k.99999999999"); }),
              " -> kernel number out of range: k.99999999999\n");
    EXPECT_THAT(testsupport::fatalStderr([] { compose("a.12"); }),
                HasSubstr(" -> aggregate <12> not defined, in file: src/model/Model on line"));
    EXPECT_THAT(testsupport::fatalStderr([] { compose("k.26"); }), HasSubstr(" -> kernel <26> not defined"));
    EXPECT_THAT(testsupport::fatalStderr([] { delete Factory::getModelFromAggregates({}, true); }),
                HasSubstr(" -> no aggregates found...something went wrong with the model definition, in file: "
                          "src/model/Factory on line"));
    EXPECT_THAT(testsupport::fatalStderr([] { delete Factory::getModelFromKernels({}, true); }),
                HasSubstr(" -> no kernels found...something went wrong with the model definition"));
}

TEST(ModelComposition, FactoryAndLookUpReportMissingEntries)
{
    EXPECT_THAT(testsupport::fatalStderr([] { delete Factory::createParameter(static_cast<ParameterID>(20)); }),
                HasSubstr(" -> parameter description not found (id = 20), in file: src/model/Factory"));
    EXPECT_THAT(testsupport::fatalStderr([] { delete Factory::createParameter(static_cast<ParameterID>(28)); }),
                HasSubstr(" -> parameter property definition not found, in file: src/model/Factory"));
    EXPECT_THAT(testsupport::fatalStderr([] { delete Factory::createAggregate(static_cast<AggregateID>(12)); }),
                HasSubstr(" -> aggregate property definition not found (id = 12)"));
    EXPECT_THAT(testsupport::fatalStderr([] { delete Factory::createVariable(static_cast<VariableID>(0)); }),
                HasSubstr(" -> variable property definition not found"));

    auto update = compose("k.21");
    EXPECT_THAT(testsupport::fatalStderr([&] { update->getParameter(ParameterID::CFLnumber); }),
                HasSubstr(" -> parameter <1> not found, in file: src/model/Model"));
    EXPECT_THAT(testsupport::fatalStderr([&] { update->getSet(SetID::NodeStrg); }),
                HasSubstr(" -> set <11> not found"));
    EXPECT_THAT(testsupport::fatalStderr([&] { update->defineOutput(OutputID::water_depth); }),
                HasSubstr(" -> output <1> not existing"));
    EXPECT_FALSE(update->getComponent(KernelID::HydFlood));
    EXPECT_TRUE(update->getComponent(ParameterID::SafeMode));
}

TEST(ModelComposition, RequestedOutputsMustBeComputableByTheModel)
{
    auto hyd = compose("a.0");
    hyd->addOutputs({"water_depth", "flow_velocity", "water_depth"});
    EXPECT_EQ(names(hyd->getOuts()), (std::vector<std::string>{"water_depth", "flow_velocity"}));
    EXPECT_EQ(hyd->getOutput(OutputID::flow_velocity)->getNrDataFunctions(), 2);
    EXPECT_EQ(hyd->getOutput(OutputID::water_depth)->getSet(), hyd->getSet(SetID::CellsAll));

    const std::string err = testsupport::fatalStderr([&] { hyd->addOutputs({"ns_mor_discharge"}); });
    EXPECT_EQ(err,
              " -> output <ns_mor_discharge> cannot be defined within the this model setup, valid are:\n"
              " -> water_surface\n -> water_depth\n -> bottom_elevation\n -> spec_discharge\n"
              " -> delta_z\n -> flow_velocity\n -> flow_velocity_abs\n -> \n");
    // The tracking output is never requested by name.
    EXPECT_THAT(testsupport::fatalStderr([&] { compose("")->addOutputs({"flood_tracking"}); }),
                HasSubstr("output <flood_tracking> cannot be defined"));
}

TEST(ModelComposition, TemporaryComponentsCarryCatalogueFactsOutsideTheModel)
{
    auto hyd = compose("a.0");
    std::unique_ptr<api::IData> names(hyd->createTempComponent(DataID::StrNames));
    EXPECT_EQ(names->getH5Path(), "NodeStrg/StrNames");
    EXPECT_EQ(names->getType(), "string");
    EXPECT_FALSE(hyd->getComponent(DataID::StrNames));
    std::unique_ptr<api::IMap> map(hyd->createTempComponent(MapID::NodeStrg_EdgesAll));
    EXPECT_EQ(map->getSize(), Dimensions::NodeStringMaxEdges);
    EXPECT_EQ(map->getSetMapped()->getName(), "EdgesAll");
    std::unique_ptr<api::IKernel> update(hyd->createTempComponent(KernelID::Update));
    EXPECT_EQ(update->getSet(), hyd->getSet(SetID::CellsAll));
    std::unique_ptr<api::IKernel> source(hyd->createTempComponent(KernelID::HydSource));
    EXPECT_EQ(source->getSet()->getName(), "ClHydSrc");
    std::unique_ptr<api::IParameter> porosity(hyd->createTempComponent(ParameterID::InvBedPorosity));
    EXPECT_TRUE(porosity->isSimulationOnly());
    std::unique_ptr<api::ISet> set(hyd->createTempComponent(SetID::InSeries));
    EXPECT_EQ(set->getH5Path(), "InSeries/set");
}

TEST(ModelComposition, CommandFileSwitchesOnAggregatesWhosePathsAreAllPresent)
{
    std::string out;
    auto model = compose("", &out);  // reference
    ::testing::internal::CaptureStdout();
    std::unique_ptr<api::IModel> fromText(Factory::getModelFromCommandFile(commandFile));
    out = ::testing::internal::GetCapturedStdout();
    // BOUNDARY without STRINGDEF does not switch the hydraulic boundaries on; FRICTION does switch friction on.
    EXPECT_EQ(out, " -> found aggregate <hydraulics_aggr>\n -> found aggregate <hyd_friction_aggr>\n");
    EXPECT_EQ(names(fromText->getAggregates()), (std::vector<std::string>{"hydraulics_aggr", "hyd_friction_aggr"}));
    EXPECT_TRUE(fromText->getComponent(DataID::Topology));  // set-up data included

    testsupport::ScratchDir dir("model_composition");
    const std::string json = dir.write("setup.json", commandFile);
    std::unique_ptr<api::IModel> fromFile(compose(json, &out));
    EXPECT_THAT(out, HasSubstr(" -> composing the model from the input file\n"));
    EXPECT_EQ(names(fromFile->getKernels()), names(fromText->getKernels()));

    EXPECT_THAT(testsupport::fatalStderr([] { delete Factory::getModelFromCommandFile(R"({"SETUP": {}})"); }),
                HasSubstr("no aggregates found"));
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
        ASSERT_NE(archived, nullptr) << p;
        EXPECT_TRUE(archived->getComponent(KernelID::HydFriction));
        EXPECT_FALSE(archived->getComponent(KernelID::HydBoundaryFluxes));
    }
    // The whole argument "k.3" stays a kernel specification even when a file of that name exists.
    std::string out;
    EXPECT_NO_THROW(compose("k.3", &out));
    std::filesystem::current_path(cwd);
    EXPECT_EQ(out, " -> composing the model for kernel <3>\n");
}
