#pragma once
// The regular expression dialect of VBScript's RegExp (JScript's, ECMAScript
// 3rd edition): alternation, greedy and lazy quantifiers, character classes,
// capturing and non-capturing groups, back references, look-ahead, ^ $ \b \B.
//
// Patterns compile to a small program run by a backtracking machine with an
// explicit stack, so deep patterns cannot overflow the C++ stack; a step
// budget stops runaway backtracking with error 28 instead of hanging.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw::vbs::lib {

class Regex {
 public:
  // Compiles a pattern; raises 5017 (syntax), 5018 (unexpected quantifier),
  // 5019 (expected ']'), 5020 (expected ')') or 5021 (invalid range).
  Regex(std::u32string_view pattern, bool ignoreCase, bool multiline);

  struct Match {
    size_t start = 0, end = 0;  // character indexes
    // Start and end of each group; -1 for a group that took no part.
    std::vector<int64_t> groups;
  };

  size_t groupCount() const noexcept { return groupCount_; }
  // The first match that starts at or after `from`.
  bool search(std::u32string_view text, size_t from, Match& out) const;

  // Steps one search may take before it gives up with error 28.
  static constexpr uint64_t kStepBudget = 50'000'000;

 private:
  enum class Op : uint8_t {
    Char,       // c
    Any,        // . (anything but a line terminator)
    Class,      // x: class index
    Begin,      // ^
    End,        // $
    WordB,      // \b
    NotWordB,   // \B
    Split,      // try x, then y
    Jmp,        // x
    Save,       // capture slot x := position
    BackRef,    // x: group number
    Look,       // look-ahead: body at pc + 1, continue at x; y: 1 when negative
    SetMark,    // register x := position
    CheckMark,  // fail when position == register x (an empty loop turn)
    Match,
  };
  struct Inst {
    Op op;
    int32_t x = 0, y = 0;
    char32_t c = 0;
  };
  struct Range {
    char32_t lo, hi;
  };
  struct CharClass {
    std::vector<Range> ranges;
    bool negated = false;
  };
  struct Node;
  class Parser;
  // Backtrack entries: a branch to resume (pc, position), or slots to restore.
  struct Backtrack {
    int32_t kind;  // 0 branch, 1 restore slot a to b, 2 restore the last snapshot
    int32_t a;
    int64_t b;
  };
  struct Scratch {
    std::vector<Backtrack> stack;
    std::vector<std::vector<int64_t>> snapshots;
    uint64_t steps = 0;
  };
  friend class Parser;

  void compile(const Node& n);
  void emit(Inst i) { program_.push_back(i); }
  bool classMatches(const CharClass& cls, char32_t c) const;
  bool run(std::u32string_view text, size_t pc, size_t pos, std::vector<int64_t>& slots, size_t& end,
           Scratch& scratch) const;

  std::vector<Inst> program_;
  std::vector<CharClass> classes_;
  size_t groupCount_ = 0;
  size_t markCount_ = 0;
  // What every match starts with, found once: a given character, or the
  // start of the text (^ outside multiline mode).
  bool firstCharKnown_ = false;
  char32_t firstChar_ = 0;
  bool anchoredAtStart_ = false;
  bool ignoreCase_;
  bool multiline_;
};

}  // namespace tw::vbs::lib
