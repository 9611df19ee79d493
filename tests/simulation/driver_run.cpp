// The driver on a two-triangle model file, with scripted kernels: time loop, schedule, set-up from the model file
// and the results file.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <regex>
#include <sstream>
#include <string>

#include "common/TerraException.hpp"
#include "simulation/ModelFile.hpp"
#include "simulation/ScriptedDriver.hpp"
#include "simulation/kernels/GlobalConstants.hpp"
#include "support/ScratchDir.hpp"
#include "support/Text.hpp"
#include "support/Tolerance.hpp"

using drivertest::ModelFileSpec;
using drivertest::ScriptedDriver;
using model::KernelID;
using testsupport::countOf;

namespace {

std::string record(const std::string& item, int index)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%07i", index);
    return "RESULTS/" + item + "/" + buffer;
}

struct Captured {
    std::string out;
    std::string err;
};

class DriverRun : public ::testing::Test {
protected:
    testsupport::ScratchDir dir{"driver"};
    const std::string modelFile = dir.file("model.h5");
    const std::string results = dir.file("results.h5");

    std::string config(double start, double end, double out, const std::string& outputs = R"(["water_depth"])",
                       double minimum = 1.0e-4)
    {
        std::ostringstream text;
        text.precision(17);
        text << R"({"SIMULATION": {"TIME": {"start": )" << start << R"(, "end": )" << end << R"(, "out": )" << out
             << R"(}, "TIMESTEP": {"init": 0.25, "minimum": )" << minimum << R"(}, "OUTPUT": )" << outputs << "}}";
        return dir.write("config.json", text.str());
    }

    std::unique_ptr<ScriptedDriver> driver(const std::string& configFile)
    {
        return std::make_unique<ScriptedDriver>(configFile, modelFile);
    }

    /// init and run with both streams captured.
    Captured initAndRun(ScriptedDriver& d, int log, bool progress = false, bool debug = false)
    {
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        d.init(log, progress, debug, results);
        d.run();
        std::fflush(nullptr);
        Captured c;
        c.out = ::testing::internal::GetCapturedStdout();
        c.err = ::testing::internal::GetCapturedStderr();
        return c;
    }
};

}  // namespace

TEST_F(DriverRun, StartEqualToEndWritesOnceRunsNoKernelButStillTracksAndFinishes)
{
    ModelFileSpec spec;
    spec.setupText = R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {"HYDRAULICS": {"FLOOD": {}}}}}})";
    spec.kernels = {{0, {0.0, 0.0, 0.0}}, {3, {0.0, 0.0, 1.0e9}}};
    drivertest::writeModelFile(modelFile, spec);
    auto d = driver(config(0.0, 0.0, 1.0));
    d->addRecorder(KernelID::InitCellHydFeatures);
    d->addStepLimiter(0.1);
    const Captured c = initAndRun(*d, 2);

    EXPECT_TRUE(d->calls.empty());
    EXPECT_EQ(d->outputCounter, 1);
    ASSERT_EQ(d->trackedOutputs, std::vector<model::DataID>{model::DataID::FloodVar});
    EXPECT_NE(c.out.find(" -> writing output at t = 0 ...\n"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find(" -> writing tracked output ...\n"), std::string::npos);
    EXPECT_TRUE(std::regex_search(c.out, std::regex(R"( -> simulation finished! \(cpu-time = [0-9.e+-]+s\)\n)")))
        << c.out;
    d.reset();

    EXPECT_EQ(drivertest::countObjects(results, "RESULTS/CellsAll/HydState"), 1);
    // Tracked data are written once, at index 0, with time 0.
    EXPECT_EQ(drivertest::readAttribute(results, record("CellsAll/FloodVar", 0), "t"), 0.0);
    EXPECT_EQ(drivertest::countObjects(results, "RESULTS/CellsAll/FloodVar"), 1);
}

