#include "script/script_literal.h"

#include "support/helpers.h"

namespace tw {

std::string scriptLiteral(std::string_view text, std::string_view joiner) {
  std::string literal = ToScriptLiteral(text, joiner);
  if (literal.find_first_of("\r\n") == std::string::npos) return literal;
  // ToScriptLiteral copies a line's characters into its literal unchanged, so
  // every CR or LF left in its result stands inside a literal.
  std::string out;
  out.reserve(literal.size() + 16);
  for (char c : literal) {
    if (c == '\r')
      out += "\"&vbCr&\"";
    else if (c == '\n')
      out += "\"&vbLf&\"";
    else
      out += c;
  }
  return out;
}

}  // namespace tw
