#include "vbs/lexer.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "automation/text.h"

namespace tw::vbs {

namespace {

struct Keyword {
  std::string_view name;
  Tok tok;
};

constexpr Keyword kKeywords[] = {
    {"and", Tok::KwAnd},
    {"byref", Tok::KwByRef},
    {"byval", Tok::KwByVal},
    {"call", Tok::KwCall},
    {"case", Tok::KwCase},
    {"class", Tok::KwClass},
    {"const", Tok::KwConst},
    {"default", Tok::KwDefault},
    {"dim", Tok::KwDim},
    {"do", Tok::KwDo},
    {"each", Tok::KwEach},
    {"else", Tok::KwElse},
    {"elseif", Tok::KwElseIf},
    {"empty", Tok::KwEmpty},
    {"end", Tok::KwEnd},
    {"eqv", Tok::KwEqv},
    {"erase", Tok::KwErase},
    {"error", Tok::KwError},
    {"exit", Tok::KwExit},
    {"explicit", Tok::KwExplicit},
    {"false", Tok::KwFalse},
    {"for", Tok::KwFor},
    {"function", Tok::KwFunction},
    {"goto", Tok::KwGoTo},
    {"if", Tok::KwIf},
    {"imp", Tok::KwImp},
    {"in", Tok::KwIn},
    {"is", Tok::KwIs},
    {"loop", Tok::KwLoop},
    {"me", Tok::KwMe},
    {"mod", Tok::KwMod},
    {"new", Tok::KwNew},
    {"next", Tok::KwNext},
    {"not", Tok::KwNot},
    {"nothing", Tok::KwNothing},
    {"null", Tok::KwNull},
    {"on", Tok::KwOn},
    {"option", Tok::KwOption},
    {"or", Tok::KwOr},
    {"preserve", Tok::KwPreserve},
    {"private", Tok::KwPrivate},
    {"property", Tok::KwProperty},
    {"public", Tok::KwPublic},
    {"redim", Tok::KwReDim},
    {"resume", Tok::KwResume},
    {"select", Tok::KwSelect},
    {"set", Tok::KwSet},
    {"step", Tok::KwStep},
    {"stop", Tok::KwStop},
    {"sub", Tok::KwSub},
    {"then", Tok::KwThen},
    {"to", Tok::KwTo},
    {"true", Tok::KwTrue},
    {"until", Tok::KwUntil},
    {"wend", Tok::KwWend},
    {"while", Tok::KwWhile},
    {"with", Tok::KwWith},
    {"xor", Tok::KwXor},
};

Tok lookupKeyword(std::string_view word) {
  if (word.size() < 2 || word.size() > 8) return Tok::Ident;
  char lower[8];
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  }
  std::string_view w(lower, word.size());
  for (const Keyword& k : kKeywords)
    if (k.name == w) return k.tok;
  return Tok::Ident;
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isIdentChar(char c) { return isLetter(c) || isDigit(c) || c == '_'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; }

constexpr size_t kMaxIdentifier = 255;

class Lexer {
 public:
  explicit Lexer(std::string_view src) : src_(src) {}

  std::vector<Token> run() {
    std::vector<Token> out;
    out.reserve(src_.size() / 3 + 8);
    for (;;) {
      size_t before = pos_;
      skipBlanks();
      blankBefore_ = pos_ != before;
      Token t;
      t.pos = {line_, col_};
      if (pos_ >= src_.size()) {
        t.type = Tok::End;
        out.push_back(std::move(t));
        return out;
      }
      char c = src_[pos_];
      if (c == '\r' || c == '\n') {
        newline();
        t.type = Tok::Newline;
      } else if (c == '\'') {
        skipComment();
        continue;
      } else if (c == '"') {
        lexString(t);
      } else if (isLetter(c)) {
        lexWord(t, !out.empty() && out.back().type == Tok::Dot);
        if (t.type == Tok::End) {  // Rem comment
          skipComment();
          continue;
        }
      } else if (c == '[') {
        lexBracketed(t);
      } else if (isDigit(c) || (c == '.' && pos_ + 1 < src_.size() && isDigit(src_[pos_ + 1]))) {
        lexNumber(t);
      } else if (c == '&' && pos_ + 2 < src_.size() &&
                 (((src_[pos_ + 1] | 0x20) == 'h' && isHexDigit(src_[pos_ + 2])) ||
                  ((src_[pos_ + 1] | 0x20) == 'o' && src_[pos_ + 2] >= '0' && src_[pos_ + 2] <= '7'))) {
        lexRadix(t);
      } else if (c == '#') {
        lexDate(t);
      } else if (c == '_' && continuation()) {
        continue;
      } else {
        lexPunct(t, out);
      }
      out.push_back(std::move(t));
    }
  }

