#include "jsv/SchemaValidatorFactory.hpp"

namespace jsv {

namespace {
// The strict form is chosen by a boolean sibling flag; a flag of another type is a schema error.
bool exclusiveFlag(const SchemaContext& context, const JsonPointer& schemaPointer, const char* flag)
{
    const nlohmann::json& schema = schemaValue(context, schemaPointer);
    const auto it = schema.find(flag);
    if (it == schema.end()) return false;
    if (!it->is_boolean())
        throw InvalidSchemaException(schemaPointer / flag, "This keyword requires a boolean parameter.");
    return it->get<bool>();
}
}  // namespace

SchemaValidator SchemaValidatorFactory::create(const SchemaContext& context, const JsonPointer& schemaPointer,
                                               const std::string& keyword)
{
    const JsonPointer at = schemaPointer / keyword;
    if (keyword == "const") return ConstSchemaValidator(context, at);
    if (keyword == "enum") return EnumSchemaValidator(context, at);
    if (keyword == "minimum") {
        if (exclusiveFlag(context, schemaPointer, "exclusiveMinimum"))
            return ExtremumSchemaValidator<ExtremumKind::ExclusiveMinimum>(context, at);
        return ExtremumSchemaValidator<ExtremumKind::Minimum>(context, at);
    }
    if (keyword == "maximum") {
        if (exclusiveFlag(context, schemaPointer, "exclusiveMaximum"))
            return ExtremumSchemaValidator<ExtremumKind::ExclusiveMaximum>(context, at);
        return ExtremumSchemaValidator<ExtremumKind::Maximum>(context, at);
    }
    if (keyword == "items") return ItemsSchemaValidator(context, at);
    if (keyword == "exclusiveMinimum" || keyword == "exclusiveMaximum" || keyword == "$schema")
        return NoCheckSchemaValidator(context, at);
    if (keyword == "oneOf") return OneOfSchemaValidator(context, at);
    if (keyword == "properties") return PropertiesSchemaValidator(context, at);
    if (keyword == "requiredIn") return RequiredInSchemaValidator(context, at);
    if (keyword == "required") return RequiredSchemaValidator(context, at);
    if (keyword == "type") return TypeSchemaValidator(context, at);
    if (keyword == "optional") return OptionalSchemaValidator(context, at);
    if (keyword == "format") return FormatSchemaValidator(context, at);
    if (keyword == "description") return DescriptionSchemaValidator(context, at);
    if (keyword == "default") return DefaultValueSchemaValidator(context, at);
    throw InvalidSchemaException(at, "The keyword '" + keyword + "' is not supported.");
}

}  // namespace jsv
