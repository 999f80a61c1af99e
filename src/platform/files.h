#pragma once
// The file layer: every file and folder the engine touches goes through here.
//
// Paths inside the engine are written the Windows way ("folder\file.php"),
// because that is how templates, control files and project files name them.
// Every function below accepts such a path: backslashes become "/", and when
// the exact path does not exist, each component is looked up again without
// regard to letter case, so a template written on Windows that says
// "Images\Logo.GIF" still finds "images/logo.gif".
//
// Text is UTF-8 in memory. Reading detects a UTF-8 or UTF-16 byte order mark;
// a file without one that is not valid UTF-8 is taken as Windows-1252, the
// code page Windows editors save "ANSI" files in. Writing replaces files
// atomically: the text goes to a temporary file in the same folder, which is
// then renamed over the target, so a reader never sees half a file.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// ---- Paths

// The path with every "\" turned into "/" (no look-up on disk).
std::filesystem::path nativePath(std::string_view path);
// The path as it exists on disk: the exact path when it exists; otherwise the
// leading components that exist under another letter case are replaced by
// their names on disk, and the components past the first missing one are kept
// as written (so the result can be used to create them).
std::filesystem::path resolvePath(std::string_view path);
// Joins a folder and a name with "\", adding none when the folder already ends
// in "\" or "/" or is empty.
std::string joinPath(std::string_view folder, std::string_view name);
// The last component of a "\" or "/" separated path ("a\b.php" -> "b.php").
std::string lastPathComponent(std::string_view path);

// While an object of this class lives, look-ups on the calling thread of
// names that do not exist reuse the listing of their folder made before, as
// long as the folder's change time is unchanged, and files written through
// writeFile are added to it. Generation keeps one for its page pass, which
// writes thousands of new files into a few folders: without it each new
// file costs a listing of its whole folder. A change that another program
// makes to such a folder within the same tick of the file system's clock
// may go unnoticed meanwhile.
class FolderListingCache {
 public:
  FolderListingCache();
  ~FolderListingCache();
  FolderListingCache(const FolderListingCache&) = delete;
  FolderListingCache& operator=(const FolderListingCache&) = delete;
};

// ---- Queries

bool fileExists(std::string_view path);
bool folderExists(std::string_view path);
// Last modification time as a date serial (days since 30 December 1899, local
// time, whole seconds); empty when the file does not exist.
std::optional<double> fileModifiedDate(std::string_view path);
// Size in bytes; -1 when the file does not exist.
int64_t fileSize(std::string_view path);
// Names (not paths) of the files / sub-folders of a folder, sorted by name.
std::vector<std::string> listFiles(std::string_view folder);
std::vector<std::string> listFolders(std::string_view folder);

// ---- Reading

// The bytes of a file; empty optional when it cannot be read.
std::optional<std::string> readFile(std::string_view path);
// Turns the bytes of a text file into UTF-8: a UTF-8 byte order mark is
// dropped, UTF-16 LE/BE (by their marks) is converted, text without a mark that
// is not valid UTF-8 is read as Windows-1252.
std::string decodeText(std::string_view bytes);
// readFile + decodeText.
std::optional<std::string> readTextFile(std::string_view path);

// ---- Writing

enum class TextEncoding {
  Utf8,     // no byte order mark
  Utf8Bom,  // with the mark EF BB BF
  Utf16LE,  // with the mark FF FE
  Latin1,   // ISO-8859-1; characters above U+00FF become "?"
};

// UTF-8 text in the given encoding.
std::string encodeText(std::string_view utf8, TextEncoding encoding);
// Replaces the file with `bytes` atomically; the folder must exist. False on
// failure (the old file is then left as it was), with errno telling why. The
// file keeps the permissions of the file it replaces.
bool writeFile(std::string_view path, std::string_view bytes);
// encodeText + writeFile.
bool writeTextFile(std::string_view path, std::string_view text, TextEncoding encoding = TextEncoding::Utf8);
// Like writeFile, but a file that already holds exactly these bytes is left
// alone, time stamp included (regenerating unchanged output then costs one
// read instead of a replacement).
bool writeFileIfChanged(std::string_view path, std::string_view bytes);
// encodeText + writeFileIfChanged.
bool writeTextFileIfChanged(std::string_view path, std::string_view text,
                            TextEncoding encoding = TextEncoding::Utf8);
// True when the regular file at `path` holds exactly `bytes`.
bool fileHoldsBytes(std::string_view path, std::string_view bytes);
// Writes a file in pieces so that no reader and no crash ever sees it
// truncated or half-written: the pieces go to a temporary file beside the
// target, which commit() flushes to disk and renames over the target (a
// symbolic link keeps its place; the file it points to is replaced). An
// existing file keeps its permission bits; a new one gets `newFileMode`. A
// writer destroyed without a successful commit removes its temporary file
// and leaves the old file as it was.
class DurableFileWriter {
 public:
  explicit DurableFileWriter(std::string_view path, unsigned newFileMode = 0644);
  ~DurableFileWriter();
  DurableFileWriter(const DurableFileWriter&) = delete;
  DurableFileWriter& operator=(const DurableFileWriter&) = delete;

  // 0, or the errno of the first failure (opening, writing or committing).
  int error() const noexcept { return error_; }
  // Appends bytes; false once anything failed.
  bool write(std::string_view bytes);
  // Flushes, sets the permissions and renames the file over the target.
  // Returns 0 or the errno of the failure.
  int commit();

 private:
  void abandon();
  std::filesystem::path target_;
  std::filesystem::path temp_;
  unsigned mode_ = 0644;
  bool existed_ = false;
  unsigned owner_ = 0, group_ = 0;
  int fd_ = -1;
  int error_ = 0;
  bool committed_ = false;
};
// The whole file at once through a DurableFileWriter: 0 or an errno.
int replaceFileDurably(std::string_view path, std::string_view bytes, unsigned newFileMode = 0644);

// ---- Folders and copies

// Creates one folder; its parent must exist. True when it exists afterwards.
bool createFolder(std::string_view path);
// Creates the folder and every missing parent. True when it exists afterwards.
bool createFolders(std::string_view path);
// Deletes a file; false when it did not exist or could not be deleted.
bool deleteFile(std::string_view path);
// Deletes a folder with everything in it; false when it did not exist or could
// not be deleted.
bool deleteFolder(std::string_view path);
// Copies a file; an existing target is replaced only when `overwrite`, and
// atomically, as writeFile does: a reader or a crash sees the old file or the
// whole copy. False on failure, with errno telling why.
bool copyFile(std::string_view from, std::string_view to, bool overwrite = true);
// Copies a folder with its contents into `to` (created when missing); existing
// files are replaced only when `overwrite`, each one atomically. False when
// any file failed (errno tells why).
bool copyFolder(std::string_view from, std::string_view to, bool overwrite = true);

}  // namespace tw
