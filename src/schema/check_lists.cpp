// Value lists declared as CHECK constraints: `status IN ('new', 'done')`
// becomes the column's list of allowed values. Only that plain form counts;
// any other expression (a range, a NOT IN, a combination with AND/OR)
// declares no list.
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "automation/text.h"
#include "schema/bridge.h"

namespace tw {

namespace {

class Scanner {
 public:
  explicit Scanner(std::string_view text) : s_(text) {}

  void blanks() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool atEnd() {
    blanks();
    return i_ >= s_.size();
  }
  bool take(char c) {
    blanks();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  // A keyword, not followed by a letter, digit or underscore.
  bool word(std::string_view w) {
    blanks();
    if (s_.size() - i_ < w.size() || !equalsNoCase(s_.substr(i_, w.size()), w)) return false;
    size_t end = i_ + w.size();
    if (end < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[end])) || s_[end] == '_')) return false;
    i_ = end;
    return true;
  }
  // A plain or quoted name.
  bool name(std::string& out) {
    blanks();
    if (i_ >= s_.size()) return false;
    char open = s_[i_];
    char close = open == '[' ? ']' : open;
    if (open == '"' || open == '`' || open == '[') {
      out.clear();
      for (size_t j = i_ + 1; j < s_.size(); ++j) {
        if (s_[j] == close) {
          if (close != ']' && j + 1 < s_.size() && s_[j + 1] == close) {
            out += close;
            ++j;
            continue;
          }
          i_ = j + 1;
          return true;
        }
        out += s_[j];
      }
      return false;
    }
    size_t j = i_;
    while (j < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[j])) || s_[j] == '_' ||
                             static_cast<unsigned char>(s_[j]) >= 0x80))
      ++j;
    if (j == i_) return false;
    out.assign(s_.substr(i_, j - i_));
    i_ = j;
    return true;
  }
  // A quoted text ('' and backslash escapes undone) or a number.
  bool literal(std::string& out) {
    blanks();
    if (i_ >= s_.size()) return false;
    out.clear();
    if (s_[i_] == '\'') {
      for (size_t j = i_ + 1; j < s_.size(); ++j) {
        char c = s_[j];
        if (c == '\\' && j + 1 < s_.size()) {
          out += s_[++j];
          continue;
        }
        if (c == '\'') {
          if (j + 1 < s_.size() && s_[j + 1] == '\'') {
            out += '\'';
            ++j;
            continue;
          }
          i_ = j + 1;
          return true;
        }
        out += c;
      }
      return false;
    }
    size_t j = i_;
    if (j < s_.size() && (s_[j] == '-' || s_[j] == '+')) ++j;
    size_t digits = j;
    while (j < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[j])) || s_[j] == '.')) ++j;
    if (j == digits) return false;
    out.assign(s_.substr(i_, j - i_));
    i_ = j;
    return true;
  }

 private:
  std::string_view s_;
  size_t i_ = 0;
};

// Strips parentheses that enclose the whole clause.
std::string_view unwrap(std::string_view clause) {
  while (true) {
    clause = trimBlanks(clause);
    if (clause.size() < 2 || clause.front() != '(' || clause.back() != ')') return clause;
    int depth = 0;
    char quote = 0;
    for (size_t i = 0; i < clause.size(); ++i) {
      char c = clause[i];
      if (quote) {
        if (c == quote) quote = 0;
        continue;
      }
      if (c == '\'' || c == '"' || c == '`') {
        quote = c;
      } else if (c == '(') {
        ++depth;
      } else if (c == ')' && --depth == 0 && i + 1 < clause.size()) {
        return clause;  // "(a) OR (b)": the first parenthesis closes early
      }
    }
    clause = clause.substr(1, clause.size() - 2);
  }
}

}  // namespace

std::vector<std::string> checkInList(std::string_view clause, std::string& column) {
  Scanner s(unwrap(clause));
  std::string name;
  std::vector<std::string> values;
  if (!s.name(name) || !s.word("IN") || !s.take('(')) return {};
  do {
    std::string v;
    if (!s.literal(v)) return {};
    values.push_back(std::move(v));
  } while (s.take(','));
  if (!s.take(')') || !s.atEnd()) return {};
  column = std::move(name);
  return values;
}

std::vector<std::string> checkClauses(std::string_view sql) {
  std::vector<std::string> out;
  char quote = 0;
  for (size_t i = 0; i < sql.size(); ++i) {
    char c = sql[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"' || c == '`') {
      quote = c;
      continue;
    }
    if (c == '[') {
      quote = ']';
      continue;
    }
    bool startsWord = i == 0 || !(std::isalnum(static_cast<unsigned char>(sql[i - 1])) || sql[i - 1] == '_');
    if (!startsWord || sql.size() - i < 5 || !equalsNoCase(sql.substr(i, 5), "CHECK")) continue;
    size_t j = i + 5;
    while (j < sql.size() && std::isspace(static_cast<unsigned char>(sql[j]))) ++j;
    if (j >= sql.size() || sql[j] != '(') continue;
    // The balanced parenthesis after CHECK.
    int depth = 0;
    char q = 0;
    size_t k = j;
    for (; k < sql.size(); ++k) {
      char d = sql[k];
      if (q) {
        if (d == q) q = 0;
        continue;
      }
      if (d == '\'' || d == '"' || d == '`') {
        q = d;
      } else if (d == '(') {
        ++depth;
      } else if (d == ')' && --depth == 0) {
        break;
      }
    }
    if (k >= sql.size()) break;
    out.emplace_back(sql.substr(j + 1, k - j - 1));
    i = k;
  }
  return out;
}

void applyCheckLists(const std::vector<std::string>& clauses, std::vector<BridgeColumn>& columns) {
  for (const std::string& clause : clauses) {
    std::string column;
    std::vector<std::string> values = checkInList(clause, column);
    if (values.empty()) continue;
    for (BridgeColumn& c : columns)
      if (equalsNoCase(c.name, column)) c.checkValues = tagValueLines(values);
  }
}

}  // namespace tw
