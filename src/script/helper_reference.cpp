// Reads the helper functions of a system code text and their comments.
#include "script/helper_reference.h"

#include <cctype>

namespace tw {

namespace {

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(at, end - at));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (end == text.size()) break;
    at = end + 1;
  }
  return lines;
}

bool isDivider(const std::string& line) { return line.rfind("' ---", 0) == 0; }

bool startsWithWord(const std::string& line, size_t at, std::string_view word) {
  if (line.size() < at + word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(line[at + i])) != std::tolower(static_cast<unsigned char>(word[i])))
      return false;
  return line.size() == at + word.size() || line[at + word.size()] == ' ' || line[at + word.size()] == '\t';
}

std::string trim(std::string s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// Function NAME(PARAMS) or Sub NAME(PARAMS) at the start of a line, with an
// optional Public; false for Private procedures and anything else.
bool readDeclaration(const std::string& line, HelperDoc& doc) {
  size_t at = 0;
  if (startsWithWord(line, 0, "Public")) at = line.find_first_not_of(" \t", 6);
  if (at == std::string::npos) return false;
  std::string kind;
  if (startsWithWord(line, at, "Function"))
    kind = "Function";
  else if (startsWithWord(line, at, "Sub"))
    kind = "Sub";
  else
    return false;
  at = line.find_first_not_of(" \t", at + kind.size());
  if (at == std::string::npos) return false;
  size_t end = at;
  while (end < line.size() && (std::isalnum(static_cast<unsigned char>(line[end])) || line[end] == '_')) ++end;
  if (end == at) return false;
  doc.kind = kind;
  doc.name = line.substr(at, end - at);
  doc.params.clear();
  size_t open = line.find('(', end);
  size_t close = line.rfind(')');
  if (open != std::string::npos && close != std::string::npos && close > open)
    doc.params = trim(line.substr(open + 1, close - open - 1));
  return true;
}

// The text of a comment line without its apostrophe and the one blank after it.
std::string commentBody(const std::string& line) {
  std::string body = line.substr(1);
  if (!body.empty() && body[0] == ' ') body.erase(0, 1);
  return body;
}

void readComment(const std::vector<std::string>& lines, size_t first, size_t last, HelperDoc& doc) {
  std::string paragraph;
  auto endParagraph = [&] {
    if (!paragraph.empty()) doc.text.push_back(paragraph);
    paragraph.clear();
  };
  for (size_t i = first; i < last; ++i) {
    std::string body = commentBody(lines[i]);
    if (body.rfind("  ", 0) == 0) {
      endParagraph();
      doc.examples.push_back(trim(body));
    } else if (trim(body).empty()) {
      endParagraph();
    } else {
      if (!paragraph.empty()) paragraph += ' ';
      paragraph += trim(body);
    }
  }
  endParagraph();
}

}  // namespace

bool statesResult(std::string_view example) {
  size_t at = example.find(" =>");
  return at != std::string_view::npos && (at + 3 == example.size() || example[at + 3] == ' ');
}

HelperReference readHelperReference(std::string_view code) {
  HelperReference ref;
  std::vector<std::string> lines = splitLines(code);
  std::string group;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (isDivider(lines[i])) {
      std::string text;
      for (size_t j = i + 1; j < lines.size() && !lines[j].empty() && lines[j][0] == '\''; ++j) {
        if (!text.empty()) text += ' ';
        text += trim(commentBody(lines[j]));
      }
      size_t stop = text.find(". ");
      HelperGroup g;
      g.title = stop == std::string::npos ? text : text.substr(0, stop);
      if (!g.title.empty() && g.title.back() == '.') g.title.pop_back();
      g.intro = stop == std::string::npos ? "" : trim(text.substr(stop + 1));
      group = g.title;
      ref.groups.push_back(g);
      continue;
    }
    HelperDoc doc;
    if (!readDeclaration(lines[i], doc)) continue;
    doc.line = static_cast<int>(i) + 1;
    doc.group = group;
    size_t first = i;
    while (first > 0 && !lines[first - 1].empty() && lines[first - 1][0] == '\'' && !isDivider(lines[first - 1]))
      --first;
    readComment(lines, first, i, doc);
    ref.helpers.push_back(std::move(doc));
  }
  return ref;
}

std::string helperReferenceMarkdown(const HelperReference& ref) {
  std::string out;
  out += "The built-in system code defines " + std::to_string(ref.helpers.size()) +
         " helpers; every page script and every user function can call them.\n";
  std::string group = "\x01";
  for (const HelperDoc& h : ref.helpers) {
    if (h.group != group) {
      group = h.group;
      for (const HelperGroup& g : ref.groups) {
        if (g.title != group) continue;
        out += "\n### " + g.title + "\n";
        if (!g.intro.empty()) out += "\n" + g.intro + "\n";
      }
    }
    out += "\n#### `" + h.name + "(" + h.params + ")`";
    if (h.kind == "Sub") out += " (Sub)";
    out += "\n";
    for (const std::string& p : h.text) out += "\n" + p + "\n";
    std::vector<std::string> results, others;
    for (const std::string& e : h.examples) (statesResult(e) ? results : others).push_back(e);
    for (int kind = 0; kind < 2; ++kind) {
      const std::vector<std::string>& lines = kind == 0 ? results : others;
      if (lines.empty()) continue;
      out += kind == 0 ? "\n```vbscript results\n" : "\n```vbscript\n";
      for (const std::string& l : lines) out += l + "\n";
      out += "```\n";
    }
  }
  return out;
}

bool replaceHelperSection(std::string& guide, std::string_view section, std::string& error) {
  size_t begin = guide.find(kHelperSectionBegin);
  size_t end = guide.find(kHelperSectionEnd);
  if (begin == std::string::npos || end == std::string::npos || end < begin) {
    error = "the guide has no line " + std::string(kHelperSectionBegin) + " followed by a line " +
            std::string(kHelperSectionEnd);
    return false;
  }
  size_t from = begin + kHelperSectionBegin.size();
  guide.replace(from, end - from, "\n" + std::string(section) + "\n");
  return true;
}

std::string helperSectionOf(std::string_view guide) {
  size_t begin = guide.find(kHelperSectionBegin);
  size_t end = guide.find(kHelperSectionEnd);
  if (begin == std::string::npos || end == std::string::npos || end < begin) return "";
  size_t from = begin + kHelperSectionBegin.size();
  return std::string(guide.substr(from, end - from));
}

}  // namespace tw
