// The keyword validators as one tagged union (std::variant); the alternative's index is its dispatch order.
#pragma once

#include <variant>

#include "jsv/validators/BaseSchemaValidator.hpp"
#include "jsv/validators/ConstSchemaValidator.hpp"
#include "jsv/validators/DefaultValueSchemaValidator.hpp"
#include "jsv/validators/DescriptionSchemaValidator.hpp"
#include "jsv/validators/EnumSchemaValidator.hpp"
#include "jsv/validators/ExtremumSchemaValidator.hpp"
#include "jsv/validators/FormatSchemaValidator.hpp"
#include "jsv/validators/ItemsSchemaValidator.hpp"
#include "jsv/validators/NoCheckSchemaValidator.hpp"
#include "jsv/validators/OneOfSchemaValidator.hpp"
#include "jsv/validators/OptionalSchemaValidator.hpp"
#include "jsv/validators/PropertiesSchemaValidator.hpp"
#include "jsv/validators/RequiredInSchemaValidator.hpp"
#include "jsv/validators/RequiredSchemaValidator.hpp"
#include "jsv/validators/TypeSchemaValidator.hpp"

namespace jsv {

using SchemaValidator =
    std::variant<BaseSchemaValidator, ConstSchemaValidator, EnumSchemaValidator,
                 ExtremumSchemaValidator<ExtremumKind::Minimum>, ExtremumSchemaValidator<ExtremumKind::Maximum>,
                 ExtremumSchemaValidator<ExtremumKind::ExclusiveMinimum>,
                 ExtremumSchemaValidator<ExtremumKind::ExclusiveMaximum>, ItemsSchemaValidator, NoCheckSchemaValidator,
                 OneOfSchemaValidator, PropertiesSchemaValidator, RequiredInSchemaValidator, RequiredSchemaValidator,
                 TypeSchemaValidator, OptionalSchemaValidator, FormatSchemaValidator, DescriptionSchemaValidator,
                 DefaultValueSchemaValidator>;

/// Runs the validator on the data at `dataPointer`; returns the data keys it recognises.
inline Keys checkWith(const SchemaValidator& validator, const JsonPointer& dataPointer,
                      AnnotationCollection& annotations)
{
    return std::visit([&](const auto& v) { return v.check(dataPointer, annotations); }, validator);
}

}  // namespace jsv
