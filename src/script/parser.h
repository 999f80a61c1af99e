#pragma once
// AGParser: splits a template text into blocks and extracts named sessions.
//
// A template is output text (PHP, HTML, ...) with embedded blocks between the
// opening marker "<!--##" and the closing marker "##-->". The character right
// after the opening marker gives the kind of block:
//   "="  an expression whose value is written out      (agc_Block_Function)
//   "~"  the same, written with the line's indentation (agc_Block_FunctionIndent)
//   "@"  a phrase identifier of the language file       (agc_Block_Language)
//   "$"  an expression giving a phrase identifier       (agc_Block_LanguageDynamic)
//   anything else: script code                          (agc_Block_Script)
// Text outside markers is content (agc_Block_Content).
//
// Positions and lengths count characters (code points), starting at 1. The
// parser evaluates nothing; syntax errors go to ProjErr.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "automation/dispatch.h"
#include "script/source_map.h"

namespace tw {

enum agc_Block_Type : int32_t {
  agc_Block_Script = 1,
  agc_Block_Function = 2,
  agc_Block_FunctionIndent = 3,
  agc_Block_Language = 4,
  agc_Block_LanguageDynamic = 5,
  agc_Block_Content = 6,
};

struct BlockRec {
  int32_t Type = 0;
  // Expression and phrase blocks: the trimmed block text; script blocks: the
  // function the block declares (or empty); content: empty.
  std::string Name;
  int32_t Start = 0;   // 1-based character position of the value in the source
  int32_t Length = 0;  // length of the value in characters
  // "~" blocks: the blanks and tabs in front of the block on its line.
  std::string Indent;
};

class AGParser : public Dispatch {
 public:
  // Deepest include nesting GetSession follows; a deeper include (usually a
  // cycle of files including each other) stops expansion with a message.
  static constexpr int kMaxIncludeDepth = 16;

  // Replaces the source text and the block list with those of `src`. On an
  // incomplete or nested block the message goes to ProjErr; the blocks found
  // before it stay in the list.
  void Parse(std::string_view src);

  int32_t Count() const noexcept { return static_cast<int32_t>(blocks_.size()); }
  int32_t BlockID() const noexcept { return current_; }
  // Accepted only for 1..Count; other values leave the index unchanged.
  void setBlockID(int32_t id) noexcept {
    if (id >= 1 && id <= Count()) current_ = id;
  }
  int32_t BlockType() const;
  std::string BlockName() const;
  std::string BlockValue() const;
  std::string BlockIndent() const;

  // The block list, for C++ callers that walk it directly.
  const std::vector<BlockRec>& blocks() const noexcept { return blocks_; }
  // The value of block `index` (1-based), as BlockValue gives it.
  std::string_view blockValue(int32_t index) const;
  // The byte offset of that value in the parsed text.
  size_t blockOffset(int32_t index) const;

  // The content of session `id` in `src` with its includes expanded; empty
  // when there is no such session.
  static std::string GetSession(std::string_view src, std::string_view id);
  // The same on text whose origins are known; the result keeps them.
  // `problems`, when given, receives every include directive that was left
  // out (malformed, naming a missing file or session); `found` tells
  // whether the session exists at all (an empty one does).
  static MappedText GetSession(const MappedText& src, std::string_view id,
                               std::vector<SourceProblem>* problems = nullptr, bool* found = nullptr);
  // A text with its include directives expanded, origins kept.
  static MappedText ExpandIncludes(const MappedText& text, std::vector<SourceProblem>* problems = nullptr);

  // Helpers of Parse and GetSession; not published to scripts.
  static std::string GetIndent(std::string_view text);
  static std::string GetFunctionName(std::string_view code);
  static std::string ExpandIncludes(std::string_view text);

  const ClassInfo* classInfo() const override;

 private:
  struct Span {
    size_t offset;  // byte offset of the value in source_
    size_t size;    // byte length
  };

  std::string source_;
  std::vector<BlockRec> blocks_;
  std::vector<Span> spans_;
  int32_t current_ = 0;
};

}  // namespace tw
