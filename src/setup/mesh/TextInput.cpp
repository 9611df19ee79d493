#include "setup/mesh/TextInput.hpp"

#include <sys/stat.h>

#include <istream>

namespace setup {

bool isRegularFileOrMissing(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode);
}

LineRead readBoundedLine(std::istream& in, std::string& text)
{
    text.clear();
    std::streambuf* buf = in.rdbuf();
    for (;;) {
        const int c = buf->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in.setstate(std::ios::eofbit);
            return text.empty() ? LineRead::End : LineRead::Ok;
        }
        if (c == '\n') return LineRead::Ok;
        if (text.size() == kMaxLineLength) return LineRead::TooLong;
        text.push_back(static_cast<char>(c));
    }
}

}  // namespace setup