TEST_F(DriverRun, DueKernelsRunInAscendingIdentifierAndOneShotKernelsOnlyInTheFirstPass)
{
    ModelFileSpec spec;
    // Rows in file order 21, 3, 0, 15; identifier 9 has no callable and identifier 20 never has one.
    spec.kernels = {{21, {0.0, 0.0, 1.0e9}}, {3, {0.0, 0.0, 1.0e9}},  {9, {0.0, 0.0, 1.0e9}},
                    {0, {0.0, 0.0, 0.0}},    {20, {0.0, 0.0, 1.0e9}}, {15, {1.0, 0.0, 1.0e9}}};
    drivertest::writeModelFile(modelFile, spec);
    auto d = driver(config(0.0, 2.0, 0.0));
    d->addRecorder(KernelID::Update);
    d->addRecorder(KernelID::InitCellHydFeatures);
    d->addRecorder(KernelID::HydInternalFluxes);
    d->addStepLimiter(1.0);
    initAndRun(*d, 0);

    EXPECT_EQ(d->kernelPlans.count(KernelID::CalCCurvature), 0u);
    EXPECT_EQ(d->kernelPlans.count(KernelID::MorFixBedCorrectionMax), 0u);
    std::vector<std::pair<int, double>> seen;
    for (const auto& call : d->calls) seen.push_back({model::toInt(call.id), call.time});
    // Pass at t = 0: 0, 3, 21. Pass at t = 1: 3, 15 (starts at offset 1), 21.
    const std::vector<std::pair<int, double>> expected{{0, 0.0}, {3, 0.0}, {21, 0.0}, {3, 1.0}, {15, 1.0}, {21, 1.0}};
    EXPECT_EQ(seen, expected);
}

TEST_F(DriverRun, MinimumStepAtTheLimitIsRejectedBeforeAnyOutputAndJustAboveItIsAccepted)
{
    drivertest::writeModelFile(modelFile, ModelFileSpec{});
    {
        auto d = driver(config(0.0, 1.0, 0.0, R"(["water_depth"])", 0.000002));
        ::testing::internal::CaptureStderr();
        d->init(0, false, false, results);
        EXPECT_THROW(d->run(), TerraException);
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(std::regex_match(err, std::regex(" -> Minimum integration timestep must be larger than <1e-06>, "
                                                     "in file: src/simulation/TERRAcommon_op on line [0-9]+, "
                                                     "version v3.0.0\n")))
            << err;
        EXPECT_EQ(d->outputCounter, 0);
    }
    auto d = driver(config(0.0, 1.0, 0.0, R"(["water_depth"])", 0.0000021));
    EXPECT_NO_THROW(initAndRun(*d, 0));
    EXPECT_EQ(d->outputCounter, 2);
}

TEST_F(DriverRun, ProgressPrintsOneHundredAndOneLinesOnlyWhenAskedFor)
{
    ModelFileSpec spec;
    spec.kernels = {{3, {0.0, 0.0, 1.0e9}}};
    drivertest::writeModelFile(modelFile, spec);
    const std::string file = config(0.0, 100.0, 0.0);
    {
        auto d = driver(file);
        d->addStepLimiter(0.5);
        const Captured c = initAndRun(*d, 0, true);
        EXPECT_EQ(countOf(c.out, " -> Progress: "), 101);
        EXPECT_NE(c.out.find(" -> Progress: 0/100, dt = 0.25 [s], RTS = "), std::string::npos) << c.out;
        for (int k : {1, 50, 99, 100})
            EXPECT_EQ(countOf(c.out, " -> Progress: " + std::to_string(k) + "/100, dt = 0.5 [s], RTS = "), 1) << k;
    }
    auto d = driver(file);
    d->addStepLimiter(0.5);
    const Captured c = initAndRun(*d, 0, false);
    EXPECT_EQ(countOf(c.out, "Progress"), 0);
}

TEST_F(DriverRun, LogLevelThreePrintsEveryStepAndSmallStepsWarnOnlyAboveLevelZero)
{
    ModelFileSpec spec;
    spec.kernels = {{3, {0.0, 0.0, 1.0e9}}};
    drivertest::writeModelFile(modelFile, spec);
    {
        auto d = driver(config(0.0, 2.0, 0.0));
        d->addStepLimiter(0.5);
        const Captured c = initAndRun(*d, 3);
        std::string times;
        std::smatch m;
        std::string rest = c.out;
        while (std::regex_search(rest, m, std::regex(" -> time: ([^\n]*)\n"))) {
            times += m[1].str() + ";";
            rest = m.suffix();
        }
        EXPECT_EQ(times, "0.5;1;1.5;2;");
    }
    // Binary fractions keep the step count exact: four steps of 2^-15 s up to 2^-13 s, the minimum being 2^-13 s.
    const std::string file = config(0.0, 0.0001220703125, 0.0, R"(["water_depth"])", 0.0001220703125);
    {
        auto d = driver(file);
        d->addStepLimiter(0.000030517578125);
        EXPECT_EQ(countOf(initAndRun(*d, 0).out, "time step smaller"), 0);
    }
    auto d = driver(file);
    d->addStepLimiter(0.000030517578125);
    const Captured c = initAndRun(*d, 1);
    EXPECT_EQ(countOf(c.out, " -> time step smaller than allowed minimal 0.00012207. check for stability...\n"), 4)
        << c.out;
}

