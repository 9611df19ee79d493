#include "jsv/validators/RequiredInSchemaValidator.hpp"

#include <algorithm>
#include <stdexcept>

namespace jsv {

RequiredInSchemaValidator::RequiredInSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer)
    : context_(context), keyword_(keywordPointer)
{
    const nlohmann::json& parameter = schemaValue(context, keywordPointer);
    const char* const invalid = "This JSON pointer is invalid.";
    if (!parameter.is_string()) throw InvalidSchemaException(keyword_, invalid);
    try {
        tokens_ = JsonPointer::parse(parameter.get<std::string>()).tokens();
    } catch (const std::invalid_argument&) {
        throw InvalidSchemaException(keyword_, invalid);
    }
    if (tokens_.empty()) throw InvalidSchemaException(keyword_, invalid);
    const auto property = std::find(tokens_.begin(), tokens_.end(), itemProperty);
    if (property != tokens_.end() && property + 1 != tokens_.end()) throw InvalidSchemaException(keyword_, invalid);

    const std::string& last = tokens_.back();
    name_ = last == arrayReference ? "item" : last == itemProperty ? "key" : last;
    auto end = std::find_if(tokens_.begin(), tokens_.end(),
                            [](const std::string& t) { return t == arrayReference || t == itemProperty; });
    if (end == tokens_.end()) --end;
    container_ = JsonPointer(std::vector<std::string>(tokens_.begin(), end)).toString();
}

void RequiredInSchemaValidator::collect(const nlohmann::json& node, std::size_t token,
                                        std::vector<nlohmann::json>& candidates) const
{
    if (token == tokens_.size()) {
        if (node.is_array())
            candidates.insert(candidates.end(), node.begin(), node.end());
        else
            candidates.push_back(node);
        return;
    }
    const std::string& t = tokens_[token];
    if (t == arrayReference) {
        if (node.is_array())
            for (const auto& element : node) collect(element, token + 1, candidates);
    } else if (t == itemProperty) {
        if (node.is_object())
            for (const auto& entry : node.items()) candidates.emplace_back(entry.key());
    } else if (const nlohmann::json* next = find(node, JsonPointer({t}))) {
        collect(*next, token + 1, candidates);
    }
}

Keys RequiredInSchemaValidator::check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const
{
    const nlohmann::json* data = dataValue(context_, dataPointer);
    if (data == nullptr) return {};
    std::vector<nlohmann::json> candidates;
    collect(*context_.data, 0, candidates);
    if (std::find(candidates.begin(), candidates.end(), *data) == candidates.end())
        annotations.add(dataPointer, RequiredInViolation{name_, container_});
    return {};
}

}  // namespace jsv
