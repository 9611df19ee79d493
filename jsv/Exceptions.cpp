#include "jsv/Exceptions.hpp"

namespace jsv {

InvalidSchemaException::InvalidSchemaException(const JsonPointer& schemaPointer, const std::string& reason)
    : std::runtime_error(schemaPointer.toString() + ": Parsing the schema file failed (" + reason + ")."),
      pointer_(schemaPointer),
      reason_(reason)
{
}

}  // namespace jsv
