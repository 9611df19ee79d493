// Runs a callable that must end with TerraException and hands back what it printed on standard error.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/TerraException.hpp"

namespace modeltest {

template <typename F>
std::string fatalStderr(F&& f)
{
    ::testing::internal::CaptureStderr();
    bool thrown = false;
    try {
        f();
    } catch (const TerraException&) {
        thrown = true;
    }
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(thrown) << "expected TerraException; stderr was: " << err;
    return err;
}

}  // namespace modeltest
