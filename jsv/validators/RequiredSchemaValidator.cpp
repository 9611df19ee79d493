#include "jsv/validators/RequiredSchemaValidator.hpp"

namespace jsv {

RequiredSchemaValidator::RequiredSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer)
    : context_(context),
      keyword_(keywordPointer),
      names_(stringList(schemaValue(context, keywordPointer), keywordPointer))
{
}

Keys RequiredSchemaValidator::check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const
{
    // A "default" of the property does not excuse its absence: defaults are recorded, never filled in.
    const nlohmann::json* data = dataValue(context_, dataPointer);
    if (data != nullptr && data->is_object())
        for (const std::string& name : names_)
            if (!data->contains(name)) annotations.add(dataPointer / name, MissingItem{});
    return Keys(names_.begin(), names_.end());
}

}  // namespace jsv
