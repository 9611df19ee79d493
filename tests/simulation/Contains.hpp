// A text check of program output with the whole text in its failure message.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace drivertest {

/// Whether `text` holds `piece`; the failure shows both.
inline ::testing::AssertionResult contains(const std::string& text, const std::string& piece)
{
    if (text.find(piece) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no <" << piece << "> in:\n" << text;
}

}  // namespace drivertest
