// Series of the command file: inline pairs and text files, and the checks that keep the lookup sound.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "setup/Series.hpp"
#include "setup/SetupError.hpp"
#include "support/ScratchDir.hpp"

using nlohmann::json;
using setup::readSeries;
using setup::SetupError;

namespace {

std::string errorOf(const json& value, const std::string& dir = "")
{
    try {
        readSeries(value, dir, "boundary <up>: discharge");
    } catch (const SetupError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(SetupSeries, InlinePairsAndFilesGiveTheSamePoints)
{
    testsupport::ScratchDir dir("setup-series");
    dir.write("q.txt", "# time discharge\n0 1.5\n\n10,\t2.5\n  # comment\n20\t3\r\n");
    const auto inlined = readSeries(json::parse("[[0, 1.5], [10, 2.5], [20, 3]]"), "", "s");
    const auto fromFile = readSeries(json{{"file", "q.txt"}}, dir.path(), "s");
    ASSERT_EQ(inlined.points.size(), 3u);
    EXPECT_EQ(inlined.points, fromFile.points);
    EXPECT_EQ(fromFile.points[1], std::make_pair(10.0, 2.5));
    // A single pair is a constant series; the first abscissa may be 0 or negative.
    EXPECT_EQ(readSeries(json::parse("[[-5, 1]]"), "", "s").points.size(), 1u);
    EXPECT_EQ(readSeries(json::parse("[[0, 1], [5, 2]]"), "", "s").points.size(), 2u);
}

TEST(SetupSeries, BadSeriesAreRejectedNamingTheItem)
{
    EXPECT_EQ(errorOf(json::parse("[]")), "boundary <up>: discharge: the series is empty");
    EXPECT_EQ(errorOf(json::parse("[[0, 1], [10, 2], [10, 3]]")),
              "boundary <up>: discharge: the abscissae must increase, but pair 2 has x = 10 after x = 10");
    EXPECT_EQ(errorOf(json::parse("[[5, 1], [2, 2]]")),
              "boundary <up>: discharge: the abscissae must increase, but pair 1 has x = 2 after x = 5");
    // An abscissa 0 after the first pair would end the stored series early.
    EXPECT_EQ(errorOf(json::parse("[[-10, 1], [0, 2], [10, 3]]")),
              "boundary <up>: discharge: x = 0 is allowed only in the first pair (pair 1)");
    EXPECT_EQ(errorOf(json::parse("[[0, 1], [10]]")),
              "boundary <up>: discharge: entry 1 must be a pair of numbers [x, y]");
    EXPECT_EQ(errorOf(json::parse("12")),
              "boundary <up>: discharge: a series is a list of pairs [[x0, y0], ...] or {\"file\": \"name\"}");
    EXPECT_EQ(errorOf(json{{"file", "missing.txt"}}, "/nonexistent"),
              "boundary <up>: discharge: cannot read the series file </nonexistent/missing.txt>");
}

TEST(SetupSeries, AtMostSixThousandPairs)
{
    json full = json::array(), tooLong = json::array();
    for (int i = 0; i < 6001; ++i) {
        if (i < 6000) full.push_back({i, 1.0});
        tooLong.push_back({i, 1.0});
    }
    EXPECT_EQ(readSeries(full, "", "s").points.size(), 6000u);
    EXPECT_EQ(errorOf(tooLong), "boundary <up>: discharge: the series has 6001 pairs, at most 6000 are allowed");
}

TEST(SetupSeries, TextLinesNeedExactlyTwoNumbers)
{
    for (const char* text : {"0 1\n5 2 3\n", "0 1\nfive 2\n", "0 1\n7\n"}) {
        std::istringstream in(text);
        try {
            setup::parseSeriesText(in, "stage.txt", "boundary <down>: water_surface");
            ADD_FAILURE() << "accepted: " << text;
        } catch (const SetupError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "boundary <down>: water_surface: line 2 of <stage.txt> must hold exactly two numbers");
        }
    }
}
