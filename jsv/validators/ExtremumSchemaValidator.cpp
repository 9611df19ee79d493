#include "jsv/validators/ExtremumSchemaValidator.hpp"

namespace jsv {

template <ExtremumKind K>
ExtremumSchemaValidator<K>::ExtremumSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer)
    : context_(context), keyword_(keywordPointer)
{
    const nlohmann::json& bound = schemaValue(context, keywordPointer);
    if (!bound.is_number()) throw InvalidSchemaException(keyword_, "This keyword requires a numeric parameter.");
    bound_ = bound.get<double>();
}

template <ExtremumKind K>
Keys ExtremumSchemaValidator<K>::check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const
{
    const nlohmann::json* data = dataValue(context_, dataPointer);
    if (data == nullptr || !data->is_number()) return {};
    const double value = data->get<double>();
    if constexpr (K == ExtremumKind::Minimum) {
        if (!(value >= bound_)) annotations.add(dataPointer, MinimumViolation{bound_});
    } else if constexpr (K == ExtremumKind::Maximum) {
        if (!(value <= bound_)) annotations.add(dataPointer, MaximumViolation{bound_});
    } else if constexpr (K == ExtremumKind::ExclusiveMinimum) {
        if (!(value > bound_)) annotations.add(dataPointer, ExclusiveMinimumViolation{bound_});
    } else {
        if (!(value < bound_)) annotations.add(dataPointer, ExclusiveMaximumViolation{bound_});
    }
    return {};
}

template class ExtremumSchemaValidator<ExtremumKind::Minimum>;
template class ExtremumSchemaValidator<ExtremumKind::Maximum>;
template class ExtremumSchemaValidator<ExtremumKind::ExclusiveMinimum>;
template class ExtremumSchemaValidator<ExtremumKind::ExclusiveMaximum>;

}  // namespace jsv
