// The domain object: one per process, and the derived global constants.
#include <gtest/gtest.h>

#include <string>

#include "simulation/ModelFile.hpp"
#include "simulation/TERRAdomain_op.hpp"
#include "simulation/kernels/GlobalConstants.hpp"
#include "support/ScratchDir.hpp"

TEST(Domain, SecondInstanceRequestReturnsTheFirstObjectAndDeletionAllowsANewOne)
{
    testsupport::ScratchDir dir("domain");
    const std::string modelFile = dir.file("model.h5");
    drivertest::writeModelFile(modelFile, drivertest::ModelFileSpec{});
    const std::string config =
        dir.write("config.json", R"({"SIMULATION": {"TIME": {"end": 1, "out": 0}, "OUTPUT": ["water_depth"]}})");

    ::testing::internal::CaptureStdout();
    simulation::TERRAdomain* first = simulation::TERRAdomain::getInstance(config, modelFile);
    simulation::TERRAdomain* second = simulation::TERRAdomain::getInstance("missing.json", "missing.h5");
    EXPECT_EQ(first, second);
    EXPECT_DOUBLE_EQ(first->endTime(), 1.0);
    EXPECT_DOUBLE_EQ(first->startTime(), 0.0);
    EXPECT_DOUBLE_EQ(first->dtInitial(), 0.02);
    EXPECT_DOUBLE_EQ(first->dtMin(), 0.0001);
    delete first;
    simulation::TERRAdomain* third = simulation::TERRAdomain::getInstance(config, modelFile);
    ASSERT_NE(third, nullptr);
    EXPECT_DOUBLE_EQ(third->endTime(), 1.0);
    delete third;
    ::testing::internal::GetCapturedStdout();
}

TEST(Domain, DerivedConstantsReplaceTheirSlotsWithPorosityInvertedInDoublePrecision)
{
    testsupport::ScratchDir dir("domain");
    const std::string modelFile = dir.file("model.h5");
    drivertest::writeModelFile(modelFile, drivertest::ModelFileSpec{});
    const std::string config =
        dir.write("config.json", R"({"SIMULATION": {"TIME": {"end": 1, "out": 0}, "OUTPUT": ["water_depth"]}})");
    ::testing::internal::CaptureStdout();
    simulation::TERRAdomain* domain = simulation::TERRAdomain::getInstance(config, modelFile);

    G_REAL[slot::Gravity] = 9.81f;
    G_REAL[slot::BedPorosity] = 0.37f;
    G_REAL[slot::FluidDensity] = 1000.0f;
    G_REAL[slot::SedimentDensity] = 2650.0f;
    G_REAL[slot::InvGravity] = G_REAL[slot::InvBedPorosity] = G_REAL[slot::SedRelDensity] = -1.0f;
    domain->initializeSimulationParameters();
    EXPECT_EQ(G_REAL[slot::InvGravity], 1.0f / 9.81f);
    const double porosity = 0.37f;
    EXPECT_EQ(G_REAL[slot::InvBedPorosity], static_cast<float>(1.0 / (1.0 - porosity)));
    EXPECT_FLOAT_EQ(G_REAL[slot::SedRelDensity], 1.65f);
    delete domain;
    ::testing::internal::GetCapturedStdout();
}
