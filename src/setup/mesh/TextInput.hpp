// Reading the set-up's text inputs safely: only regular files, and lines of bounded length, so that a folder, a
// device (/dev/zero) or a binary file named by mistake ends with a message instead of filling the memory.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

namespace setup {

/// Longest line a text input may have (1 MB): mesh cards and series lines are a few dozen characters.
constexpr std::size_t kMaxLineLength = std::size_t(1) << 20;

/// False when `path` exists and is not a regular file (a folder, a device, a pipe); a missing path is left to
/// the caller's open.
bool isRegularFileOrMissing(const std::string& path);

enum class LineRead { End, Ok, TooLong };

/// std::getline that stops after kMaxLineLength characters (TooLong; the rest of the input is not read).
LineRead readBoundedLine(std::istream& in, std::string& text);

}  // namespace setup
