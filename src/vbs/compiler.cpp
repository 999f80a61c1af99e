#include "vbs/compiler.h"

#include <algorithm>
#include <cassert>

#include "automation/text.h"
#include "automation/variant_ops.h"
#include "vbs/builtins.h"

namespace tw::vbs {

namespace {

constexpr int32_t kMaxArgs = 60000;
constexpr int32_t kMaxSlots = 60000;

bool isNumericLiteral(const Expr& e) {
  if (e.kind != ExprKind::Literal) return false;
  switch (e.value.type()) {
    case vtInteger:
    case vtLong:
    case vtDouble:
    case vtSingle:
    case vtCurrency:
    case vtByte:
      return true;
    default:
      return false;
  }
}

// Values an expression of this shape may hold objects; operators never do.
bool mayBeObject(const Expr& e) {
  switch (e.kind) {
    case ExprKind::Name:
    case ExprKind::Member:
    case ExprKind::Call:
    case ExprKind::Me:
    case ExprKind::New:
      return true;
    case ExprKind::Paren:
      return mayBeObject(*e.target);
    case ExprKind::Literal:
      return e.value.isObject();
    default:
      return false;
  }
}

// The literal value of a Const declaration: a literal with signs.
Variant constantValue(const Expr& e) {
  if (e.kind == ExprKind::Literal) return e.value;
  if (e.kind == ExprKind::Paren) return constantValue(*e.target);
  if (e.kind == ExprKind::Unary) {
    Variant v = constantValue(*e.target);
    if (e.op == Op::Neg) return negate(v);
    return v;
  }
  throw CompileError(kErrCExpectedLiteral, e.pos);
}

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

  void compileProcedure(const ProcDecl& d) {
    for (const Param& p : d.params) {
      if (locals_.count(p.name)) throw CompileError(kErrCNameRedefined, p.pos);
      LocalInfo li;
      li.slot = nextSlot_++;
      li.byRef = !p.byVal;
      locals_.emplace(p.name, li);
      proc_.byRef.push_back(li.byRef ? 1 : 0);
    }
    proc_.nParams = static_cast<int32_t>(d.params.size());
    if (d.kind == ProcKind::Function || d.kind == ProcKind::PropertyGet) {
      proc_.retSlot = nextSlot_++;
      if (!locals_.count(d.name)) {
        LocalInfo li;
        li.slot = proc_.retSlot;
        li.isReturn = true;
        locals_.emplace(d.name, li);
      }
    }
    declareLocals(d.body);
    emitArrayInits();
    block(d.body);
    finish(d.endLine > 0 ? SourcePos{d.endLine, 1} : d.pos);
  }

  void compileGlobal(const StmtList& body) {
    block(body);
    finish(SourcePos{0, 0});
  }

  void compileLocalSnippet(const StmtList& body) {
    // Names the snippet declares become variables of the running procedure.
    std::vector<std::pair<std::string, const VarDecl*>> dims;
    collectSnippetDims(body, dims);
    for (auto& [name, vd] : dims) {
      if (outer_.count(name)) continue;
      emit(OpCode::DeclDyn, 0, 0, 0, nameIndex(name));
      if (vd && !vd->bounds.empty()) {
        for (const ExprPtr& b : vd->bounds) expr(*b);
        emit(OpCode::InitArr, -static_cast<int>(vd->bounds.size()), kVarGlobalP,
             static_cast<uint16_t>(vd->bounds.size()), u_.mod.intern(name), -1);
      }
    }
    block(body);
    finish(SourcePos{0, 0});
  }

  void compileExpression(Expr& e) {
    proc_.retSlot = nextSlot_++;
    proc_.lines.push_back({0, e.pos});
    int32_t start = here();
    expr(e);
    emit(OpCode::StLoc, -1, 0, 0, proc_.retSlot);
    proc_.resumes.push_back({start, here(), here()});
    finish(e.pos);
  }

 private:
  // ---- Emission

  int32_t here() const { return static_cast<int32_t>(proc_.code.size()); }

  int32_t emit(OpCode op, int delta, uint8_t k = 0, uint16_t n = 0, int32_t a = 0, int32_t b = 0) {
    proc_.code.push_back(Instr{op, k, n, a, b});
    depth_ += delta;
    assert(depth_ >= 0);
    maxDepth_ = std::max(maxDepth_, depth_);
    return here() - 1;
  }
  // Makes room for values an instruction pushes beyond its net effect.
  void reserve(int extra) { maxDepth_ = std::max(maxDepth_, depth_ + extra); }

