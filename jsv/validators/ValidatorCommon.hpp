// What every keyword validator shares: the two documents it works on and the set of data keys it recognises.
#pragma once

#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "jsv/Annotation.hpp"
#include "jsv/Exceptions.hpp"
#include "jsv/JsonPointer.hpp"

namespace jsv {

/// Keys of a data object that a keyword declares as known (only "required" and "oneOf" declare any).
using Keys = std::set<std::string>;

/// The data and schema documents of one validation; both outlive every validator made for them.
struct SchemaContext {
    const nlohmann::json* data = nullptr;
    const nlohmann::json* schema = nullptr;
};

/// The schema value at `pointer`; an absent value is a schema error.
const nlohmann::json& schemaValue(const SchemaContext& context, const JsonPointer& pointer);

/// The data value at `pointer`, or nullptr when the data has no such item.
const nlohmann::json* dataValue(const SchemaContext& context, const JsonPointer& pointer);

/// A keyword parameter that must be an array of strings ("required", "optional").
std::vector<std::string> stringList(const nlohmann::json& value, const JsonPointer& pointer);

}  // namespace jsv
