// Validator of the schema keywords "minimum" and "maximum", inclusive or made strict by the boolean sibling flags
// "exclusiveMinimum" / "exclusiveMaximum".
#pragma once

#include "jsv/validators/ValidatorCommon.hpp"

namespace jsv {

enum class ExtremumKind { Minimum, Maximum, ExclusiveMinimum, ExclusiveMaximum };

/// A numeric data value must respect the bound; other types are left to "type".
template <ExtremumKind K>
class ExtremumSchemaValidator {
public:
    /// The bound must be a number; the flag's boolean type is checked by the factory, which picks K.
    ExtremumSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer);
    Keys check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const;
    double bound() const { return bound_; }

private:
    SchemaContext context_;
    JsonPointer keyword_;
    double bound_ = 0.0;
};

extern template class ExtremumSchemaValidator<ExtremumKind::Minimum>;
extern template class ExtremumSchemaValidator<ExtremumKind::Maximum>;
extern template class ExtremumSchemaValidator<ExtremumKind::ExclusiveMinimum>;
extern template class ExtremumSchemaValidator<ExtremumKind::ExclusiveMaximum>;

}  // namespace jsv