TEST_F(DriverRun, EmptySetDeactivatesItsKernelsButNotKernelsOutsideTheModel)
{
    ModelFileSpec spec;
    spec.wallEdges = 0;
    spec.kernels = {{13, {0.0, 0.0, 1.0e9}}, {22, {0.0, 0.0, 1.0e9}}, {3, {0.0, 0.0, 1.0e9}}};
    drivertest::writeModelFile(modelFile, spec);
    auto d = driver(config(0.0, 1.0, 0.0));
    d->addRecorder(KernelID::HydWallBFluxes);
    d->addRecorder(KernelID::HydFriction);  // not part of a hydraulics-only model: keeps its callable
    d->addStepLimiter(0.5);
    const Captured c = initAndRun(*d, 1);

    EXPECT_EQ(countOf(c.out, " -> de-activating the kernel <HydWallBFluxes>\n"), 1) << c.out;
    EXPECT_EQ(countOf(c.out, "de-activating"), 1);
    EXPECT_EQ(d->kernelFunctions.count(KernelID::HydWallBFluxes), 0u);
    int wall = 0, friction = 0;
    for (const auto& call : d->calls) {
        wall += call.id == KernelID::HydWallBFluxes;
        friction += call.id == KernelID::HydFriction;
    }
    EXPECT_EQ(wall, 0);
    EXPECT_EQ(friction, 2);
}

TEST_F(DriverRun, ModelFileIsTurnedIntoSetsDataAndParameters)
{
    drivertest::writeModelFile(modelFile, ModelFileSpec{});
    auto d = driver(config(0.0, 1.0, 0.0));
    ::testing::internal::CaptureStdout();
    d->init(1, false, false, results);
    const std::string out = ::testing::internal::GetCapturedStdout();

    EXPECT_EQ(d->sets.at(model::SetID::CellsAll)->size, 2);
    EXPECT_EQ(d->sets.at(model::SetID::EdgesSWE)->size, 1);
    // Simulation-only data start at zero, although the file holds other values for "CellsAll/IsWetted".
    op_dat wetted = d->data.at(model::DataID::IsWetted);
    ASSERT_NE(wetted, nullptr);
    EXPECT_EQ(reinterpret_cast<int*>(wetted->data)[0], 0);
    EXPECT_EQ(reinterpret_cast<int*>(wetted->data)[1], 0);
    op_dat fluxes = d->data.at(model::DataID::FluxesHy);
    ASSERT_NE(fluxes, nullptr);
    for (int i = 0; i < 5 * 5; ++i) EXPECT_EQ(reinterpret_cast<float*>(fluxes->data)[i], 0.0f) << i;
    // Read data keep their values; set-up-only data are not declared.
    op_dat state = d->data.at(model::DataID::HydState);
    ASSERT_NE(state, nullptr);
    EXPECT_FLOAT_EQ(reinterpret_cast<float*>(state->data)[3], 3.0f);
    EXPECT_EQ(d->data.at(model::DataID::Topology), nullptr);
    EXPECT_EQ(d->data.count(model::DataID::Coordnts), 1u);
    EXPECT_EQ(d->solutionData, std::vector<model::DataID>{model::DataID::HydState});

    // Parameters land in their slots, narrowed to float; the derived ones are the domain's business.
    EXPECT_EQ(G_REAL[slot::MinWaterDepth], 0.1f);
    EXPECT_EQ(G_REAL[slot::Gravity], 9.81f);
    EXPECT_EQ(G_INT[slot::SafeMode], 1);
    EXPECT_EQ(d->derivedParameterCalls, 1);
    EXPECT_EQ(G_Debug, 0);
    EXPECT_EQ(countOf(out, "not found in runfile"), 0) << out;
    EXPECT_EQ(countOf(out, " -> init output <water_depth>\n"), 1) << out;
}

TEST_F(DriverRun, DebugRunsGetEnumeratorDataOnEverySetBeforeAnyMapIsLoaded)
{
    drivertest::writeModelFile(modelFile, ModelFileSpec{});
    auto d = driver(config(0.0, 1.0, 0.0));
    ::testing::internal::CaptureStdout();
    d->init(3, false, true, results);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(G_Debug, 1);
    EXPECT_NE(out.find(" -> DEBUG MODE ACTIVATED\n"), std::string::npos);
    const std::size_t lastEnumerator = out.rfind("> CREATED\n");
    const std::size_t firstMap = out.find(" -> loading map <");
    ASSERT_NE(firstMap, std::string::npos) << out;
    EXPECT_LT(lastEnumerator, firstMap);
    EXPECT_EQ(countOf(out, " -> ENUMERATOR DATA FOR SET <EdgesAll/set> CREATED\n"), 1) << out;

    op_dat cells = d->enumeratorData.at(model::SetID::CellsAll);
    op_dat edges = d->enumeratorData.at(model::SetID::EdgesAll);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(reinterpret_cast<int*>(cells->data)[i], i);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(reinterpret_cast<int*>(edges->data)[i], i);
    EXPECT_EQ(d->enumeratorData.size(), d->sets.size());
    G_Debug = 0;
}

