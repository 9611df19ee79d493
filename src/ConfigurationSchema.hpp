// The schema of the simulation's configuration file, carried inside the program.
#pragma once

namespace hydrova {
/// JSON schema text validated by jsv::StreamValidator before the simulation reads its configuration.
extern const char* const configurationSchema;
}  // namespace hydrova
