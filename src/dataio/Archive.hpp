// The two configuration texts kept in every model and results file: ".config/model" and ".config/simulation".
#pragma once

#include <string>

#include "dataio/IH5Reader.hpp"
#include "dataio/IH5Writer.hpp"

namespace dataio {

/// Static functions; reader and writer are not owned.
class Archive {
public:
    static const std::string ROOT;        ///< ".config"
    static const std::string MODEL;       ///< "model"
    static const std::string SIMULATION;  ///< "simulation"

    /// Writes the set-up command text as the one-element string dataset ".config/model".
    static void addModel(api::IH5Writer* writer, const std::string& text);
    /// Writes the simulation configuration text as ".config/simulation".
    static void addSimulation(api::IH5Writer* writer, const std::string& text);
    /// writeStringVec(path, 1, {text}).
    static void addHash(api::IH5Writer* writer, const std::string& text, const std::string& path);

    static std::string getModel(const api::IH5Reader* reader);
    static std::string getSimulation(const api::IH5Reader* reader);
    /// Element 0 of readStrVec(path).
    static std::string getHash(const api::IH5Reader* reader, const std::string& path);

    /// Writes the text of getModel(reader) to the plain file fileName (fatal when it cannot be written).
    static void restore(const api::IH5Reader* reader, const std::string& fileName);
};

}  // namespace dataio
