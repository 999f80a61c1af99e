#include "vbs/compiler.h"

#include <algorithm>
#include <cassert>

#include "automation/variant_ops.h"
#include "vbs/builtins.h"
#include "vbs/proc_compiler.h"

namespace tw::vbs {

namespace compiling {

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

// ---- Procedures: entry points, emission and declarations

void ProcCompiler::compileProcedure(const ProcDecl& d) {
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
  block(d.body);
  finish(d.endLine > 0 ? SourcePos{d.endLine, 1} : d.pos);
}

void ProcCompiler::compileLocalSnippet(const StmtList& body) {
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

void ProcCompiler::compileExpression(Expr& e) {
  proc_.retSlot = nextSlot_++;
  proc_.lines.push_back({0, e.pos});
  int32_t start = here();
  expr(e);
  emit(OpCode::StLoc, -1, 0, 0, proc_.retSlot);
  proc_.resumes.push_back({start, here(), here()});
  finish(e.pos);
}

int32_t ProcCompiler::emit(OpCode op, int delta, uint8_t k, uint16_t n, int32_t a, int32_t b) {
  proc_.code.push_back(Instr{op, k, n, a, b});
  depth_ += delta;
  assert(depth_ >= 0);
  maxDepth_ = std::max(maxDepth_, depth_);
  return here() - 1;
}

void ProcCompiler::finish(SourcePos endPos) {
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

int32_t ProcCompiler::constIndex(const Variant& v) {
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

int32_t ProcCompiler::newSite(std::string_view n) {
  CallSite s;
  s.name = nameIndex(n);
  proc_.sites.push_back(s);
  return static_cast<int32_t>(proc_.sites.size() - 1);
}

void ProcCompiler::declareLocal(const VarDecl& v) {
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

void ProcCompiler::declareLocals(const StmtList& body) {
  for (const StmtPtr& s : body) declareIn(*s);
  // Names assigned without a declaration become local variables, unless
  // a script-level variable of that name exists when the code runs.
  if (!u_.optionExplicit) {
    for (const StmtPtr& s : body) implicitIn(*s);
  }
}

void ProcCompiler::declareIn(const Stmt& s) {
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

void ProcCompiler::implicitName(const std::string& n) {
  if (locals_.count(n) || implicit_.count(n)) return;
  Binding b = resolve(n);
  if (b.kind != Binding::Variable || (b.vk != kVarGlobalP)) return;
  if (b.knownVariable) return;
  LocalInfo li;
  li.slot = nextSlot_++;
  implicit_.emplace(n, li);
}

void ProcCompiler::implicitIn(const Stmt& s) {
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

void ProcCompiler::collectSnippetDims(const StmtList& body,
                                      std::vector<std::pair<std::string, const VarDecl*>>& out) {
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

}  // namespace compiling

namespace {

using namespace compiling;

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
