#include "jsv/JsonPointer.hpp"

#include <algorithm>
#include <stdexcept>

namespace jsv {

namespace {

bool isIndex(const std::string& token)
{
    return !token.empty() && std::all_of(token.begin(), token.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Negative, zero or positive like strcmp; indices compare by value (leading zeros ignored).
int compareTokens(const std::string& a, const std::string& b)
{
    if (isIndex(a) && isIndex(b)) {
        const auto strip = [](const std::string& s) {
            const std::size_t first = s.find_first_not_of('0');
            return first == std::string::npos ? std::string() : s.substr(first);
        };
        const std::string x = strip(a), y = strip(b);
        if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
        return x.compare(y);
    }
    return a.compare(b);
}

}  // namespace

JsonPointer JsonPointer::parse(const std::string& text)
{
    JsonPointer result;
    if (text.empty()) return result;
    if (text[0] != '/') throw std::invalid_argument("a JSON pointer must start with '/'");
    std::string token;
    for (std::size_t i = 1; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '/') {
            result.tokens_.push_back(token);
            token.clear();
        } else if (text[i] == '~') {
            if (i + 1 >= text.size() || (text[i + 1] != '0' && text[i + 1] != '1'))
                throw std::invalid_argument("'~' must be followed by '0' or '1' in a JSON pointer");
            token += text[i + 1] == '0' ? '~' : '/';
            ++i;
        } else {
            token += text[i];
        }
    }
    return result;
}

JsonPointer JsonPointer::operator/(const std::string& token) const
{
    JsonPointer result(*this);
    result.tokens_.push_back(token);
    return result;
}

JsonPointer JsonPointer::parent() const
{
    JsonPointer result(*this);
    if (!result.tokens_.empty()) result.tokens_.pop_back();
    return result;
}

std::string JsonPointer::toString() const
{
    if (tokens_.empty()) return "/";
    std::string text;
    for (const std::string& token : tokens_) {
        text += '/';
        for (char c : token) {
            if (c == '~')
                text += "~0";
            else if (c == '/')
                text += "~1";
            else
                text += c;
        }
    }
    return text;
}

bool JsonPointer::operator<(const JsonPointer& other) const
{
    const std::size_t n = std::min(tokens_.size(), other.tokens_.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int c = compareTokens(tokens_[i], other.tokens_[i]);
        if (c != 0) return c < 0;
    }
    return tokens_.size() < other.tokens_.size();
}

const nlohmann::json* find(const nlohmann::json& document, const JsonPointer& pointer)
{
    const nlohmann::json* node = &document;
    for (const std::string& token : pointer.tokens()) {
        if (node->is_object()) {
            const auto it = node->find(token);
            if (it == node->end()) return nullptr;
            node = &*it;
        } else if (node->is_array()) {
            if (!isIndex(token) || token.size() > 18) return nullptr;
            const std::size_t index = std::stoull(token);
            if (index >= node->size()) return nullptr;
            node = &(*node)[index];
        } else {
            return nullptr;
        }
    }
    return node;
}

}  // namespace jsv
