#include "dataio/JSONReader.hpp"

#include <fstream>
#include <iostream>
#include <limits>

#include "common/TerraException.hpp"

namespace dataio {

using nlohmann::json;

namespace {

constexpr int INT_FALLBACK = std::numeric_limits<int>::min();

/// Every piece between separators is a component, an empty one too ("/a" gives "", "a").
std::vector<std::string> splitPath(const std::string& path)
{
    std::vector<std::string> parts;
    std::string::size_type begin = 0;
    while (true) {
        const auto end = path.find(JSONReader::delimiter, begin);
        if (end == std::string::npos) {
            parts.push_back(path.substr(begin));
            return parts;
        }
        parts.push_back(path.substr(begin, end - begin));
        begin = end + 1;
    }
}

void printNotFound(const std::string& path)
{
    std::cerr << " -> "
              << "path <" << path << "> not found." << std::endl;
}

// Conversions of a found value; false when the JSON type is not the accepted one.
bool convert(const json& v, bool& out)
{
    if (!v.is_boolean()) return false;
    out = v.get<bool>();
    return true;
}
bool convert(const json& v, int& out)
{
    if (!v.is_number()) return false;
    out = v.get<int>();
    return true;
}
bool convert(const json& v, double& out)
{
    if (!v.is_number()) return false;
    out = v.get<double>();
    return true;
}
bool convert(const json& v, std::string& out)
{
    if (!v.is_string()) return false;
    out = v.get<std::string>();
    return true;
}
template <typename T>
bool convert(const json& v, std::vector<T>& out)
{
    if (!v.is_array()) return false;
    std::vector<T> list;
    list.reserve(v.size());
    for (const auto& element : v) {
        T value{};
        if (!convert(element, value)) return false;
        list.push_back(value);
    }
    out = std::move(list);
    return true;
}

template <typename T>
T typedOr(const json& v, bool found, const T& fallback)
{
    T value{};
    if (found && convert(v, value)) return value;
    return fallback;
}

}  // namespace

JSONReader::JSONReader(const std::string& argument)
{
    document_ = json::parse(argument, nullptr, false);
    if (!document_.is_discarded()) return;

    fileName_ = argument;
    std::ifstream in(fileName_);
    if (!in) {
        std::cerr << " -> "
                  << "input file <" << fileName_ << "> not found." << std::endl;
        throw TerraException();
    }
    document_ = json::parse(in);
}

std::string JSONReader::getFileName() const { return fileName_; }

std::string JSONReader::getHash() const { return document_.dump(); }

json JSONReader::getValue(const std::string& path, bool& found) const
{
    found = true;
    const json* node = &document_;
    for (const auto& component : splitPath(path)) {
        if (!node->is_object()) {
            found = false;
            return json();
        }
        const auto it = node->find(component);
        if (it == node->end()) {
            found = false;
            return json();
        }
        node = &*it;
    }
    return *node;
}

json JSONReader::getOptionalValue(const std::string& path, bool& found) const { return getValue(path, found); }

json JSONReader::getRequiredValue(const std::string& path, bool& found) const
{
    json value = getValue(path, found);
    if (!found) printNotFound(path);
    return value;
}

json JSONReader::getValueFromArray(const std::string& path, const int& index, const std::string& key, bool& found) const
{
    const json array = getValue(path, found);
    if (!found || !array.is_array() || index < 0 || array.size() <= static_cast<std::size_t>(index)) {
        found = false;
        return json();
    }
    const json& element = array[static_cast<std::size_t>(index)];
    if (element.is_null() || element.empty() || !element.is_object()) {
        found = false;
        return json();
    }
    const auto it = element.find(key);
    if (it == element.end()) {
        found = false;
        return json();
    }
    found = true;
    return *it;
}

json JSONReader::getOptionalValueFromArray(const std::string& path, const int& index, const std::string& key,
                                           bool& found) const
{
    return getValueFromArray(path, index, key, found);
}

json JSONReader::getRequiredValueFromArray(const std::string& path, const int& index, const std::string& key,
                                           bool& found) const
{
    json value = getValueFromArray(path, index, key, found);
    if (!found) printNotFound(createPathWithinArray(path, index, key));
    return value;
}

bool JSONReader::checkPaths(const std::vector<std::string>& paths) const
{
    for (const auto& path : paths) {
        bool found = false;
        getValue(path, found);
        if (!found) return false;
    }
    return true;
}

int JSONReader::getArrayLength(const std::string& path, bool& found) const
{
    const json value = getRequiredValue(path, found);
    return found && value.is_array() ? static_cast<int>(value.size()) : 0;
}

int JSONReader::getOptionalArrayLength(const std::string& path) const
{
    bool found = false;
    const json value = getValue(path, found);
    return found && value.is_array() ? static_cast<int>(value.size()) : 0;
}

std::vector<std::string> JSONReader::getGroups(const std::string& path) const
{
    bool found = false;
    const json value = getValue(path, found);
    std::vector<std::string> groups;
    if (!found || !value.is_object()) return groups;
    for (const auto& item : value.items())
        if (item.value().is_object()) groups.push_back(item.key());
    return groups;
}

bool JSONReader::getBool(const std::string& path, bool& found) const
{
    const json value = getRequiredValue(path, found);
    return typedOr(value, found, false);
}

int JSONReader::getInt(const std::string& path, bool& found) const
{
    const json value = getRequiredValue(path, found);
    return typedOr(value, found, INT_FALLBACK);
}

double JSONReader::getDouble(const std::string& path, bool& found) const
{
    const json value = getRequiredValue(path, found);
    return typedOr(value, found, std::numeric_limits<double>::quiet_NaN());
}

std::string JSONReader::getString(const std::string& path, bool& found) const
{
    const json value = getRequiredValue(path, found);
    return typedOr(value, found, std::string());
}

std::vector<int> JSONReader::getIntList(const std::string& path, bool& found) const
{
    const json value = getRequiredValue(path, found);
    return typedOr(value, found, std::vector<int>());
}

std::vector<double> JSONReader::getDoubleList(const std::string& path, bool& found) const
{
    const json value = getRequiredValue(path, found);
    return typedOr(value, found, std::vector<double>());
}

std::vector<std::string> JSONReader::getStringList(const std::string& path, bool& found) const
{
    const json value = getRequiredValue(path, found);
    return typedOr(value, found, std::vector<std::string>());
}

bool JSONReader::getOptionalBool(const std::string& path, const bool& def) const
{
    bool found = false;
    const json value = getValue(path, found);
    return typedOr(value, found, def);
}

int JSONReader::getOptionalInt(const std::string& path, const int& def) const
{
    bool found = false;
    const json value = getValue(path, found);
    return typedOr(value, found, def);
}

double JSONReader::getOptionalDouble(const std::string& path, const double& def) const
{
    bool found = false;
    const json value = getValue(path, found);
    return typedOr(value, found, def);
}

std::string JSONReader::getOptionalString(const std::string& path, const std::string& def) const
{
    bool found = false;
    const json value = getValue(path, found);
    return typedOr(value, found, def);
}

std::vector<int> JSONReader::getOptionalIntList(const std::string& path, const std::vector<int>& def) const
{
    bool found = false;
    const json value = getValue(path, found);
    return typedOr(value, found, def);
}

std::vector<double> JSONReader::getOptionalDoubleList(const std::string& path, const std::vector<double>& def) const
{
    bool found = false;
    const json value = getValue(path, found);
    return typedOr(value, found, def);
}

std::vector<std::string> JSONReader::getOptionalStringList(const std::string& path,
                                                           const std::vector<std::string>& def) const
{
    bool found = false;
    const json value = getValue(path, found);
    return typedOr(value, found, def);
}

int JSONReader::getIntFromArray(const std::string& path, const int& index, const std::string& key, bool& found) const
{
    const json value = getRequiredValueFromArray(path, index, key, found);
    return typedOr(value, found, INT_FALLBACK);
}

double JSONReader::getDoubleFromArray(const std::string& path, const int& index, const std::string& key,
                                      bool& found) const
{
    const json value = getRequiredValueFromArray(path, index, key, found);
    return typedOr(value, found, std::numeric_limits<double>::quiet_NaN());
}

std::string JSONReader::getStringFromArray(const std::string& path, const int& index, const std::string& key,
                                           bool& found) const
{
    const json value = getRequiredValueFromArray(path, index, key, found);
    return typedOr(value, found, std::string());
}

std::vector<double> JSONReader::getValueListFromArray(const std::string& path, const int& index, const std::string& key,
                                                      bool& found) const
{
    const json value = getRequiredValueFromArray(path, index, key, found);
    return typedOr(value, found, std::vector<double>());
}

int JSONReader::getOptionalIntFromArray(const std::string& path, const int& index, const std::string& key,
                                        const int& def) const
{
    bool found = false;
    const json value = getValueFromArray(path, index, key, found);
    return typedOr(value, found, def);
}

double JSONReader::getOptionalDoubleFromArray(const std::string& path, const int& index, const std::string& key,
                                              const double& def) const
{
    bool found = false;
    const json value = getValueFromArray(path, index, key, found);
    return typedOr(value, found, def);
}

std::string JSONReader::getOptionalStringFromArray(const std::string& path, const int& index, const std::string& key,
                                                   const std::string& def) const
{
    bool found = false;
    const json value = getValueFromArray(path, index, key, found);
    return typedOr(value, found, def);
}

std::vector<double> JSONReader::getOptionalValueListFromArray(const std::string& path, const int& index,
                                                              const std::string& key,
                                                              const std::vector<double>& def) const
{
    bool found = false;
    const json value = getValueFromArray(path, index, key, found);
    return typedOr(value, found, def);
}

std::string JSONReader::createPathWithinArray(const std::string& path, const int& index, const std::string& key) const
{
    return path + "[" + std::to_string(index) + "]" + "/" + key;
}

}  // namespace dataio
