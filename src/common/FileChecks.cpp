#include "common/FileChecks.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <iostream>

#include "common/TerraException.hpp"

namespace hydrova {

bool sameFile(const std::string& a, const std::string& b)
{
    if (a == b) return true;  // even before the file exists
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

void refuseSameFile(const std::string& role, const std::string& output,
                    const std::vector<std::pair<std::string, std::string>>& inputs)
{
    for (const auto& input : inputs) {
        if (input.second.empty() || !sameFile(output, input.second)) continue;
        std::cerr << " -> "
                  << "the " << role << " <" << output << "> is the same file as the " << input.first << " <"
                  << input.second << ">: it would be overwritten; choose another name" << std::endl;
        throw TerraException();
    }
}

void refuseFileInUse(const std::string& path, bool writing)
{
    // The HDF5 library locks the files it opens (shared for reading, exclusive for writing): a lock that cannot
    // be taken here means another program has the file open. Asked before anything truncates the file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    const bool busy = ::flock(fd, (writing ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    if (busy) {
        std::cerr << " -> " << path << " is open in another program (a running simulation or a viewer); "
                  << "wait for it to end or choose another file" << std::endl;
        throw TerraException();
    }
}

namespace {
bool abandoned = false;
}

void abandonOpenFilesAtExit() { abandoned = true; }

bool openFilesAbandoned() { return abandoned; }

}  // namespace hydrova
