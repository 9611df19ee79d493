// Checks for the fatal path of this layer: a " -> ..." line on standard error followed by TerraException.
#pragma once

#include <gmock/gmock.h>

#include "support/FatalOutput.hpp"

#define EXPECT_FATAL(action, text) EXPECT_THAT(::testsupport::fatalStderr([&] { action; }), ::testing::HasSubstr(text))
