// Text checks of program output shared by the tests.
#pragma once

#include <string>

namespace testsupport {

/// Number of non-overlapping occurrences of `piece` in `text` (piece non-empty).
inline int countOf(const std::string& text, const std::string& piece)
{
    int n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size())) ++n;
    return n;
}

}  // namespace testsupport
