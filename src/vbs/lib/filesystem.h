#pragma once
// Scripting.FileSystemObject and its File, Folder, Files, Folders and
// TextStream objects.
//
// Paths may use "\" or "/"; when a path does not exist as written, each part
// is looked up again without regard to letter case, so scripts written for
// Windows find their files. Paths the objects report use "/".
//
// Text files are read as UTF-8, UTF-16 (by its byte order mark, or when opened
// as Unicode) or, when not valid UTF-8, as Windows-1252. They are written as
// UTF-8, or as UTF-16LE with a byte order mark when created as Unicode.
#include <cstdio>
#include <filesystem>
#include <string>

#include "automation/dispatch.h"

namespace tw::vbs::lib {

namespace fsys = std::filesystem;

class FileSystemObject : public Dispatch {
 public:
  const ClassInfo* classInfo() const override;
};

class FileObject : public Dispatch {
 public:
  explicit FileObject(fsys::path path) : path_(std::move(path)) {}
  const ClassInfo* classInfo() const override;
  const fsys::path& path() const noexcept { return path_; }
  void setPath(fsys::path p) { path_ = std::move(p); }

 private:
  fsys::path path_;
};

class FolderObject : public Dispatch {
 public:
  explicit FolderObject(fsys::path path) : path_(std::move(path)) {}
  const ClassInfo* classInfo() const override;
  const fsys::path& path() const noexcept { return path_; }
  void setPath(fsys::path p) { path_ = std::move(p); }

 private:
  fsys::path path_;
};

// Files and SubFolders of a folder: the entries at the time they are read,
// sorted by name.
class FileCollection : public Dispatch {
 public:
  FileCollection(fsys::path folder, bool folders) : folder_(std::move(folder)), folders_(folders) {}
  const ClassInfo* classInfo() const override;
  std::string typeName() const override { return folders_ ? "Folders" : "Files"; }
  Ref<Enumerator> newEnum() override;
  std::vector<fsys::path> entries() const;
  const fsys::path& folder() const noexcept { return folder_; }
  bool folders() const noexcept { return folders_; }

 private:
  fsys::path folder_;
  bool folders_;
};

class TextStream : public Dispatch {
 public:
  enum class Mode { Read = 1, Write = 2, Append = 8 };
  // Reading: the decoded text of the file.
  explicit TextStream(std::string text);
  // Writing: an open file; `unicode` writes UTF-16LE.
  TextStream(std::FILE* file, Mode mode, bool unicode);
  ~TextStream() override;
  const ClassInfo* classInfo() const override;

  bool atEndOfStream();
  bool atEndOfLine();
  int32_t line() const noexcept { return line_; }
  int32_t column() const noexcept { return column_; }
  std::string read(int32_t count);
  std::string readLine();
  std::string readAll();
  void skip(int32_t count);
  void skipLine();
  void write(std::string_view text);
  void writeLine(std::string_view text);
  void writeBlankLines(int32_t count);
  void close();

 private:
  void requireReading();
  void requireWriting();
  void advance(std::string_view consumed);
  void flush();

  Mode mode_;
  bool closed_ = false;
  std::string text_;  // reading
  size_t pos_ = 0;
  std::FILE* file_ = nullptr;  // writing
  bool unicode_ = false;
  std::string buffer_;
  int32_t line_ = 1;
  int32_t column_ = 1;
};

}  // namespace tw::vbs::lib
