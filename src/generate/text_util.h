#pragma once
// Small text routines of the generation run.
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "automation/text.h"

namespace tw::gen {

// The pieces of `text` between the separators, as the script language's
// Split gives them: an empty text has no pieces.
inline std::vector<std::string_view> splitText(std::string_view text, char sep) {
  std::vector<std::string_view> out;
  if (text.empty()) return out;
  size_t start = 0;
  while (true) {
    size_t at = text.find(sep, start);
    if (at == std::string_view::npos) {
      out.push_back(text.substr(start));
      return out;
    }
    out.push_back(text.substr(start, at - start));
    start = at + 1;
  }
}

inline std::string trimmed(std::string_view text) { return std::string(trimBlanks(text)); }

inline bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

// Position of `needle` in `text` with ASCII letters compared without regard
// to case; npos when absent.
inline size_t findNoCase(std::string_view text, std::string_view needle, size_t from = 0) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  if (needle.empty()) return from <= text.size() ? from : std::string_view::npos;
  for (size_t i = from; i + needle.size() <= text.size(); ++i) {
    size_t j = 0;
    while (j < needle.size() && lower(text[i + j]) == lower(needle[j])) ++j;
    if (j == needle.size()) return i;
  }
  return std::string_view::npos;
}

// A path as messages show it: the engine joins paths with "\", this system
// separates folders with "/".
inline std::string shownPath(std::string_view path) {
  std::string out(path);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

// " (the system's reason)" for a failure that left `error` (an errno) behind,
// empty when there is none.
inline std::string reasonOf(int error) {
  return error ? " (" + std::string(std::strerror(error)) + ")" : std::string();
}

}  // namespace tw::gen
