#pragma once
// Identifiers that templates use for tables, fields and charts.
#include <string>
#include <string_view>

namespace tw {

// Letters a-z and A-Z, digits, blanks and "_" are kept; every other character
// becomes the upper-case hexadecimal form of its character code (a UTF-16
// code unit, no leading zeros: "-" gives "2D"). Blanks then become "_", and
// "x" goes in front when the result does not start with a letter. The prefix
// comes first: MakeVarName("Unit-Price", "x_") is "x_Unit2DPrice".
std::string MakeVarName(std::string_view name, std::string_view prefix);

}  // namespace tw
