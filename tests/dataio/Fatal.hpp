// What a failing call of the data layer reports: the " -> ..." line of the fatal path (TerraException), or
// "H5: " and the text of an H5Exception when the HDF5 library itself failed. A call that does not fail is a test
// failure.
#pragma once

#include <gmock/gmock.h>

#include <functional>

#include "dataio/H5Exception.hpp"
#include "support/FatalOutput.hpp"

inline std::string failureText(const std::function<void()>& action)
{
    try {
        return ::testsupport::fatalStderr(action);
    } catch (const dataio::H5Exception& e) {
        return std::string("H5: ") + e.what();
    }
}

#define EXPECT_FATAL(action, text) EXPECT_THAT(failureText([&] { action; }), ::testing::HasSubstr(text))
