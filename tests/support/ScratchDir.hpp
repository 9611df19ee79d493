// A fresh folder under the system's temporary directory, removed with everything in it at destruction.
#pragma once

#include <string>

namespace testsupport {

class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    /// path() + "/" + name
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    /// Writes `text` to file(name) and returns that path.
    std::string write(const std::string& name, const std::string& text) const;

private:
    std::string path_;
};

}  // namespace testsupport
