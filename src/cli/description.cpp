// Project descriptions: a project's settings, custom views, reports and
// charts written as lines of shell-quoted words, one change a line (the
// sample application is shipped as one). Each line is what one tarnwick
// command would do:
//   name NAME                        new --name NAME
//   project NAME=VALUE...            set PROJECT NAME=VALUE...
//   database NAME=VALUE...           set PROJECT --database NAME=VALUE...
//   table TABLE NAME=VALUE...        set PROJECT TABLE NAME=VALUE...
//   field TABLE FIELD NAME=VALUE...  set PROJECT TABLE FIELD NAME=VALUE...
//   view NAME SQL                    add-view PROJECT NAME --sql SQL --copy-fields
//   report NAME SOURCE               add-report PROJECT NAME --from SOURCE
//   chart TABLE NAME NAME=VALUE...   add-chart PROJECT TABLE NAME (the first time),
//                                    then set PROJECT TABLE --chart NAME NAME=VALUE...
#include <fstream>

#include "cli/objects.h"
#include "model/chart.h"
#include "model/table.h"
#include "schema/loaders.h"
#include "support/engine_context.h"

namespace tw::cli {

namespace {

// Splits a line as a POSIX shell splits words: blanks separate, '...' keeps
// everything, "..." keeps everything but \" \\ \$ \` , a backslash outside
// quotes keeps the next character, and # at the start of a word begins a
// comment. False when a quote is not closed.
bool splitWords(const std::string& line, std::vector<std::string>& words) {
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
      if (close == std::string::npos) return false;
      word += line.substr(i + 1, close - i - 1);
      i = close;
      inWord = true;
    } else if (c == '"') {
      size_t j = i + 1;
      for (; j < line.size() && line[j] != '"'; ++j) {
        if (line[j] == '\\' && j + 1 < line.size() &&
            std::string_view("\"\\$`").find(line[j + 1]) != std::string::npos)
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

std::vector<std::pair<std::string, std::string>> assignmentsOf(const std::vector<std::string>& words,
                                                               size_t from) {
  std::vector<std::pair<std::string, std::string>> out;
  for (size_t i = from; i < words.size(); ++i) {
    size_t eq = words[i].find('=');
    if (eq == std::string::npos || eq == 0) throw usageError("expected NAME=VALUE, got \"" + words[i] + "\"");
    out.emplace_back(words[i].substr(0, eq), words[i].substr(eq + 1));
  }
  return out;
}

void applyLine(AGP& proj, const std::vector<std::string>& w) {
  const std::string& what = w[0];
  auto need = [&](size_t count) {
    if (w.size() < count) throw usageError("\"" + what + "\" needs more words");
  };
  ObjectPath path;
  if (what == "name") {
    need(2);
    proj.setSetting("ProjName", Variant(w[1]));
  } else if (what == "project") {
    applySettings(proj, path, assignmentsOf(w, 1));
  } else if (what == "database") {
    path.database = true;
    applySettings(proj, path, assignmentsOf(w, 1));
  } else if (what == "table") {
    need(2);
    path.table = w[1];
    applySettings(proj, path, assignmentsOf(w, 2));
  } else if (what == "field") {
    need(3);
    path.table = w[1];
    path.field = w[2];
    applySettings(proj, path, assignmentsOf(w, 3));
  } else if (what == "view") {
    need(3);
    LoadCustomView(proj, Variant(w[1]), Variant(w[2]), Variant(true));
    throwOnEngineError(w[1]);
    findTable(proj, w[1]).setSetting("TblGen", Variant(true));
  } else if (what == "report") {
    need(3);
    if (!LoadReport(proj, Variant(w[1]), Variant(w[2]))) throwOnEngineError(w[1]);
  } else if (what == "chart") {
    need(3);
    AGPTable& table = findTable(proj, w[1]);
    if (!table.Charts().ChartExist(Variant(w[2])) && !LoadChart(proj, w[2], w[1])) throwOnEngineError(w[2]);
    path.table = w[1];
    path.chart = w[2];
    if (w.size() > 3) applySettings(proj, path, assignmentsOf(w, 3));
  } else {
    throw usageError("unknown line \"" + what +
                     "\" (name, project, database, table, field, view, report, chart)");
  }
}

}  // namespace

void applyDescription(AGP& proj, const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw CliError(file + ": cannot read the project description");
  std::string line;
  std::vector<std::string> words;
  for (int number = 1; std::getline(in, line); ++number) {
    try {
      if (!splitWords(line, words)) throw usageError("a quote is not closed");
      if (!words.empty()) applyLine(proj, words);
    } catch (const CliError& e) {
      throw CliError(file + ":" + std::to_string(number) + ": " + e.what(), e.code());
    }
  }
}

}  // namespace tw::cli
