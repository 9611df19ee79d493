// Findings of a validation: the 20 annotation kinds as one tagged union, located findings and their collection.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <variant>

#include "jsv/JsonPointer.hpp"
#include "jsv/annotations/ConstConstraintViolation.hpp"
#include "jsv/annotations/DefaultValueAnnotation.hpp"
#include "jsv/annotations/DescriptionAnnotation.hpp"
#include "jsv/annotations/EnumConstraintViolation.hpp"
#include "jsv/annotations/EnumRequiredAnnotation.hpp"
#include "jsv/annotations/ExclusiveItemViolation.hpp"
#include "jsv/annotations/ExclusiveMaximumViolation.hpp"
#include "jsv/annotations/ExclusiveMinimumViolation.hpp"
#include "jsv/annotations/IncorrectType.hpp"
#include "jsv/annotations/InvalidItem.hpp"
#include "jsv/annotations/MaximumViolation.hpp"
#include "jsv/annotations/MinimumViolation.hpp"
#include "jsv/annotations/MissingExclusiveItemsViolation.hpp"
#include "jsv/annotations/MissingItem.hpp"
#include "jsv/annotations/OptionalItemAnnotation.hpp"
#include "jsv/annotations/RequiredInViolation.hpp"
#include "jsv/annotations/RequiredTypeAnnotation.hpp"
#include "jsv/annotations/Severity.hpp"
#include "jsv/annotations/StringIsURIAnnotation.hpp"
#include "jsv/annotations/UnusedItem.hpp"
#include "jsv/annotations/ValidAdditionalKeyAnnotation.hpp"

namespace jsv {

/// One finding without its location. The alternative's index is the kind number (0..19): errors 0-10 and 12,
/// the warning 11, information 13-19 (std::variant is used as the tagged union).
using AnnotationKind =
    std::variant<ConstConstraintViolation, EnumConstraintViolation, ExclusiveItemViolation, MinimumViolation,
                 ExclusiveMinimumViolation, MaximumViolation, ExclusiveMaximumViolation, IncorrectType, MissingItem,
                 MissingExclusiveItemsViolation, RequiredInViolation, UnusedItem, InvalidItem, RequiredTypeAnnotation,
                 EnumRequiredAnnotation, OptionalItemAnnotation, StringIsURIAnnotation, DescriptionAnnotation,
                 DefaultValueAnnotation, ValidAdditionalKeyAnnotation>;

Severity severityOf(const AnnotationKind& kind);
/// The finding's text without severity prefix; empty for information.
std::string messageOf(const AnnotationKind& kind);

/// Findings ordered by data pointer (document order, see JsonPointer::operator<); findings at one pointer keep
/// the order in which they were added.
class AnnotationCollection {
public:
    using Container = std::multimap<JsonPointer, AnnotationKind>;
    using const_iterator = Container::const_iterator;

    void add(const JsonPointer& dataPointer, AnnotationKind kind) { items_.emplace(dataPointer, std::move(kind)); }
    void merge(const AnnotationCollection& other) { items_.insert(other.items_.begin(), other.items_.end()); }

    const_iterator begin() const { return items_.begin(); }
    const_iterator end() const { return items_.end(); }
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }

private:
    Container items_;
};

/// View keeping errors and warnings only.
struct IssueFilter {
    static bool accepts(Severity severity) { return severity != Severity::Information; }
    static AnnotationCollection apply(const AnnotationCollection& all);
};

/// View keeping information only.
struct InfoFilter {
    static bool accepts(Severity severity) { return severity == Severity::Information; }
    static AnnotationCollection apply(const AnnotationCollection& all);
};

/// Number of findings of the given severity.
std::size_t numberOf(Severity severity, const AnnotationCollection& collection);

}  // namespace jsv
