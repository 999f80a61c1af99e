// The TextStream object: reading a decoded text by characters and lines,
// writing text as UTF-8 or UTF-16LE.
#include <cstdio>
#include <string>

#include "vbs/lib/common.h"
#include "vbs/lib/filesystem_ops.h"

namespace tw::vbs::lib {

using namespace fsops;

// ---- TextStream

TextStream::TextStream(std::string text) : mode_(Mode::Read), text_(std::move(text)) {}

TextStream::TextStream(std::FILE* file, Mode mode, bool unicode)
    : mode_(mode), file_(file), unicode_(unicode) {}

TextStream::~TextStream() {
  if (file_) {
    flush();
    std::fclose(file_);
  }
}

void TextStream::requireReading() {
  if (closed_ || mode_ != Mode::Read) raise(kBadMode);
}

void TextStream::requireWriting() {
  if (closed_ || mode_ == Mode::Read) raise(kBadMode);
}

void TextStream::advance(std::string_view consumed) {
  for (size_t i = 0; i < consumed.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(consumed[i]);
    if (c == '\n') {
      ++line_;
      column_ = 1;
    } else if ((c & 0xC0) != 0x80) {
      ++column_;
    }
  }
}

bool TextStream::atEndOfStream() {
  requireReading();
  return pos_ >= text_.size();
}

bool TextStream::atEndOfLine() {
  requireReading();
  return pos_ >= text_.size() || text_[pos_] == '\n' || text_[pos_] == '\r';
}

std::string TextStream::read(int32_t count) {
  requireReading();
  if (count < 0) raise(kErrInvalidCall);
  if (pos_ >= text_.size()) raise(kPastEnd);
  size_t end = cpAdvance(text_, pos_, static_cast<size_t>(count));
  std::string out = text_.substr(pos_, end - pos_);
  pos_ = end;
  advance(out);
  return out;
}

std::string TextStream::readLine() {
  requireReading();
  if (pos_ >= text_.size()) raise(kPastEnd);
  size_t end = text_.find_first_of("\r\n", pos_);
  if (end == std::string::npos) end = text_.size();
  std::string out = text_.substr(pos_, end - pos_);
  size_t next = end;
  if (next < text_.size())
    next += (text_[next] == '\r' && next + 1 < text_.size() && text_[next + 1] == '\n') ? 2 : 1;
  pos_ = next;
  ++line_;
  column_ = 1;
  return out;
}

std::string TextStream::readAll() {
  requireReading();
  if (pos_ >= text_.size()) raise(kPastEnd);
  std::string out = text_.substr(pos_);
  pos_ = text_.size();
  advance(out);
  return out;
}

void TextStream::skip(int32_t count) { read(count); }

void TextStream::skipLine() { readLine(); }

void TextStream::write(std::string_view text) {
  requireWriting();
  buffer_.append(text);
  advance(text);
  if (buffer_.size() >= 65536) flush();
}

void TextStream::writeLine(std::string_view text) {
  write(text);
  write("\r\n");
}

void TextStream::writeBlankLines(int32_t count) {
  if (count < 0) raise(kErrInvalidCall);
  for (int32_t i = 0; i < count; ++i) write("\r\n");
}

void TextStream::flush() {
  if (!file_ || buffer_.empty()) return;
  std::string bytes = unicode_ ? encodeUtf16(buffer_) : std::move(buffer_);
  buffer_.clear();
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) raise(kErrPathFileAccess);
}

void TextStream::close() {
  if (closed_) return;
  closed_ = true;
  if (file_) {
    flush();
    std::fclose(file_);
    file_ = nullptr;
  }
}

const ClassInfo* TextStream::classInfo() const {
  using T = TextStream;
  static const ClassInfo info =
      ClassBuilder<T>("TextStream")
          .get("AtEndOfStream", [](T& t) { return t.atEndOfStream(); })
          .get("AtEndOfLine", [](T& t) { return t.atEndOfLine(); })
          .get("Line", [](T& t) { return t.line(); })
          .get("Column", [](T& t) { return t.column(); })
          .method("Read", [](T& t, const Variant& n) { return Variant(t.read(longArg(n))); })
          .method("ReadLine", [](T& t) { return Variant(t.readLine()); })
          .method("ReadAll", [](T& t) { return Variant(t.readAll()); })
          .method("Skip", [](T& t, const Variant& n) { t.skip(longArg(n)); })
          .method("SkipLine", [](T& t) { t.skipLine(); })
          .method("Write", [](T& t, const Variant& s) { t.write(textArg(s)); })
          .method("WriteLine",
                  [](T& t, Args a) {
                    if (a.size() > 1) raise(kErrWrongArgCount);
                    t.writeLine(given(a, 0) ? textArg(a[0]) : std::string());
                  })
          .method("WriteBlankLines", [](T& t, const Variant& n) { t.writeBlankLines(longArg(n)); })
          .method("Close", [](T& t) { t.close(); })
          .build();
  return &info;
}

}  // namespace tw::vbs::lib
