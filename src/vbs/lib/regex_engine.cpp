#include "vbs/lib/regex_engine.h"

#include <algorithm>
#include <memory>

#include "automation/error.h"
#include "automation/text.h"

namespace tw::vbs::lib {

namespace {

constexpr int32_t kErrRegexSyntax = 5017;
constexpr int32_t kErrRegexQuantifier = 5018;
constexpr int32_t kErrRegexBracket = 5019;
constexpr int32_t kErrRegexParen = 5020;
constexpr int32_t kErrRegexRange = 5021;
constexpr int32_t kErrRegexTooComplex = 28;  // "Out of stack space"

// Largest program a pattern may compile to (counted repeats are unrolled),
// and deepest backtracking a search may build up.
constexpr size_t kMaxProgram = 200'000;
constexpr size_t kMaxBacktrack = size_t{1} << 24;

bool isLineTerminator(char32_t c) { return c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029; }

bool isWordChar(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

char32_t fold(char32_t c) { return lowerCodePoint(c); }

int hexDigit(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

}  // namespace

// ---- Syntax tree

struct Regex::Node {
  enum Kind { Empty, Char, Any, Class, Seq, Alt, Group, Repeat, Begin, End, WordB, NotWordB, Look, BackRef };
  Kind kind = Empty;
  char32_t c = 0;
  int32_t index = 0;         // class index, group number, back reference
  int32_t min = 0, max = 0;  // Repeat: max -1 = unbounded
  bool greedy = true;
  bool negative = false;  // Look
  std::vector<Node> children;

  static Node of(Kind k) {
    Node n;
    n.kind = k;
    return n;
  }
};

// ---- Parser

class Regex::Parser {
 public:
  Parser(Regex& re, std::u32string_view p) : re_(re), p_(p) { re_.groupCount_ = countGroups(); }

  Node parse() {
    Node n = disjunction();
    if (i_ < p_.size()) raise(kErrRegexSyntax);  // an unmatched ')'
    return n;
  }

 private:
  bool atEnd() const { return i_ >= p_.size(); }
  char32_t peek(size_t ahead = 0) const { return i_ + ahead < p_.size() ? p_[i_ + ahead] : 0; }

  // Capturing groups: every '(' not followed by '?', outside classes and
  // escapes.
  size_t countGroups() const {
    size_t n = 0;
    bool inClass = false;
    for (size_t i = 0; i < p_.size(); ++i) {
      char32_t c = p_[i];
      if (c == '\\') {
        ++i;
      } else if (inClass) {
        if (c == ']') inClass = false;
      } else if (c == '[') {
        inClass = true;
      } else if (c == '(' && (i + 1 >= p_.size() || p_[i + 1] != '?')) {
        ++n;
      }
    }
    return n;
  }

  Node disjunction() {
    Node first = alternative();
    if (peek() != '|' || atEnd()) return first;
    Node alt = Node::of(Node::Alt);
    alt.children.push_back(std::move(first));
    while (!atEnd() && peek() == '|') {
      ++i_;
      alt.children.push_back(alternative());
    }
    return alt;
  }

  Node alternative() {
    Node seq = Node::of(Node::Seq);
    while (!atEnd() && peek() != '|' && peek() != ')') seq.children.push_back(term());
    return seq;
  }

  Node term() {
    char32_t c = peek();
    Node atom;
    bool quantifiable = true;
    switch (c) {
      case '^':
        ++i_;
        atom = Node::of(Node::Begin);
        quantifiable = false;
        break;
      case '$':
        ++i_;
        atom = Node::of(Node::End);
        quantifiable = false;
        break;
      case '*':
      case '+':
      case '?':
        raise(kErrRegexQuantifier);
      case '{': {
        size_t save = i_;
        int32_t lo, hi;
        if (braces(lo, hi)) raise(kErrRegexQuantifier);
        i_ = save + 1;
        atom = literal('{');
        break;
      }
      case '(':
        atom = group();
        break;
      case '[':
        atom = charClass();
        break;
      case '.':
        ++i_;
        atom = Node::of(Node::Any);
        break;
      case '\\':
        atom = escape(quantifiable);
        break;
      default:
        ++i_;
        atom = literal(c);
        break;
    }
    return quantifier(std::move(atom), quantifiable);
  }

  // {n}, {n,}, {n,m} at the current position; false (position unchanged) when
  // the text there is not one.
  bool braces(int32_t& lo, int32_t& hi) {
    size_t j = i_;
    if (j >= p_.size() || p_[j] != '{') return false;
    ++j;
    auto number = [&](int32_t& out) {
      size_t start = j;
      int64_t v = 0;
      while (j < p_.size() && p_[j] >= '0' && p_[j] <= '9') {
        v = std::min<int64_t>(v * 10 + (p_[j] - '0'), 1'000'000'000);
        ++j;
      }
      out = static_cast<int32_t>(v);
      return j > start;
    };
    if (!number(lo)) return false;
    hi = lo;
    if (j < p_.size() && p_[j] == ',') {
      ++j;
      if (!number(hi)) hi = -1;
    }
    if (j >= p_.size() || p_[j] != '}') return false;
    i_ = j + 1;
    return true;
  }

  Node quantifier(Node atom, bool quantifiable) {
    int32_t lo, hi;
    char32_t c = peek();
    if (c == '*') {
      ++i_;
      lo = 0;
      hi = -1;
    } else if (c == '+') {
      ++i_;
      lo = 1;
      hi = -1;
    } else if (c == '?') {
      ++i_;
      lo = 0;
      hi = 1;
    } else if (c == '{' && braces(lo, hi)) {
      if (hi != -1 && hi < lo) raise(kErrRegexSyntax);
    } else {
      return atom;
    }
    if (!quantifiable) raise(kErrRegexQuantifier);
    Node rep = Node::of(Node::Repeat);
    rep.min = lo;
    rep.max = hi;
    if (peek() == '?' && !atEnd()) {
      ++i_;
      rep.greedy = false;
    }
    rep.children.push_back(std::move(atom));
    return rep;
  }

  Node literal(char32_t c) {
    Node n = Node::of(Node::Char);
    n.c = c;
    return n;
  }

  Node group() {
    ++i_;  // (
    Node n;
    if (peek() == '?') {
      char32_t kind = peek(1);
      if (kind == ':') {
        i_ += 2;
        n = disjunction();
      } else if (kind == '=' || kind == '!') {
        i_ += 2;
        n = Node::of(Node::Look);
        n.negative = kind == '!';
        n.children.push_back(disjunction());
      } else {
        raise(kErrRegexSyntax);
      }
    } else {
      n = Node::of(Node::Group);
      n.index = nextGroup_++;
      n.children.push_back(disjunction());
    }
    if (atEnd() || peek() != ')') raise(kErrRegexParen);
    ++i_;
    return n;
  }

  // \d \w \s and their complements as ranges.
  static void addSet(char32_t letter, std::vector<Range>& out) {
    std::vector<Range> set;
    switch (fold(letter)) {
      case 'd':
        set = {{'0', '9'}};
        break;
      case 'w':
        set = {{'0', '9'}, {'A', 'Z'}, {'_', '_'}, {'a', 'z'}};
        break;
      default:
        set = {{'\t', '\r'},     {' ', ' '},       {0xA0, 0xA0},     {0x1680, 0x1680}, {0x2000, 0x200A},
               {0x2028, 0x2029}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000}, {0xFEFF, 0xFEFF}};
        break;
    }
    if (letter >= 'a') {
      out.insert(out.end(), set.begin(), set.end());
      return;
    }
    char32_t next = 0;
    for (const Range& r : set) {
      if (r.lo > next) out.push_back({next, r.lo - 1});
      next = r.hi + 1;
    }
    out.push_back({next, 0x10FFFF});
  }

  static bool isSetLetter(char32_t c) {
    return c == 'd' || c == 'D' || c == 'w' || c == 'W' || c == 's' || c == 'S';
  }

  Node setNode(char32_t letter) {
    CharClass cls;
    addSet(letter, cls.ranges);
    re_.classes_.push_back(std::move(cls));
    Node n = Node::of(Node::Class);
    n.index = static_cast<int32_t>(re_.classes_.size() - 1);
    return n;
  }

  // A character escape after "\" (shared by atoms and classes): \n \r \t \f
  // \v \0 \xHH \uHHHH \cX, octal codes and identity escapes.
  char32_t characterEscape() {
    char32_t c = peek();
    ++i_;
    switch (c) {
      case 'n':
        return '\n';
      case 'r':
        return '\r';
      case 't':
        return '\t';
      case 'f':
        return '\f';
      case 'v':
        return '\v';
      case 'x':
        if (hexDigit(peek()) >= 0 && hexDigit(peek(1)) >= 0) {
          char32_t v = static_cast<char32_t>(hexDigit(peek()) * 16 + hexDigit(peek(1)));
          i_ += 2;
          return v;
        }
        return 'x';
      case 'u':
        if (hexDigit(peek()) >= 0 && hexDigit(peek(1)) >= 0 && hexDigit(peek(2)) >= 0 &&
            hexDigit(peek(3)) >= 0) {
          char32_t v = 0;
          for (int k = 0; k < 4; ++k) v = v * 16 + static_cast<char32_t>(hexDigit(peek(k)));
          i_ += 4;
          return v;
        }
        return 'u';
      case 'c': {
        char32_t letter = peek();
        if ((letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z')) {
          ++i_;
          return letter % 32;
        }
        --i_;
        return '\\';
      }
      default:
        if (c >= '0' && c <= '7') {
          // Octal code of up to three digits, at most 0377.
          char32_t v = c - '0';
          for (int k = 0; k < 2 && peek() >= '0' && peek() <= '7' && v * 8 + (peek() - '0') <= 0377; ++k) {
            v = v * 8 + (peek() - '0');
            ++i_;
          }
          return v;
        }
        return c;
    }
  }

  Node escape(bool& quantifiable) {
    ++i_;  // backslash
    if (atEnd()) raise(kErrRegexSyntax);
    char32_t c = peek();
    if (isSetLetter(c)) {
      ++i_;
      return setNode(c);
    }
    if (c == 'b' || c == 'B') {
      ++i_;
      quantifiable = false;
      return Node::of(c == 'b' ? Node::WordB : Node::NotWordB);
    }
    if (c >= '1' && c <= '9') {
      size_t save = i_;
      int64_t n = 0;
      while (peek() >= '0' && peek() <= '9' && n < 100000) {
        n = n * 10 + (peek() - '0');
        ++i_;
      }
      if (n <= static_cast<int64_t>(re_.groupCount_)) {
        Node ref = Node::of(Node::BackRef);
        ref.index = static_cast<int32_t>(n);
        return ref;
      }
      i_ = save;  // not a group: an octal code, or the digit itself
    }
    return literal(characterEscape());
  }

  Node charClass() {
    ++i_;  // [
    CharClass cls;
    if (peek() == '^' && !atEnd()) {
      cls.negated = true;
      ++i_;
    }
    for (;;) {
      if (atEnd()) raise(kErrRegexBracket);
      if (peek() == ']') {
        ++i_;
        break;
      }
      bool isSet = false;
      char32_t lo = classAtom(cls, isSet);
      if (isSet) continue;
      if (peek() == '-' && peek(1) != ']' && i_ + 1 < p_.size()) {
        ++i_;
        bool hiSet = false;
        CharClass scratch;
        char32_t hi = classAtom(scratch, hiSet);
        if (hiSet) {
          // "a-\d": the dash is literal.
          cls.ranges.push_back({lo, lo});
          cls.ranges.push_back({'-', '-'});
          cls.ranges.insert(cls.ranges.end(), scratch.ranges.begin(), scratch.ranges.end());
          continue;
        }
        if (hi < lo) raise(kErrRegexRange);
        cls.ranges.push_back({lo, hi});
      } else {
        cls.ranges.push_back({lo, lo});
      }
    }
    re_.classes_.push_back(std::move(cls));
    Node n = Node::of(Node::Class);
    n.index = static_cast<int32_t>(re_.classes_.size() - 1);
    return n;
  }

  // One class member: a character (returned), or a set added to `cls`.
  char32_t classAtom(CharClass& cls, bool& isSet) {
    char32_t c = peek();
    ++i_;
    if (c != '\\') return c;
    if (atEnd()) raise(kErrRegexBracket);
    char32_t e = peek();
    if (isSetLetter(e)) {
      ++i_;
      addSet(e, cls.ranges);
      isSet = true;
      return 0;
    }
    if (e == 'b') {
      ++i_;
      return '\b';
    }
    return characterEscape();
  }

  Regex& re_;
  std::u32string_view p_;
  size_t i_ = 0;
  int32_t nextGroup_ = 1;
};

// ---- Compiler

Regex::Regex(std::u32string_view pattern, bool ignoreCase, bool multiline)
    : ignoreCase_(ignoreCase), multiline_(multiline) {
  Parser parser(*this, pattern);
  Node root = parser.parse();
  compile(root);
  emit({Op::Match});
  if (ignoreCase_) {
    for (Inst& in : program_)
      if (in.op == Op::Char) in.c = fold(in.c);
  }
  // Steps that consume nothing may come before the first character.
  for (const Inst& in : program_) {
    if (in.op == Op::Save || in.op == Op::SetMark || in.op == Op::WordB || in.op == Op::NotWordB) continue;
    if (in.op == Op::Char) {
      firstCharKnown_ = true;
      firstChar_ = in.c;
    } else if (in.op == Op::Begin && !multiline_) {
      anchoredAtStart_ = true;
    }
    break;
  }
}

void Regex::compile(const Node& n) {
  if (program_.size() > kMaxProgram) raise(kErrRegexTooComplex);
  switch (n.kind) {
    case Node::Empty:
      break;
    case Node::Char:
      emit({Op::Char, 0, 0, n.c});
      break;
    case Node::Any:
      emit({Op::Any});
      break;
    case Node::Class:
      emit({Op::Class, n.index});
      break;
    case Node::Begin:
      emit({Op::Begin});
      break;
    case Node::End:
      emit({Op::End});
      break;
    case Node::WordB:
      emit({Op::WordB});
      break;
    case Node::NotWordB:
      emit({Op::NotWordB});
      break;
    case Node::BackRef:
      emit({Op::BackRef, n.index});
      break;
    case Node::Seq:
      for (const Node& c : n.children) compile(c);
      break;
    case Node::Alt: {
      // Split next, else; body; Jmp end; else: ...
      std::vector<size_t> jumps;
      for (size_t k = 0; k < n.children.size(); ++k) {
        size_t split = 0;
        bool last = k + 1 == n.children.size();
        if (!last) {
          split = program_.size();
          emit({Op::Split});
          program_[split].x = static_cast<int32_t>(program_.size());
        }
        compile(n.children[k]);
        if (!last) {
          jumps.push_back(program_.size());
          emit({Op::Jmp});
          program_[split].y = static_cast<int32_t>(program_.size());
        }
      }
      for (size_t j : jumps) program_[j].x = static_cast<int32_t>(program_.size());
      break;
    }
    case Node::Group:
      emit({Op::Save, 2 * n.index});
      compile(n.children[0]);
      emit({Op::Save, 2 * n.index + 1});
      break;
    case Node::Look: {
      size_t look = program_.size();
      emit({Op::Look, 0, n.negative ? 1 : 0});
      compile(n.children[0]);
      emit({Op::Match});
      program_[look].x = static_cast<int32_t>(program_.size());
      break;
    }
    case Node::Repeat: {
      const Node& body = n.children[0];
      for (int32_t k = 0; k < n.min; ++k) compile(body);
      if (n.max == -1) {
        int32_t mark = static_cast<int32_t>(markCount_++);
        size_t loop = program_.size();
        emit({Op::Split});
        size_t bodyStart = program_.size();
        emit({Op::SetMark, mark});
        compile(body);
        emit({Op::CheckMark, mark});
        emit({Op::Jmp, static_cast<int32_t>(loop)});
        size_t exit = program_.size();
        program_[loop].x = static_cast<int32_t>(n.greedy ? bodyStart : exit);
        program_[loop].y = static_cast<int32_t>(n.greedy ? exit : bodyStart);
      } else {
        std::vector<size_t> splits;
        for (int32_t k = n.min; k < n.max; ++k) {
          splits.push_back(program_.size());
          emit({Op::Split});
          size_t bodyStart = program_.size();
          program_[splits.back()].x = static_cast<int32_t>(bodyStart);
          compile(body);
        }
        size_t exit = program_.size();
        for (size_t s : splits) {
          if (n.greedy) {
            program_[s].y = static_cast<int32_t>(exit);
          } else {
            program_[s].y = program_[s].x;
            program_[s].x = static_cast<int32_t>(exit);
          }
        }
      }
      break;
    }
  }
}

// ---- Matcher

bool Regex::classMatches(const CharClass& cls, char32_t c) const {
  auto in = [&](char32_t ch) {
    for (const Range& r : cls.ranges)
      if (ch >= r.lo && ch <= r.hi) return true;
    return false;
  };
  bool hit = in(c);
  if (!hit && ignoreCase_) hit = in(lowerCodePoint(c)) || in(upperCodePoint(c));
  return hit != cls.negated;
}

bool Regex::run(std::u32string_view text, size_t startPc, size_t startPos, std::vector<int64_t>& slots,
                size_t& end, Scratch& scratch) const {
  std::vector<Backtrack>& stack = scratch.stack;
  std::vector<std::vector<int64_t>>& snapshots = scratch.snapshots;
  uint64_t& steps = scratch.steps;
  stack.clear();
  snapshots.clear();
  size_t pc = startPc, pos = startPos;
  const size_t n = text.size();

  auto setSlot = [&](size_t slot, int64_t value) {
    stack.push_back({1, static_cast<int32_t>(slot), slots[slot]});
    slots[slot] = value;
  };

  for (;;) {
    if (++steps > kStepBudget) raise(kErrRegexTooComplex);
    bool fail = false;
    const Inst& in = program_[pc];
    switch (in.op) {
      case Op::Char:
        if (pos < n && (ignoreCase_ ? fold(text[pos]) == in.c : text[pos] == in.c)) {
          ++pos;
          ++pc;
        } else {
          fail = true;
        }
        break;
      case Op::Any:
        if (pos < n && !isLineTerminator(text[pos])) {
          ++pos;
          ++pc;
        } else {
          fail = true;
        }
        break;
      case Op::Class:
        if (pos < n && classMatches(classes_[static_cast<size_t>(in.x)], text[pos])) {
          ++pos;
          ++pc;
        } else {
          fail = true;
        }
        break;
      case Op::Begin:
        if (pos == 0 || (multiline_ && isLineTerminator(text[pos - 1]))) {
          ++pc;
        } else {
          fail = true;
        }
        break;
      case Op::End:
        if (pos == n || (multiline_ && isLineTerminator(text[pos]))) {
          ++pc;
        } else {
          fail = true;
        }
        break;
      case Op::WordB:
      case Op::NotWordB: {
        bool before = pos > 0 && isWordChar(text[pos - 1]);
        bool after = pos < n && isWordChar(text[pos]);
        if ((before != after) == (in.op == Op::WordB)) {
          ++pc;
        } else {
          fail = true;
        }
        break;
      }
      case Op::Split:
        if (stack.size() > kMaxBacktrack) raise(kErrRegexTooComplex);
        stack.push_back({0, in.y, static_cast<int64_t>(pos)});
        pc = static_cast<size_t>(in.x);
        break;
      case Op::Jmp:
        pc = static_cast<size_t>(in.x);
        break;
      case Op::Save:
        setSlot(static_cast<size_t>(in.x), static_cast<int64_t>(pos));
        ++pc;
        break;
      case Op::SetMark:
        setSlot(2 * (groupCount_ + 1) + static_cast<size_t>(in.x), static_cast<int64_t>(pos));
        ++pc;
        break;
      case Op::CheckMark:
        if (slots[2 * (groupCount_ + 1) + static_cast<size_t>(in.x)] == static_cast<int64_t>(pos)) {
          fail = true;
        } else {
          ++pc;
        }
        break;
      case Op::BackRef: {
        int64_t s = slots[2 * static_cast<size_t>(in.x)], e = slots[2 * static_cast<size_t>(in.x) + 1];
        if (s < 0 || e < 0) {
          ++pc;  // a group that took no part matches the empty string
          break;
        }
        size_t len = static_cast<size_t>(e - s);
        if (pos + len > n) {
          fail = true;
          break;
        }
        for (size_t k = 0; k < len && !fail; ++k) {
          char32_t x = text[static_cast<size_t>(s) + k], y = text[pos + k];
          fail = ignoreCase_ ? fold(x) != fold(y) : x != y;
        }
        if (!fail) {
          pos += len;
          ++pc;
        }
        break;
      }
      case Op::Look: {
        std::vector<int64_t> before = slots;
        size_t lookEnd;
        Scratch inner;
        inner.steps = steps;
        bool matched = run(text, pc + 1, pos, slots, lookEnd, inner);
        steps = inner.steps;
        bool negative = in.y != 0;
        if (matched == negative) {
          slots = std::move(before);
          fail = true;
        } else {
          if (negative) slots = before;
          stack.push_back({2, 0, static_cast<int64_t>(snapshots.size())});
          snapshots.push_back(std::move(before));
          pc = static_cast<size_t>(in.x);
        }
        break;
      }
      case Op::Match:
        end = pos;
        return true;
    }
    if (!fail) continue;
    // Backtrack to the latest branch, undoing slot changes on the way.
    for (;;) {
      if (stack.empty()) return false;
      Backtrack e = stack.back();
      stack.pop_back();
      if (e.kind == 1) {
        slots[static_cast<size_t>(e.a)] = e.b;
      } else if (e.kind == 2) {
        slots = std::move(snapshots.back());
        snapshots.pop_back();
      } else {
        pc = static_cast<size_t>(e.a);
        pos = static_cast<size_t>(e.b);
        break;
      }
    }
  }
}

bool Regex::search(std::u32string_view text, size_t from, Match& out) const {
  std::vector<int64_t> slots(2 * (groupCount_ + 1) + markCount_, -1);
  Scratch scratch;
  for (size_t start = from; start <= text.size(); ++start) {
    if (anchoredAtStart_ && start > 0) return false;
    if (firstCharKnown_) {
      // Skip to the next place the first character occurs.
      if (ignoreCase_) {
        while (start < text.size() && fold(text[start]) != firstChar_) ++start;
      } else {
        while (start < text.size() && text[start] != firstChar_) ++start;
      }
      if (start >= text.size()) return false;
    }
    std::fill(slots.begin(), slots.end(), -1);
    size_t end;
    if (run(text, 0, start, slots, end, scratch)) {
      out.start = start;
      out.end = end;
      out.groups.assign(slots.begin() + 2, slots.begin() + 2 + 2 * static_cast<std::ptrdiff_t>(groupCount_));
      return true;
    }
  }
  return false;
}

}  // namespace tw::vbs::lib
