// Turning findings into the lines the validator prints: "<pointer>: <severity prefix><text>".
#pragma once

#include <string>

#include "jsv/Annotation.hpp"

namespace jsv {

/// One finding to its severity prefix followed by its text; empty when the kind has no text.
struct DefaultAnnotationToMessageConverter {
    std::string convert(const AnnotationKind& kind) const;
};

/// pointer + ": " + the finding's message, or "" when the message is empty.
struct DefaultLocatedAnnotationToMessageConverter {
    std::string convert(const JsonPointer& pointer, const AnnotationKind& kind) const;
};

/// Every non-empty located message of the collection in collection order, joined by "\n", no trailing newline.
struct DefaultAnnotationCollectionToMessageConverter {
    std::string convert(const AnnotationCollection& collection) const;
};

}  // namespace jsv
