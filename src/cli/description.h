#pragma once
// Project descriptions: a project's settings, custom views, reports and
// charts written as lines of shell-quoted words, one change a line, so that
// a project can be kept as text (the sample application is shipped as one).
// Each line is what one tarnwick command would do:
//   name NAME                        new --name NAME
//   project NAME=VALUE...            set PROJECT NAME=VALUE...
//   database NAME=VALUE...           set PROJECT --database NAME=VALUE...
//   table TABLE NAME=VALUE...        set PROJECT TABLE NAME=VALUE...
//   field TABLE FIELD NAME=VALUE...  set PROJECT TABLE FIELD NAME=VALUE...
//   view NAME SQL                    add-view PROJECT NAME --sql SQL --copy-fields
//   report NAME SOURCE               add-report PROJECT NAME --from SOURCE
//   chart TABLE NAME NAME=VALUE...   add-chart PROJECT TABLE NAME (the first time),
//                                    then set PROJECT TABLE --chart NAME NAME=VALUE...
// Blank lines and words from a "#" at the start of a word on are left out.
//
// This part reads the text only (no project is needed): every line that
// cannot be applied whatever the project holds is found here.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tw::cli {

struct DescriptionLine {
  int number = 0;  // from 1
  std::string kind;  // "name", "project", "database", "table", "field", "view", "report", "chart"
  std::vector<std::string> names;  // the words before the assignments (table, field, chart, ...)
  std::vector<std::pair<std::string, std::string>> assignments;  // NAME=VALUE, in order
};

struct DescriptionProblem {
  int number = 0;
  std::string message;
};

struct Description {
  std::vector<DescriptionLine> lines;
  std::vector<DescriptionProblem> problems;  // in line order; a line with one is not in `lines`
};

// Reads a description; never throws for any text.
Description parseDescription(std::string_view text);

// Splits a line as a POSIX shell splits words: blanks separate, '...' keeps
// everything, "..." keeps everything but \" \\ \$ \` , a backslash outside
// quotes keeps the next character, and # at the start of a word begins a
// comment. False when a quote is not closed.
bool splitDescriptionWords(std::string_view line, std::vector<std::string>& words);

}  // namespace tw::cli
