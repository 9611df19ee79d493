// Runs a program as a child process and collects what it printed and its exit status.
#pragma once

#include <string>

namespace testsupport {

struct ProcessResult {
    int status = -1;      ///< exit status, or -1 when the process did not exit normally
    std::string out;      ///< everything written to standard output
    std::string err;      ///< everything written to standard error
};

/// Runs `command` through /bin/sh with standard input closed; `workdir` is the working directory when not empty.
ProcessResult runProcess(const std::string& command, const std::string& workdir = "");

/// Path of a program built by this project, e.g. program("hydrova_simulation").
std::string program(const std::string& name);

/// Quotes a text for /bin/sh.
std::string shellQuote(const std::string& text);

}  // namespace testsupport
