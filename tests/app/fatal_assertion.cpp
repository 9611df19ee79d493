// The fatal assertion: its one diagnostic line on standard error before it throws.
#include <gtest/gtest.h>

#include <string>

#include "support/FatalOutput.hpp"

TEST(FatalAssertion, PrintsMessageOrConditionWithSourcePathWithoutExtensionAndLine)
{
    const int cells = 3;
    int line = 0;
    const std::string withMessage = testsupport::fatalStderr([&] {
        line = __LINE__ + 1;
        HYDROVA_ASSERT(cells > 4, "only " << cells << " cells");
    });
    const std::string where = ", in file: tests/app/fatal_assertion on line ";
    EXPECT_EQ(withMessage, " -> only 3 cells" + where + std::to_string(line) + ", version v3.0.0\n");
    const std::string withoutMessage = testsupport::fatalStderr([&] {
        line = __LINE__ + 1;
        HYDROVA_ASSERT(cells == 2, "");
    });
    EXPECT_EQ(withoutMessage, " -> cells == 2" + where + std::to_string(line) + ", version v3.0.0\n");
    EXPECT_NO_THROW(HYDROVA_ASSERT(cells == 3, "never printed"));
}

TEST(FatalAssertion, SourcePathDropsOnlyTheExtensionOfTheFileName)
{
    EXPECT_EQ(hydrova::assertionSourcePath("src/v1.2/main.cpp"), "src/v1.2/main");
    EXPECT_EQ(hydrova::assertionSourcePath("src/v1.2/main"), "src/v1.2/main");
}
