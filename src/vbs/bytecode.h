#pragma once
// Compiled form of VBScript: procedures as arrays of stack-machine
// instructions. Local variables live in frame slots resolved at compile time;
// script-level names live in the module's table of global entries, resolved
// to indexes at compile time as well. Only names a procedure cannot know when
// it is compiled (created later by ExecuteGlobal, host objects) are looked up
// while running, once, and the result kept in the entry.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "automation/dispatch.h"
#include "automation/refcounted.h"
#include "automation/text.h"
#include "automation/variant.h"
#include "vbs/ast.h"
#include "vbs/diagnostics.h"

namespace tw::vbs {

// Where a variable operand lives (Instr::k of variable instructions).
enum VarKind : uint8_t {
  kVarLocal = 0,  // slot of the frame
  kVarRef,        // ByRef parameter: the slot holds a pointer to the variable
  kVarUp,         // slot of the procedure an Execute/Eval snippet runs in
  kVarUpRef,      // ByRef parameter of that procedure
  kVarGlobal,     // module entry, from script-level code
  kVarGlobalP,    // module entry used inside a procedure: undeclared names
                  // become local variables of the running procedure
  kVarField,      // field of Me
};

enum class OpCode : uint8_t {
  Const,    // push consts[a]
  Pop,      // drop the top
  Missing,  // push an omitted argument
  LdLoc,    // push locals[a]
  StLoc,    // locals[a] = pop
  LdRef,    // push *refs[a]
  StRef,    // *refs[a] = pop
  LdFld,    // push Me.fields[a]
  StFld,    // Me.fields[a] = pop
  LdGlb,    // LdVar of a global entry (k, a), checked for a plain variable first
  StGlb,    // StVar of a global entry
  LdVar,    // push variable (k, a); a global procedure is called
  StVar,    // variable (k, a) = pop
  ArgVar,   // push variable (k, a) as an argument that may be passed ByRef
  ArgElem,  // pop n indexes; push element of variable (k, a) as a ByRef argument
  Index,    // pop n indexes; push element / default member of variable (k, a)
  StIndex,  // pop value and n indexes; store into element / default member (b: 1 Set)
  Erase,    // Erase variable (k, a); n: 1 for a fixed array
  ReDim,    // pop n bounds; ReDim variable (k, a) (b: bit 0 Preserve, bit 1 fixed array)
  InitArr,  // pop n bounds; variable (k, a) becomes a fixed array
  CallGlb,  // call entry a with n arguments; b: call site; k: kCallStatement
  CallMe,   // call member a of Me's class with n arguments; b: call site
  PutMe,    // pop value and n arguments; assign member a of Me (k: kPutSet)
  LdMe,     // push Me
  GetMbr,   // [object, n args] -> member site b
  PutMbr,   // [object, n args, value] -> assign member site b (k: kPutSet)
  CallDef,  // [value, n args] -> element or default member
  PutDef,   // [target, n args, value] -> assign element / default member
  New,      // push a new instance of class site b
  CallBi,   // builtin a with n arguments
  LdErr,    // push the Err object
  LetVal,   // top: an object becomes its default member's value
  SetChk,   // top must be an object (424)
  Neg,
  Not,
  Add,
  Sub,
  Mul,
  Div,
  IntDiv,
  Mod,
  Pow,
  Cat,
  CatN,    // concatenate n values
  Append,  // pop n values; variable (k, a) = variable & values, in place
  Eq,      // comparisons: k bit 0 / bit 1: left / right operand is a numeric literal
  Ne,
  Lt,
  Gt,
  Le,
  Ge,
  AddK,  // Add ... Ge with consts[b] as right operand
  SubK,
  MulK,
  DivK,
  IntDivK,
  ModK,
  EqK,
  NeK,
  LtK,
  GtK,
  LeK,
  GeK,
  // A variable load fused with the AddK, SubK or MulK right after it, which
  // stays in place: whenever the quick path does not apply, the load runs
  // as LdLoc / LdGlb and the next instruction on its own.
  LdLocAddK,
  LdLocSubK,
  LdLocMulK,
  LdGlbAddK,
  LdGlbSubK,
  LdGlbMulK,
  Is,
  And,
  Or,
  Xor,
  Eqv,
  Imp,
  Jmp,       // goto a
  JmpF,      // pop; goto a when false
  JmpT,      // pop; goto a when true
  Loop,      // goto a (backward: counts towards the time-out); k 1 / 2: pop,
             // only when true / false
  ForInit,   // pop step, limit, start; variable (k, a); hidden slots n, n+1; exit b
  ForNext,   // variable (k, a) += step; back to b while in range
  EachInit,  // pop collection; variable (k, a); hidden slots n, n+1; exit b
  EachNext,  // next item into variable (k, a); back to b while there is one
  ClearLoc,  // clear hidden slots a .. a+n-1
  Ret,
  OnErrResume,
  OnErrGoto0,
  Eval,     // pop text; k: 0 Eval, 1 Execute, 2 ExecuteGlobal
  GetRef,   // pop name; push a callable object
  DeclDyn,  // declare names[a] in the running procedure (Execute'd Dim)
  Fail,     // raise error a with names[b] ('Illegal assignment: x')
};

// Flags in Instr::k of call and store instructions.
inline constexpr uint8_t kCallStatement = 1;  // result unused: a Sub call
inline constexpr uint8_t kPutSet = 1;         // Set rather than Let

struct Instr {
  OpCode op;
  uint8_t k = 0;
  uint16_t n = 0;
  int32_t a = 0;
  int32_t b = 0;
};

// A call or member access: its name and, for member accesses, the member id
// found for the last object type seen.
struct CallSite {
  int32_t name = -1;          // Proc::names index
  uint64_t refMask = 0;       // arguments pushed with ArgVar/ArgElem (first 64)
  uint16_t elemRefs = 0;      // how many of them lock array elements
  const void* key = nullptr;  // class of the last object
  DispId id = kDispIdUnknown;
  int32_t fallback = -1;  // local slot for a name that turns out not global
};

struct SourceText : RefCounted {
  std::string text;
  std::string name;  // module name for messages
  // The line (1-based) without its line break.
  std::string line(int32_t n) const;
};

struct ClassDef;

enum class ProcType : uint8_t {
  Sub,
  Function,
  PropertyGet,
  PropertyLet,
  PropertySet,
  GlobalCode,  // script-level statements of one unit
  Snippet,     // Execute / ExecuteGlobal text
  Expression,  // Eval text: returns its value
};

struct LocalName {
  std::string name;
  int32_t slot;
  bool byRef;  // ByRef parameter: the slot holds a pointer
};

// A compiled procedure, method, unit of script-level code or snippet.
struct Proc : RefCounted {
  std::string name;
  ProcType type = ProcType::Sub;
  bool isPublic = true;
  bool optionExplicit = false;
  int32_t nParams = 0;
  std::vector<uint8_t> byRef;  // per parameter
  int32_t nLocals = 0;         // slots, parameters first
  int32_t retSlot = -1;        // return value (Function, Property Get, Expression)
  int32_t maxStack = 0;
  std::vector<Instr> code;
  std::vector<Variant> consts;
  std::vector<std::string> names;
  std::vector<CallSite> sites;
  std::vector<std::pair<int32_t, SourcePos>> lines;  // statement start pc -> position
  struct Resume {
    int32_t start, end, next;  // an error at pc in [start, end) continues at next
  };
  std::vector<Resume> resumes;
  std::vector<LocalName> locals;  // for Execute and Eval inside the procedure
  // For / For Each instructions (pc) over an undeclared name: the local slot
  // used while no script-level variable of that name exists.
  std::vector<std::pair<int32_t, int32_t>> forFallbacks;
  ClassDef* cls = nullptr;  // owning class of a method
  Ref<SourceText> source;

  SourcePos positionAt(int32_t pc) const;
  int32_t resumeAt(int32_t pc) const;
};

enum class MemberKind : uint8_t { Field, Method, Property };

struct ClassMember {
  std::string name;
  MemberKind kind = MemberKind::Field;
  bool isPublic = true;
  int32_t field = -1;       // Field: slot in the instance
  bool fixedArray = false;  // Field declared with bounds
  std::vector<int32_t> bounds;
  Ref<Proc> method;         // Method
  Ref<Proc> get, let, set;  // Property
};

// A script class. Member ids are positions + 1; 0 is the default member.
struct ClassDef : RefCounted {
  std::string name;
  std::vector<ClassMember> members;
  std::unordered_map<std::string, int32_t, NoCaseHash, NoCaseEqual> index;
  int32_t nFields = 0;
  int32_t defaultMember = -1;
  Ref<Proc> initialize, terminate;

  int32_t find(std::string_view n) const {
    auto it = index.find(n);
    return it == index.end() ? -1 : it->second;
  }
};

}  // namespace tw::vbs
