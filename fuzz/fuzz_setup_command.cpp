// Any bytes as a set-up command file: parsed as the set-up parses it and read into its records, which either
// succeeds or throws SetupError (series files are looked for in an empty folder).
#include <cstddef>
#include <cstdint>
#include <string>

#include "setup/CommandFile.hpp"
#include "setup/SetupError.hpp"
#include "setup/SetupRun.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        (void)setup::readCommandFile(setup::parseCommandText(text, "fuzz.json"), "/nonexistent-fuzz-folder");
    } catch (const setup::SetupError&) {
    }
    return 0;
}
