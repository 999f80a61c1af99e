#include "script/parser.h"

#include <optional>
#include <string>

#include "automation/text.h"
#include "platform/files.h"
#include "script/source_map.h"
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
  std::unordered_map<std::string, MappedText> files;  // path -> text, read once per run
  bool stopped = false;                               // nesting limit reached
  std::vector<SourceProblem>* problems = nullptr;     // where dropped includes are told, when wanted
};

void dropped(IncludeRun& run, const MappedText& text, size_t at, std::string message,
             ProblemKind kind = ProblemKind::Other) {
  if (run.problems) run.problems->push_back({text.originAt(at), std::move(message), kind});
}

MappedText expandIncludes(const MappedText& text, size_t from, size_t to, IncludeRun& run, int depth);

// The session `id` of `src`; `found` tells whether it exists (an empty
// session exists).
MappedText sessionOf(const MappedText& src, std::string_view id, IncludeRun& run, int depth, bool* found) {
  const std::string_view s = src.text();
  if (found) *found = false;
  size_t tag = findTag(s, kSessionTag, 0);
  while (tag != std::string_view::npos) {
    size_t close = s.find(kClose, tag + kSessionTag.size());
    if (close == std::string_view::npos) return {};
    std::string_view name = trimBlanks(s.substr(tag + kSessionTag.size(), close - tag - kSessionTag.size()));
    if (equalsNoCase(name, id)) {
      size_t bodyStart = close + kClose.size();
      size_t end = findTag(s, kSessionEnd, bodyStart);
      if (end == std::string_view::npos) return {};
      if (found) *found = true;
      return expandIncludes(src, bodyStart, end, run, depth);
    }
    tag = findTag(s, kSessionTag, close + kClose.size());
  }
  return {};
}

MappedText expandIncludes(const MappedText& src, size_t from, size_t to, IncludeRun& run, int depth) {
  const std::string_view text = std::string_view(src.text()).substr(0, to);
  MappedText out;
  size_t pos = from;
  while (true) {
    size_t tag = findTag(text, kIncludeTag, pos);
    if (tag == std::string_view::npos) break;
    out.appendFrom(src, pos, tag - pos);
    size_t argStart = tag + kIncludeTag.size();
    size_t close = text.find(kClose, argStart);
    if (close == std::string_view::npos) {
      out.appendFrom(src, tag, text.size() - tag);
      return out;
    }
    pos = close + kClose.size();
    std::string_view arg = trimBlanks(text.substr(argStart, close - argStart));
    size_t slash = arg.find('/');
    if (slash == std::string_view::npos || arg.find('/', slash + 1) != std::string_view::npos) {
      dropped(run, src, tag, "include \"" + std::string(arg) + "\" is not of the form FILE/SESSION; it was left out");
      continue;
    }
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
      std::optional<std::string> content = fileExists(path) ? readTextFile(path) : std::nullopt;
      if (!content) {
        dropped(run, src, tag, "included file \"" + file + "\" not found; the include was left out");
        continue;
      }
      cached = run.files.emplace(path, MappedText(std::move(*content), path)).first;
    }
    // Entries of the map stay where they are while it grows.
    const MappedText& included = cached->second;
    bool found = false;
    MappedText session = sessionOf(included, id, run, depth + 1, &found);
    if (!found)
      dropped(run, src, tag, "session \"" + id + "\" not found in \"" + file + "\"; the include was left out",
              ProblemKind::MissingSession);
    out.appendFrom(session, 0, session.size());
  }
  out.appendFrom(src, pos, text.size() - pos);
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
  return GetSession(MappedText(std::string(src), {}), id).text();
}

std::string AGParser::ExpandIncludes(std::string_view text) {
  return ExpandIncludes(MappedText(std::string(text), {})).text();
}

MappedText AGParser::GetSession(const MappedText& src, std::string_view id, std::vector<SourceProblem>* problems,
                                bool* found) {
  IncludeRun run;
  run.problems = problems;
  return sessionOf(src, id, run, 0, found);
}

MappedText AGParser::ExpandIncludes(const MappedText& text, std::vector<SourceProblem>* problems) {
  IncludeRun run;
  run.problems = problems;
  return expandIncludes(text, 0, text.size(), run, 0);
}

size_t AGParser::blockOffset(int32_t index) const {
  if (index < 1 || index > Count()) return 0;
  return spans_[index - 1].offset;
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