TEST_F(DriverRun, ResultsFileHoldsSetupCopiesArchivesAndOneRecordPerOutputTime)
{
    ModelFileSpec spec;
    spec.kernels = {{3, {0.0, 0.0, 1.0e9}}};
    drivertest::writeModelFile(modelFile, spec);
    // Three outputs of the one state: it is written once per output time.
    const std::string configFile = config(0.0, 1.0, 0.5, R"(["water_surface", "water_depth", "spec_discharge"])");
    auto d = driver(configFile);
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
        const std::vector<double> state = readValues(results, record("CellsAll/HydState", index));
        EXPECT_EQ(state, (std::vector<double>{2.0, 0.0, 0.0, 3.0, 0.0, 0.0}));
    }
}

TEST_F(DriverRun, ReRunFromTheMiddleRewritesLaterRecordsAndKeepsEarlierOnes)
{
    ModelFileSpec spec;
    spec.kernels = {{3, {0.0, 0.0, 1.0e9}}, {15, {0.0, 0.0, 1.0e9}}};
    drivertest::writeModelFile(modelFile, spec);
    {
        auto d = driver(config(0.0, 4.0, 1.0));
        d->addStepLimiter(1.0);
        d->addSurfaceRise(1.0f);  // H rises 1 m per step
        initAndRun(*d, 0);
    }
    {
        auto d = driver(config(2.0, 4.0, 1.0));
        d->addStepLimiter(1.0);
        d->addSurfaceRise(10.0f);  // a different rise marks what the re-run wrote
        const Captured c = initAndRun(*d, 2);
        EXPECT_NE(c.out.find(" -> Re-run properly set at 2 [s]\n"), std::string::npos) << c.out;
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
    drivertest::writeModelFile(modelFile, spec);
    {
        auto d = driver(config(0.0, 1.0, 0.0));
        G_INT[slot::BedloadIsIkeda - 1] = -7;
        G_INT[slot::BedloadIsCurvature + 1] = -7;
        ::testing::internal::CaptureStdout();
        d->init(0, false, false, results);
        ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(G_INT[slot::BedloadIsIkeda], 3);
        EXPECT_EQ(G_INT[slot::BedloadIsCurvature], 4);
        EXPECT_EQ(G_INT[slot::BedloadIsIkeda - 1], -7);  // neighbours untouched
        EXPECT_EQ(G_INT[slot::BedloadIsCurvature + 1], -7);
        EXPECT_EQ(G_REAL[slot::BedPorosity], 0.4f);
        // Both states of a morphodynamic model are solutions, written at every output time.
        EXPECT_EQ(d->regularOutputs, (std::vector<model::DataID>{model::DataID::HydState, model::DataID::BottomEl}));
    }
    spec.bedloadInts = {{1, 0}, {0, 1}};
    drivertest::writeModelFile(modelFile, spec);
    auto d = driver(config(0.0, 1.0, 0.0));
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_THROW(d->init(0, false, false, results), TerraException);
    ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();
    // Refused by the model-file check before the parameter tables are filled.
    EXPECT_TRUE(std::regex_match(err, std::regex(" -> damaged model file <.*>: Parameters/BedloadInts: the parameter "
                                                 "needs one row of 2 values\n")))
        << err;
}

TEST_F(DriverRun, MissingEndTimeIsFatalWithBothMessages)
{
    drivertest::writeModelFile(modelFile, ModelFileSpec{});
    const std::string configFile =
        dir.write("config.json", R"({"SIMULATION": {"TIME": {"start": 0.0, "out": 1.0}, "OUTPUT": []}})");
    auto d = driver(configFile);
    ::testing::internal::CaptureStdout();
    d->init(0, false, false, results);
    ::testing::internal::CaptureStderr();
    EXPECT_THROW(d->run(), TerraException);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              " -> path <SIMULATION/TIME/end> not found.\n"
              " -> end of simulation not defined: SIMULATION/TIME/end\n");
    ::testing::internal::GetCapturedStdout();
}