 private:
  [[noreturn]] void fail(int32_t number, SourcePos p) { throw CompileError(number, p); }

  static bool followsValue(const std::vector<Token>& out) {
    if (out.empty()) return false;
    Tok t = out.back().type;
    return t == Tok::Ident || t == Tok::RParen || t == Tok::KwMe;
  }

  void advance(size_t n = 1) {
    for (size_t i = 0; i < n && pos_ < src_.size(); ++i) {
      // Columns count characters: continuation bytes do not start one.
      if ((static_cast<unsigned char>(src_[pos_]) & 0xC0) != 0x80) ++col_;
      ++pos_;
    }
  }

  void newline() {
    if (src_[pos_] == '\r' && pos_ + 1 < src_.size() && src_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
    ++line_;
    col_ = 1;
  }

  void skipBlanks() {
    while (pos_ < src_.size()) {
      char c = src_[pos_];
      if (isBlank(c)) {
        advance();
      } else if (static_cast<unsigned char>(c) == 0xC2 && pos_ + 1 < src_.size() &&
                 static_cast<unsigned char>(src_[pos_ + 1]) == 0xA0) {
        advance(2);  // no-break space
      } else {
        break;
      }
    }
  }

  void skipComment() {
    while (pos_ < src_.size() && src_[pos_] != '\r' && src_[pos_] != '\n') advance();
  }

  // "_" followed by blanks and a line break joins the next line.
  bool continuation() {
    size_t p = pos_ + 1;
    while (p < src_.size() && isBlank(src_[p])) ++p;
    if (p < src_.size() && src_[p] != '\r' && src_[p] != '\n') return false;
    while (pos_ < p) advance();
    if (pos_ < src_.size()) newline();
    return true;
  }

  void lexString(Token& t) {
    SourcePos start{line_, col_};
    advance();
    std::string text;
    for (;;) {
      if (pos_ >= src_.size() || src_[pos_] == '\r' || src_[pos_] == '\n')
        fail(kErrCUnterminatedString, start);
      char c = src_[pos_];
      if (c == '"') {
        if (pos_ + 1 < src_.size() && src_[pos_ + 1] == '"') {
          text += '"';
          advance(2);
          continue;
        }
        advance();
        break;
      }
      text += c;
      advance();
    }
    t.type = Tok::Literal;
    t.value = Variant(std::move(text));
  }

  void lexWord(Token& t, bool afterMemberDot) {
    size_t start = pos_;
    while (pos_ < src_.size() && isIdentChar(src_[pos_])) advance();
    std::string_view word = src_.substr(start, pos_ - start);
    if (word.size() > kMaxIdentifier) fail(kErrCIdentifierTooLong, t.pos);
    t.text = std::string(word);
    t.type = afterMemberDot ? Tok::Ident : lookupKeyword(word);
    if (t.type == Tok::Ident && !afterMemberDot && word.size() == 3 && equalsNoCase(word, "rem"))
      t.type = Tok::End;  // the caller skips the rest of the line
  }

  void lexBracketed(Token& t) {
    advance();
    size_t start = pos_;
    while (pos_ < src_.size() && src_[pos_] != ']' && src_[pos_] != '\r' && src_[pos_] != '\n') advance();
    if (pos_ >= src_.size() || src_[pos_] != ']') fail(kErrCExpectedRBracket, t.pos);
    std::string_view word = src_.substr(start, pos_ - start);
    if (word.size() > kMaxIdentifier) fail(kErrCIdentifierTooLong, t.pos);
    advance();
    t.type = Tok::Ident;
    t.text = std::string(word);
  }

  void lexNumber(Token& t) {
    size_t start = pos_;
    bool isFloat = false;
    while (pos_ < src_.size() && isDigit(src_[pos_])) advance();
    if (pos_ < src_.size() && src_[pos_] == '.') {
      isFloat = true;
      advance();
      while (pos_ < src_.size() && isDigit(src_[pos_])) advance();
    }
    if (pos_ < src_.size() && (src_[pos_] | 0x20) == 'e') {
      size_t p = pos_ + 1;
      if (p < src_.size() && (src_[p] == '+' || src_[p] == '-')) ++p;
      if (p < src_.size() && isDigit(src_[p])) {
        isFloat = true;
        while (pos_ < p) advance();
        while (pos_ < src_.size() && isDigit(src_[pos_])) advance();
      } else {
        fail(kErrCInvalidNumber, t.pos);
      }
    }
    std::string_view text = src_.substr(start, pos_ - start);
    t.type = Tok::Literal;
    if (!isFloat) {
      uint64_t v = 0;
      bool big = false;
      for (char c : text) {
        v = v * 10 + static_cast<uint64_t>(c - '0');
        if (v > 0xFFFFFFFFull) {
          big = true;
          break;
        }
      }
      if (!big) {
        if (v <= 32767) {
          t.value = Variant::integer(static_cast<int16_t>(v));
        } else if (v <= 2147483647ull) {
          t.value = Variant::long_(static_cast<int32_t>(v));
        } else {
          t.value = Variant(static_cast<double>(v));
        }
        return;
      }
    }
    std::string copy(text);
    if (copy.front() == '.') copy.insert(copy.begin(), '0');
    double d = 0;
    auto res = std::from_chars(copy.data(), copy.data() + copy.size(), d);
    if (res.ec == std::errc::result_out_of_range) {
      // Too small to hold is 0 (1e-400); too large is an error.
      d = std::strtod(copy.c_str(), nullptr);
      if (std::isinf(d)) fail(kErrCInvalidNumber, t.pos);
      res.ec = std::errc();
    }
    if (res.ec != std::errc() || res.ptr != copy.data() + copy.size()) fail(kErrCInvalidNumber, t.pos);
    t.value = Variant(d);
  }

  // &Hxxxx and &Oxxxx: up to 16 bits an Integer, above that a Long. A
  // trailing & reads the digits as 32 bits (&HFFFF& is 65535, not -1); the
  // value is still an Integer when one holds it (&H10& and &HFFFFFFFF&).
  void lexRadix(Token& t) {
    bool hex = (src_[pos_ + 1] | 0x20) == 'h';
    advance(2);
    uint64_t v = 0;
    bool tooBig = false;
    while (pos_ < src_.size()) {
      char c = src_[pos_];
      int digit;
      if (hex && isHexDigit(c)) {
        digit = isDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
      } else if (!hex && c >= '0' && c <= '7') {
        digit = c - '0';
      } else {
        break;
      }
      v = v * (hex ? 16 : 8) + static_cast<uint64_t>(digit);
      if (v > 0xFFFFFFFFull) tooBig = true;
      advance();
    }
    if (tooBig) fail(kErrCInvalidNumber, t.pos);
    bool longDigits = false;
    if (pos_ < src_.size() && src_[pos_] == '&') {
      longDigits = true;
      advance();
    }
    t.type = Tok::Literal;
    if (!longDigits && v <= 0xFFFF) {
      t.value = Variant::integer(static_cast<int16_t>(static_cast<uint16_t>(v)));
      return;
    }
    // The digits as 32 bits; with the & the value is an Integer when it fits one.
    int32_t value = static_cast<int32_t>(static_cast<uint32_t>(v));
    if (longDigits && value >= -32768 && value <= 32767) {
      t.value = Variant::integer(static_cast<int16_t>(value));
    } else {
      t.value = Variant::long_(value);
    }
  }

  void lexDate(Token& t) {
    advance();
    size_t start = pos_;
    while (pos_ < src_.size() && src_[pos_] != '#' && src_[pos_] != '\r' && src_[pos_] != '\n') advance();
    if (pos_ >= src_.size() || src_[pos_] != '#') fail(kErrCSyntax, t.pos);
    std::string_view text = src_.substr(start, pos_ - start);
    advance();
    double serial = 0;
    if (!parseDate(text, serial)) fail(kErrCSyntax, t.pos);
    t.type = Tok::Literal;
    t.value = Variant::date(serial);
  }

  void lexPunct(Token& t, const std::vector<Token>& out) {
    char c = src_[pos_];
    char n = pos_ + 1 < src_.size() ? src_[pos_ + 1] : '\0';
    size_t len = 1;
    switch (c) {
      case ':':
        t.type = Tok::Colon;
        break;
      case '(':
        t.type = Tok::LParen;
        break;
      case ')':
        t.type = Tok::RParen;
        break;
      case ',':
        t.type = Tok::Comma;
        break;
      case '.':
        // "a.b" is member access; "Echo .b" (after a blank) names a member
        // of the With object.
        t.type = Tok::Dot;
        t.memberDot = followsValue(out) && !blankBefore_;
        break;
      case '&':
        t.type = Tok::Amp;
        break;
      case '+':
        t.type = Tok::Plus;
        break;
      case '-':
        t.type = Tok::Minus;
        break;
      case '*':
        t.type = Tok::Star;
        break;
      case '/':
        t.type = Tok::Slash;
        break;
      case '\\':
        t.type = Tok::Backslash;
        break;
      case '^':
        t.type = Tok::Caret;
        break;
      case '=':
        if (n == '<') {
          t.type = Tok::Le;
          len = 2;
        } else if (n == '>') {
          t.type = Tok::Ge;
          len = 2;
        } else {
          t.type = Tok::Eq;
        }
        break;
      case '<':
        if (n == '>') {
          t.type = Tok::Ne;
          len = 2;
        } else if (n == '=') {
          t.type = Tok::Le;
          len = 2;
        } else {
          t.type = Tok::Lt;
        }
        break;
      case '>':
        if (n == '<') {
          t.type = Tok::Ne;
          len = 2;
        } else if (n == '=') {
          t.type = Tok::Ge;
          len = 2;
        } else {
          t.type = Tok::Gt;
        }
        break;
      default:
        fail(kErrCInvalidCharacter, t.pos);
    }
    advance(len);
  }

  std::string_view src_;
  bool blankBefore_ = false;
  size_t pos_ = 0;
  int32_t line_ = 1;
  int32_t col_ = 1;
};

}  // namespace

std::string_view tokenSpelling(Tok t) {
  switch (t) {
    case Tok::End:
      return "end of script";
    case Tok::Newline:
      return "end of line";
    case Tok::Colon:
      return "':'";
    case Tok::Ident:
      return "identifier";
    case Tok::Literal:
      return "literal";
    case Tok::LParen:
      return "'('";
    case Tok::RParen:
      return "')'";
    case Tok::Comma:
      return "','";
    case Tok::Dot:
      return "'.'";
    default:
      break;
  }
  for (const Keyword& k : kKeywords)
    if (k.tok == t) return k.name;
  return "operator";
}

std::vector<Token> tokenize(std::string_view source) {
  // A byte order mark at the start is not part of the script.
  if (source.size() >= 3 && std::memcmp(source.data(), "\xEF\xBB\xBF", 3) == 0) source.remove_prefix(3);
  return Lexer(source).run();
}

}  // namespace tw::vbs
