// Positions in a JSON document (data or schema) as JSON pointers: token lists with "~0"/"~1" escaping.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace jsv {

/// A JSON pointer held as its unescaped reference tokens. The empty pointer is the document root.
class JsonPointer {
public:
    JsonPointer() = default;
    explicit JsonPointer(std::vector<std::string> tokens) : tokens_(std::move(tokens)) {}

    /// Parses the textual form ("" or "/a/b~1c"). Throws std::invalid_argument on a malformed text: a text
    /// that does not start with "/", or a "~" not followed by "0" or "1".
    static JsonPointer parse(const std::string& text);

    /// This pointer extended by one object key or one array index.
    JsonPointer operator/(const std::string& token) const;
    JsonPointer operator/(const char* token) const { return *this / std::string(token); }
    JsonPointer operator/(std::size_t index) const { return *this / std::to_string(index); }

    const std::vector<std::string>& tokens() const { return tokens_; }
    bool isRoot() const { return tokens_.empty(); }
    JsonPointer parent() const;

    /// Printed form: "/" for the root, else "/" + token per token with "~" as "~0" and "/" as "~1".
    std::string toString() const;

    bool operator==(const JsonPointer& other) const { return tokens_ == other.tokens_; }
    bool operator!=(const JsonPointer& other) const { return tokens_ != other.tokens_; }

    /// Document order: token by token, a prefix before its extensions, two array indices (digit-only tokens)
    /// by their numeric value, any other tokens as strings. Keeps "/list/2" before "/list/10".
    bool operator<(const JsonPointer& other) const;

private:
    std::vector<std::string> tokens_;
};

/// The value at `pointer` in `document`, or nullptr when the path does not exist.
const nlohmann::json* find(const nlohmann::json& document, const JsonPointer& pointer);

}  // namespace jsv
