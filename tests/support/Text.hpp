// Text checks of program output, and the text of a file, shared by the tests.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace testsupport {

/// Number of non-overlapping occurrences of `piece` in `text` (piece non-empty).
inline int countOf(const std::string& text, const std::string& piece)
{
    int n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size())) ++n;
    return n;
}

/// Whether `text` holds `piece`; the failure shows both.
inline ::testing::AssertionResult contains(const std::string& text, const std::string& piece)
{
    if (text.find(piece) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no <" << piece << "> in:\n" << text;
}

/// The bytes of a file ("" when it cannot be read).
inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace testsupport
