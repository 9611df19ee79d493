#include "jsv/validators/FormatSchemaValidator.hpp"

#include <cctype>

namespace jsv {

namespace {
// Absolute URI in the sense "scheme:rest": a letter, then letters, digits, '+', '-' or '.', a colon, and a
// non-empty rest without blanks or control characters.
bool isUri(const std::string& text)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
    if (!std::isalpha(static_cast<unsigned char>(text[0]))) return false;
    for (std::size_t i = 1; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    for (std::size_t i = colon + 1; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (std::isspace(c) || std::iscntrl(c)) return false;
    }
    return true;
}
}  // namespace

FormatSchemaValidator::FormatSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer)
    : context_(context), keyword_(keywordPointer)
{
    if (schemaValue(context, keywordPointer) != "uri")
        throw InvalidSchemaException(keyword_, "Only the 'uri' format is currently supported.");
}

Keys FormatSchemaValidator::check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const
{
    const nlohmann::json* data = dataValue(context_, dataPointer);
    if (data == nullptr || !data->is_string()) return {};
    if (isUri(data->get<std::string>()))
        annotations.add(dataPointer, StringIsURIAnnotation{});
    else
        annotations.add(dataPointer, InvalidItem{});
    return {};
}

}  // namespace jsv
