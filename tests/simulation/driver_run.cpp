// The driver on a two-triangle model file, with scripted kernels: time loop, schedule, set-up from the model file
// and the results file; and the domain object, one per process, with its derived global constants.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/TerraException.hpp"
#include "simulation/ModelFile.hpp"
#include "simulation/ScriptedDriver.hpp"
#include "simulation/TERRAdomain_op.hpp"
#include "simulation/kernels/GlobalConstants.hpp"
#include "support/ScratchDir.hpp"
#include "support/Text.hpp"

using testsupport::contains;
using drivertest::ModelFileSpec;
using drivertest::record;
using drivertest::ScriptedDriver;
using model::KernelID;
using testsupport::countOf;

namespace {

constexpr double kForever = 1.0e9;

struct Captured {
    std::string out, err;
};

class DriverRun : public ::testing::Test {
protected:
    testsupport::ScratchDir dir{"driver"};
    const std::string modelFile = dir.file("model.h5");
    const std::string results = dir.file("results.h5");

    /// Writes the model file of `spec` and a configuration, and makes a driver of them (init not yet called).
    std::unique_ptr<ScriptedDriver> driver(const ModelFileSpec& spec, double start, double end, double out,
                                           const std::string& outputs = R"(["water_depth"])", double minimum = 1.0e-4)
    {
        drivertest::writeModelFile(modelFile, spec);
        std::ostringstream text;
        text.precision(17);
        text << R"({"SIMULATION": {"TIME": {"start": )" << start << R"(, "end": )" << end << R"(, "out": )" << out
             << R"(}, "TIMESTEP": {"init": 0.25, "minimum": )" << minimum << R"(}, "OUTPUT": )" << outputs << "}}";
        return std::make_unique<ScriptedDriver>(dir.write("config.json", text.str()), modelFile);
    }

    /// Runs f with both streams captured; a TerraException is expected when `fails`.
    static Captured capture(const std::function<void()>& f, bool fails = false)
    {
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        if (fails) {
            EXPECT_THROW(f(), TerraException);
        } else {
            f();
        }
        std::fflush(nullptr);
        return {::testing::internal::GetCapturedStdout(), ::testing::internal::GetCapturedStderr()};
    }
    /// init and run (or init alone) with both streams captured.
    Captured initAndRun(ScriptedDriver& d, int log, bool progress = false, bool debug = false, bool run = true)
    {
        return capture([&] {
            d.init(log, progress, debug, results);
            if (run) d.run();
        });
    }
};

ModelFileSpec withKernels(std::vector<drivertest::KernelRow> kernels, int wallEdges = 4)
{
    ModelFileSpec spec;
    spec.kernels = std::move(kernels);
    spec.wallEdges = wallEdges;
    return spec;
}

}  // namespace

