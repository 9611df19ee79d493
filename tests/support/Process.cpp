#include "support/Process.hpp"

#include <sys/wait.h>

#include <cstdlib>
#include <unistd.h>

#include "support/ScratchDir.hpp"
#include "support/Text.hpp"

namespace testsupport {

std::string shellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string program(const std::string& name) { return std::string(HYDROVA_BINARY_DIR) + "/src/" + name; }

ProcessResult runProcess(const std::string& command, const std::string& workdir)
{
    ScratchDir capture("process");
    const std::string outPath = capture.path() + "/stdout";
    const std::string errPath = capture.path() + "/stderr";
    std::string full = "(";
    if (!workdir.empty()) full += "cd " + shellQuote(workdir) + " && ";
    full += command + ") </dev/null >" + shellQuote(outPath) + " 2>" + shellQuote(errPath);
    const int raw = std::system(full.c_str());
    ProcessResult result;
    result.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

}  // namespace testsupport
