#pragma once
// Value conversions by a setting's declared type, used when settings are read
// back from the registry and from project files.
#include <string>
#include <string_view>

#include "automation/variant.h"

namespace tw {

// Trims blanks; then, while the text is at least two characters long and
// starts and ends with the same quote character (" or '), removes both and
// trims again.
std::string UnquoteString(std::string_view text);

// Registry values: the type name compared without regard to case with
// "boolean", "integer", "long" and "string" (the last also unquotes); other
// type names return the value unchanged. A failed conversion gives Empty.
Variant ConvertByTypeName(const Variant& value, std::string_view typeName);

// Project file values: the type name compared exactly with "Boolean",
// "Integer" and "Long"; other type names (also "String") return the value
// unchanged. A failed conversion gives Empty.
Variant ConvertByDataType(const Variant& value, std::string_view typeName);

}  // namespace tw