  void finish(SourcePos endPos) {
    proc_.lines.push_back({here(), endPos});
    emit(OpCode::Ret, 0);
    std::stable_sort(proc_.lines.begin(), proc_.lines.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::stable_sort(proc_.resumes.begin(), proc_.resumes.end(),
                     [](const Proc::Resume& x, const Proc::Resume& y) { return x.start < y.start; });
    std::sort(proc_.forFallbacks.begin(), proc_.forFallbacks.end());
    proc_.nLocals = nextSlot_;
    proc_.maxStack = maxDepth_ + 2;
    if (proc_.nLocals > kMaxSlots) throw CompileError(kErrCOutOfMemory, endPos);
    // Names Execute and Eval can reach inside this procedure.
    for (auto& [name, li] : locals_) {
      if (li.isConst) continue;
      proc_.locals.push_back({name, li.slot, li.byRef});
    }
    for (auto& [name, li] : implicit_) proc_.locals.push_back({name, li.slot, false});
  }

  int32_t constIndex(const Variant& v) {
    // Numbers and texts that repeat share one entry.
    if (v.isObject() || v.isArray()) {
      proc_.consts.push_back(v);
      return static_cast<int32_t>(proc_.consts.size() - 1);
    }
    std::string key(1, static_cast<char>(v.type()));
    if (v.isString()) {
      key += v.rawString();
    } else {
      int64_t bits = v.rawCurrency();
      key.append(reinterpret_cast<const char*>(&bits), sizeof bits);
    }
    auto [it, added] = constIndexes_.try_emplace(std::move(key), static_cast<int32_t>(proc_.consts.size()));
    if (added) proc_.consts.push_back(v);
    return it->second;
  }

  int32_t nameIndex(std::string_view n) {
    auto [it, added] = nameIndexes_.try_emplace(std::string(n), static_cast<int32_t>(proc_.names.size()));
    if (added) proc_.names.emplace_back(n);
    return it->second;
  }

  int32_t newSite(std::string_view n) {
    CallSite s;
    s.name = nameIndex(n);
    proc_.sites.push_back(s);
    return static_cast<int32_t>(proc_.sites.size() - 1);
  }

  int32_t hidden(int count) {
    int32_t s = nextSlot_;
    nextSlot_ += count;
    return s;
  }

  [[noreturn]] void fail(int32_t number, SourcePos p) { throw CompileError(number, p); }

  // ---- Declarations inside a procedure

  void declareLocal(const VarDecl& v) {
    if (locals_.count(v.name)) fail(kErrCNameRedefined, v.pos);
    LocalInfo li;
    li.slot = nextSlot_++;
    if (!v.bounds.empty()) {
      li.fixedArray = true;
      for (const ExprPtr& b : v.bounds) li.bounds.push_back(constantValue(*b).toLong());
    } else if (v.isArray) {
      li.bounds.push_back(-2);  // Dim a(): an empty dynamic array
    }
    locals_.emplace(v.name, std::move(li));
  }

  void declareLocals(const StmtList& body) {
    for (const StmtPtr& s : body) declareIn(*s);
    // Names assigned without a declaration become local variables, unless
    // a script-level variable of that name exists when the code runs.
    if (!u_.optionExplicit) {
      for (const StmtPtr& s : body) implicitIn(*s);
    }
  }

  void declareIn(const Stmt& s) {
    switch (s.kind) {
      case StmtKind::Dim:
        for (const VarDecl& v : s.vars) declareLocal(v);
        break;
      case StmtKind::Const:
        for (const ConstDecl& c : s.consts) {
          if (locals_.count(c.name)) fail(kErrCNameRedefined, c.pos);
          LocalInfo li;
          li.isConst = true;
          li.value = constantValue(*c.value);
          locals_.emplace(c.name, std::move(li));
        }
        break;
      case StmtKind::ReDim:
        // ReDim declares the names it does not find, Option Explicit or not.
        for (const VarDecl& v : s.vars) {
          if (locals_.count(v.name)) continue;
          Binding b = resolve(v.name);
          if (b.kind == Binding::Variable && b.vk == kVarGlobalP && !b.knownVariable && b.b < 0 &&
              u_.mod.entry(b.a).kind == EntryKind::Undefined) {
            LocalInfo li;
            li.slot = nextSlot_++;
            locals_.emplace(v.name, li);
          }
        }
        break;
      default:
        forChildren(s, [this](const Stmt& c) { declareIn(c); });
        break;
    }
  }

  void implicitName(const std::string& n) {
    if (locals_.count(n) || implicit_.count(n)) return;
    Binding b = resolve(n);
    if (b.kind != Binding::Variable || (b.vk != kVarGlobalP)) return;
    if (b.knownVariable) return;
    LocalInfo li;
    li.slot = nextSlot_++;
    implicit_.emplace(n, li);
  }

  void implicitIn(const Stmt& s) {
    switch (s.kind) {
      case StmtKind::Assign:
      case StmtKind::Set:
        if (s.target->kind == ExprKind::Name) implicitName(s.target->name);
        break;
      case StmtKind::For:
      case StmtKind::ForEach:
        implicitName(s.target->name);
        break;
      case StmtKind::ReDim:
        for (const VarDecl& v : s.vars) implicitName(v.name);
        break;
      default:
        break;
    }
    forChildren(s, [this](const Stmt& c) { implicitIn(c); });
  }

  template <class F>
  static void forChildren(const Stmt& s, F f) {
    for (const StmtPtr& c : s.body) f(*c);
    for (const StmtPtr& c : s.elseBody) f(*c);
    for (const IfBranch& b : s.branches)
      for (const StmtPtr& c : b.body) f(*c);
    for (const CaseClause& cc : s.cases)
      for (const StmtPtr& c : cc.body) f(*c);
  }

  void collectSnippetDims(const StmtList& body, std::vector<std::pair<std::string, const VarDecl*>>& out) {
    for (const StmtPtr& s : body) {
      if (s->kind == StmtKind::Dim) {
        for (const VarDecl& v : s->vars) out.emplace_back(v.name, &v);
      } else if (s->kind == StmtKind::Const) {
        for (const ConstDecl& c : s->consts) out.emplace_back(c.name, nullptr);
      } else if (s->kind != StmtKind::Procedure && s->kind != StmtKind::Class) {
        forChildren(*s, [&](const Stmt& c) {
          if (c.kind == StmtKind::Dim)
            for (const VarDecl& v : c.vars) out.emplace_back(v.name, &v);
        });
      }
    }
  }

  void emitArrayInits() {
    for (auto& [name, li] : locals_) {
      if (li.isConst || li.bounds.empty()) continue;
      if (li.bounds.size() == 1 && li.bounds[0] == -2) {
        emit(OpCode::ReDim, 0, kVarLocal, 0, li.slot, 0);  // no bounds: empty array
        continue;
      }
      for (int32_t b : li.bounds) emit(OpCode::Const, 1, 0, 0, constIndex(Variant::long_(b)));
      emit(OpCode::InitArr, -static_cast<int>(li.bounds.size()), kVarLocal,
           static_cast<uint16_t>(li.bounds.size()), li.slot);
    }
  }

  // ---- Name resolution

  // With arguments, a function's own name calls it again.
  Binding resolve(const std::string& n, bool callee = false) {
    Binding b;
    if (auto it = locals_.find(n); it != locals_.end() && !(callee && it->second.isReturn)) {
      const LocalInfo& li = it->second;
      if (li.isConst) {
        b.kind = Binding::Constant;
        b.value = li.value;
        return b;
      }
      b.vk = li.byRef ? kVarRef : kVarLocal;
      b.a = li.slot;
      b.fixedArray = li.fixedArray;
      b.knownVariable = true;
      return b;
    }
    if (auto it = outer_.find(n); it != outer_.end()) {
      b.vk = it->second.byRef ? kVarUpRef : kVarUp;
      b.a = it->second.slot;
      b.knownVariable = true;
      return b;
    }
    if (cls_) {
      int32_t m = cls_->find(n);
      if (m >= 0) {
        const ClassMember& cm = cls_->members[static_cast<size_t>(m)];
        if (cm.kind == MemberKind::Field) {
          b.vk = kVarField;
          b.a = cm.field;
          b.fixedArray = cm.fixedArray;
          b.knownVariable = true;
        } else {
          b.kind = Binding::Member;
          b.member = m;
        }
        return b;
      }
    }
    // Script-level names declared by this unit or known to the module.
    VarKind gk = scope_ == Scope::Global ? kVarGlobal : kVarGlobalP;
    if (auto it = u_.declared.find(n); it != u_.declared.end()) {
      if (it->second.kind == UnitState::Decl::Constant) {
        b.kind = Binding::Constant;
        b.value = it->second.value;
        return b;
      }
      b.vk = gk;
      b.a = u_.mod.intern(n);
      b.knownVariable = it->second.kind == UnitState::Decl::Variable;
      b.fixedArray = it->second.fixedArray;
      return b;
    }
    int32_t existing = u_.mod.find(n);
    if (existing >= 0 && u_.mod.entry(existing).kind != EntryKind::Undefined) {
      const GlobalEntry& e = u_.mod.entry(existing);
      b.vk = gk;
      b.a = existing;
      b.knownVariable = e.kind == EntryKind::Variable;
      b.fixedArray = e.fixedArray;
      return b;
    }
    if (equalsNoCase(n, "err")) {
      b.kind = Binding::Err;
      return b;
    }
    static constexpr std::string_view kSpecial[] = {"eval", "execute", "executeglobal", "getref"};
    for (int i = 0; i < 4; ++i) {
      if (equalsNoCase(n, kSpecial[i])) {
        b.kind = Binding::Special;
        b.special = i;
        return b;
      }
    }
    for (const BuiltinConstant& c : builtinConstants()) {
      if (equalsNoCase(c.name, n)) {
        b.kind = Binding::Constant;
        b.value = c.value();
        return b;
      }
    }
    if (const BuiltinFunction* f = findBuiltin(n)) {
      b.kind = Binding::Builtin;
      b.fn = static_cast<int32_t>(f - builtinFunctions().data());
      return b;
    }
    b.vk = gk;
    b.a = u_.mod.intern(n);
    if (auto it = implicit_.find(n); it != implicit_.end()) b.b = it->second.slot;
    return b;
  }

  // ---- Statements

  void block(const StmtList& body) {
    for (const StmtPtr& s : body) statement(*s);
  }

  void simpleRange(int32_t start) { proc_.resumes.push_back({start, here(), here()}); }

  void statement(const Stmt& s) {
    assert(depth_ == 0);
    int32_t start = here();
    proc_.lines.push_back({start, s.pos});
    switch (s.kind) {
      case StmtKind::Assign:
      case StmtKind::Set:
        assign(*s.target, *s.value, s.kind == StmtKind::Set);
        simpleRange(start);
        break;
      case StmtKind::Call:
        callStatement(*s.target);
        simpleRange(start);
        break;
      case StmtKind::Dim:
        break;  // declared before the code runs
      case StmtKind::Const:
        if (scope_ == Scope::LocalSnippet) {
          for (const ConstDecl& c : s.consts) {
            emit(OpCode::Const, 1, 0, 0, constIndex(constantValue(*c.value)));
            emit(OpCode::StVar, -1, kVarGlobalP, 0, u_.mod.intern(c.name), -1);
          }
          simpleRange(start);
        }
        break;
      case StmtKind::ReDim:
        redim(s);
        simpleRange(start);
        break;
      case StmtKind::Erase:
        for (const ExprPtr& t : s.targets) {
          Binding b = resolve(t->name);
          if (b.kind != Binding::Variable) {
            emit(OpCode::Fail, 0, 0, 0, kErrTypeMismatch, nameIndex(t->name));
            continue;
          }
          emit(OpCode::Erase, 0, b.vk, b.fixedArray ? 1 : 0, b.a, b.b);
        }
        simpleRange(start);
        break;
      case StmtKind::If:
        ifStatement(s);
        break;
      case StmtKind::Select:
        selectStatement(s);
        break;
      case StmtKind::For:
        forStatement(s);
        break;
      case StmtKind::ForEach:
        forEachStatement(s);
        break;
      case StmtKind::Do:
        doStatement(s);
        break;
      case StmtKind::While:
        whileStatement(s);
        break;
      case StmtKind::Exit:
        exitStatement(s);
        simpleRange(start);
        break;
      case StmtKind::With:
        withStatement(s);
        break;
      case StmtKind::OnErrorResumeNext:
        emit(OpCode::OnErrResume, 0);
        simpleRange(start);
        break;
      case StmtKind::OnErrorGoto0:
        emit(OpCode::OnErrGoto0, 0);
        simpleRange(start);
        break;
      case StmtKind::OptionExplicit:
      case StmtKind::Stop:
        break;
      case StmtKind::Procedure:
      case StmtKind::Class:
        if (scope_ == Scope::Procedure) fail(kErrCSyntax, s.pos);
        break;  // compiled separately
    }
  }

  // target = value / Set target = value.
  void assign(const Expr& target, const Expr& value, bool isSet) {
    uint8_t setFlag = isSet ? kPutSet : 0;
    switch (target.kind) {
      case ExprKind::Name: {
        Binding b = resolve(target.name);
        if (b.kind == Binding::Variable) {
          if (!isSet && tryAppend(b, target.name, value)) return;
          rhs(value, isSet);
          storeVariable(b);
          return;
        }
        if (b.kind == Binding::Member) {
          const ClassMember& m = cls_->members[static_cast<size_t>(b.member)];
          if (m.kind == MemberKind::Property) {
            rhs(value, isSet);
            emit(OpCode::PutMe, -1, setFlag, 0, b.member);
            return;
          }
        }
        rhs(value, isSet);
        emit(OpCode::Pop, -1);
        emit(OpCode::Fail, 0, 0, 0, kErrIllegalAssignment, nameIndex(target.name));
        return;
      }
      case ExprKind::Member: {
        objectOf(target);
        rhs(value, isSet);
        emit(OpCode::PutMbr, -2, setFlag, 0, 0, newSite(target.name));
        return;
      }
      case ExprKind::Call: {
        const Expr& callee = *target.target;
        int n = static_cast<int>(target.args.size());
        checkArgCount(n, target.pos);
        if (callee.kind == ExprKind::Name) {
          Binding b = resolve(callee.name);
          if (b.kind == Binding::Variable) {
            valueArgs(target.args);
            rhs(value, isSet);
            emit(OpCode::StIndex, -(n + 1), b.vk, static_cast<uint16_t>(n), b.a, (b.b << 1) | setFlag);
            return;
          }
          if (b.kind == Binding::Member) {
            valueArgs(target.args);
            rhs(value, isSet);
            emit(OpCode::PutMe, -(n + 1), setFlag, static_cast<uint16_t>(n), b.member);
            return;
          }
          valueArgs(target.args);
          rhs(value, isSet);
          emit(OpCode::Fail, 0, 0, 0, kErrIllegalAssignment, nameIndex(callee.name));
          for (int i = 0; i <= n; ++i) emit(OpCode::Pop, -1);
          return;
        }
        if (callee.kind == ExprKind::Member) {
          objectOf(callee);
          valueArgs(target.args);
          rhs(value, isSet);
          emit(OpCode::PutMbr, -(n + 2), setFlag, static_cast<uint16_t>(n), 0, newSite(callee.name));
          return;
        }
        expr(callee);
        valueArgs(target.args);
        rhs(value, isSet);
        emit(OpCode::PutDef, -(n + 2), setFlag, static_cast<uint16_t>(n));
        return;
      }
      default:
        fail(kErrCExpectedStatement, target.pos);
    }
  }

  // The right side of an assignment: a value for Let, an object for Set.
  void rhs(const Expr& value, bool isSet) {
    expr(value);
    if (isSet) {
      if (!(value.kind == ExprKind::Literal && value.value.isObject()) && value.kind != ExprKind::New)
        emit(OpCode::SetChk, 0);
    } else if (mayBeObject(value)) {
      emit(OpCode::LetVal, 0);
    }
  }

  // s = s & a & b ...: appends to s in place.
  bool tryAppend(const Binding& b, const std::string& name, const Expr& value) {
    if (value.kind != ExprKind::Binary || value.op != Op::Concat) return false;
    std::vector<const Expr*> parts;
    const Expr* e = &value;
    while (e->kind == ExprKind::Binary && e->op == Op::Concat) {
      parts.push_back(e->rhs.get());
      e = e->target.get();
    }
    if (e->kind != ExprKind::Name || !equalsNoCase(e->name, name)) return false;
    std::reverse(parts.begin(), parts.end());
    for (const Expr* p : parts) expr(*p);
    int n = static_cast<int>(parts.size());
    checkArgCount(n, value.pos);
    emit(OpCode::Append, -n, b.vk, static_cast<uint16_t>(n), b.a, b.b);
    return true;
  }

  void storeVariable(const Binding& b) {
    switch (b.vk) {
      case kVarLocal:
        emit(OpCode::StLoc, -1, 0, 0, b.a);
        break;
      case kVarRef:
        emit(OpCode::StRef, -1, 0, 0, b.a);
        break;
      case kVarField:
        emit(OpCode::StFld, -1, 0, 0, b.a);
        break;
      case kVarGlobal:
      case kVarGlobalP:
        emit(OpCode::StGlb, -1, b.vk, 0, b.a, b.b);
        break;
      default:
        emit(OpCode::StVar, -1, b.vk, 0, b.a, b.b);
        break;
    }
  }

  void loadVariable(const Binding& b) {
    switch (b.vk) {
      case kVarLocal:
        emit(OpCode::LdLoc, 1, 0, 0, b.a);
        break;
      case kVarRef:
        emit(OpCode::LdRef, 1, 0, 0, b.a);
        break;
      case kVarField:
        emit(OpCode::LdFld, 1, 0, 0, b.a);
        break;
      default:
        emit(b.vk == kVarGlobal || b.vk == kVarGlobalP ? OpCode::LdGlb : OpCode::LdVar, 1, b.vk, 0, b.a, b.b);
        reserve(2);
        break;
    }
  }

  // The object of a member expression: its target, or the With object.
  void objectOf(const Expr& member) {
    if (member.target) {
      expr(*member.target);
    } else {
      if (withSlots_.empty()) {
        // ".x" outside any With fails when it runs, not when compiled.
        emit(OpCode::Fail, 0, 0, 0, kErrInvalidReference, nameIndex(member.name));
        emit(OpCode::Const, 1, 0, 0, constIndex(Variant()));
        return;
      }
      emit(OpCode::LdLoc, 1, 0, 0, withSlots_.back());
    }
  }

  void checkArgCount(int n, SourcePos p) {
    if (n > kMaxArgs) fail(kErrCOutOfMemory, p);
  }

  void callStatement(const Expr& target) {
    switch (target.kind) {
      case ExprKind::Name:
        nameCall(target.name, {}, true, target.pos);
        return;
      case ExprKind::Member:
        objectOf(target);
        emit(OpCode::GetMbr, -1, kCallStatement, 0, 0, newSite(target.name));
        return;
      case ExprKind::Call: {
        const Expr& callee = *target.target;
        if (callee.kind == ExprKind::Name) {
          nameCall(callee.name, target.args, true, target.pos);
          return;
        }
        if (callee.kind == ExprKind::Member) {
          memberCall(callee, target.args, true);
          return;
        }
        expr(target);
        emit(OpCode::Pop, -1);
        return;
      }
      default:
        expr(target);
        emit(OpCode::Pop, -1);
        return;
    }
  }

  void memberCall(const Expr& callee, const std::vector<ExprPtr>& args, bool statement) {
    objectOf(callee);
    int32_t site = newSite(callee.name);
    int n = refArgs(args, site);
    emit(OpCode::GetMbr, statement ? -(n + 1) : -n, statement ? kCallStatement : 0, static_cast<uint16_t>(n),
         0, site);
    reserve(2);
  }

  // A name with arguments: a procedure call, an array element, a builtin.
  void nameCall(const std::string& name, const std::vector<ExprPtr>& args, bool statement, SourcePos pos) {
    Binding b = resolve(name, true);
    int n = static_cast<int>(args.size());
    checkArgCount(n, pos);
    switch (b.kind) {
      case Binding::Variable:
        if (b.knownVariable || b.vk == kVarField || b.vk == kVarLocal || b.vk == kVarRef || b.vk == kVarUp ||
            b.vk == kVarUpRef) {
          valueArgs(args);
          emit(OpCode::Index, -n + 1, b.vk, static_cast<uint16_t>(n), b.a, b.b);
          reserve(2);
          if (statement) emit(OpCode::Pop, -1);
          return;
        }
        {
          int32_t site = newSite(name);
          refArgs(args, site);
          emit(OpCode::CallGlb, statement ? -n : -n + 1, statement ? kCallStatement : 0,
               static_cast<uint16_t>(n), b.a, site);
          proc_.sites[static_cast<size_t>(site)].fallback = b.b;
          reserve(2);
        }
        return;
      case Binding::Constant:
        emit(OpCode::Const, 1, 0, 0, constIndex(b.value));
        if (n > 0) {
          valueArgs(args);
          emit(OpCode::CallDef, -n, 0, static_cast<uint16_t>(n));
        }
        if (statement) emit(OpCode::Pop, -1);
        return;
      case Binding::Member: {
        int32_t site = newSite(name);
        refArgs(args, site);
        emit(OpCode::CallMe, statement ? -n : -n + 1, statement ? kCallStatement : 0,
             static_cast<uint16_t>(n), b.member, site);
        reserve(2);
        return;
      }
      case Binding::Builtin:
        valueArgs(args);
        emit(OpCode::CallBi, -n + 1, 0, static_cast<uint16_t>(n), b.fn);
        reserve(1);
        if (statement) emit(OpCode::Pop, -1);
        return;
      case Binding::Err:
        emit(OpCode::LdErr, 1);
        if (n > 0) {
          valueArgs(args);
          emit(OpCode::CallDef, -n, 0, static_cast<uint16_t>(n));
        }
        if (statement) emit(OpCode::Pop, -1);
        return;
      case Binding::Special: {
        if (n != 1 || args[0]->kind == ExprKind::Missing) {
          valueArgs(args);
          emit(OpCode::Fail, 0, 0, 0, kErrWrongArgCount, nameIndex(name));
          for (int i = 0; i < n; ++i) emit(OpCode::Pop, -1);
          if (!statement) emit(OpCode::Const, 1, 0, 0, constIndex(Variant()));
          return;
        }
        expr(*args[0]);
        if (b.special == 3) {
          emit(OpCode::GetRef, 0);
        } else {
          emit(OpCode::Eval, 0, static_cast<uint8_t>(b.special));
          reserve(2);
        }
        if (statement) emit(OpCode::Pop, -1);
        return;
      }
    }
  }

  // Arguments passed by value.
  void valueArgs(const std::vector<ExprPtr>& args) {
    for (const ExprPtr& a : args) {
      if (a->kind == ExprKind::Missing) {
        emit(OpCode::Missing, 1);
      } else {
        expr(*a);
      }
    }
  }

  // Arguments of a call that may bind ByRef parameters: plain variables and
  // array elements go with a reference. Returns the count.
  int refArgs(const std::vector<ExprPtr>& args, int32_t site) {
    int i = 0;
    for (const ExprPtr& a : args) {
      bool ref = false;
      if (i < 64) {
        if (a->kind == ExprKind::Name) {
          Binding b = resolve(a->name);
          if (b.kind == Binding::Variable) {
            emit(OpCode::ArgVar, 1, b.vk, 0, b.a, b.b);
            reserve(2);
            ref = true;
          }
        } else if (a->kind == ExprKind::Call && a->target->kind == ExprKind::Name && !a->args.empty()) {
          Binding b = resolve(a->target->name);
          bool anyMissing = false;
          for (const ExprPtr& x : a->args) anyMissing |= x->kind == ExprKind::Missing;
          if (b.kind == Binding::Variable && b.knownVariable && !anyMissing) {
            int n = static_cast<int>(a->args.size());
            valueArgs(a->args);
            emit(OpCode::ArgElem, -n + 1, b.vk, static_cast<uint16_t>(n), b.a, b.b);
            reserve(2);
            proc_.sites[static_cast<size_t>(site)].elemRefs++;
            ref = true;
          }
        }
      }
      if (ref) {
        proc_.sites[static_cast<size_t>(site)].refMask |= uint64_t{1} << i;
      } else if (a->kind == ExprKind::Missing) {
        emit(OpCode::Missing, 1);
      } else {
        expr(*a);
      }
      ++i;
    }
    return i;
  }

  void redim(const Stmt& s) {
    for (const VarDecl& v : s.vars) {
      Binding b = resolve(v.name);
      int n = static_cast<int>(v.bounds.size());
      for (const ExprPtr& e : v.bounds) expr(*e);
      if (b.kind != Binding::Variable) {
        for (int i = 0; i < n; ++i) emit(OpCode::Pop, -1);
        emit(OpCode::Fail, 0, 0, 0, kErrIllegalAssignment, nameIndex(v.name));
        continue;
      }
      int32_t flags = (s.preserve ? 1 : 0) | (b.fixedArray ? 2 : 0);
      // The local used when the name is not global goes in the upper bits.
      emit(OpCode::ReDim, -n, b.vk, static_cast<uint16_t>(n), b.a, flags | ((b.b + 1) << 2));
    }
  }

  // Statements after a condition that failed under On Error Resume Next run
  // as if it had been true: the next statement is the first of the block.
  void conditionRange(int32_t start) { proc_.resumes.push_back({start, here(), here()}); }

  void jumpTo(int32_t at, int32_t target) { proc_.code[static_cast<size_t>(at)].a = target; }

  void ifStatement(const Stmt& s) {
    std::vector<int32_t> ends;
    bool first = true;
    for (const IfBranch& br : s.branches) {
      int32_t start = here();
      if (!first) proc_.lines.push_back({start, br.cond->pos});
      first = false;
      condition(*br.cond);
      int32_t jf = emit(OpCode::JmpF, -1);
      conditionRange(start);
      block(br.body);
      ends.push_back(emit(OpCode::Jmp, 0));
      jumpTo(jf, here());
    }
    if (s.hasElse) block(s.elseBody);
    for (int32_t j : ends) jumpTo(j, here());
  }

  void condition(const Expr& e) { expr(e); }

  void selectStatement(const Stmt& s) {
    int32_t start = here();
    int32_t h = hidden(1);
    expr(*s.value);
    if (mayBeObject(*s.value)) emit(OpCode::LetVal, 0);
    emit(OpCode::StLoc, -1, 0, 0, h);
    std::vector<int32_t> endJumps;
    std::vector<int32_t> headerFix;  // resume ranges to point at the end
    proc_.resumes.push_back({start, here(), -1});
    headerFix.push_back(static_cast<int32_t>(proc_.resumes.size() - 1));
    // Tests, each jumping to its body.
    std::vector<std::vector<int32_t>> bodyJumps(s.cases.size());
    for (size_t i = 0; i < s.cases.size(); ++i) {
      const CaseClause& c = s.cases[i];
      for (const ExprPtr& v : c.values) {
        int32_t ts = here();
        proc_.lines.push_back({ts, c.pos});
        emit(OpCode::LdLoc, 1, 0, 0, h);
        expr(*v);
        uint8_t lit =
            isNumericLiteral(*v) || (v->kind == ExprKind::Unary && isNumericLiteral(*v->target)) ? 2 : 0;
        emit(OpCode::Eq, -1, lit);
        bodyJumps[i].push_back(emit(OpCode::JmpT, -1));
        proc_.resumes.push_back({ts, here(), -1});
        headerFix.push_back(static_cast<int32_t>(proc_.resumes.size() - 1));
      }
    }
    int32_t toElse = emit(OpCode::Jmp, 0);
    for (size_t i = 0; i < s.cases.size(); ++i) {
      for (int32_t j : bodyJumps[i]) jumpTo(j, here());
      block(s.cases[i].body);
      endJumps.push_back(emit(OpCode::Jmp, 0));
    }
    jumpTo(toElse, here());
    if (s.hasElse) block(s.elseBody);
    int32_t end = here();
    for (int32_t j : endJumps) jumpTo(j, end);
    for (int32_t r : headerFix) proc_.resumes[static_cast<size_t>(r)].next = end;
    emit(OpCode::ClearLoc, 0, 0, 1, h);
  }

  // The loop variable of For / For Each.
  Binding loopVariable(const Expr& v) {
    Binding b = resolve(v.name);
    if (b.kind != Binding::Variable) fail(kErrCInvalidForVariable, v.pos);
    return b;
  }

  void forStatement(const Stmt& s) {
    int32_t start = here();
    Binding var = loopVariable(*s.target);
    int32_t h = hidden(2);
    expr(*s.value);
    if (mayBeObject(*s.value)) emit(OpCode::LetVal, 0);
    expr(*s.limit);
    if (mayBeObject(*s.limit)) emit(OpCode::LetVal, 0);
    if (s.step) {
      expr(*s.step);
      if (mayBeObject(*s.step)) emit(OpCode::LetVal, 0);
    } else {
      emit(OpCode::Const, 1, 0, 0, constIndex(Variant::integer(1)));
    }
    int32_t init = emit(OpCode::ForInit, -3, var.vk, static_cast<uint16_t>(h), var.a, 0);
    proc_.resumes.push_back({start, here(), -1});
    size_t headerRange = proc_.resumes.size() - 1;
    int32_t body = here();
    loops_.push_back({true, {}});
    block(s.body);
    int32_t nextPc = here();
    proc_.lines.push_back({nextPc, s.pos});
    emit(OpCode::ForNext, 0, var.vk, static_cast<uint16_t>(h), var.a, body);
    proc_.resumes.push_back({nextPc, here(), -1});
    size_t nextRange = proc_.resumes.size() - 1;
    int32_t exit = here();
    emit(OpCode::ClearLoc, 0, 0, 2, h);
    proc_.code[static_cast<size_t>(init)].b = exit;
    proc_.resumes[headerRange].next = exit;
    proc_.resumes[nextRange].next = exit;
    for (int32_t j : loops_.back().exits) jumpTo(j, exit);
    loops_.pop_back();
    varFallback(var, init);
    varFallback(var, nextPc);
  }

  // For loops over a name that is global only if declared when the loop
  // runs keep the procedure's own slot for it on the side: the
  // instruction's fields are all taken.
  void varFallback(const Binding& var, int32_t at) {
    if (var.vk == kVarGlobalP && var.b >= 0) proc_.forFallbacks.push_back({at, var.b});
  }

  void forEachStatement(const Stmt& s) {
    int32_t start = here();
    Binding var = loopVariable(*s.target);
    int32_t h = hidden(2);
    expr(*s.value);
    int32_t init = emit(OpCode::EachInit, -1, var.vk, static_cast<uint16_t>(h), var.a, 0);
    proc_.resumes.push_back({start, here(), -1});
    size_t headerRange = proc_.resumes.size() - 1;
    int32_t body = here();
    loops_.push_back({true, {}});
    block(s.body);
    int32_t nextPc = here();
    proc_.lines.push_back({nextPc, s.pos});
    emit(OpCode::EachNext, 0, var.vk, static_cast<uint16_t>(h), var.a, body);
    proc_.resumes.push_back({nextPc, here(), -1});
    size_t nextRange = proc_.resumes.size() - 1;
    int32_t exit = here();
    emit(OpCode::ClearLoc, 0, 0, 2, h);
    proc_.code[static_cast<size_t>(init)].b = exit;
    proc_.resumes[headerRange].next = exit;
    proc_.resumes[nextRange].next = exit;
    for (int32_t j : loops_.back().exits) jumpTo(j, exit);
    loops_.pop_back();
    varFallback(var, init);
    varFallback(var, nextPc);
  }

  void doStatement(const Stmt& s) {
    int32_t top = here();
    int32_t exitJump = -1;
    if (s.cond && s.testFirst) {
      condition(*s.cond);
      exitJump = emit(s.until ? OpCode::JmpT : OpCode::JmpF, -1);
      conditionRange(top);
    }
    loops_.push_back({false, {}});
    block(s.body);
    if (s.cond && !s.testFirst) {
      int32_t cs = here();
      proc_.lines.push_back({cs, s.cond->pos});
      condition(*s.cond);
      // Loop While c: back while true; Loop Until c: back while false.
      emit(OpCode::Loop, -1, s.until ? 2 : 1, 0, top);
      proc_.resumes.push_back({cs, here(), here()});
    } else {
      emit(OpCode::Loop, 0, 0, 0, top);
    }
    int32_t exit = here();
    if (exitJump >= 0) jumpTo(exitJump, exit);
    for (int32_t j : loops_.back().exits) jumpTo(j, exit);
    loops_.pop_back();
  }

  void whileStatement(const Stmt& s) {
    int32_t top = here();
    condition(*s.cond);
    int32_t exitJump = emit(OpCode::JmpF, -1);
    conditionRange(top);
    loops_.push_back({false, {}, true});
    block(s.body);
    emit(OpCode::Loop, 0, 0, 0, top);
    jumpTo(exitJump, here());
    loops_.pop_back();
  }

  void exitStatement(const Stmt& s) {
    switch (s.exitKind) {
      case ExitKind::Do:
      case ExitKind::For: {
        bool wantFor = s.exitKind == ExitKind::For;
        for (auto it = loops_.rbegin(); it != loops_.rend(); ++it) {
          if (it->isWhileWend) continue;
          if (it->isFor == wantFor) {
            it->exits.push_back(emit(OpCode::Jmp, 0));
            return;
          }
        }
        fail(kErrCInvalidExit, s.pos);
      }
      case ExitKind::Sub:
        if (proc_.type != ProcType::Sub) fail(kErrCInvalidExit, s.pos);
        emit(OpCode::Ret, 0);
        return;
      case ExitKind::Function:
        if (proc_.type != ProcType::Function) fail(kErrCInvalidExit, s.pos);
        emit(OpCode::Ret, 0);
        return;
      case ExitKind::Property:
        if (proc_.type != ProcType::PropertyGet && proc_.type != ProcType::PropertyLet &&
            proc_.type != ProcType::PropertySet)
          fail(kErrCInvalidExit, s.pos);
        emit(OpCode::Ret, 0);
        return;
    }
  }

  void withStatement(const Stmt& s) {
    int32_t start = here();
    int32_t h = hidden(1);
    expr(*s.value);
    emit(OpCode::StLoc, -1, 0, 0, h);
    simpleRange(start);
    withSlots_.push_back(h);
    block(s.body);
    withSlots_.pop_back();
    emit(OpCode::ClearLoc, 0, 0, 1, h);
  }

  // ---- Expressions

  void expr(const Expr& e) {
    switch (e.kind) {
      case ExprKind::Literal:
        emit(OpCode::Const, 1, 0, 0, constIndex(e.value));
        return;
      case ExprKind::Missing:
        emit(OpCode::Missing, 1);
        return;
      case ExprKind::Paren:
        expr(*e.target);
        return;
      case ExprKind::Me:
        if (!cls_) fail(kErrCInvalidMe, e.pos);
        emit(OpCode::LdMe, 1);
        return;
      case ExprKind::New:
        emit(OpCode::New, 1, 0, 0, 0, newSite(e.name));
        return;
      case ExprKind::Unary: {
        // Signs and Nots in a row are compiled without recursion.
        std::vector<Op> ops;
        const Expr* operand = &e;
        while (operand->kind == ExprKind::Unary &&
               !(operand->op == Op::Neg && isNumericLiteral(*operand->target))) {
          ops.push_back(operand->op);
          operand = operand->target.get();
        }
        if (operand->kind == ExprKind::Unary) {
          emit(OpCode::Const, 1, 0, 0, constIndex(negate(operand->target->value)));
        } else {
          expr(*operand);
        }
        for (auto it = ops.rbegin(); it != ops.rend(); ++it) {
          if (*it == Op::Neg) emit(OpCode::Neg, 0);
          if (*it == Op::Not) emit(OpCode::Not, 0);
        }
        return;
      }
      case ExprKind::Binary:
        binary(e);
        return;
      case ExprKind::Name:
        name(e);
        return;
      case ExprKind::Member:
        objectOf(e);
        emit(OpCode::GetMbr, 0, 0, 0, 0, newSite(e.name));
        reserve(2);
        return;
      case ExprKind::Call: {
        const Expr& callee = *e.target;
        int n = static_cast<int>(e.args.size());
        checkArgCount(n, e.pos);
        if (callee.kind == ExprKind::Name) {
          nameCall(callee.name, e.args, false, e.pos);
          return;
        }
        if (callee.kind == ExprKind::Member) {
          memberCall(callee, e.args, false);
          return;
        }
        expr(callee);
        valueArgs(e.args);
        emit(OpCode::CallDef, -n, 0, static_cast<uint16_t>(n));
        reserve(2);
        return;
      }
    }
  }

  static bool isLiteralOperand(const Expr& e) {
    return isNumericLiteral(e) ||
           (e.kind == ExprKind::Unary && e.op == Op::Neg && isNumericLiteral(*e.target));
  }

  void binary(const Expr& e) {
    if (e.op == Op::Concat) {
      std::vector<const Expr*> parts;
      const Expr* p = &e;
      while (p->kind == ExprKind::Binary && p->op == Op::Concat) {
        parts.push_back(p->rhs.get());
        p = p->target.get();
      }
      parts.push_back(p);
      std::reverse(parts.begin(), parts.end());
      for (const Expr* x : parts) expr(*x);
      int n = static_cast<int>(parts.size());
      checkArgCount(n, e.pos);
      if (n == 2) {
        emit(OpCode::Cat, -1);
      } else {
        emit(OpCode::CatN, -(n - 1), 0, static_cast<uint16_t>(n));
      }
      return;
    }
    // Down the left operands first: a chain a + b + c ... of any length is
    // compiled without recursion.
    std::vector<const Expr*> chain;
    const Expr* left = &e;
    while (left->kind == ExprKind::Binary && left->op != Op::Concat) {
      chain.push_back(left);
      left = left->target.get();
    }
    expr(*left);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      expr(*(*it)->rhs);
      operation(**it);
    }
  }

