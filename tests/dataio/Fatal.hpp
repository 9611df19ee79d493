// Checks for the fatal path of this layer: a " -> ..." line on standard error followed by TerraException.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/TerraException.hpp"

namespace dataiotest {

/// Runs action, expects TerraException, and returns what it printed on standard error.
inline std::string fatalMessage(const std::function<void()>& action)
{
    ::testing::internal::CaptureStderr();
    bool thrown = false;
    try {
        action();
    } catch (const TerraException&) {
        thrown = true;
    } catch (...) {
        ::testing::internal::GetCapturedStderr();
        throw;
    }
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(thrown) << "no TerraException; stderr: " << err;
    return err;
}

}  // namespace dataiotest

#define EXPECT_FATAL(action, text) EXPECT_THAT(::dataiotest::fatalMessage([&] { action; }), ::testing::HasSubstr(text))
