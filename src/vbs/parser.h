#pragma once
// The VBScript parser: builds the syntax tree of a compilation unit, or
// raises CompileError with VBScript's number and the position of the fault.
#include <string_view>

#include "vbs/ast.h"

namespace tw::vbs {

// A whole unit: statements, procedures and classes.
Program parseProgram(std::string_view source);
// One expression and nothing else (Eval).
ExprPtr parseExpression(std::string_view source);

}  // namespace tw::vbs
