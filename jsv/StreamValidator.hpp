// Validates a JSON document against a schema of the validator's dialect and prints every located finding.
//
//   std::istringstream schema(mySchemaText);
//   jsv::StreamValidator validator(&std::cout);        // or nullptr: print nothing
//   const int verdict = validator.validate(configStream, schema);   // 0 clean, 1 warnings, 2 errors
//   // validator.annotations() holds every finding of the last call, information included.
//
// Each printed line reads "<data pointer>: Error: <text>" or "<data pointer>: Warning: <text>".
#pragma once

#include <istream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "jsv/Annotation.hpp"

namespace jsv {

class StreamValidator {
public:
    /// `output` receives the messages and must outlive the validator; nullptr prints nothing.
    explicit StreamValidator(std::ostream* output = nullptr) : output_(output) {}

    /// Parses both streams, validates, prints the findings, and returns 0 (no error, no warning), 1 (warnings
    /// only) or 2 (errors, unparsable data or schema, or an invalid schema). The whole schema is checked before
    /// the data, so a broken schema is reported whatever the data contains.
    int validate(std::istream& data, std::istream& schema);
    /// The same for documents already parsed.
    int validate(const nlohmann::json& data, const nlohmann::json& schema);

    /// Writes the text and a newline, flushed; nothing for an empty text or without output stream.
    void outputMessage(const std::string& text);

    /// Every finding of the last validate() call.
    const AnnotationCollection& annotations() const { return annotations_; }

private:
    std::ostream* output_;
    AnnotationCollection annotations_;
};

}  // namespace jsv
