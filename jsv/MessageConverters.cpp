#include "jsv/MessageConverters.hpp"

namespace jsv {

std::string DefaultAnnotationToMessageConverter::convert(const AnnotationKind& kind) const
{
    const std::string text = messageOf(kind);
    if (text.empty()) return "";
    return severityPrefix(severityOf(kind)) + text;
}

std::string DefaultLocatedAnnotationToMessageConverter::convert(const JsonPointer& pointer,
                                                                const AnnotationKind& kind) const
{
    const std::string text = DefaultAnnotationToMessageConverter().convert(kind);
    if (text.empty()) return "";
    return pointer.toString() + ": " + text;
}

std::string DefaultAnnotationCollectionToMessageConverter::convert(const AnnotationCollection& collection) const
{
    std::string result;
    const DefaultLocatedAnnotationToMessageConverter located;
    for (const auto& [pointer, kind] : collection) {
        const std::string line = located.convert(pointer, kind);
        if (line.empty()) continue;
        if (!result.empty()) result += '\n';
        result += line;
    }
    return result;
}

}  // namespace jsv