/// Each row runs the scripted kernels of its schedule (recorders, and a step limiter as the time-step kernel) and
/// compares the calls, in order, and pieces of what was printed with how often they appear.
TEST_F(DriverRun, TheTimeLoopRunsTheDueKernelsInOrderAndPrintsWhatItIsAskedFor)
{
    // Binary fractions keep the step count exact: four steps of 2^-15 s up to 2^-13 s, the minimum being 2^-13 s.
    const double tiny = 0.0001220703125, tinyStep = 0.000030517578125;
    const std::string smaller = " -> time step smaller than allowed minimal 0.00012207. check for stability...\n";
    struct Row {
        const char* what;
        ModelFileSpec spec;
        double end, minimum, step;
        int log;
        bool progress;
        std::string calls;  ///< "id@t " per call, in order; not compared when empty
        std::vector<std::pair<std::string, int>> printed;
    };
    const Row rows[] = {
        {"due kernels in ascending identifier, one-shot kernels in the first pass only; 9 has no callable, 20 never "
         "has one, 15 starts at offset 1",
         withKernels({{21, {0.0, 0.0, kForever}},
                      {3, {0.0, 0.0, kForever}},
                      {9, {0.0, 0.0, kForever}},
                      {0, {0.0, 0.0, 0.0}},
                      {20, {0.0, 0.0, kForever}},
                      {15, {1.0, 0.0, kForever}}}),
         2.0, 1e-4, 1.0, 0, false, "0@0 3@0 21@0 3@1 15@1 21@1 ", {}},
        {"a kernel on an empty set is de-activated, one outside a hydraulics-only model keeps its callable",
         withKernels({{13, {0.0, 0.0, kForever}}, {22, {0.0, 0.0, kForever}}, {3, {0.0, 0.0, kForever}}}, 0), 1.0,
         1e-4, 0.5, 1, false, "3@0 22@0 3@0.5 22@0.5 ",
         {{" -> de-activating the kernel <HydWallBFluxes>\n", 1}, {"de-activating", 1}}},
        {"progress prints 101 lines when asked for", withKernels({{3, {0.0, 0.0, kForever}}}), 100.0, 1e-4, 0.5, 0,
         true, "",
         {{" -> Progress: ", 101},
          {" -> Progress: 0/100, dt = 0.25 [s], RTS = ", 1},
          {" -> Progress: 1/100, dt = 0.5 [s], RTS = ", 1},
          {" -> Progress: 50/100, dt = 0.5 [s], RTS = ", 1},
          {" -> Progress: 99/100, dt = 0.5 [s], RTS = ", 1},
          {" -> Progress: 100/100, dt = 0.5 [s], RTS = ", 1}}},
        {"and none otherwise", withKernels({{3, {0.0, 0.0, kForever}}}), 100.0, 1e-4, 0.5, 0, false, "",
         {{"Progress", 0}}},
        {"log level 3 prints every step", withKernels({{3, {0.0, 0.0, kForever}}}), 2.0, 1e-4, 0.5, 3, false, "",
         {{" -> time: ", 4}, {" -> time: 0.5\n", 1}, {" -> time: 1\n", 1}, {" -> time: 1.5\n", 1}, {" -> time: 2\n", 1}}},
        {"small steps are quiet at level 0", withKernels({{3, {0.0, 0.0, kForever}}}), tiny, tiny, tinyStep, 0, false,
         "", {{"time step smaller", 0}}},
        {"and warn above it", withKernels({{3, {0.0, 0.0, kForever}}}), tiny, tiny, tinyStep, 1, false, "",
         {{smaller, 4}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        auto d = driver(row.spec, 0.0, row.end, 0.0, R"(["water_depth"])", row.minimum);
        for (const KernelID id : {KernelID::Update, KernelID::InitCellHydFeatures, KernelID::HydInternalFluxes,
                                  KernelID::HydWallBFluxes, KernelID::HydFriction})
            d->addRecorder(id);
        d->addStepLimiter(row.step);
        const Captured c = initAndRun(*d, row.log, row.progress);
        for (const auto& [id, plan] : d->kernelPlans)
            EXPECT_EQ(d->kernelFunctions.count(id), 1u) << "a plan without a kernel: " << model::toInt(id);
        if (!row.calls.empty()) {
            std::ostringstream calls;
            for (const auto& call : d->calls) calls << model::toInt(call.id) << "@" << call.time << " ";
            EXPECT_EQ(calls.str(), row.calls);
        }
        for (const auto& [piece, times] : row.printed) EXPECT_EQ(countOf(c.out, piece), times) << piece << c.out;
    }
}

TEST_F(DriverRun, StartEqualToEndWritesOnceRunsNoKernelButStillTracksAndFinishes)
{
    ModelFileSpec spec = withKernels({{0, {0.0, 0.0, 0.0}}, {3, {0.0, 0.0, kForever}}});
    spec.setupText = R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"HYDRAULICS": {"FLOOD": {}}}}}})";
    auto d = driver(spec, 0.0, 0.0, 1.0);
    d->addRecorder(KernelID::InitCellHydFeatures);
    d->addStepLimiter(0.1);
    const Captured c = initAndRun(*d, 2);
    EXPECT_TRUE(d->calls.empty());
    EXPECT_EQ(d->outputCounter, 1);
    ASSERT_EQ(d->trackedOutputs, std::vector<model::DataID>{model::DataID::FloodVar});
    EXPECT_TRUE(contains(c.out, " -> writing output at t = 0 ...\n"));
    EXPECT_TRUE(contains(c.out, " -> writing tracked output ...\n"));
    EXPECT_TRUE(std::regex_search(c.out, std::regex(R"( -> simulation finished! \(cpu-time = [0-9.e+-]+s\)\n)")))
        << c.out;
    d.reset();
    EXPECT_EQ(drivertest::countObjects(results, "RESULTS/CellsAll/HydState"), 1);
    // Tracked data are written once, at index 0, with time 0.
    EXPECT_EQ(drivertest::readAttribute(results, record("CellsAll/FloodVar", 0), "t"), 0.0);
    EXPECT_EQ(drivertest::countObjects(results, "RESULTS/CellsAll/FloodVar"), 1);
}

