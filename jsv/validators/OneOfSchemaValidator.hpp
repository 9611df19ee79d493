// Validator of the schema keyword "oneOf": exactly one of several items, or of several alternatives, applies to a
// data object. It has two forms, told apart by the parameter:
//
// Non-switch form, an array of key names: `"oneOf": ["discharge", "water_level"]`. Exactly one of the names must
//   be a key of the data object. None present: MissingExclusiveItemsViolation at the object listing all names;
//   two or more present: ExclusiveItemViolation at the object naming the first two present (in list order).
//   The present name is a recognised key.
//
// Switch form, an array of alternatives (schema objects) that may only use "properties", "required" and a
//   nested "oneOf"; "properties" must be in all alternatives or in none. The case of an alternative is the set of
//   keys its "required" lists; the cases must be distinct. An alternative is selected when the data object has
//   every key of its case; of the selected ones, an alternative whose case is a strict subset of another selected
//   case is dropped (the most specific case wins); so an alternative without "required" is the default, chosen
//   when no other case is selected.
//     - none selected: MissingExclusiveItemsViolation at the object listing the first key of every non-empty case;
//     - two remain: ExclusiveItemViolation at the object naming, for the first two, a key of each case that the
//       other case lacks;
//     - exactly one: its "required" (already satisfied), its nested "oneOf" and its "properties" (for the keys
//       present in the data, each at the key's path) are applied; the keys of its case, of its properties and of
//       the nested choice are recognised keys, each present one recorded as ValidAdditionalKeyAnnotation.
//   A key should not be described both in an alternative's "properties" and in the parent's "properties", or it is
//   validated twice.
//
// For data that is not an object the keyword checks nothing. Any other parameter is a schema error.
#pragma once

#include "jsv/validators/ValidatorCommon.hpp"

namespace jsv {

class OneOfSchemaValidator {
public:
    OneOfSchemaValidator(const SchemaContext& context, const JsonPointer& keywordPointer);
    Keys check(const JsonPointer& dataPointer, AnnotationCollection& annotations) const;

    bool isSwitch() const { return switch_; }

private:
    Keys checkNames(const JsonPointer& dataPointer, const nlohmann::json& data,
                    AnnotationCollection& annotations) const;
    Keys checkSwitch(const JsonPointer& dataPointer, const nlohmann::json& data,
                     AnnotationCollection& annotations) const;

    SchemaContext context_;
    JsonPointer keyword_;
    bool switch_ = false;
    std::vector<std::string> names_;               ///< non-switch form: the exclusive key names
    std::vector<std::vector<std::string>> cases_;  ///< switch form: the "required" keys of each alternative
};

}  // namespace jsv