  void operation(const Expr& e) {
    OpCode op;
    uint8_t k = 0;
    switch (e.op) {
      case Op::Add:
        op = OpCode::Add;
        break;
      case Op::Sub:
        op = OpCode::Sub;
        break;
      case Op::Mul:
        op = OpCode::Mul;
        break;
      case Op::Div:
        op = OpCode::Div;
        break;
      case Op::IntDiv:
        op = OpCode::IntDiv;
        break;
      case Op::Mod:
        op = OpCode::Mod;
        break;
      case Op::Pow:
        op = OpCode::Pow;
        break;
      case Op::Eq:
        op = OpCode::Eq;
        break;
      case Op::Ne:
        op = OpCode::Ne;
        break;
      case Op::Lt:
        op = OpCode::Lt;
        break;
      case Op::Gt:
        op = OpCode::Gt;
        break;
      case Op::Le:
        op = OpCode::Le;
        break;
      case Op::Ge:
        op = OpCode::Ge;
        break;
      case Op::Is:
        op = OpCode::Is;
        break;
      case Op::And:
        op = OpCode::And;
        break;
      case Op::Or:
        op = OpCode::Or;
        break;
      case Op::Xor:
        op = OpCode::Xor;
        break;
      case Op::Eqv:
        op = OpCode::Eqv;
        break;
      case Op::Imp:
        op = OpCode::Imp;
        break;
      default:
        fail(kErrCSyntax, e.pos);
    }
    if (op >= OpCode::Eq && op <= OpCode::Ge) {
      if (isLiteralOperand(*e.target)) k |= 1;
      if (isLiteralOperand(*e.rhs)) k |= 2;
    }
    emit(op, -1, k);
  }

