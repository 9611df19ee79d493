#include "support/ScratchDir.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace testsupport {

ScratchDir::ScratchDir(const std::string& tag)
{
    std::string pattern = (std::filesystem::temp_directory_path() / ("hydrova-" + tag + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a scratch folder for " + tag);
    path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::write(const std::string& name, const std::string& text) const
{
    const std::string target = file(name);
    std::ofstream out(target, std::ios::binary);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + target);
    return target;
}

}  // namespace testsupport
