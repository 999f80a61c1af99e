#pragma once
// Compiles syntax trees to procedures of bytecode for one module.
#include <string_view>
#include <vector>

#include "vbs/ast.h"
#include "vbs/bytecode.h"
#include "vbs/runtime.h"

namespace tw::vbs {

// Declarations of a unit, applied to the module when it is installed.
struct CompiledUnit {
  Ref<Proc> code;  // script-level statements (or the snippet)
  std::vector<Ref<Proc>> procs;
  std::vector<Ref<ClassDef>> classes;
  struct Dim {
    int32_t entry;
    bool fixedArray;
    std::vector<int32_t> bounds;
  };
  std::vector<Dim> dims;
  struct Const {
    int32_t entry;
    Variant value;
  };
  std::vector<Const> consts;
};

// A unit added to a module (AddCode, ExecuteGlobal, ExecuteStatement).
CompiledUnit compileUnit(Program& prog, ModuleState& mod, Ref<SourceText> source);

// Execute'd text inside a running procedure: its names reach the
// procedure's variables (context) and those of Me's class.
CompiledUnit compileLocalSnippet(Program& prog, ModuleState& mod, const Proc& context,
                                 Ref<SourceText> source);

// An Eval expression, at script level (context null) or inside a procedure.
Ref<Proc> compileExpression(Expr& expr, ModuleState& mod, const Proc* context, Ref<SourceText> source);

}  // namespace tw::vbs