TEST_F(DriverRun, MinimumStepAtTheLimitIsRejectedBeforeAnyOutputAndJustAboveItIsAccepted)
{
    {
        auto d = driver(ModelFileSpec{}, 0.0, 1.0, 0.0, R"(["water_depth"])", 0.000002);
        initAndRun(*d, 0, false, false, false);
        const std::string err = capture([&] { d->run(); }, true).err;
        EXPECT_TRUE(std::regex_match(err, std::regex(" -> Minimum integration timestep must be larger than <1e-06>, "
                                                     "in file: src/simulation/TERRAcommon_op on line [0-9]+, "
                                                     "version v3.0.0\n")))
            << err;
        EXPECT_EQ(d->outputCounter, 0);
    }
    auto d = driver(ModelFileSpec{}, 0.0, 1.0, 0.0, R"(["water_depth"])", 0.0000021);
    EXPECT_NO_THROW(initAndRun(*d, 0));
    EXPECT_EQ(d->outputCounter, 2);
}

/// Sets, data and parameters from the model file; debug runs get enumerator data on every set before any map.
TEST_F(DriverRun, ModelFileIsTurnedIntoSetsDataAndParameters)
{
    auto d = driver(ModelFileSpec{}, 0.0, 1.0, 0.0);
    const std::string out = initAndRun(*d, 3, false, true, false).out;
    EXPECT_EQ(d->sets.at(model::SetID::CellsAll)->size, 2);
    EXPECT_EQ(d->sets.at(model::SetID::EdgesSWE)->size, 1);
    // Simulation-only data start at zero, although the file holds other values for "CellsAll/IsWetted".
    const auto values = [&](auto type, model::DataID id, int n) {
        op_dat dat = d->data.at(id);
        EXPECT_NE(dat, nullptr);
        const auto* first = dat ? reinterpret_cast<decltype(type)*>(dat->data) : nullptr;
        return dat ? std::vector<decltype(type)>(first, first + n) : std::vector<decltype(type)>{};
    };
    EXPECT_EQ(values(0, model::DataID::IsWetted, 2), std::vector<int>(2, 0));
    EXPECT_EQ(values(0.0f, model::DataID::FluxesHy, 25), std::vector<float>(25, 0.0f));
    // Read data keep their values; set-up-only data are not declared.
    EXPECT_EQ(values(0.0f, model::DataID::HydState, 4)[3], 3.0f);
    EXPECT_EQ(d->data.at(model::DataID::Topology), nullptr);
    EXPECT_EQ(d->data.count(model::DataID::Coordnts), 1u);
    EXPECT_EQ(d->solutionData, std::vector<model::DataID>{model::DataID::HydState});
    // Parameters land in their slots, narrowed to float; the derived ones are the domain's business.
    EXPECT_EQ(G_REAL[slot::MinWaterDepth], 0.1f);
    EXPECT_EQ(G_REAL[slot::Gravity], 9.81f);
    EXPECT_EQ(G_INT[slot::SafeMode], 1);
    EXPECT_EQ(d->derivedParameterCalls, 1);
    // The one item the file lacks is the optional name list of the empty node-string set.
    EXPECT_EQ(countOf(out, "not found in runfile"), 1) << out;
    EXPECT_EQ(countOf(out, " -> data <NodeStrg/StrNames> not found in runfile...\n"), 1) << out;
    EXPECT_EQ(countOf(out, " -> init output <water_depth>\n"), 1) << out;

    EXPECT_EQ(G_Debug, 1);
    EXPECT_TRUE(contains(out, " -> DEBUG MODE ACTIVATED\n"));
    const std::size_t firstMap = out.find(" -> loading map <");
    ASSERT_NE(firstMap, std::string::npos) << out;
    EXPECT_LT(out.rfind("> CREATED\n"), firstMap);
    EXPECT_EQ(countOf(out, " -> ENUMERATOR DATA FOR SET <EdgesAll/set> CREATED\n"), 1) << out;
    const int* edges = reinterpret_cast<int*>(d->enumeratorData.at(model::SetID::EdgesAll)->data);
    EXPECT_EQ(std::vector<int>(edges, edges + 5), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(d->enumeratorData.size(), d->sets.size());
    G_Debug = 0;
}

TEST_F(DriverRun, ResultsFileHoldsSetupCopiesArchivesAndOneRecordPerOutputTime)
{
    const ModelFileSpec spec = withKernels({{3, {0.0, 0.0, kForever}}});
    // Three outputs of the one state: it is written once per output time.
    auto d = driver(spec, 0.0, 1.0, 0.5, R"(["water_surface", "water_depth", "spec_discharge"])");
    d->addStepLimiter(0.5);
    const Captured c = initAndRun(*d, 0);
    EXPECT_EQ(d->regularOutputs, std::vector<model::DataID>{model::DataID::HydState});
    for (int index = 0; index < 3; ++index)
        EXPECT_EQ(countOf(c.out, record("CellsAll/HydState", index) + "'"), 1) << index << "\n" << c.out;
    d.reset();

    using drivertest::exists;
    using drivertest::readValues;
    // Set-up-only data with the sizes of their sets; the constant bed elevation that "water_depth" needs.
    EXPECT_EQ(readValues(results, "NodesAll/set"), std::vector<double>{4});
    EXPECT_EQ(readValues(results, "NodesAll/Coordnts"), readValues(modelFile, "NodesAll/Coordnts"));
    EXPECT_EQ(readValues(results, "CellsAll/set"), std::vector<double>{2});
    EXPECT_EQ(readValues(results, "CellsAll/Topology"), (std::vector<double>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(readValues(results, "CellsAll/BottomEl"), (std::vector<double>{0.5, 1.0}));
    EXPECT_FALSE(exists(results, "NodeStrg/StrNames"));  // a set without elements has nothing to copy
    EXPECT_FALSE(exists(results, "CellsAll/HydState"));  // time-varying: only under RESULTS
    EXPECT_FALSE(exists(results, "EdgesAll"));
    EXPECT_EQ(readValues(results, "Parameters/MinWaterDepth"), std::vector<double>{0.1});
    EXPECT_FALSE(exists(results, "Parameters/Gravity"));
    EXPECT_EQ(drivertest::readString(results, ".config/model"), spec.setupText);
    EXPECT_EQ(drivertest::readString(results, ".config/simulation").find("{\"SIMULATION\":"), 0u);
    EXPECT_EQ(drivertest::countObjects(results, "RESULTS"), 1);
    ASSERT_EQ(drivertest::countObjects(results, "RESULTS/CellsAll/HydState"), 3);
    for (int index = 0; index < 3; ++index) {
        EXPECT_EQ(drivertest::readAttribute(results, record("CellsAll/HydState", index), "t"), 0.5 * index);
        EXPECT_EQ(readValues(results, record("CellsAll/HydState", index)),
                  (std::vector<double>{2.0, 0.0, 0.0, 3.0, 0.0, 0.0}));
    }
}

TEST_F(DriverRun, ReRunFromTheMiddleRewritesLaterRecordsAndKeepsEarlierOnes)
{
    const ModelFileSpec spec = withKernels({{3, {0.0, 0.0, kForever}}, {15, {0.0, 0.0, kForever}}});
    for (const double start : {0.0, 2.0}) {
        auto d = driver(spec, start, 4.0, 1.0);
        d->addStepLimiter(1.0);
        d->addSurfaceRise(start == 0.0 ? 1.0f : 10.0f);  // a different rise marks what the re-run wrote
        const Captured c = initAndRun(*d, 2);
        if (start == 0.0) continue;
        EXPECT_TRUE(contains(c.out, " -> Re-run properly set at 2 [s]\n"));
        EXPECT_EQ(d->outputCounter, 5);
    }
    const double expectedSurface[5] = {2.0, 3.0, 4.0, 14.0, 24.0};
    ASSERT_EQ(drivertest::countObjects(results, "RESULTS/CellsAll/HydState"), 5);
    for (int index = 0; index < 5; ++index) {
        EXPECT_EQ(drivertest::readAttribute(results, record("CellsAll/HydState", index), "t"), 1.0 * index);
        EXPECT_EQ(drivertest::readValues(results, record("CellsAll/HydState", index))[0], expectedSurface[index])
            << index;
    }
}

TEST_F(DriverRun, VectorParameterFillsConsecutiveSlotsAndMoreThanOneRowIsFatal)
{
    ModelFileSpec spec;
    spec.setupText = R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"HYDRAULICS": {}, "MORPHOLOGY": {}}}}})";
    spec.morphologySets = true;
    {
        auto d = driver(spec, 0.0, 1.0, 0.0);
        G_INT[slot::BedloadIsIkeda - 1] = -7;
        G_INT[slot::BedloadIsCurvature + 1] = -7;
        initAndRun(*d, 0, false, false, false);
        EXPECT_EQ(G_INT[slot::BedloadIsIkeda], 3);
        EXPECT_EQ(G_INT[slot::BedloadIsCurvature], 4);
        EXPECT_EQ(G_INT[slot::BedloadIsIkeda - 1], -7);  // neighbours untouched
        EXPECT_EQ(G_INT[slot::BedloadIsCurvature + 1], -7);
        EXPECT_EQ(G_REAL[slot::BedPorosity], 0.4f);
        // Both states of a morphodynamic model are solutions, written at every output time.
        EXPECT_EQ(d->regularOutputs, (std::vector<model::DataID>{model::DataID::HydState, model::DataID::BottomEl}));
    }
    spec.bedloadInts = {{1, 0}, {0, 1}};
    auto d = driver(spec, 0.0, 1.0, 0.0);
    const std::string err = capture([&] { d->init(0, false, false, results); }, true).err;
    // Refused by the model-file check before the parameter tables are filled.
    EXPECT_TRUE(std::regex_match(err, std::regex(" -> damaged model file <.*>: Parameters/BedloadInts: the parameter "
                                                 "needs one row of 2 values\n")))
        << err;
}