  void name(const Expr& e) {
    Binding b = resolve(e.name);
    switch (b.kind) {
      case Binding::Variable:
        loadVariable(b);
        return;
      case Binding::Constant:
        emit(OpCode::Const, 1, 0, 0, constIndex(b.value));
        return;
      case Binding::Member: {
        emit(OpCode::CallMe, 1, 0, 0, b.member, newSite(e.name));
        reserve(2);
        return;
      }
      case Binding::Builtin:
        emit(OpCode::CallBi, 1, 0, 0, b.fn);
        return;
      case Binding::Err:
        emit(OpCode::LdErr, 1);
        return;
      case Binding::Special:
        // Eval and friends without arguments.
        emit(OpCode::Fail, 0, 0, 0, kErrWrongArgCount, nameIndex(e.name));
        emit(OpCode::Const, 1, 0, 0, constIndex(Variant()));
        return;
    }
  }

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

// ---- Unit-level declarations

class UnitCompiler {
 public:
  UnitCompiler(ModuleState& mod, Ref<SourceText> source) : u_(mod, std::move(source)) {}

  CompiledUnit unit(Program& prog) {
    u_.optionExplicit = prog.optionExplicit;
    for (StmtPtr& s : prog.body) declare(*s, true);
    // Procedures and classes first: code anywhere in the unit may call them.
    for (auto& [decl, proc] : procs_) {
      ProcCompiler pc(u_, *proc, Scope::Procedure, nullptr, nullptr);
      pc.compileProcedure(*decl);
    }
    for (auto& [decl, cls] : classes_) compileClass(*decl, *cls);
    Ref<Proc> code = makeRef<Proc>();
    code->name = "(global code)";
    code->type = ProcType::GlobalCode;
    ProcCompiler pc(u_, *code, Scope::Global, nullptr, nullptr);
    pc.compileGlobal(prog.body);
    u_.unit.code = code;
    return std::move(u_.unit);
  }

