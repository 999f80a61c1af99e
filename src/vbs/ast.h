#pragma once
// Syntax tree of a VBScript compilation unit, as the parser builds it and the
// compiler reads it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "automation/variant.h"
#include "vbs/diagnostics.h"

namespace tw::vbs {

struct Expr;
struct Stmt;
using ExprPtr = std::unique_ptr<Expr>;
using StmtPtr = std::unique_ptr<Stmt>;
using StmtList = std::vector<StmtPtr>;

enum class ExprKind : uint8_t {
  Literal,  // value
  Name,     // name
  Member,   // object.name; object null: the With object (.name)
  Call,     // callee(args): a call, an array element or a default member
  Paren,    // (operand): passes a variable by value
  Unary,    // op operand
  Binary,   // lhs op rhs
  New,      // New name
  Me,
  Missing,  // an omitted argument: f(1, , 3)
};

enum class Op : uint8_t {
  // Binary operators.
  Add,
  Sub,
  Mul,
  Div,
  IntDiv,
  Mod,
  Pow,
  Concat,
  Eq,
  Ne,
  Lt,
  Gt,
  Le,
  Ge,
  Is,
  And,
  Or,
  Xor,
  Eqv,
  Imp,
  // Unary operators.
  Neg,
  Plus,
  Not,
};

struct Expr {
  ExprKind kind;
  Op op = Op::Add;
  SourcePos pos;
  Variant value;              // Literal
  std::string name;           // Name, Member, New
  ExprPtr target;             // Member object, Call callee, Paren/Unary operand
  ExprPtr rhs;                // Binary: target is the left operand
  std::vector<ExprPtr> args;  // Call
  bool parens = false;        // Call: written with parentheses

  Expr(ExprKind k, SourcePos p) : kind(k), pos(p) {}
  // Frees long operator chains without deep recursion.
  ~Expr();
  Expr(const Expr&) = delete;
  Expr& operator=(const Expr&) = delete;
};

enum class StmtKind : uint8_t {
  Assign,   // target = value
  Set,      // Set target = value
  Call,     // target: a Name, Member or Call expression called as a statement
  Dim,      // vars
  ReDim,    // vars with bounds; preserve
  Erase,    // targets
  Const,    // consts
  If,       // branches; elseBody
  Select,   // value; cases; elseBody
  For,      // var, from, to, step; body
  ForEach,  // var, value (collection); body
  Do,       // cond with testFirst/until; body
  While,    // cond; body
  Exit,     // exitKind
  With,     // value; body
  OnErrorResumeNext,
  OnErrorGoto0,
  OptionExplicit,
  Procedure,  // proc (global code) — methods live in ClassDecl
  Class,      // cls
  Stop,
};

enum class ExitKind : uint8_t { Do, For, Sub, Function, Property };

struct VarDecl {
  std::string name;
  SourcePos pos;
  bool isArray = false;         // Dim a() or Dim a(3)
  std::vector<ExprPtr> bounds;  // upper bounds (Dim: integer literals)
};

struct ConstDecl {
  std::string name;
  SourcePos pos;
  ExprPtr value;
};

struct IfBranch {
  ExprPtr cond;
  StmtList body;
};

struct CaseClause {
  std::vector<ExprPtr> values;
  StmtList body;
  SourcePos pos;
};

enum class ProcKind : uint8_t { Sub, Function, PropertyGet, PropertyLet, PropertySet };

struct Param {
  std::string name;
  bool byVal = false;
  bool isArray = false;
  SourcePos pos;
};

struct ProcDecl {
  ProcKind kind = ProcKind::Sub;
  std::string name;
  SourcePos pos;
  bool isPublic = true;
  bool isDefault = false;
  std::vector<Param> params;
  StmtList body;
  int32_t endLine = 0;
};

struct FieldDecl {
  VarDecl var;
  bool isPublic = true;
};

struct ClassDecl {
  std::string name;
  SourcePos pos;
  std::vector<FieldDecl> fields;
  std::vector<std::unique_ptr<ProcDecl>> procs;
};

struct Stmt {
  StmtKind kind;
  SourcePos pos;
  ExprPtr target;         // Assign/Set/Call target; For/ForEach variable
  ExprPtr value;          // Assign/Set value; Select/With/ForEach subject; For start
  ExprPtr limit, step;    // For
  ExprPtr cond;           // Do/While
  bool testFirst = true;  // Do: condition at the top
  bool until = false;     // Do: Until instead of While
  bool preserve = false;  // ReDim
  bool isPublic = true;   // Dim/Const at script level: Public or Private
  ExitKind exitKind = ExitKind::Do;
  StmtList body, elseBody;
  std::vector<IfBranch> branches;
  std::vector<CaseClause> cases;
  bool hasElse = false;
  std::vector<VarDecl> vars;     // Dim, ReDim
  std::vector<ExprPtr> targets;  // Erase
  std::vector<ConstDecl> consts;
  std::unique_ptr<ProcDecl> proc;
  std::unique_ptr<ClassDecl> cls;
  // Source range of the statement's own code (for Resume Next and errors).
  SourcePos end;

  Stmt(StmtKind k, SourcePos p) : kind(k), pos(p) {}
};

// One unit of source: statements with procedures and classes among them.
struct Program {
  StmtList body;
  bool optionExplicit = false;
};

}  // namespace tw::vbs
