// The domain object: one per process, and the derived global constants.
#include <gtest/gtest.h>

#include <string>

#include "simulation/ModelFile.hpp"
#include "simulation/TERRAdomain_op.hpp"
#include "simulation/kernels/GlobalConstants.hpp"
#include "support/ScratchDir.hpp"

/// A second request returns the first object whatever it names; after deletion a new one can be made. The derived
/// constants replace their slots, the inverted porosity computed in double precision.
TEST(Domain, OneInstancePerProcessWhoseDerivedConstantsReplaceTheirSlots)
{
    testsupport::ScratchDir dir("domain");
    const std::string modelFile = dir.file("model.h5");
    drivertest::writeModelFile(modelFile, drivertest::ModelFileSpec{});
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