  CompiledUnit localSnippet(Program& prog, const Proc& context) {
    u_.optionExplicit = prog.optionExplicit || context.optionExplicit;
    // Procedures and classes of the snippet are script-level.
    for (StmtPtr& s : prog.body) {
      if (s->kind == StmtKind::Procedure || s->kind == StmtKind::Class) declare(*s, false);
    }
    for (auto& [decl, proc] : procs_) {
      ProcCompiler pc(u_, *proc, Scope::Procedure, nullptr, nullptr);
      pc.compileProcedure(*decl);
    }
    for (auto& [decl, cls] : classes_) compileClass(*decl, *cls);
    Ref<Proc> code = makeRef<Proc>();
    code->name = "(execute)";
    code->type = ProcType::Snippet;
    ProcCompiler pc(u_, *code, Scope::LocalSnippet, context.cls, &context);
    pc.compileLocalSnippet(prog.body);
    u_.unit.code = code;
    return std::move(u_.unit);
  }

  Ref<Proc> expression(Expr& e, const Proc* context) {
    Ref<Proc> code = makeRef<Proc>();
    code->name = "(eval)";
    code->type = ProcType::Expression;
    if (context) u_.optionExplicit = context->optionExplicit;
    ProcCompiler pc(u_, *code, context ? Scope::LocalSnippet : Scope::Global,
                    context ? context->cls : nullptr, context);
    pc.compileExpression(e);
    return code;
  }

