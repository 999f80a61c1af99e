#pragma once
// The VBScript built-in library as the engine sees it: functions by name,
// constants by name, and the objects CreateObject can make.
#include <cstdint>
#include <span>
#include <string_view>

#include "automation/dispatch.h"
#include "automation/variant.h"

namespace tw::vbs {

// Per-engine state the library functions use.
struct RuntimeState {
  int32_t locale = 1033;       // SetLocale / GetLocale
  uint32_t rndSeed = 0x50000;  // Rnd / Randomize
  float lastRnd = 0.0f;
};

using BuiltinFn = Variant (*)(RuntimeState&, Args args);

struct BuiltinFunction {
  std::string_view name;
  int8_t minArgs;
  int8_t maxArgs;  // -1: any number (Array)
  BuiltinFn fn;
};

struct BuiltinConstant {
  std::string_view name;
  Variant (*value)();
};

// Every library function (Len, Mid, FormatNumber, ...) except those the
// compiler handles itself (Eval, Execute, ExecuteGlobal, GetRef).
std::span<const BuiltinFunction> builtinFunctions();
// vbCrLf, vbTextCompare, vbLongDate, ... and True/False/Nothing/Empty/Null are
// not here: those are keywords.
std::span<const BuiltinConstant> builtinConstants();
const BuiltinConstant* findConstant(std::string_view name);  // any letter case
const BuiltinFunction* findBuiltin(std::string_view name);  // any letter case

// CreateObject: "Scripting.Dictionary", "VBScript.RegExp",
// "Scripting.FileSystemObject". Raises 429 for any other name.
Ref<Dispatch> createObject(std::string_view progId);

}  // namespace tw::vbs
