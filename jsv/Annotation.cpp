#include "jsv/Annotation.hpp"

namespace jsv {

namespace {
template <typename Filter>
AnnotationCollection filtered(const AnnotationCollection& all)
{
    AnnotationCollection result;
    for (const auto& [pointer, kind] : all)
        if (Filter::accepts(severityOf(kind))) result.add(pointer, kind);
    return result;
}
}  // namespace

Severity severityOf(const AnnotationKind& kind)
{
    return std::visit([](const auto& k) { return std::decay_t<decltype(k)>::severity; }, kind);
}

std::string messageOf(const AnnotationKind& kind)
{
    return std::visit([](const auto& k) { return k.message(); }, kind);
}

AnnotationCollection IssueFilter::apply(const AnnotationCollection& all) { return filtered<IssueFilter>(all); }
AnnotationCollection InfoFilter::apply(const AnnotationCollection& all) { return filtered<InfoFilter>(all); }

std::size_t numberOf(Severity severity, const AnnotationCollection& collection)
{
    std::size_t count = 0;
    for (const auto& entry : collection)
        if (severityOf(entry.second) == severity) ++count;
    return count;
}

}  // namespace jsv
