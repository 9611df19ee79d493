// Makes the validator of one schema keyword.
#pragma once

#include <string>

#include "jsv/SchemaValidator.hpp"

namespace jsv {

struct SchemaValidatorFactory {
    /// The validator of `keyword` in the schema object at `schemaPointer`. An unsupported keyword, or a parameter
    /// outside the dialect, throws InvalidSchemaException located at the keyword.
    static SchemaValidator create(const SchemaContext& context, const JsonPointer& schemaPointer,
                                  const std::string& keyword);
};

}  // namespace jsv
