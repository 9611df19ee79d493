#include "jsv/validators/OptionalSchemaValidator.hpp"

namespace jsv {

OptionalSchemaValidator::OptionalSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer)
    : context_(context),
      keyword_(keywordPointer),
      names_(stringList(schemaValue(context, keywordPointer), keywordPointer))
{
}

Keys OptionalSchemaValidator::check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const
{
    const nlohmann::json* data = dataValue(context_, dataPointer);
    if (data != nullptr && data->is_object())
        for (const std::string& name : names_)
            if (data->contains(name)) annotations.add(dataPointer / name, OptionalItemAnnotation{name});
    return {};
}

}  // namespace jsv
