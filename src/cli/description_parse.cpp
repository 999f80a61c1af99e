// Reading project descriptions (see description.h): words, line kinds and
// NAME=VALUE pairs, with a message for every line that is wrong.
#include "cli/description.h"

namespace tw::cli {

bool splitDescriptionWords(std::string_view line, std::vector<std::string>& words) {
  words.clear();
  std::string word;
  bool inWord = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else if (c == '#' && !inWord) {
      break;
    } else if (c == '\'') {
      size_t close = line.find('\'', i + 1);
      if (close == std::string_view::npos) return false;
      word += line.substr(i + 1, close - i - 1);
      i = close;
      inWord = true;
    } else if (c == '"') {
      size_t j = i + 1;
      for (; j < line.size() && line[j] != '"'; ++j) {
        if (line[j] == '\\' && j + 1 < line.size() &&
            std::string_view("\"\\$`").find(line[j + 1]) != std::string_view::npos)
          ++j;
        word += line[j];
      }
      if (j >= line.size()) return false;
      i = j;
      inWord = true;
    } else if (c == '\\' && i + 1 < line.size()) {
      word += line[++i];
      inWord = true;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return true;
}

namespace {

struct Kind {
  std::string_view name;
  size_t names;        // words naming the object, after the kind
  bool assignments;    // NAME=VALUE words follow
  std::string_view usage;
};

constexpr Kind kKinds[] = {
    {"name", 1, false, "name NAME"},
    {"project", 0, true, "project NAME=VALUE..."},
    {"database", 0, true, "database NAME=VALUE..."},
    {"table", 1, true, "table TABLE NAME=VALUE..."},
    {"field", 2, true, "field TABLE FIELD NAME=VALUE..."},
    {"view", 2, false, "view NAME SQL"},
    {"report", 2, false, "report NAME SOURCE"},
    {"chart", 2, true, "chart TABLE NAME NAME=VALUE..."},
};

// The line, or the reason it is wrong.
std::string readLine(const std::vector<std::string>& words, DescriptionLine& out) {
  const Kind* kind = nullptr;
  for (const Kind& k : kKinds)
    if (words[0] == k.name) kind = &k;
  if (!kind)
    return "unknown line \"" + words[0] + "\" (name, project, database, table, field, view, report, chart)";
  out.kind = words[0];
  const size_t named = 1 + kind->names;
  if (words.size() < named) return "\"" + words[0] + "\" needs more words: " + std::string(kind->usage);
  for (size_t i = 1; i < named; ++i) {
    if (words[i].empty()) return "\"" + words[0] + "\" has an empty name: " + std::string(kind->usage);
    out.names.push_back(words[i]);
  }
  if (!kind->assignments) {
    if (words.size() > named)
      return "\"" + words[0] + "\" takes " + std::to_string(kind->names) + " word" + (kind->names == 1 ? "" : "s") +
             " (quote a value that holds blanks): " + std::string(kind->usage);
    return {};
  }
  for (size_t i = named; i < words.size(); ++i) {
    const size_t eq = words[i].find('=');
    if (eq == std::string::npos || eq == 0) return "expected NAME=VALUE, got \"" + words[i] + "\"";
    out.assignments.emplace_back(words[i].substr(0, eq), words[i].substr(eq + 1));
  }
  if (out.assignments.empty() && out.kind != "chart")
    return "\"" + words[0] + "\" changes nothing: " + std::string(kind->usage);
  return {};
}

}  // namespace

Description parseDescription(std::string_view text) {
  Description d;
  std::vector<std::string> words;
  int number = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++number;
    if (line.find('\0') != std::string_view::npos) {
      d.problems.push_back({number, "the line holds a NUL character"});
      continue;
    }
    if (!splitDescriptionWords(line, words)) {
      d.problems.push_back({number, "a quote is not closed"});
      continue;
    }
    if (words.empty()) continue;
    DescriptionLine read;
    read.number = number;
    std::string problem = readLine(words, read);
    if (problem.empty())
      d.lines.push_back(std::move(read));
    else
      d.problems.push_back({number, std::move(problem)});
  }
  return d;
}

}  // namespace tw::cli