 private:
  void declareName(const std::string& n, SourcePos p, UnitState::Decl kind, Variant value = {},
                   bool fixed = false) {
    if (u_.declared.count(n)) throw CompileError(kErrCNameRedefined, p);
    u_.declared.emplace(n, UnitState::Declared{kind, std::move(value), fixed});
  }

  void declare(Stmt& s, bool topLevel) {
    switch (s.kind) {
      case StmtKind::Procedure: {
        ProcDecl& d = *s.proc;
        if (d.kind != ProcKind::Sub && d.kind != ProcKind::Function)
          throw CompileError(kErrCMustBeInClass, d.pos);
        // A procedure defined again replaces the earlier definition.
        if (auto it = u_.declared.find(d.name);
            it != u_.declared.end() && it->second.kind == UnitState::Decl::Procedure) {
          for (auto& [decl, proc] : procs_) {
            if (!equalsNoCase(proc->name, d.name)) continue;
            decl = &d;
            proc->isPublic = d.isPublic;
            proc->type = d.kind == ProcKind::Function ? ProcType::Function : ProcType::Sub;
            proc->nParams = static_cast<int32_t>(d.params.size());
          }
          return;
        }
        declareName(d.name, d.pos, UnitState::Decl::Procedure);
        Ref<Proc> p = makeRef<Proc>();
        p->name = d.name;
        p->type = d.kind == ProcKind::Function ? ProcType::Function : ProcType::Sub;
        p->isPublic = d.isPublic;
        p->nParams = static_cast<int32_t>(d.params.size());
        procs_.emplace_back(&d, p);
        u_.unit.procs.push_back(p);
        return;
      }
      case StmtKind::Class: {
        ClassDecl& c = *s.cls;
        if (u_.classNames.count(c.name)) throw CompileError(kErrCNameRedefined, c.pos);
        u_.classNames.emplace(c.name, 0);
        Ref<ClassDef> cls = makeRef<ClassDef>();
        cls->name = c.name;
        classes_.emplace_back(&c, cls);
        u_.unit.classes.push_back(cls);
        return;
      }
      case StmtKind::Dim:
        if (!topLevel) return;
        for (const VarDecl& v : s.vars) {
          declareName(v.name, v.pos, UnitState::Decl::Variable, {}, !v.bounds.empty());
          CompiledUnit::Dim d;
          d.entry = u_.mod.intern(v.name);
          d.fixedArray = !v.bounds.empty();
          for (const ExprPtr& b : v.bounds) d.bounds.push_back(constantValue(*b).toLong());
          if (v.isArray && v.bounds.empty()) d.bounds.push_back(-2);
          u_.unit.dims.push_back(std::move(d));
        }
        return;
      case StmtKind::ReDim:
        if (!topLevel) return;
        for (const VarDecl& v : s.vars) {
          if (u_.declared.count(v.name)) continue;
          int32_t existing = u_.mod.find(v.name);
          if (existing >= 0 && u_.mod.entry(existing).kind != EntryKind::Undefined) continue;
          declareName(v.name, v.pos, UnitState::Decl::Variable);
          u_.unit.dims.push_back({u_.mod.intern(v.name), false, {}});
        }
        return;
      case StmtKind::Const:
        if (!topLevel) return;
        for (const ConstDecl& c : s.consts) {
          Variant v = constantValue(*c.value);
          declareName(c.name, c.pos, UnitState::Decl::Constant, v);
          u_.unit.consts.push_back({u_.mod.intern(c.name), v});
        }
        return;
      default:
        for (StmtPtr& c : s.body) declare(*c, topLevel);
        for (StmtPtr& c : s.elseBody) declare(*c, topLevel);
        for (IfBranch& b : s.branches)
          for (StmtPtr& c : b.body) declare(*c, topLevel);
        for (CaseClause& cc : s.cases)
          for (StmtPtr& c : cc.body) declare(*c, topLevel);
        return;
    }
  }

