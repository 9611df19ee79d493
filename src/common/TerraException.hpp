// The one fatal exception of the program, and the fatal assertion that throws it.
#pragma once

#include <exception>
#include <sstream>
#include <string>

/// Version text printed in the banner, by --version and in every assertion line.
#define HYDROVA_VERSION "v3.0.0"

/// Thrown after the thrower has printed its own diagnostic on standard error; the shell turns it into exit status 1.
class TerraException : public std::exception {
public:
    const char* what() const noexcept override;
};

namespace hydrova {

/// Source path as the assertion line prints it: relative to the source root, without extension.
std::string assertionSourcePath(const char* file);

/// Prints " -> <text>, in file: <path> on line <n>, version v3.0.0" on standard error and throws TerraException.
/// An empty message is replaced by the condition's source text.
[[noreturn]] void assertionFailed(const char* condition, const std::string& message, const char* file, int line);

}  // namespace hydrova

/// Fatal check: `HYDROVA_ASSERT(n > 0, "n is " << n)`. The message is built by stream insertion and may be "".
#define HYDROVA_ASSERT(condition, message)                                                  \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::ostringstream hydrova_assert_stream_;                                      \
            hydrova_assert_stream_ << message;                                              \
            ::hydrova::assertionFailed(#condition, hydrova_assert_stream_.str(), __FILE__, \
                                       __LINE__);                                           \
        }                                                                                   \
    } while (false)
