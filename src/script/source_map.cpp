#include "script/source_map.h"

#include <algorithm>
#include <charconv>

#include "automation/text.h"

namespace tw {

MappedText::MappedText(std::string text, std::string file) : text_(std::move(text)) {
  pieces_.push_back({0, SourceOrigin{std::move(file), 1, 1}});
}

void MappedText::append(std::string_view text, const SourceOrigin& origin) {
  if (text.empty()) return;
  pieces_.push_back({text_.size(), origin});
  text_.append(text);
}

void MappedText::appendFrom(const MappedText& other, size_t from, size_t length) {
  if (from >= other.text_.size() || length == 0) return;
  length = std::min(length, other.text_.size() - from);
  const size_t base = text_.size();
  pieces_.push_back({base, other.originAt(from)});
  for (const Piece& p : other.pieces_) {
    if (p.at <= from) continue;
    if (p.at >= from + length) break;
    pieces_.push_back({base + (p.at - from), p.origin});
  }
  text_.append(other.text_, from, length);
}

SourceOrigin MappedText::originAt(size_t offset) const {
  offset = std::min(offset, text_.size());
  auto it = std::upper_bound(pieces_.begin(), pieces_.end(), offset,
                             [](size_t o, const Piece& p) { return o < p.at; });
  if (it == pieces_.begin()) return {};
  const Piece& piece = *std::prev(it);
  SourceOrigin origin = piece.origin;
  if (!origin.known()) return origin;
  const std::string_view between = std::string_view(text_).substr(piece.at, offset - piece.at);
  size_t lastBreak = between.rfind('\n');
  if (lastBreak == std::string_view::npos) {
    origin.column += static_cast<int32_t>(codePointCount(between));
  } else {
    origin.line += static_cast<int32_t>(std::count(between.begin(), between.end(), '\n'));
    origin.column = static_cast<int32_t>(codePointCount(between.substr(lastBreak + 1))) + 1;
  }
  return origin;
}

SourceOrigin LineMap::at(int32_t line) const {
  if (line < 1 || static_cast<size_t>(line) > lines.size()) return {};
  return lines[static_cast<size_t>(line - 1)];
}

namespace {

// Tabs and line breaks cannot stand in a field of the map file.
std::string field(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return out;
}

int32_t number(std::string_view text) {
  int32_t n = 0;
  std::from_chars(text.data(), text.data() + text.size(), n);
  return n;
}

std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> out;
  size_t start = 0;
  while (true) {
    size_t tab = line.find('\t', start);
    out.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return out;
    start = tab + 1;
  }
}

std::string originFields(const SourceOrigin& o) {
  return field(o.file) + "\t" + std::to_string(o.line) + "\t" + std::to_string(o.column);
}

}  // namespace

std::string LineMap::serialize() const {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].known()) continue;
    out += "L\t" + std::to_string(i + 1) + "\t" + originFields(lines[i]) + "\n";
  }
  if (end.known()) out += "E\t" + originFields(end) + "\n";
  for (const SourceProblem& p : problems) out += "P\t" + std::string(1, static_cast<char>(p.kind)) + "\t" + originFields(p.origin) + "\t" +
                                                 field(p.message) + "\n";
  return out;
}

LineMap LineMap::parse(std::string_view text) {
  LineMap map;
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    std::string_view line = text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
    start = nl == std::string_view::npos ? text.size() : nl + 1;
    std::vector<std::string_view> f = fields(line);
    if (f[0] == "L" && f.size() == 5) {
      int32_t n = number(f[1]);
      if (n < 1 || n > 10'000'000) continue;
      if (map.lines.size() < static_cast<size_t>(n)) map.lines.resize(static_cast<size_t>(n));
      map.lines[static_cast<size_t>(n - 1)] = {std::string(f[2]), number(f[3]), number(f[4])};
    } else if (f[0] == "E" && f.size() == 4) {
      map.end = {std::string(f[1]), number(f[2]), number(f[3])};
    } else if (f[0] == "P" && f.size() == 6 && f[1].size() == 1) {
      map.problems.push_back({{std::string(f[2]), number(f[3]), number(f[4])}, std::string(f[5]),
                              static_cast<ProblemKind>(f[1][0])});
    }
  }
  return map;
}

std::string formatOrigin(const SourceOrigin& origin) {
  std::string out = origin.file;
  if (origin.line > 0) {
    out += ":" + std::to_string(origin.line);
    if (origin.column > 0) out += ":" + std::to_string(origin.column);
  }
  return out;
}

}  // namespace tw
