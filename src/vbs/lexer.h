#pragma once
// The VBScript lexer: turns source text into tokens. Keywords and names are
// case-insensitive; line breaks and ':' end statements; "_" at the end of a
// line continues it; "'" and Rem start comments.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "automation/variant.h"
#include "vbs/diagnostics.h"

namespace tw::vbs {

enum class Tok : uint8_t {
  End,
  Newline,
  Colon,
  Ident,
  Literal,  // numbers, strings and dates; the value is in Token::value
  LParen,
  RParen,
  Comma,
  Dot,  // Token::memberDot tells a.b from the .b of a With block
  Amp,
  Plus,
  Minus,
  Star,
  Slash,
  Backslash,
  Caret,
  Eq,
  Ne,
  Lt,
  Gt,
  Le,
  Ge,
  // Keywords.
  KwAnd,
  KwByRef,
  KwByVal,
  KwCall,
  KwCase,
  KwClass,
  KwConst,
  KwDefault,
  KwDim,
  KwDo,
  KwEach,
  KwElse,
  KwElseIf,
  KwEmpty,
  KwEnd,
  KwEqv,
  KwErase,
  KwError,
  KwExit,
  KwExplicit,
  KwFalse,
  KwFor,
  KwFunction,
  KwGoTo,
  KwIf,
  KwImp,
  KwIn,
  KwIs,
  KwLoop,
  KwMe,
  KwMod,
  KwNew,
  KwNext,
  KwNot,
  KwNothing,
  KwNull,
  KwOn,
  KwOption,
  KwOr,
  KwPreserve,
  KwPrivate,
  KwProperty,
  KwPublic,
  KwReDim,
  KwResume,
  KwSelect,
  KwSet,
  KwStep,
  KwStop,
  KwSub,
  KwThen,
  KwTo,
  KwTrue,
  KwUntil,
  KwWend,
  KwWhile,
  KwWith,
  KwXor,
};

struct Token {
  Tok type = Tok::End;
  bool memberDot = false;  // Dot directly after a name or ')': member access
  SourcePos pos;
  std::string text;  // names as written (brackets removed); keywords as written
  Variant value;     // literals
};

// The spelling of a token type for messages ("'Then'").
std::string_view tokenSpelling(Tok t);

// Splits the whole text; raises CompileError on invalid characters, numbers
// and unterminated strings.
std::vector<Token> tokenize(std::string_view source);

}  // namespace tw::vbs
