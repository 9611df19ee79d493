// One set-up from command file to model file.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace setup {

/// Parses a command file's text (`file` names it in messages); invalid JSON and an object that names one key
/// twice throw SetupError, the latter with the JSON pointer of the duplicate.
nlohmann::json parseCommandText(const std::string& text, const std::string& file);

/// Reads the (already schema-checked) command file, the mesh it names and writes the model file `output`.
/// Prints its progress with " -> " on standard output. Every failure prints " -> " + the reason on standard
/// error and throws TerraException; no model file is left behind then.
void runSetup(const std::string& commandFile, const std::string& output, int logLevel);

}  // namespace setup
