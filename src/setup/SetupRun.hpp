// One set-up from command file to model file.
#pragma once

#include <string>

namespace setup {

/// Reads the (already schema-checked) command file, the mesh it names and writes the model file `output`.
/// Prints its progress with " -> " on standard output. Every failure prints " -> " + the reason on standard
/// error and throws TerraException; no model file is left behind then.
void runSetup(const std::string& commandFile, const std::string& output, int logLevel);

}  // namespace setup
