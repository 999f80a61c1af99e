#include "script/parser.h"

#include <string>

#include "automation/text.h"
#include "platform/files.h"
#include "support/engine_context.h"

namespace tw {

namespace {

constexpr std::string_view kOpen = "<!--##";
constexpr std::string_view kClose = "##-->";
constexpr std::string_view kSessionTag = "<!--##session";
constexpr std::string_view kSessionEnd = "<!--##/session##-->";
constexpr std::string_view kIncludeTag = "<!--##include";

char asciiLower(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Finds `tag` (which starts with the opening marker) at or after `from`,
// letters compared without regard to case.
size_t findTag(std::string_view text, std::string_view tag, size_t from) {
  while (true) {
    size_t at = text.find(kOpen, from);
    if (at == std::string_view::npos) return at;
    if (text.size() - at >= tag.size()) {
      bool same = true;
      for (size_t i = kOpen.size(); i < tag.size(); ++i) {
        if (asciiLower(text[at + i]) != tag[i]) {
          same = false;
          break;
        }
      }
      if (same) return at;
    }
    from = at + 1;
  }
}

// Line and column of byte `at` for messages: the text up to and including
// that character is split at line ends (CR LF, or a bare LF as templates
// written on this platform have); the line is the number of pieces, the
// column the length of the last piece in characters.
std::pair<size_t, size_t> lineAndColumn(std::string_view src, size_t at) {
  std::string_view head = src.substr(0, at + 1);
  size_t line = 1;
  size_t lineStart = 0;
  for (size_t i = head.find('\n'); i != std::string_view::npos; i = head.find('\n', i + 1)) {
    ++line;
    lineStart = i + 1;
  }
  return {line, codePointCount(head.substr(lineStart))};
}

void blockError(std::string_view what, std::string_view src, size_t at) {
  auto [line, column] = lineAndColumn(src, at);
  engine().projErr = "***" + std::string(what) + " at line " + std::to_string(line) + " column " +
                     std::to_string(column) + "! Generation failed!";
}

// State of one GetSession call and the includes it expands.
struct IncludeRun {
  std::unordered_map<std::string, std::string> files;  // path -> text, read once per run
  bool stopped = false;                                // nesting limit reached
};

std::string expandIncludes(std::string_view text, IncludeRun& run, int depth);

std::string sessionOf(std::string_view src, std::string_view id, IncludeRun& run, int depth) {
  size_t tag = findTag(src, kSessionTag, 0);
  while (tag != std::string_view::npos) {
    size_t close = src.find(kClose, tag + kSessionTag.size());
    if (close == std::string_view::npos) return {};
    std::string_view name =
        trimBlanks(src.substr(tag + kSessionTag.size(), close - tag - kSessionTag.size()));
    if (equalsNoCase(name, id)) {
      size_t bodyStart = close + kClose.size();
      size_t end = findTag(src, kSessionEnd, bodyStart);
      if (end == std::string_view::npos) return {};
      return expandIncludes(src.substr(bodyStart, end - bodyStart), run, depth);
    }
    tag = findTag(src, kSessionTag, close + kClose.size());
  }
  return {};
}

std::string expandIncludes(std::string_view text, IncludeRun& run, int depth) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (true) {
    size_t tag = findTag(text, kIncludeTag, pos);
    if (tag == std::string_view::npos) break;
    out.append(text.substr(pos, tag - pos));
    size_t argStart = tag + kIncludeTag.size();
    size_t close = text.find(kClose, argStart);
    if (close == std::string_view::npos) {
      out.append(text.substr(tag));
      return out;
    }
    pos = close + kClose.size();
    std::string_view arg = trimBlanks(text.substr(argStart, close - argStart));
    size_t slash = arg.find('/');
    if (slash == std::string_view::npos || arg.find('/', slash + 1) != std::string_view::npos) continue;
    std::string file(trimBlanks(arg.substr(0, slash)));
    std::string id(trimBlanks(arg.substr(slash + 1)));
    if (run.stopped) continue;
    if (depth >= AGParser::kMaxIncludeDepth) {
      run.stopped = true;
      setProjErr(": Include of session \"" + id + "\" from file \"" + file + "\" is nested deeper than " +
                 std::to_string(AGParser::kMaxIncludeDepth) +
                 " levels (do the included files include each other?)! Generation failed!");
      continue;
    }
    std::string path = joinPath(engine().templateFolder, file);
    auto cached = run.files.find(path);
    if (cached == run.files.end()) {
      if (!fileExists(path)) continue;
      auto content = readTextFile(path);
      if (!content) continue;
      cached = run.files.emplace(path, std::move(*content)).first;
    }
    // Entries of the map stay where they are while it grows.
    const std::string& included = cached->second;
    out += sessionOf(included, id, run, depth + 1);
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace

void AGParser::Parse(std::string_view src) {
  source_.assign(src.data(), src.size());
  blocks_.clear();
  spans_.clear();
  const std::string_view s = source_;

  // Byte offsets are turned into character positions by counting forward from
  // the last offset converted, so the whole text is counted once.
  size_t countedBytes = 0;
  size_t countedChars = 0;
  auto charsAt = [&](size_t byte) {
    countedChars += codePointCount(s.substr(countedBytes, byte - countedBytes));
    countedBytes = byte;
    return countedChars;
  };
  auto append = [&](int32_t type, size_t from, size_t to, std::string name, std::string indent) {
    BlockRec rec;
    rec.Type = type;
    rec.Name = std::move(name);
    rec.Start = static_cast<int32_t>(charsAt(from) + 1);
    rec.Length = static_cast<int32_t>(charsAt(to) - (rec.Start - 1));
    rec.Indent = std::move(indent);
    blocks_.push_back(std::move(rec));
    spans_.push_back({from, to - from});
  };

  // Each marker gives at most two blocks (the content in front and the block
  // itself); reserving once spares the list its growth copies on big texts.
  size_t markers = 0;
  for (size_t at = s.find(kOpen); at != std::string_view::npos; at = s.find(kOpen, at + kOpen.size()))
    ++markers;
  blocks_.reserve(2 * markers + 1);
  spans_.reserve(2 * markers + 1);

  size_t pos = 0;
  size_t p = s.find(kOpen);
  while (true) {
    if (p == std::string_view::npos) {
      if (pos < s.size()) append(agc_Block_Content, pos, s.size(), {}, {});
      break;
    }
    if (p > pos) append(agc_Block_Content, pos, p, {}, {});
    const size_t after = p + kOpen.size();
    const char c = after < s.size() ? s[after] : '\0';
    const bool script = c != '=' && c != '~' && c != '@' && c != '$';
    const size_t valueStart = script ? after : after + 1;
    // A closing marker that shares characters with the opening one
    // ("<!--##-->") does not close the block.
    const size_t close = s.find(kClose, p);
    if (close == std::string_view::npos || close < valueStart) {
      blockError("Incomplete Block", s, p);
      break;
    }
    const size_t q = s.find(kOpen, after);
    if (q != std::string_view::npos && q < close) {
      blockError("Nested Blocks found", s, q);
      break;
    }
    std::string_view value = s.substr(valueStart, close - valueStart);
    if (script) {
      append(agc_Block_Script, valueStart, close, GetFunctionName(value), {});
    } else {
      int32_t type = c == '='   ? agc_Block_Function
                     : c == '~' ? agc_Block_FunctionIndent
                     : c == '@' ? agc_Block_Language
                                : agc_Block_LanguageDynamic;
      std::string indent;
      if (type == agc_Block_FunctionIndent && !blocks_.empty() && blocks_.back().Type == agc_Block_Content) {
        const Span& prev = spans_.back();
        indent = GetIndent(s.substr(prev.offset, prev.size));
      }
      append(type, valueStart, close, std::string(trimBlanks(value)), std::move(indent));
    }
    pos = close + kClose.size();
    p = q;
  }
  current_ = Count();
}

int32_t AGParser::BlockType() const {
  return current_ >= 1 && current_ <= Count() ? blocks_[current_ - 1].Type : 0;
}

std::string AGParser::BlockName() const {
  return current_ >= 1 && current_ <= Count() ? blocks_[current_ - 1].Name : std::string();
}

std::string AGParser::BlockValue() const { return std::string(blockValue(current_)); }

std::string AGParser::BlockIndent() const {
  return current_ >= 1 && current_ <= Count() ? blocks_[current_ - 1].Indent : std::string();
}

std::string_view AGParser::blockValue(int32_t index) const {
  if (index < 1 || index > Count()) return {};
  const Span& span = spans_[index - 1];
  return std::string_view(source_).substr(span.offset, span.size);
}

std::string AGParser::GetSession(std::string_view src, std::string_view id) {
  IncludeRun run;
  return sessionOf(src, id, run, 0);
}

std::string AGParser::ExpandIncludes(std::string_view text) {
  IncludeRun run;
  return expandIncludes(text, run, 0);
}

std::string AGParser::GetIndent(std::string_view text) {
  size_t start = text.size();
  while (start > 0 && (text[start - 1] == ' ' || text[start - 1] == '\t')) --start;
  return std::string(text.substr(start));
}

std::string AGParser::GetFunctionName(std::string_view code) {
  constexpr std::string_view kWord = "function ";
  std::string lower(code);
  for (char& ch : lower) ch = asciiLower(ch);

  // The line of the occurrence last looked at: where it starts and where its
  // first character other than a blank is. Occurrences are visited from the
  // end backwards, so one line is measured once however many it holds.
  size_t cachedLineStart = std::string::npos;
  size_t cachedFirstNonBlank = 0;

  size_t end = code.size();  // the code considered is code[0, end)
  while (true) {
    std::string_view work(lower.data(), end);
    size_t at = work.rfind(kWord);
    if (at == std::string_view::npos) return {};

    // Is the prefix of the line in front of the occurrence empty or blanks?
    size_t scan = at;
    while (scan > 0 && code[scan - 1] == ' ') --scan;
    bool lineStartsHere = scan == 0 || (scan >= 2 && code[scan - 2] == '\r' && code[scan - 1] == '\n');
    if (lineStartsHere) {
      size_t paren = work.find('(', at);
      if (paren == std::string_view::npos) return {};
      size_t nameStart = at + kWord.size() - 1;  // just past "Function"
      return std::string(trimBlanks(code.substr(nameStart, paren - nameStart)));
    }
    if (code[at - 1] != ' ') {
      end = at;  // part of a longer word, such as "MyFunction "
      continue;
    }
    if (cachedLineStart == std::string::npos || at < cachedLineStart) {
      size_t crlf = at >= 2 ? work.rfind("\r\n", at - 2) : std::string_view::npos;
      cachedLineStart = crlf == std::string_view::npos ? 0 : crlf + 2;
      cachedFirstNonBlank = cachedLineStart;
      while (code[cachedFirstNonBlank] == ' ') ++cachedFirstNonBlank;
    }
    if (code[cachedFirstNonBlank] == '\'') {
      end = at;  // a comment line
      continue;
    }
    return {};  // "Public Function x(" and the like declare no name here
  }
}

const ClassInfo* AGParser::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGParser>("AGParser")
          .method("Parse", [](AGParser& p, const Variant& src) { p.Parse(src.toString()); })
          .get("Count", [](AGParser& p) { return p.Count(); })
          .prop(
              "BlockID", [](AGParser& p) { return p.BlockID(); },
              [](AGParser& p, const Variant& v) { p.setBlockID(v.toLong()); })
          .get("BlockType", [](AGParser& p) { return p.BlockType(); })
          .get("BlockName", [](AGParser& p) { return p.BlockName(); })
          .get("BlockValue", [](AGParser& p) { return p.BlockValue(); })
          .get("BlockIndent", [](AGParser& p) { return p.BlockIndent(); })
          .method("GetSession", [](AGParser&, const Variant& src,
                                   const Variant& id) { return GetSession(src.toString(), id.toString()); })
          .build();
  return &info;
}

}  // namespace tw
