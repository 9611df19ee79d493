// The schema of the set-up command file, carried inside the set-up program.
#pragma once

namespace setup {
/// JSON schema text validated by jsv::StreamValidator before the set-up reads its command file.
extern const char* const commandFileSchema;
}  // namespace setup
