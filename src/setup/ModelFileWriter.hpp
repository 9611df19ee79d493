// Writes the model file of a composed model: sets, maps, data, parameters, kernel schedule and command text.
#pragma once

#include <string>

#include "model/IModel.hpp"
#include "setup/ModelContent.hpp"

namespace setup {

/// Writes every set, map, datum and parameter that `model` holds and the simulation reads from the model file
/// (simulation-only items are left out) at its catalogue path, one row of "kernels/ID" and "kernels/execution"
/// per kernel of the model, and `commandText` as ".config/model". The file is written under a temporary name
/// next to `path` and renamed when complete; on any failure the temporary file is removed and the error passed
/// on. Throws SetupError when `content` lacks an item the model holds.
void writeModelFile(const std::string& path, const api::IModel& model, const ModelContent& content,
                    const std::string& commandText, int logLevel);

/// Name of the temporary file used while `path` is written.
std::string temporaryName(const std::string& path);

}  // namespace setup
