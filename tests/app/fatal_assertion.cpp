// The fatal assertion: its one diagnostic line on standard error and the exception it throws.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

#include "common/TerraException.hpp"

namespace {

// Runs `body`, which must throw TerraException, and returns what it printed on standard error.
template <typename Body>
std::string fatalOutput(Body body)
{
    std::ostringstream captured;
    std::streambuf* const previous = std::cerr.rdbuf(captured.rdbuf());
    bool thrown = false;
    try {
        body();
    } catch (const TerraException& e) {
        thrown = true;
        EXPECT_STREQ(e.what(), "... unfortunately HYDROVA is killed!");
    }
    std::cerr.rdbuf(previous);
    EXPECT_TRUE(thrown);
    return captured.str();
}

}  // namespace

TEST(FatalAssertion, PrintsMessageOrConditionWithSourcePathWithoutExtensionAndLine)
{
    const int cells = 3;
    int line = 0;
    const std::string withMessage = fatalOutput([&] {
        line = __LINE__ + 1;
        HYDROVA_ASSERT(cells > 4, "only " << cells << " cells");
    });
    const std::string where = ", in file: tests/app/fatal_assertion on line ";
    EXPECT_EQ(withMessage, " -> only 3 cells" + where + std::to_string(line) + ", version v3.0.0\n");
    const std::string withoutMessage = fatalOutput([&] {
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
