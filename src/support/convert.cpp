#include "support/convert.h"

#include "automation/error.h"
#include "automation/text.h"

namespace tw {

std::string UnquoteString(std::string_view text) {
  text = trimBlanks(text);
  while (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
    text = trimBlanks(text.substr(1, text.size() - 2));
  return std::string(text);
}

namespace {

enum class Target { Boolean, Integer, Long, String, None };

// True when a text can only fail to convert to a number or Boolean; such
// texts are common in files and registries (empty values) and are answered
// without raising and catching a conversion error.
bool cannotConvert(const Variant& value, Target target) {
  if (!value.isString() || (target != Target::Boolean && target != Target::Integer && target != Target::Long))
    return false;
  std::string_view text = trimBlanks(value.rawString());
  if (target == Target::Boolean && (equalsNoCase(text, "true") || equalsNoCase(text, "false"))) return false;
  double number;
  return !parseNumber(text, number);
}

Variant convertTo(const Variant& value, Target target) {
  if (cannotConvert(value, target)) return Variant();
  try {
    switch (target) {
      case Target::Boolean:
        return Variant(value.toBool());
      case Target::Integer:
        return Variant::integer(value.toInteger());
      case Target::Long:
        return Variant::long_(value.toLong());
      case Target::String: {
        if (value.isString()) return Variant(UnquoteString(value.rawString()));
        std::string text = value.toString();
        return Variant(UnquoteString(text));
      }
      case Target::None:
        return value;
    }
  } catch (const Error&) {
  }
  return Variant();
}

}  // namespace

Variant ConvertByTypeName(const Variant& value, std::string_view typeName) {
  std::string t = toLower(typeName);
  Target target = t == "boolean"   ? Target::Boolean
                  : t == "integer" ? Target::Integer
                  : t == "long"    ? Target::Long
                  : t == "string"  ? Target::String
                                   : Target::None;
  return convertTo(value, target);
}

Variant ConvertByDataType(const Variant& value, std::string_view typeName) {
  Target target = typeName == "Boolean"   ? Target::Boolean
                  : typeName == "Integer" ? Target::Integer
                  : typeName == "Long"    ? Target::Long
                                          : Target::None;
  return convertTo(value, target);
}

}  // namespace tw
