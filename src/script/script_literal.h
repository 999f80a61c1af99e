#pragma once
// Script string expressions for literal template text.
#include <string>
#include <string_view>

namespace tw {

// The script expression that yields `text`: ToScriptLiteral's form (each
// CR LF separated line quoted, joined with &vbCrLf and, when given,
// &joiner). A CR or LF that is not part of a CR LF pair cannot stand inside
// a string literal; it becomes "&vbCr&" or "&vbLf&", so templates saved with
// Unix or old Mac line ends compile and keep their line ends. Empty text
// gives an empty result.
std::string scriptLiteral(std::string_view text, std::string_view joiner = {});

}  // namespace tw
