#pragma once
// Text helpers on UTF-8: case folding for case-insensitive names and keys, and
// code point counting where the engine counts characters.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tw {

// Simple lower/upper case mapping of one code point (Latin, Greek, Cyrillic).
char32_t lowerCodePoint(char32_t c) noexcept;
char32_t upperCodePoint(char32_t c) noexcept;

std::string toLower(std::string_view s);
std::string toUpper(std::string_view s);
// Compares without regard to case: <0, 0, >0.
int compareNoCase(std::string_view a, std::string_view b) noexcept;
bool equalsNoCase(std::string_view a, std::string_view b) noexcept;

// Decodes the code point at `pos` and advances it; invalid bytes decode as
// themselves (one byte each), so no text is ever lost.
char32_t decodeUtf8(std::string_view s, size_t& pos) noexcept;
void appendUtf8(std::string& out, char32_t c);
// Strict UTF-8: the length (1 to 4) of the sequence at `pos` when it is
// well-formed (no overlong form, no surrogate, nothing past U+10FFFF, not cut
// short), with its code point in `*cp` when given; 0 when it is not.
size_t utf8SequenceLength(std::string_view s, size_t pos, char32_t* cp = nullptr) noexcept;
// True when the whole text is well-formed UTF-8 in that strict sense.
bool isValidUtf8(std::string_view s) noexcept;
// Windows-1252 bytes as UTF-8 (what Windows editors save under a Latin-1 or
// unknown label); the five bytes it leaves unassigned keep their own value.
std::string decodeCp1252(std::string_view bytes);
// Number of code points.
size_t codePointCount(std::string_view s) noexcept;
// Byte offset of code point `index` (0-based); s.size() when past the end.
size_t codePointOffset(std::string_view s, size_t index) noexcept;
inline bool isAscii(std::string_view s) noexcept {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

// White space as numeric and date text may hold around and between its
// parts: space, tab, CR, LF, vertical tab and form feed.
constexpr bool isWhiteSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Blanks (space) trimmed from both ends / either end.
std::string_view trimBlanks(std::string_view s) noexcept;
std::string_view trimLeftBlanks(std::string_view s) noexcept;
std::string_view trimRightBlanks(std::string_view s) noexcept;

// Hash that agrees with equalsNoCase.
struct NoCaseHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const noexcept;
};
struct NoCaseEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept { return equalsNoCase(a, b); }
};

}  // namespace tw
