// Any bytes as the simulation's configuration file: validated against the embedded schema as the program does; a
// document without errors is then read through the configuration reader for every value the driver reads.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

#include "ConfigurationSchema.hpp"
#include "common/TerraException.hpp"
#include "dataio/Factory.hpp"
#include "dataio/ICommandFileReader.hpp"
#include "jsv/StreamValidator.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream document(text), schema(hydrova::configurationSchema);
    jsv::StreamValidator validator(nullptr);
    if (validator.validate(document, schema) == 2) return 0;
    try {
        const std::unique_ptr<api::ICommandFileReader> reader(dataio::Factory::createCommandFileReader(text));
        bool found = false;
        (void)reader->getDouble("SIMULATION/TIME/end", found);
        for (const char* path : {"SIMULATION/TIME/start", "SIMULATION/TIME/out", "SIMULATION/TIMESTEP/init",
                                 "SIMULATION/TIMESTEP/minimum"})
            (void)reader->getOptionalDouble(path, 0.0);
        (void)reader->getOptionalStringList("SIMULATION/OUTPUT", {});
        (void)reader->getHash();
    } catch (const TerraException&) {
    }
    return 0;
}
