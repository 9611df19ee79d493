// One tolerance rule for the whole suite: |a - b| <= abs + rel * max(|a|, |b|), both operands printed on failure.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace testsupport {

inline ::testing::AssertionResult near(double actual, double expected, double absTol, double relTol = 0.0)
{
    const double bound = absTol + relTol * std::max(std::fabs(actual), std::fabs(expected));
    if (std::fabs(actual - expected) <= bound) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "actual " << actual << " differs from expected " << expected << " by "
                                         << std::fabs(actual - expected) << " > " << bound << " (abs " << absTol
                                         << ", rel " << relTol << ")";
}

}  // namespace testsupport

#define EXPECT_CLOSE(actual, expected, absTol, relTol) \
    EXPECT_TRUE(::testsupport::near((actual), (expected), (absTol), (relTol)))
