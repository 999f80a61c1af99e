// Splits a custom view's SELECT statement into tokens: names bare, quoted
// and bracketed, strings, numbers, operators, parameters and punctuation.
#include <array>
#include <cctype>
#include <utility>

#include "schema/sql_statement.h"

namespace tw {

namespace sql {

bool identStart(unsigned char c) { return std::isalpha(c) || c == '_' || c == '$' || c >= 0x80; }
bool identChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80; }

std::vector<Token> tokenize(std::string_view s) {
  std::vector<Token> out;
  size_t i = 0;
  const size_t n = s.size();
  auto fail = [](const char* what, size_t at) { throw ParseError{what, at}; };
  // A quoted run closed by `q`; doubled quotes stand for one, and for
  // strings a backslash escapes the next character.
  auto quoted = [&](char q, bool backslash, size_t start) {
    std::string text;
    size_t p = start + 1;
    while (true) {
      if (p >= n) fail("unterminated quote", start);
      char c = s[p];
      if (backslash && c == '\\' && p + 1 < n) {
        text += s[p + 1];
        p += 2;
        continue;
      }
      if (c == q) {
        if (p + 1 < n && s[p + 1] == q) {
          text += q;
          p += 2;
          continue;
        }
        return std::pair<std::string, size_t>(std::move(text), p + 1);
      }
      text += c;
      ++p;
    }
  };
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (std::isspace(c)) {
      ++i;
      continue;
    }
    if (c == '#' || (c == '-' && i + 1 < n && s[i + 1] == '-' &&
                     (i + 2 >= n || std::isspace(static_cast<unsigned char>(s[i + 2])) || s[i + 2] == '-'))) {
      while (i < n && s[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      size_t close = s.find("*/", i + 2);
      if (close == std::string_view::npos) fail("unterminated comment", i);
      i = close + 2;
      continue;
    }
    size_t start = i;
    if (c == '\'') {
      auto [text, next] = quoted('\'', true, i);
      out.push_back({Tok::String, std::move(text), start, next});
      i = next;
      continue;
    }
    if (c == '"' || c == '`') {
      auto [text, next] = quoted(static_cast<char>(c), false, i);
      // No name is empty: "" is the empty text (as MySQL reads double
      // quotes), `` is refused.
      if (text.empty() && c == '`') fail("empty quoted name", i);
      out.push_back({text.empty() ? Tok::String : Tok::QIdent, std::move(text), start, next});
      i = next;
      continue;
    }
    if (c == '[') {
      size_t close = s.find(']', i + 1);
      if (close == std::string_view::npos) fail("unterminated bracket", i);
      if (close == i + 1) fail("empty name in brackets", i);
      out.push_back({Tok::QIdent, std::string(s.substr(i + 1, close - i - 1)), start, close + 1});
      i = close + 1;
      continue;
    }
    // X'0A', B'01', N'text': literals with a prefix letter.
    if ((c == 'x' || c == 'X' || c == 'b' || c == 'B' || c == 'n' || c == 'N') && i + 1 < n &&
        s[i + 1] == '\'') {
      auto [text, next] = quoted('\'', true, i + 1);
      out.push_back({Tok::String, std::move(text), start, next});
      i = next;
      continue;
    }
    if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
      size_t p = i;
      if (c == '0' && p + 1 < n && (s[p + 1] == 'x' || s[p + 1] == 'X')) {
        p += 2;
        while (p < n && std::isxdigit(static_cast<unsigned char>(s[p]))) ++p;
      } else {
        while (p < n && std::isdigit(static_cast<unsigned char>(s[p]))) ++p;
        if (p < n && s[p] == '.') {
          ++p;
          while (p < n && std::isdigit(static_cast<unsigned char>(s[p]))) ++p;
        }
        if (p < n && (s[p] == 'e' || s[p] == 'E')) {
          size_t q = p + 1;
          if (q < n && (s[q] == '+' || s[q] == '-')) ++q;
          if (q < n && std::isdigit(static_cast<unsigned char>(s[q]))) {
            p = q;
            while (p < n && std::isdigit(static_cast<unsigned char>(s[p]))) ++p;
          }
        }
      }
      // MySQL names may start with digits: 1st_col.
      if (p < n && identChar(static_cast<unsigned char>(s[p])) && s[i] != '.') {
        while (p < n && identChar(static_cast<unsigned char>(s[p]))) ++p;
        out.push_back({Tok::Ident, std::string(s.substr(i, p - i)), start, p});
      } else {
        out.push_back({Tok::Number, std::string(s.substr(i, p - i)), start, p});
      }
      i = p;
      continue;
    }
    if (identStart(c)) {
      size_t p = i;
      while (p < n && identChar(static_cast<unsigned char>(s[p]))) ++p;
      out.push_back({Tok::Ident, std::string(s.substr(i, p - i)), start, p});
      i = p;
      continue;
    }
    if (c == '?' || c == '@' || c == ':') {
      size_t p = i + 1;
      if (c == ':' && p < n && s[p] == '=') {
        out.push_back({Tok::Op, ":=", start, p + 1});
        i = p + 1;
        continue;
      }
      if (c == '@' && p < n && s[p] == '@') ++p;
      if (c != '?' && p < n && (s[p] == '\'' || s[p] == '"' || s[p] == '`')) {
        p = quoted(s[p], false, p).second;
      } else {
        while (p < n && (identChar(static_cast<unsigned char>(s[p])) || (c == '@' && s[p] == '.'))) ++p;
      }
      if (c == ':' && p == i + 1) fail("unexpected character", i);
      out.push_back({Tok::Param, std::string(s.substr(i, p - i)), start, p});
      i = p;
      continue;
    }
    switch (c) {
      case '(':
        out.push_back({Tok::LParen, "(", start, i + 1});
        ++i;
        continue;
      case ')':
        out.push_back({Tok::RParen, ")", start, i + 1});
        ++i;
        continue;
      case ',':
        out.push_back({Tok::Comma, ",", start, i + 1});
        ++i;
        continue;
      case '.':
        out.push_back({Tok::Dot, ".", start, i + 1});
        ++i;
        continue;
      case ';':
        out.push_back({Tok::Semicolon, ";", start, i + 1});
        ++i;
        continue;
      default:
        break;
    }
    static constexpr std::array<std::string_view, 14> kLong = {
        "<=>", "->>", "<=", ">=", "<>", "!=", "==", "||", "&&", "<<", ">>", "->", "::", ":="};
    bool matched = false;
    for (std::string_view op : kLong) {
      if (s.substr(i, op.size()) == op) {
        out.push_back({Tok::Op, std::string(op), start, i + op.size()});
        i += op.size();
        matched = true;
        break;
      }
    }
    if (matched) continue;
    if (std::string_view("+-*/%=<>!~^&|").find(static_cast<char>(c)) != std::string_view::npos) {
      out.push_back({Tok::Op, std::string(1, static_cast<char>(c)), start, i + 1});
      ++i;
      continue;
    }
    fail("unexpected character", i);
  }
  out.push_back({Tok::End, "", n, n});
  return out;
}

}  // namespace sql

}  // namespace tw