/// A second request returns the first object whatever it names; after deletion a new one can be made. The derived
/// constants replace their slots, the inverted porosity computed in double precision.
TEST(Domain, OneInstancePerProcessWhoseDerivedConstantsReplaceTheirSlots)
{
    testsupport::ScratchDir dir("domain");
    const std::string modelFile = dir.file("model.h5");
    drivertest::writeModelFile(modelFile, ModelFileSpec{});
    const std::string config =
        dir.write("config.json", R"({"SIMULATION": {"TIME": {"end": 1, "out": 0}, "OUTPUT": ["water_depth"]}})");
    ::testing::internal::CaptureStdout();
    simulation::TERRAdomain* first = simulation::TERRAdomain::getInstance(config, modelFile);
    EXPECT_EQ(simulation::TERRAdomain::getInstance("missing.json", "missing.h5"), first);
    EXPECT_DOUBLE_EQ(first->endTime(), 1.0);
    EXPECT_DOUBLE_EQ(first->startTime(), 0.0);
    EXPECT_DOUBLE_EQ(first->dtInitial(), 0.02);
    EXPECT_DOUBLE_EQ(first->dtMin(), 0.0001);
    delete first;
    simulation::TERRAdomain* domain = simulation::TERRAdomain::getInstance(config, modelFile);
    ASSERT_NE(domain, nullptr);
    EXPECT_DOUBLE_EQ(domain->endTime(), 1.0);

    G_REAL[slot::Gravity] = 9.81f;
    G_REAL[slot::BedPorosity] = 0.37f;
    G_REAL[slot::FluidDensity] = 1000.0f;
    G_REAL[slot::SedimentDensity] = 2650.0f;
    G_REAL[slot::InvGravity] = G_REAL[slot::InvBedPorosity] = G_REAL[slot::SedRelDensity] = -1.0f;
    domain->initializeSimulationParameters();
    EXPECT_EQ(G_REAL[slot::InvGravity], 1.0f / 9.81f);
    EXPECT_EQ(G_REAL[slot::InvBedPorosity], static_cast<float>(1.0 / (1.0 - static_cast<double>(0.37f))));
    EXPECT_FLOAT_EQ(G_REAL[slot::SedRelDensity], 1.65f);
    delete domain;
    ::testing::internal::GetCapturedStdout();
}
