#pragma once
// The compiler of one procedure's code and the state it shares with the
// unit compiler: statements, expressions and names to bytecode.
#include <string>
#include <unordered_map>
#include <vector>

#include "automation/text.h"
#include "vbs/compiler.h"

namespace tw::vbs::compiling {

constexpr int32_t kMaxArgs = 60000;
constexpr int32_t kMaxSlots = 60000;

bool isNumericLiteral(const Expr& e);
// "Variable uses an Automation type not supported in VBScript"
inline constexpr int32_t kErrUnsupportedType = 458;
// Values an expression of this shape may hold objects; operators never do.
bool mayBeObject(const Expr& e);
// The literal value of a Const declaration: a literal with signs.
Variant constantValue(const Expr& e);

// Unit-wide state: declarations and the names they bind.
struct UnitState {
  ModuleState& mod;
  Ref<SourceText> source;
  bool optionExplicit = false;
  CompiledUnit unit;
  // Names the unit declares at script level, for compile-time resolution.
  enum class Decl : uint8_t { Variable, Constant, Procedure };
  struct Declared {
    Decl kind;
    Variant value;  // constants
    bool fixedArray = false;
  };
  std::unordered_map<std::string, Declared, NoCaseHash, NoCaseEqual> declared;
  std::unordered_map<std::string, int32_t, NoCaseHash, NoCaseEqual> classNames;

  UnitState(ModuleState& m, Ref<SourceText> s) : mod(m), source(std::move(s)) {}
};

// What a name means at the place it is used.
struct Binding {
  enum Kind : uint8_t {
    Variable,  // vk/a/b
    Constant,  // value
    Member,    // method or property of Me's class: member
    Builtin,   // fn
    Err,       // the Err object
    Special,   // Eval (0), Execute (1), ExecuteGlobal (2), GetRef (3): special
  } kind = Variable;
  VarKind vk = kVarLocal;
  int32_t a = 0;
  int32_t b = -1;
  bool fixedArray = false;
  bool knownVariable = false;  // certainly a variable (not a procedure)
  Variant value;
  int32_t member = -1;
  int32_t fn = -1;
  int32_t special = 0;
};

struct LocalInfo {
  int32_t slot = 0;
  bool byRef = false;
  bool isConst = false;
  Variant value;
  bool fixedArray = false;
  bool isReturn = false;  // the function's own name: its return value
  std::vector<int32_t> bounds;
};

using NameMap = std::unordered_map<std::string, LocalInfo, NoCaseHash, NoCaseEqual>;

enum class Scope : uint8_t {
  Global,        // script-level code of a unit or global snippet
  Procedure,     // a Sub, Function or Property
  LocalSnippet,  // Execute'd text or Eval inside a procedure
};

class ProcCompiler {
 public:
  ProcCompiler(UnitState& u, Proc& proc, Scope scope, ClassDef* cls, const Proc* outer)
      : u_(u), proc_(proc), scope_(scope), cls_(cls) {
    proc_.cls = cls;
    proc_.source = u.source;
    proc_.optionExplicit = u.optionExplicit;
    if (outer) {
      for (const LocalName& ln : outer->locals) {
        LocalInfo li;
        li.slot = ln.slot;
        li.byRef = ln.byRef;
        outer_.emplace(ln.name, li);
      }
    }
  }

  // ---- Entry points

  void compileProcedure(const ProcDecl& d);

  void compileGlobal(const StmtList& body) {
    block(body);
    finish(SourcePos{0, 0});
  }

  void compileLocalSnippet(const StmtList& body);

  void compileExpression(Expr& e);

 private:
  // ---- Emission

  int32_t here() const { return static_cast<int32_t>(proc_.code.size()); }

  int32_t emit(OpCode op, int delta, uint8_t k = 0, uint16_t n = 0, int32_t a = 0, int32_t b = 0);
  // Makes room for values an instruction pushes beyond its net effect.
  void reserve(int extra) { maxDepth_ = std::max(maxDepth_, depth_ + extra); }

  void finish(SourcePos endPos);

  int32_t constIndex(const Variant& v);

  int32_t nameIndex(std::string_view n) {
    auto [it, added] = nameIndexes_.try_emplace(std::string(n), static_cast<int32_t>(proc_.names.size()));
    if (added) proc_.names.emplace_back(n);
    return it->second;
  }

  int32_t newSite(std::string_view n);

  int32_t hidden(int count) {
    int32_t s = nextSlot_;
    nextSlot_ += count;
    return s;
  }

  [[noreturn]] void fail(int32_t number, SourcePos p) { throw CompileError(number, p); }

  // ---- Declarations inside a procedure

  void declareLocal(const VarDecl& v);

  void declareLocals(const StmtList& body);

  void declareIn(const Stmt& s);

  void implicitName(const std::string& n);

  void implicitIn(const Stmt& s);

