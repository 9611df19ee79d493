// Text pieces shared by the annotation messages.
#pragma once

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "jsv/annotations/Severity.hpp"

namespace jsv::text {

/// A bound as printf's "%f" writes it: 0.000000, 2.500000.
inline std::string fixed(double value)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%f", value);
    return buffer;
}

/// A schema value inside quotes: strings without their JSON quotes, everything else as compact JSON.
inline std::string plain(const nlohmann::json& value)
{
    return value.is_string() ? value.get<std::string>() : value.dump();
}

/// head + " 'a', 'b', 'c'." : each item quoted and followed by a comma, the last comma replaced by a period.
inline std::string quotedList(const std::string& head, const std::vector<std::string>& items)
{
    std::string result = head;
    for (const std::string& item : items) result += " '" + item + "',";
    if (!items.empty()) result.back() = '.';
    return result;
}

inline std::vector<std::string> plainItems(const nlohmann::json& values)
{
    std::vector<std::string> items;
    for (const auto& value : values) items.push_back(plain(value));
    return items;
}

}  // namespace jsv::text