  void compileClass(ClassDecl& d, ClassDef& cls) {
    auto addMember = [&](ClassMember m, SourcePos p) -> int32_t {
      if (cls.index.count(m.name)) throw CompileError(kErrCNameRedefined, p);
      cls.members.push_back(std::move(m));
      int32_t idx = static_cast<int32_t>(cls.members.size() - 1);
      cls.index.emplace(cls.members.back().name, idx);
      return idx;
    };
    for (FieldDecl& f : d.fields) {
      ClassMember m;
      m.name = f.var.name;
      m.kind = MemberKind::Field;
      m.isPublic = f.isPublic;
      m.field = cls.nFields++;
      m.fixedArray = !f.var.bounds.empty();
      for (const ExprPtr& b : f.var.bounds) m.bounds.push_back(constantValue(*b).toLong());
      if (f.var.isArray && f.var.bounds.empty()) m.bounds.push_back(-2);
      addMember(std::move(m), f.var.pos);
    }
    std::vector<std::pair<ProcDecl*, Ref<Proc>>> bodies;
    for (auto& pd : d.procs) {
      Ref<Proc> p = makeRef<Proc>();
      p->name = pd->name;
      p->isPublic = pd->isPublic;
      p->nParams = static_cast<int32_t>(pd->params.size());
      switch (pd->kind) {
        case ProcKind::Sub:
          p->type = ProcType::Sub;
          break;
        case ProcKind::Function:
          p->type = ProcType::Function;
          break;
        case ProcKind::PropertyGet:
          p->type = ProcType::PropertyGet;
          break;
        case ProcKind::PropertyLet:
          p->type = ProcType::PropertyLet;
          break;
        case ProcKind::PropertySet:
          p->type = ProcType::PropertySet;
          break;
      }
      int32_t idx;
      if (pd->kind == ProcKind::Sub || pd->kind == ProcKind::Function) {
        ClassMember m;
        m.name = pd->name;
        m.kind = MemberKind::Method;
        m.isPublic = pd->isPublic;
        m.method = p;
        idx = addMember(std::move(m), pd->pos);
        if (pd->kind == ProcKind::Sub &&
            (equalsNoCase(pd->name, "class_initialize") || equalsNoCase(pd->name, "class_terminate"))) {
          if (!pd->params.empty()) throw CompileError(kErrCInitTermArgs, pd->pos);
          if (equalsNoCase(pd->name, "class_initialize")) {
            cls.initialize = p;
          } else {
            cls.terminate = p;
          }
        }
      } else {
        idx = cls.find(pd->name);
        if (idx < 0) {
          ClassMember m;
          m.name = pd->name;
          m.kind = MemberKind::Property;
          m.isPublic = pd->isPublic;
          idx = addMember(std::move(m), pd->pos);
        }
        ClassMember& m = cls.members[static_cast<size_t>(idx)];
        if (m.kind != MemberKind::Property) throw CompileError(kErrCNameRedefined, pd->pos);
        Ref<Proc>* slot = pd->kind == ProcKind::PropertyGet   ? &m.get
                          : pd->kind == ProcKind::PropertyLet ? &m.let
                                                              : &m.set;
        if (*slot) throw CompileError(kErrCNameRedefined, pd->pos);
        *slot = p;
        if (pd->isPublic) m.isPublic = true;
      }
      if (pd->isDefault) {
        if (cls.defaultMember >= 0 && cls.defaultMember != idx)
          throw CompileError(kErrCMultipleDefault, pd->pos);
        cls.defaultMember = idx;
      }
      bodies.emplace_back(pd.get(), p);
    }
    for (auto& [pd, p] : bodies) {
      ProcCompiler pc(u_, *p, Scope::Procedure, &cls, nullptr);
      pc.compileProcedure(*pd);
    }
  }

  UnitState u_;
  std::vector<std::pair<ProcDecl*, Ref<Proc>>> procs_;
  std::vector<std::pair<ClassDecl*, Ref<ClassDef>>> classes_;
};

}  // namespace

CompiledUnit compileUnit(Program& prog, ModuleState& mod, Ref<SourceText> source) {
  return UnitCompiler(mod, std::move(source)).unit(prog);
}

CompiledUnit compileLocalSnippet(Program& prog, ModuleState& mod, const Proc& context,
                                 Ref<SourceText> source) {
  return UnitCompiler(mod, std::move(source)).localSnippet(prog, context);
}

Ref<Proc> compileExpression(Expr& expr, ModuleState& mod, const Proc* context, Ref<SourceText> source) {
  return UnitCompiler(mod, std::move(source)).expression(expr, context);
}

}  // namespace tw::vbs
