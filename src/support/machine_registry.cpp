// The local machine's branch of the registry: the read-only text file shipped
// with the program, parsed into a tree of keys found by case-folded path.
#include <cctype>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/registry_store.h"

namespace tw {

MachineBranch::MachineBranch() {
  keys.push_back(MachineKey{});
  index.emplace(std::string(), 0);
}

size_t MachineBranch::ensureKey(std::string_view rawPath) {
  std::string path = normalizeSectionPath(rawPath);
  std::string folded = toLower(path);
  if (auto it = index.find(folded); it != index.end()) return it->second;
  auto [parentPath, name] = splitSectionPath(path);
  size_t parent = ensureKey(parentPath);
  // The path is spelled like the parent's stored path: an ancestor written
  // in another letter case elsewhere keeps its first spelling.
  MachineKey key;
  key.path = keys[parent].path.empty() ? std::string(name) : keys[parent].path + "\\" + std::string(name);
  key.name = std::string(name);
  keys.push_back(std::move(key));
  size_t at = keys.size() - 1;
  keys[parent].children.push_back(at);
  index.emplace(std::move(folded), at);
  return at;
}

const MachineKey* MachineBranch::find(std::string_view path) const {
  auto it = index.find(toLower(normalizeSectionPath(path)));
  return it == index.end() ? nullptr : &keys[it->second];
}

namespace {

// A reader for one line of the machine registry text.
class LineReader {
 public:
  explicit LineReader(std::string_view s) : s_(s) {}
  void skipBlanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
  }
  bool atEnd() {
    skipBlanks();
    return i_ >= s_.size() || s_[i_] == ';' || s_[i_] == '#';
  }
  bool take(char c) {
    skipBlanks();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool takeWord(std::string_view w) {
    skipBlanks();
    if (s_.substr(i_, w.size()).size() == w.size()) {
      for (size_t k = 0; k < w.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(s_[i_ + k])) != w[k]) return false;
      i_ += w.size();
      return true;
    }
    return false;
  }
  // A double-quoted text; a doubled quote stands for one quote.
  bool quoted(std::string& out) {
    skipBlanks();
    if (i_ >= s_.size() || s_[i_] != '"') return false;
    ++i_;
    out.clear();
    while (i_ < s_.size()) {
      char c = s_[i_++];
      if (c == '"') {
        if (i_ < s_.size() && s_[i_] == '"') {
          out += '"';
          ++i_;
          continue;
        }
        return true;
      }
      out += c;
    }
    return false;  // unterminated
  }
  // Everything up to `stop`, blanks trimmed.
  std::string until(char stop) {
    size_t j = s_.find(stop, i_);
    if (j == std::string_view::npos) j = s_.size();
    std::string_view part = s_.substr(i_, j - i_);
    i_ = j;
    while (!part.empty() && (part.back() == ' ' || part.back() == '\t')) part.remove_suffix(1);
    while (!part.empty() && (part.front() == ' ' || part.front() == '\t')) part.remove_prefix(1);
    return std::string(part);
  }
  // A 32-bit number: decimal (with an optional minus) or 0x hexadecimal.
  bool number(int32_t& out) {
    skipBlanks();
    size_t start = i_;
    bool negative = false;
    if (i_ < s_.size() && (s_[i_] == '-' || s_[i_] == '+')) negative = s_[i_++] == '-';
    int base = 10;
    if (i_ + 1 < s_.size() && s_[i_] == '0' && (s_[i_ + 1] == 'x' || s_[i_ + 1] == 'X')) {
      base = 16;
      i_ += 2;
    }
    uint64_t v = 0;
    size_t digits = 0;
    while (i_ < s_.size()) {
      int d;
      char c = s_[i_];
      if (c >= '0' && c <= '9')
        d = c - '0';
      else if (base == 16 && c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
      else if (base == 16 && c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
      else
        break;
      v = v * base + d;
      if (v > 0xFFFFFFFFull) return false;
      ++digits;
      ++i_;
    }
    if (digits == 0) {
      i_ = start;
      return false;
    }
    if (negative) {
      if (v > 0x80000000ull) return false;
      out = static_cast<int32_t>(-static_cast<int64_t>(v));
    } else {
      out = static_cast<int32_t>(static_cast<uint32_t>(v));
    }
    return true;
  }
  bool hexByte(uint8_t& out) {
    skipBlanks();
    auto digit = [](char c) -> int {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    if (i_ + 2 > s_.size()) return false;
    int hi = digit(s_[i_]), lo = digit(s_[i_ + 1]);
    if (hi < 0 || lo < 0) return false;
    if (i_ + 2 < s_.size() && digit(s_[i_ + 2]) >= 0) return false;
    out = static_cast<uint8_t>(hi * 16 + lo);
    i_ += 2;
    return true;
  }

 private:
  std::string_view s_;
  size_t i_ = 0;
};

// Reads the data part of a value line; false with a reason when it cannot.
bool parseData(LineReader& r, RegValue& out, std::string& why) {
  std::string text;
  if (r.takeWord("string:")) {
    if (!r.quoted(text)) return why = "a quoted text must follow string:", false;
    out = {kRegString, Variant(std::move(text))};
  } else if (r.takeWord("expand:")) {
    if (!r.quoted(text)) return why = "a quoted text must follow expand:", false;
    out = {kRegExpandString, Variant(std::move(text))};
  } else if (r.takeWord("multi:")) {
    std::string joined;
    bool first = true;
    do {
      if (!r.quoted(text)) return why = "multi: takes quoted texts separated by commas", false;
      if (!first) joined += '\0';
      joined += text;
      first = false;
    } while (r.take(','));
    out = {kRegMultiString, Variant(std::move(joined))};
  } else if (r.takeWord("dword-be:")) {
    int32_t n;
    if (!r.number(n)) return why = "a 32-bit number must follow dword-be:", false;
    out = {kRegDwordBigEndian, Variant::long_(n)};
  } else if (r.takeWord("dword:")) {
    int32_t n;
    if (!r.number(n)) return why = "a 32-bit number must follow dword:", false;
    out = {kRegDword, Variant::long_(n)};
  } else if (r.takeWord("hex:")) {
    std::vector<uint8_t> bytes;
    uint8_t b;
    if (!r.atEnd()) {
      do {
        if (!r.hexByte(b)) return why = "hex: takes two-digit hexadecimal bytes separated by commas", false;
        bytes.push_back(b);
      } while (r.take(','));
    }
    out = {kRegBinary, binaryValue(bytes)};
  } else if (r.quoted(text)) {
    out = {kRegString, Variant(std::move(text))};
  } else {
    return why = "unknown value type (use string:, expand:, multi:, dword:, dword-be: or hex:)", false;
  }
  if (!r.atEnd()) return why = "unexpected text after the value", false;
  return true;
}

}  // namespace

MachineBranch parseMachineRegistry(std::string_view text, std::vector<std::string>* problems) {
  MachineBranch branch;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  size_t current = 0;
  bool inSection = false;
  size_t lineNo = 0;
  auto problem = [&](std::string what) {
    if (problems) problems->push_back("line " + std::to_string(lineNo) + ": " + what);
  };
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    LineReader r(line);
    if (r.atEnd()) continue;
    if (r.take('[')) {
      std::string path = r.until(']');
      if (!r.take(']') || !r.atEnd()) {
        problem("a section line must look like [Key\\Path]");
        inSection = false;
        continue;
      }
      current = branch.ensureKey(path);
      inSection = true;
      continue;
    }
    std::string name;
    if (r.take('@')) {
      name.clear();
    } else if (!r.quoted(name)) {
      name = r.until('=');
      if (name.empty()) {
        problem("a value line must look like Name = type:data");
        continue;
      }
    }
    if (!r.take('=')) {
      problem("a value line must look like Name = type:data");
      continue;
    }
    RegValue value;
    std::string why;
    if (!parseData(r, value, why)) {
      problem(why);
      continue;
    }
    if (!inSection) {
      problem("a value outside a [section]");
      continue;
    }
    auto& values = branch.keys[current].values;
    bool replaced = false;
    for (auto& [n, v] : values) {
      if (equalsNoCase(n, name)) {
        v = std::move(value);
        replaced = true;
        break;
      }
    }
    if (!replaced) values.emplace_back(std::move(name), std::move(value));
  }
  return branch;
}

}  // namespace tw
