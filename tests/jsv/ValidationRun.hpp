// Runs the stream validator on two JSON texts and keeps what it printed and its verdict.
#pragma once

#include <sstream>
#include <string>

#include "jsv/StreamValidator.hpp"

namespace jsvtest {

struct Outcome {
    int verdict = -1;
    std::string printed;
};

inline Outcome validate(const std::string& data, const std::string& schema)
{
    std::ostringstream out;
    std::istringstream dataStream(data);
    std::istringstream schemaStream(schema);
    jsv::StreamValidator validator(&out);
    Outcome outcome;
    outcome.verdict = validator.validate(dataStream, schemaStream);
    outcome.printed = out.str();
    return outcome;
}

/// The two lines printed for an invalid schema.
inline std::string schemaFailure(const std::string& schemaPointer, const std::string& reason)
{
    return "An error occurred while validating the JSON file using the provided schema:\n" + schemaPointer +
           ": Parsing the schema file failed (" + reason + ").\n";
}

}  // namespace jsvtest
