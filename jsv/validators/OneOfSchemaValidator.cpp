#include "jsv/validators/OneOfSchemaValidator.hpp"

#include <algorithm>

#include "jsv/validators/BaseSchemaValidator.hpp"

namespace jsv {

namespace {

bool isSubset(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    return std::all_of(a.begin(), a.end(),
                       [&b](const std::string& k) { return std::find(b.begin(), b.end(), k) != b.end(); });
}

std::string firstMissingFrom(const std::vector<std::string>& keys, const std::vector<std::string>& other)
{
    for (const std::string& key : keys)
        if (std::find(other.begin(), other.end(), key) == other.end()) return key;
    return keys.empty() ? std::string() : keys.front();
}

}  // namespace

OneOfSchemaValidator::OneOfSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer)
    : context_(context), keyword_(keywordPointer)
{
    const nlohmann::json& parameter = schemaValue(context, keywordPointer);
    const char* const malformed = "The 'oneOf' keyword requires a non-empty array of item names or of subschemas.";
    if (!parameter.is_array() || parameter.empty()) throw InvalidSchemaException(keyword_, malformed);

    if (std::all_of(parameter.begin(), parameter.end(), [](const nlohmann::json& v) { return v.is_string(); })) {
        for (const auto& name : parameter) names_.push_back(name.get<std::string>());
        for (std::size_t i = 0; i < names_.size(); ++i)
            if (std::find(names_.begin(), names_.begin() + i, names_[i]) != names_.begin() + i)
                throw InvalidSchemaException(keyword_, "The cases must be distinct.");
        return;
    }
    if (!std::all_of(parameter.begin(), parameter.end(), [](const nlohmann::json& v) { return v.is_object(); }))
        throw InvalidSchemaException(keyword_, malformed);

    switch_ = true;
    std::size_t withProperties = 0;
    for (std::size_t i = 0; i < parameter.size(); ++i) {
        const nlohmann::json& alternative = parameter[i];
        for (const auto& entry : alternative.items())
            if (entry.key() != "properties" && entry.key() != "required" && entry.key() != "oneOf")
                throw InvalidSchemaException(
                    keyword_ / i / entry.key(),
                    "Only the keywords 'properties', 'required' and 'oneOf' are supported here.");
        if (alternative.contains("properties")) ++withProperties;
        std::vector<std::string> required;
        if (alternative.contains("required")) required = stringList(alternative["required"], keyword_ / i / "required");
        std::vector<std::string> sorted = required;
        std::sort(sorted.begin(), sorted.end());
        for (const auto& earlier : cases_) {
            std::vector<std::string> other = earlier;
            std::sort(other.begin(), other.end());
            if (other == sorted) throw InvalidSchemaException(keyword_, "The cases must be distinct.");
        }
        cases_.push_back(required);
    }
    if (withProperties != 0 && withProperties != parameter.size())
        throw InvalidSchemaException(
            keyword_, "The 'properties' keyword must be present in either all or none of the subschemas.");
}

Keys OneOfSchemaValidator::check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const
{
    const nlohmann::json* data = dataValue(context_, dataPointer);
    if (data == nullptr || !data->is_object()) return {};
    return switch_ ? checkSwitch(dataPointer, *data, annotations) : checkNames(dataPointer, *data, annotations);
}

Keys OneOfSchemaValidator::checkNames(const JsonPointer& dataPointer, const nlohmann::json& data,
                                      AnnotationCollection& annotations) const
{
    std::vector<std::string> present;
    for (const std::string& name : names_)
        if (data.contains(name)) present.push_back(name);
    if (present.empty()) {
        annotations.add(dataPointer, MissingExclusiveItemsViolation{names_});
        return {};
    }
    if (present.size() > 1) {
        annotations.add(dataPointer, ExclusiveItemViolation{present[0], present[1]});
        return {};
    }
    annotations.add(dataPointer / present[0], ValidAdditionalKeyAnnotation{present[0]});
    return {present[0]};
}

Keys OneOfSchemaValidator::checkSwitch(const JsonPointer& dataPointer, const nlohmann::json& data,
                                       AnnotationCollection& annotations) const
{
    std::vector<std::size_t> selected;
    for (std::size_t i = 0; i < cases_.size(); ++i)
        if (std::all_of(cases_[i].begin(), cases_[i].end(), [&data](const std::string& k) { return data.contains(k); }))
            selected.push_back(i);
    std::vector<std::size_t> specific;
    for (std::size_t i : selected) {
        const bool dominated = std::any_of(selected.begin(), selected.end(), [&](std::size_t j) {
            return j != i && cases_[i].size() < cases_[j].size() && isSubset(cases_[i], cases_[j]);
        });
        if (!dominated) specific.push_back(i);
    }

    if (specific.empty()) {
        std::vector<std::string> items;
        for (const auto& keys : cases_)
            if (!keys.empty() && std::find(items.begin(), items.end(), keys.front()) == items.end())
                items.push_back(keys.front());
        annotations.add(dataPointer, MissingExclusiveItemsViolation{items});
        return {};
    }
    if (specific.size() > 1) {
        const auto& a = cases_[specific[0]];
        const auto& b = cases_[specific[1]];
        annotations.add(dataPointer, ExclusiveItemViolation{firstMissingFrom(a, b), firstMissingFrom(b, a)});
        return {};
    }

    const JsonPointer chosen = keyword_ / specific[0];
    const nlohmann::json& alternative = schemaValue(context_, chosen);
    Keys recognised(cases_[specific[0]].begin(), cases_[specific[0]].end());
    if (alternative.contains("oneOf")) {
        const Keys nested = OneOfSchemaValidator(context_, chosen / "oneOf").check(dataPointer, annotations);
        recognised.insert(nested.begin(), nested.end());
    }
    if (const auto properties = alternative.find("properties"); properties != alternative.end()) {
        if (!properties->is_object())
            throw InvalidSchemaException(chosen / "properties", "This keyword requires an object parameter.");
        for (const auto& entry : properties->items()) {
            recognised.insert(entry.key());
            if (data.contains(entry.key()))
                BaseSchemaValidator(context_, chosen / "properties" / entry.key())
                    .check(dataPointer / entry.key(), annotations);
        }
    }
    for (const std::string& key : recognised)
        if (data.contains(key)) annotations.add(dataPointer / key, ValidAdditionalKeyAnnotation{key});
    return recognised;
}

}  // namespace jsv
