#include "common/TerraException.hpp"

#include <iostream>

const char* TerraException::what() const noexcept { return "... unfortunately HYDROVA is killed!"; }

namespace hydrova {

std::string assertionSourcePath(const char* file)
{
    std::string path(file);
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.erase(dot);
    return path;
}

void assertionFailed(const char* condition, const std::string& message, const char* file, int line)
{
    const std::string text = message.empty() ? std::string(condition) : message;
    std::cerr << " -> " << text << ", in file: " << assertionSourcePath(file) << " on line " << line
              << ", version " << HYDROVA_VERSION << std::endl;
    throw TerraException();
}

}  // namespace hydrova