  template <class F>
  static void forChildren(const Stmt& s, F f) {
    for (const StmtPtr& c : s.body) f(*c);
    for (const StmtPtr& c : s.elseBody) f(*c);
    for (const IfBranch& b : s.branches)
      for (const StmtPtr& c : b.body) f(*c);
    for (const CaseClause& cc : s.cases)
      for (const StmtPtr& c : cc.body) f(*c);
  }

  void collectSnippetDims(const StmtList& body, std::vector<std::pair<std::string, const VarDecl*>>& out);

  // Arrays of a Dim statement, made when it runs; true when there were any.
  bool dimArrays(const Stmt& s);
  // CBool, CByte, CCur, CDate, CDbl, CInt, CLng, CSng, CStr.
  static bool isConversion(std::string_view name);

  // ---- Name resolution

  // With arguments, a function's own name calls it again.
  Binding resolve(const std::string& n, bool callee = false);

  // ---- Statements

  void block(const StmtList& body) {
    for (const StmtPtr& s : body) statement(*s);
  }

  void simpleRange(int32_t start) { proc_.resumes.push_back({start, here(), here()}); }

  void statement(const Stmt& s);

  // target = value / Set target = value.
  void assign(const Expr& target, const Expr& value, bool isSet);

  // The right side of an assignment: a value for Let, an object for Set.
  void rhs(const Expr& value, bool isSet);

  // s = s & a & b ...: appends to s in place.
  bool tryAppend(const Binding& b, const std::string& name, const Expr& value);

  void storeVariable(const Binding& b);

  void loadVariable(const Binding& b);
  void fuseLoad(int32_t load);

  // The object of a member expression: its target, or the With object.
  void objectOf(const Expr& member);

  void checkArgCount(int n, SourcePos p) {
    if (n > kMaxArgs) fail(kErrCOutOfMemory, p);
  }

  void callStatement(const Expr& target);

  void memberCall(const Expr& callee, const std::vector<ExprPtr>& args, bool statement);

  // A name with arguments: a procedure call, an array element, a builtin.
  void nameCall(const std::string& name, const std::vector<ExprPtr>& args, bool statement, SourcePos pos);

  // Arguments passed by value.
  void valueArgs(const std::vector<ExprPtr>& args);

  // Arguments of a call that may bind ByRef parameters: plain variables and
  // array elements go with a reference. Returns the count.
  int refArgs(const std::vector<ExprPtr>& args, int32_t site);

  void redim(const Stmt& s);

  // Statements after a condition that failed under On Error Resume Next run
  // as if it had been true: the next statement is the first of the block.
  void conditionRange(int32_t start) { proc_.resumes.push_back({start, here(), here()}); }

  void jumpTo(int32_t at, int32_t target) { proc_.code[static_cast<size_t>(at)].a = target; }

  void ifStatement(const Stmt& s);

  void condition(const Expr& e) { expr(e); }

  void selectStatement(const Stmt& s);

  // The loop variable of For / For Each.
  Binding loopVariable(const Expr& v) {
    Binding b = resolve(v.name);
    if (b.kind != Binding::Variable) fail(kErrCInvalidForVariable, v.pos);
    return b;
  }

  void forStatement(const Stmt& s);

  // For loops over a name that is global only if declared when the loop
  // runs keep the procedure's own slot for it on the side: the
  // instruction's fields are all taken.
  void varFallback(const Binding& var, int32_t at) {
    if (var.vk == kVarGlobalP && var.b >= 0) proc_.forFallbacks.push_back({at, var.b});
  }

  void forEachStatement(const Stmt& s);

  void doStatement(const Stmt& s);

  void whileStatement(const Stmt& s);

  void exitStatement(const Stmt& s);

  void withStatement(const Stmt& s);

  // ---- Expressions

  void expr(const Expr& e);

  static bool isLiteralOperand(const Expr& e) {
    return isNumericLiteral(e) ||
           (e.kind == ExprKind::Unary && e.op == Op::Neg && isNumericLiteral(*e.target));
  }

  void binary(const Expr& e);

  // constant: index of the literal right operand, or -1 when it is on the stack.
  void operation(const Expr& e, int32_t constant);
  // The value of a literal operand (with a sign); false for anything else.
  static bool literalOperand(const Expr& e, Variant& out);

  void name(const Expr& e);

 private:
  struct LoopInfo {
    bool isFor;
    std::vector<int32_t> exits;
    bool isWhileWend = false;
  };

  UnitState& u_;
  Proc& proc_;
  std::unordered_map<std::string, int32_t> constIndexes_;
  std::unordered_map<std::string, int32_t> nameIndexes_;
  Scope scope_;
  ClassDef* cls_;
  NameMap locals_;
  NameMap outer_;
  NameMap implicit_;
  int32_t nextSlot_ = 0;
  int depth_ = 0;
  int maxDepth_ = 0;
  std::vector<LoopInfo> loops_;
  std::vector<int32_t> withSlots_;
};

}  // namespace tw::vbs::compiling
