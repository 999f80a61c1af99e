#pragma once
// The function tables of each part of the library; registry.cpp joins them
// into the one table the engine looks names up in.
#include <span>

#include "vbs/builtins.h"

namespace tw::vbs::lib {

std::span<const BuiltinFunction> stringFunctions();
std::span<const BuiltinFunction> mathFunctions();
std::span<const BuiltinFunction> inspectionFunctions();
std::span<const BuiltinFunction> dateFunctions();
std::span<const BuiltinFunction> formatFunctions();

}  // namespace tw::vbs::lib
