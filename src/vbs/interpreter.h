#pragma once
// What the interpreter's parts share: the call frame and the helpers on
// values, variables and loops used by the instruction handlers.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>

#include "automation/text.h"
#include "automation/variant_ops.h"
#include "vbs/objects.h"
#include "vbs/runtime.h"

namespace tw::vbs {

using DynLocals = std::unordered_map<std::string, std::unique_ptr<Variant>, NoCaseHash, NoCaseEqual>;

struct Frame {
  Proc* proc;
  const Instr* code;
  const Instr* ip;  // the call instruction while a callee runs
  Variant* locals;
  Variant** refs;
  Variant* stack;
  Variant** refStack;
  Variant* sp;
  Frame* caller;
  Frame* scope;  // the procedure whose variables Execute'd code reaches
  ScriptObject* me;
  ModuleState* module;
  DynLocals* dyn;
  FrameArena::Mark mark;
  size_t lockBase;
  uint16_t unlockCount;
  bool resumeNext;
  bool entry;
  bool discard;
};

namespace vm {

// Deepest script call nesting; "Out of stack space" beyond it.
constexpr int32_t kMaxFrames = 4000;
// Interpreter loops inside each other (host calls back, default members of
// script objects, Class_Initialize...), each using the C stack.
constexpr int32_t kMaxNesting = 160;
constexpr size_t kMaxCStack = 3 * 1024 * 1024;
constexpr int32_t kTickInterval = 2048;
constexpr int32_t kMissingArg = static_cast<int32_t>(0x80020004u);
// Longest text the engine builds; longer ones are "Out of memory".
constexpr size_t kMaxStringBytes = size_t{1} << 27;

inline void checkLength(size_t n) {
  if (n > kMaxStringBytes) raise(kErrOutOfMemory);
}

inline const Variant& emptyVariant() {
  static const Variant empty;
  return empty;
}

[[noreturn]] inline void raiseNamed(int32_t number, std::string_view name) {
  Error e(number);
  e.setSubject(std::string(name));
  throw e;
}

// dst = v without the out-of-line paths of Variant's assignment.
[[gnu::always_inline]] inline void setValue(Variant& dst, Variant&& v) {
  dst.clear();
  new (&dst) Variant(std::move(v));
}

// Slots from the stack top up hold no text, array or object (whatever pops
// a value clears it or moves it out), so a push constructs in place.
[[gnu::always_inline]] inline void pushCopy(Variant* sp, const Variant& v) { new (sp) Variant(v); }

[[gnu::always_inline]] inline bool smallInt(const Variant& v, int64_t& out) {
  VarType t = v.type();
  if (t == vtLong) {
    out = v.rawLong();
    return true;
  }
  if (t == vtInteger) {
    out = v.rawInteger();
    return true;
  }
  return false;
}

// Result of + - * on Integer/Long operands: Integer when both were and it
// fits, then Long, then Double.
inline Variant intResult(int64_t r, bool bothInteger) {
  if (bothInteger && r >= -32768 && r <= 32767) return Variant::integer(static_cast<int16_t>(r));
  if (r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max())
    return Variant(static_cast<int>(r));  // the inline constructor makes a Long
  return Variant(static_cast<double>(r));
}

// Numbers stored over a number, Empty, Null or Boolean: there is nothing to
// release, so they are constructed in place.
[[gnu::always_inline]] inline void overwriteNumber(Variant& dst, double v) { new (&dst) Variant(v); }
[[gnu::always_inline]] inline void overwriteNumber(Variant& dst, int32_t v) { new (&dst) Variant(static_cast<int>(v)); }

// intResult stored over a number in place.
[[gnu::always_inline]] inline void putIntResult(Variant& dst, int64_t r, bool bothInteger) {
  if (bothInteger && r >= -32768 && r <= 32767) {
    new (&dst) Variant(Variant::integer(static_cast<int16_t>(r)));
  } else if (r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max()) {
    overwriteNumber(dst, static_cast<int32_t>(r));
  } else {
    overwriteNumber(dst, static_cast<double>(r));
  }
}

// Integer, Long or Double operands, at least one a Double: plain double
// arithmetic gives what the general operators give.
inline bool doubleOperands(const Variant& l, const Variant& r, double& x, double& y) {
  VarType a = l.type(), b = r.type();
  if (a != vtDouble && b != vtDouble) return false;
  if (a == vtDouble) {
    x = l.rawDouble();
  } else if (a == vtInteger) {
    x = l.rawInteger();
  } else if (a == vtLong) {
    x = l.rawLong();
  } else {
    return false;
  }
  if (b == vtDouble) {
    y = r.rawDouble();
  } else if (b == vtInteger) {
    y = r.rawInteger();
  } else if (b == vtLong) {
    y = r.rawLong();
  } else {
    return false;
  }
  return true;
}

inline bool numericValue(const Variant& v, double& out) {
  switch (v.type()) {
    case vtInteger:
      out = v.rawInteger();
      return true;
    case vtLong:
      out = v.rawLong();
      return true;
    case vtDouble:
      out = v.rawDouble();
      return true;
    case vtSingle:
      out = v.rawSingle();
      return true;
    case vtByte:
      out = v.rawByte();
      return true;
    default:
      return false;
  }
}

// l = l op r for + - * / \ Mod: Integer, Long and Double operands without
// the general operators, which handle everything else.
enum class Arith { Add, Sub, Mul };
template <Arith A>
[[gnu::always_inline]] inline void arith(Variant& l, const Variant& r) {
  int64_t a, b;
  if (smallInt(l, a) && smallInt(r, b)) {
    int64_t v = A == Arith::Add ? a + b : A == Arith::Sub ? a - b : a * b;
    putIntResult(l, v, l.type() == vtInteger && r.type() == vtInteger);
    return;
  }
  double x, y;
  if (doubleOperands(l, r, x, y)) {
    double v = A == Arith::Add ? x + y : A == Arith::Sub ? x - y : x * y;
    if (std::isfinite(v)) {
      overwriteNumber(l, v);
      return;
    }
  }
  l = A == Arith::Add ? add(l, r) : A == Arith::Sub ? subtract(l, r) : multiply(l, r);
}

[[gnu::always_inline]] inline void arithDivide(Variant& l, const Variant& r) {
  int64_t a, b;
  if (smallInt(l, a) && smallInt(r, b) && b != 0) {
    overwriteNumber(l, static_cast<double>(a) / static_cast<double>(b));
    return;
  }
  double x, y;
  if (doubleOperands(l, r, x, y) && y != 0 && std::isfinite(x / y)) {
    overwriteNumber(l, x / y);
    return;
  }
  l = divide(l, r);
}

// Integer division and Mod: Integer when both operands are Integer.
template <bool IsMod>
[[gnu::always_inline]] inline void arithIntDivide(Variant& l, const Variant& r) {
  int64_t a, b;
  if (smallInt(l, a) && smallInt(r, b) && b != 0 && b != -1) {
    // Both fit 32 bits and b is not -1: 32-bit division, the quicker one.
    int32_t x = static_cast<int32_t>(a), y = static_cast<int32_t>(b);
    putIntResult(l, IsMod ? x % y : x / y, l.type() == vtInteger && r.type() == vtInteger);
    return;
  }
  l = IsMod ? modulo(l, r) : intDivide(l, r);
}

// The text of an operand of &: a string as it is, an Integer or Long as its
// digits written into buf. False for anything else (the general operator).
[[gnu::always_inline]] inline bool concatText(const Variant& v, char (&buf)[16], std::string_view& out) {
  if (v.isString()) {
    out = v.rawString();
    return true;
  }
  int64_t n;
  if (!smallInt(v, n)) return false;
  char* end = std::to_chars(buf, buf + sizeof buf, n).ptr;
  out = std::string_view(buf, static_cast<size_t>(end - buf));
  return true;
}

// A text compared with a numeric literal is read as a number.
inline void literalCompare(Variant& text) {
  if (!text.isString()) return;
  double d;
  if (!parseNumber(text.rawString(), d)) raise(kErrTypeMismatch);
  text = Variant(d);
}

// Comparison of the operands of = <> < > <= >=: -1, 0 or 1, or
// kCompareNull. k as in the comparison instructions (literal operands).
int compareOther(Variant& l, const Variant& r, uint8_t k);
[[gnu::always_inline]] inline int compareOperands(Variant& l, const Variant& r, uint8_t k) {
  int64_t a, b;
  if (smallInt(l, a) && smallInt(r, b)) return a < b ? -1 : a > b ? 1 : 0;
  double x, y;
  if (numericValue(l, x) && numericValue(r, y)) {
    if ((l.type() == vtSingle && r.type() == vtDouble) || (l.type() == vtDouble && r.type() == vtSingle)) {
      x = static_cast<float>(x);
      y = static_cast<float>(y);
    }
    return x < y ? -1 : x > y ? 1 : 0;
  }
  return compareOther(l, r, k);
}

// What a comparison instruction yields for a comparison result.
[[gnu::always_inline]] inline bool comparisonHolds(OpCode op, int cmp) {
  switch (op) {
    case OpCode::Eq:
    case OpCode::EqK:
      return cmp == 0;
    case OpCode::Ne:
    case OpCode::NeK:
      return cmp != 0;
    case OpCode::Lt:
    case OpCode::LtK:
      return cmp < 0;
    case OpCode::Gt:
    case OpCode::GtK:
      return cmp > 0;
    case OpCode::Le:
    case OpCode::LeK:
      return cmp <= 0;
    default:
      return cmp >= 0;
  }
}

// l = l compared with r, by a comparison instruction.
[[gnu::always_inline]] inline void compareInPlace(Variant& l, const Variant& r, const Instr& in) {
  int cmp = compareOperands(l, r, in.k);
  if (cmp == kCompareNull) {
    l = Variant::null();
  } else {
    setValue(l, Variant(comparisonHolds(in.op, cmp)));
  }
}

// Integer indexes of an element access.
struct Indexes {
  int32_t small[8];
  std::vector<int32_t> big;
  std::span<const int32_t> view;
  Indexes(const Variant* args, int n) {
    int32_t* out = small;
    if (n > 8) {
      big.resize(static_cast<size_t>(n));
      out = big.data();
    }
    for (int i = 0; i < n; ++i) {
      const Variant& a = args[i];
      out[i] = a.type() == vtInteger ? a.rawInteger() : a.type() == vtLong ? a.rawLong() : a.toLong();
    }
    view = std::span<const int32_t>(out, static_cast<size_t>(n));
  }
};

// Most elements an array made by Dim or ReDim may have.
constexpr uint64_t kMaxArrayElements = uint64_t{1} << 25;

inline std::vector<std::pair<int32_t, int32_t>> boundsOf(const Variant* args, int n) {
  std::vector<std::pair<int32_t, int32_t>> b;
  b.reserve(static_cast<size_t>(n));
  uint64_t total = 1;
  for (int i = 0; i < n; ++i) {
    const Variant& a = args[i];
    if (a.isNull()) raise(kErrInvalidNull);
    int32_t upper = a.toLong();
    if (upper < -1) raise(kErrSubscript);
    total *= static_cast<uint64_t>(upper + 1);
    if (total > kMaxArrayElements) raise(kErrOutOfMemory);
    b.emplace_back(0, upper);
  }
  return b;
}

// For loop bounds are numbers; texts are read as numbers.
inline Variant loopNumber(Variant v) {
  switch (v.type()) {
    case vtEmpty:
      return Variant::integer(0);
    case vtNull:
      raise(kErrInvalidNull);
    case vtString: {
      double d;
      if (!parseNumber(v.rawString(), d)) raise(kErrTypeMismatch);
      return Variant(d);
    }
    case vtInteger:
    case vtLong:
    case vtDouble:
    case vtSingle:
    case vtCurrency:
    case vtByte:
    case vtDate:
    case vtBoolean:
    case vtDecimal:
      return v;
    default:
      raise(kErrTypeMismatch);
  }
}

inline bool stepNegative(const Variant& step) {
  int64_t i;
  if (smallInt(step, i)) return i < 0;
  return isTrue(lessThan(step, Variant::integer(0)));
}

inline bool withinLimit(const Variant& v, const Variant& limit, bool negative) {
  int64_t a, b;
  if (smallInt(v, a) && smallInt(limit, b)) return negative ? a >= b : a <= b;
  double x, y;
  if (numericValue(v, x) && numericValue(limit, y)) return negative ? x >= y : x <= y;
  CompareResult c = compare(v, limit);
  if (c == kCompareNull) raise(kErrInvalidNull);
  return negative ? c >= 0 : c <= 0;
}

inline bool conditionTrue(const Variant& v) {
  if (v.type() == vtBoolean) return v.rawBool();
  return isTrue(v);
}

inline bool resolveHost(Runtime& rt, GlobalEntry& e) {
  if (e.hostGeneration == rt.hostGeneration()) return false;
  for (const Runtime::HostObject& h : rt.hostObjects()) {
    if (equalsNoCase(h.name, e.name)) {
      e.kind = EntryKind::HostObject;
      e.value = Variant(h.object);
      return true;
    }
  }
  for (const Runtime::HostObject& h : rt.hostObjects()) {
    if (!h.addMembers) continue;
    DispId id = h.object->memberId(e.name);
    if (id != kDispIdUnknown) {
      e.kind = EntryKind::HostMember;
      e.value = Variant(h.object);
      e.member = id;
      return true;
    }
  }
  e.hostGeneration = rt.hostGeneration();
  return false;
}

enum class Access { Read, Write, Ref };

// The variable behind a global name, or null when the name is a procedure
// or a host member (the caller calls it).
inline Variant* globalVariable(Runtime& rt, Frame* f, int32_t a, uint8_t kind, int32_t fallback,
                               Access access) {
  GlobalEntry& e = f->module->entry(a);
  for (;;) {
    switch (e.kind) {
      case EntryKind::Variable:
        return &e.value;
      case EntryKind::Constant:
      case EntryKind::HostObject:
        if (access == Access::Write) raiseNamed(kErrIllegalAssignment, e.name);
        return &e.value;
      case EntryKind::Procedure:
      case EntryKind::HostMember:
        return nullptr;
      case EntryKind::Undefined:
        if (resolveHost(rt, e)) continue;
        if (kind == kVarGlobalP) {
          if (fallback >= 0) return &f->locals[fallback];
          Frame* s = f->scope;
          if (s->dyn) {
            auto it = s->dyn->find(e.name);
            if (it != s->dyn->end()) return it->second.get();
          }
          if (f->proc->optionExplicit) raiseNamed(kErrUndefinedVariable, e.name);
          if (access == Access::Read) return const_cast<Variant*>(&emptyVariant());
          if (!s->dyn) s->dyn = new DynLocals;
          auto& slot = (*s->dyn)[e.name];
          slot = std::make_unique<Variant>();
          return slot.get();
        }
        if (f->proc->optionExplicit) raiseNamed(kErrUndefinedVariable, e.name);
        if (access == Access::Read) return const_cast<Variant*>(&emptyVariant());
        e.kind = EntryKind::Variable;
        return &e.value;
    }
  }
}

// Any variable operand. Null only for global procedures and host members.
[[gnu::always_inline]] inline Variant* variable(Runtime& rt, Frame* f, uint8_t kind, int32_t a,
                                                int32_t fallback, Access access) {
  switch (kind) {
    case kVarLocal:
      return &f->locals[a];
    case kVarRef:
      return f->refs[a];
    case kVarUp:
      return &f->scope->locals[a];
    case kVarUpRef:
      return f->scope->refs[a];
    case kVarField:
      return &f->me->field(a);
    default: {
      GlobalEntry& e = f->module->entry(a);
      if (e.kind == EntryKind::Variable) return &e.value;
      return globalVariable(rt, f, a, kind, fallback, access);
    }
  }
}

inline int32_t forFallback(const Proc& p, int32_t pc) {
  auto it =
      std::lower_bound(p.forFallbacks.begin(), p.forFallbacks.end(), std::pair<int32_t, int32_t>(pc, -1));
  if (it != p.forFallbacks.end() && it->first == pc) return it->second;
  return -1;
}

// Writes ByRef arguments back after a host object's member changed them.
inline void writeBack(Variant* args, Variant** refs, const CallSite* site, int n) {
  if (!site || !site->refMask) return;
  for (int i = 0; i < n && i < 64; ++i) {
    if (!((site->refMask >> i) & 1) || !refs[i]) continue;
    if (!args[i].identical(*refs[i])) *refs[i] = args[i];
  }
}

inline void clearSlots(Variant* from, int n) {
  for (int i = 0; i < n; ++i) from[i].clear();
}

// Binds call arguments to a new frame's parameters.
inline void bindArgs(Frame* nf, Variant* args, Variant** refs, uint64_t mask, int n) {
  Proc& p = *nf->proc;
  if (n != p.nParams) raiseNamed(kErrWrongArgCount, p.name);
  const uint8_t* byRef = p.byRef.data();
  Variant* locals = nf->locals;
  for (int i = 0; i < n; ++i) {
    if (byRef[i]) {
      if (i < 64 && ((mask >> i) & 1) && refs[i]) {
        nf->refs[i] = refs[i];
        args[i].clear();
        continue;
      }
      nf->refs[i] = &locals[i];
    }
    // The new frame's slots are Empty: nothing to release.
    new (&locals[i]) Variant(std::move(args[i]));
  }
}

}  // namespace vm

[[gnu::always_inline]] inline Frame* Runtime::newFrame(Proc& proc, ModuleState& mod, ScriptObject* me, Frame* caller) {
  if (frameDepth_ >= vm::kMaxFrames) raise(kErrOutOfStack);
  size_t nVars = static_cast<size_t>(proc.nLocals + proc.maxStack);
  size_t nPtrs = static_cast<size_t>(proc.nParams + proc.maxStack);
  FrameArena::Mark m = arena_.mark();
  size_t head = (sizeof(Frame) + 15) & ~size_t{15};
  char* mem = static_cast<char*>(arena_.allocate(head + nVars * sizeof(Variant) + nPtrs * sizeof(Variant*)));
  Frame* f = new (mem) Frame;
  Variant* vars = reinterpret_cast<Variant*>(mem + head);
  // Every slot starts Empty: all bits zero. A loop rather than memset: most
  // frames are a few slots, where the library call costs more than the work.
  for (size_t i = 0; i < nVars; ++i) new (&vars[i]) Variant();
  Variant** ptrs = reinterpret_cast<Variant**>(mem + head + nVars * sizeof(Variant));
  f->proc = &proc;
  f->code = proc.code.data();
  f->ip = f->code;
  f->locals = vars;
  f->stack = vars + proc.nLocals;
  f->sp = f->stack;
  f->refs = ptrs;
  f->refStack = ptrs + proc.nParams;
  for (int32_t i = 0; i < proc.nParams; ++i) f->refs[i] = nullptr;
  f->caller = caller;
  f->scope = f;
  f->me = me;
  f->module = &mod;
  f->dyn = nullptr;
  f->mark = m;
  f->lockBase = locks_.size();
  f->unlockCount = 0;
  f->resumeNext = false;
  f->entry = false;
  f->discard = false;
  proc.addRef();
  if (me) me->addRef();
  ++frameDepth_;
  return f;
}

// The frame's stack holds nothing by now: statements leave it empty (Select
// Case and With keep their values in hidden variables), and errors clear it
// before frames are dropped. Only the variables are destroyed.
[[gnu::always_inline]] inline void Runtime::freeFrame(Frame* f) noexcept {
  if (locks_.size() > f->lockBase) unlockTo(f->lockBase);
  // Destroying values may run Class_Terminate: the frame's memory stays
  // reserved meanwhile, so that code gets frames above it.
  for (Variant* v = f->locals; v < f->stack; ++v) v->~Variant();
  if (f->dyn) delete f->dyn;
  if (f->me) f->me->release();
  FrameArena::Mark m = f->mark;
  Proc* proc = f->proc;
  f->~Frame();
  --frameDepth_;
  arena_.release(m);
  proc->release();
}

[[gnu::always_inline]] inline Frame* Runtime::enter(Frame* caller, Proc& proc, ModuleState& mod, ScriptObject* me, Variant* args, int n,
                      uint64_t refMask, uint16_t elemRefs, bool discard) {
  Frame* nf = newFrame(proc, mod, me, caller);
  try {
    vm::bindArgs(nf, args, caller->refStack + (args - caller->stack), refMask, n);
  } catch (...) {
    freeFrame(nf);
    throw;
  }
  nf->discard = discard;
  nf->unlockCount = elemRefs;
  return nf;
}

inline void Runtime::tick() {
  if (--ticks_ <= 0) checkTimeout();
}

}  // namespace tw::vbs
