#pragma once
// Where template text came from. A control's script is compiled from text
// put together out of several files (a session of one file, a session of
// another that it includes, several input files one after the other); a
// MappedText keeps, beside that text, the file, line and column each part
// of it was read from. The compiler turns that into a LineMap: for each line
// of the compiled script function, the template position its code came
// from, so that errors name the author's file and line, not a line of the
// function.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// A position in a template file (line and column 1-based, the column in
// characters); `file` is the path the text was read from, empty when the
// text was made by the engine.
struct SourceOrigin {
  std::string file;
  int32_t line = 0;
  int32_t column = 0;

  bool known() const noexcept { return !file.empty(); }
  bool operator==(const SourceOrigin&) const = default;
};

class MappedText {
 public:
  MappedText() = default;
  // The whole text of the file `file`.
  MappedText(std::string text, std::string file);

  const std::string& text() const noexcept { return text_; }
  size_t size() const noexcept { return text_.size(); }

  // Appends text made by the engine: its origin is `origin` (its first
  // character, later lines counted from there) or unknown.
  void append(std::string_view text, const SourceOrigin& origin = {});
  // Appends the bytes [from, from + length) of `other`, with their origins.
  void appendFrom(const MappedText& other, size_t from, size_t length);

  // Where the byte at `offset` came from (the end of the text for an offset
  // past it).
  SourceOrigin originAt(size_t offset) const;

 private:
  struct Piece {
    size_t at;  // byte offset in text_ where the piece starts
    SourceOrigin origin;
  };
  std::string text_;
  std::vector<Piece> pieces_;
};

// A problem found in template text while it is put together or compiled,
// with where it is.
enum class ProblemKind : char {
  Other = 'o',
  UnknownPhrase = 'p',   // a phrase identifier no language file defines
  MissingSession = 's',  // a session (of a control or an include) that is not there
};

struct SourceProblem {
  SourceOrigin origin;
  std::string message;
  ProblemKind kind = ProblemKind::Other;
  bool operator==(const SourceProblem&) const = default;
};

// The template positions of a compiled script function's lines, plus the
// problems its compilation found (kept with it, so that a run that uses the
// script file without compiling it again still reports them).
struct LineMap {
  std::vector<SourceOrigin> lines;  // [n - 1]: line n of the function
  SourceOrigin end;                 // the end of the text compiled last
  std::vector<SourceProblem> problems;

  // The origin of line `line`; unknown when it has none.
  SourceOrigin at(int32_t line) const;
  // As kept in a file beside the script file (one record a line, fields
  // separated by tabs) and read back; an unreadable record is skipped.
  std::string serialize() const;
  static LineMap parse(std::string_view text);
};

// "file:line:column" (or "file:line", or "file" as far as known).
std::string formatOrigin(const SourceOrigin& origin);

}  // namespace tw
