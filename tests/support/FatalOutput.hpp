// The fatal path of the program's layers: a " -> ..." line on standard error followed by TerraException.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/TerraException.hpp"

namespace testsupport {

/// Runs `action`, expects it to end with TerraException, and returns what it printed on standard error. Any other
/// exception passes through once the capture of standard error has ended.
template <typename F>
std::string fatalStderr(F&& action)
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

}  // namespace testsupport
