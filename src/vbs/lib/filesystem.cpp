// Scripting.FileSystemObject, File, Folder and the Files and Folders
// collections.
#include "vbs/lib/filesystem.h"

#include <algorithm>

#include "vbs/lib/common.h"
#include "vbs/lib/filesystem_ops.h"

namespace tw::vbs::lib {

using namespace fsops;

// ---- File

const ClassInfo* FileObject::classInfo() const {
  using F = FileObject;
  static const ClassInfo info =
      ClassBuilder<F>("File")
          .get("Path", [](F& f) { return Variant(f.path().string()); })
          .prop(
              "Name", [](F& f) { return Variant(f.path().filename().string()); },
              [](F& f, const Variant& v) {
                fsys::path p = f.path();
                renameEntry(p, textArg(v));
                f.setPath(p);
              })
          .get("ShortName", [](F& f) { return Variant(f.path().filename().string()); })
          .get("ShortPath", [](F& f) { return Variant(f.path().string()); })
          .get("Size",
               [](F& f) {
                 std::error_code ec;
                 uintmax_t n = fsys::file_size(f.path(), ec);
                 if (ec) raise(kFileNotFound);
                 return sizeValue(n);
               })
          .get("DateLastModified", [](F& f) { return fileDate(f.path(), 0); })
          .get("DateLastAccessed", [](F& f) { return fileDate(f.path(), 1); })
          .get("DateCreated", [](F& f) { return fileDate(f.path(), 2); })
          .get("Type", [](F& f) { return Variant(typeOf(f.path())); })
          .get("ParentFolder", [](F& f) { return Variant(makeRef<FolderObject>(f.path().parent_path())); })
          .prop(
              "Attributes", [](F& f) { return attributesOf(f.path()); },
              [](F& f, const Variant& v) { setReadOnly(f.path(), (longArg(v) & 1) != 0); })
          .method("Copy",
                  [](F& f, Args a) {
                    if (a.empty() || a.size() > 2) raise(kErrWrongArgCount);
                    std::string dest = textArg(a[0]);
                    bool overwrite = boolArg(a, 1, true);
                    fsys::path to = (!dest.empty() && isSeparator(dest.back()))
                                        ? resolve(dest) / f.path().filename()
                                        : resolve(dest);
                    requireParent(to);
                    copyOneFile(f.path(), to, overwrite);
                  })
          .method("Move",
                  [](F& f, const Variant& d) {
                    std::string dest = textArg(d);
                    fsys::path to = (!dest.empty() && isSeparator(dest.back()))
                                        ? resolve(dest) / f.path().filename()
                                        : resolve(dest);
                    requireParent(to);
                    if (pathExists(to)) raise(kFileExists);
                    std::error_code ec;
                    fsys::rename(f.path(), to, ec);
                    if (ec) raise(kDenied);
                    f.setPath(absolutePath(to));
                  })
          .method("Delete",
                  [](F& f, Args a) {
                    if (a.size() > 1) raise(kErrWrongArgCount);
                    if (!boolArg(a, 0, false) && isReadOnly(f.path())) raise(kDenied);
                    std::error_code ec;
                    if (!fsys::remove(f.path(), ec)) raise(ec ? kDenied : kFileNotFound);
                  })
          .method("OpenAsTextStream",
                  [](F& f, Args a) {
                    if (a.size() > 2) raise(kErrWrongArgCount);
                    return Variant(openText(f.path(), longArg(a, 0, 1), false, longArg(a, 1, 0)));
                  })
          .defaultMember("Path")
          .build();
  return &info;
}

// ---- Folder

const ClassInfo* FolderObject::classInfo() const {
  using F = FolderObject;
  static const ClassInfo info =
      ClassBuilder<F>("Folder")
          .get("Path", [](F& f) { return Variant(f.path().string()); })
          .prop(
              "Name", [](F& f) { return Variant(f.path().filename().string()); },
              [](F& f, const Variant& v) {
                fsys::path p = f.path();
                renameEntry(p, textArg(v));
                f.setPath(p);
              })
          .get("ShortName", [](F& f) { return Variant(f.path().filename().string()); })
          .get("ShortPath", [](F& f) { return Variant(f.path().string()); })
          .get("Size", [](F& f) { return sizeValue(folderSize(f.path())); })
          .get("DateLastModified", [](F& f) { return fileDate(f.path(), 0); })
          .get("DateLastAccessed", [](F& f) { return fileDate(f.path(), 1); })
          .get("DateCreated", [](F& f) { return fileDate(f.path(), 2); })
          .get("Type", [](F& f) { return Variant(typeOf(f.path())); })
          .get("IsRootFolder", [](F& f) { return f.path() == f.path().root_path(); })
          .get("ParentFolder",
               [](F& f) {
                 if (f.path() == f.path().root_path()) return Variant::nothing();
                 return Variant(makeRef<FolderObject>(f.path().parent_path()));
               })
          .prop(
              "Attributes", [](F& f) { return attributesOf(f.path()); },
              [](F& f, const Variant& v) { setReadOnly(f.path(), (longArg(v) & 1) != 0); })
          .get("Files",
               [](F& f, Args a) { return applyArgs(Variant(makeRef<FileCollection>(f.path(), false)), a); })
          .get("SubFolders",
               [](F& f, Args a) { return applyArgs(Variant(makeRef<FileCollection>(f.path(), true)), a); })
          .method("CreateTextFile",
                  [](F& f, Args a) {
                    if (a.empty() || a.size() > 3) raise(kErrWrongArgCount);
                    fsys::path p = f.path() / withSlashes(textArg(a[0]));
                    return Variant(createText(p, boolArg(a, 1, true), boolArg(a, 2, false)));
                  })
          .method("Copy",
                  [](F& f, Args a) {
                    if (a.empty() || a.size() > 2) raise(kErrWrongArgCount);
                    std::string dest = textArg(a[0]);
                    fsys::path to = (!dest.empty() && isSeparator(dest.back()))
                                        ? resolve(dest) / f.path().filename()
                                        : resolve(dest);
                    requireParent(to);
                    copyFolderTree(f.path(), to, boolArg(a, 1, true));
                  })
          .method("Move",
                  [](F& f, const Variant& d) {
                    std::string dest = textArg(d);
                    fsys::path to = (!dest.empty() && isSeparator(dest.back()))
                                        ? resolve(dest) / f.path().filename()
                                        : resolve(dest);
                    requireParent(to);
                    if (pathExists(to)) raise(kFileExists);
                    std::error_code ec;
                    fsys::rename(f.path(), to, ec);
                    if (ec) raise(kDenied);
                    f.setPath(absolutePath(to));
                  })
          .method("Delete",
                  [](F& f, Args a) {
                    if (a.size() > 1) raise(kErrWrongArgCount);
                    if (!boolArg(a, 0, false) && isReadOnly(f.path())) raise(kDenied);
                    std::error_code ec;
                    if (fsys::remove_all(f.path(), ec) == 0 || ec) raise(ec ? kDenied : kPathNotFound);
                  })
          .defaultMember("Path")
          .build();
  return &info;
}

// ---- Files and Folders collections

std::vector<fsys::path> FileCollection::entries() const {
  std::vector<fsys::path> out;
  std::error_code ec;
  for (fsys::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_directory(ec) == folders_) out.push_back(it->path());
  }
  std::sort(out.begin(), out.end(), [](const fsys::path& a, const fsys::path& b) {
    return compareNoCase(a.filename().string(), b.filename().string()) < 0;
  });
  return out;
}

Ref<Enumerator> FileCollection::newEnum() {
  std::vector<Variant> items;
  for (const fsys::path& p : entries()) {
    if (folders_) {
      items.emplace_back(makeRef<FolderObject>(p));
    } else {
      items.emplace_back(makeRef<FileObject>(p));
    }
  }
  return makeRef<VectorEnumerator>(std::move(items));
}

const ClassInfo* FileCollection::classInfo() const {
  using C = FileCollection;
  static const ClassInfo info =
      ClassBuilder<C>("Files")
          .get("Count", [](C& c) { return static_cast<int32_t>(c.entries().size()); })
          .get("Item",
               [](C& c, const Variant& key) {
                 std::string name = textArg(key);
                 for (const fsys::path& p : c.entries()) {
                   if (equalsNoCase(p.filename().string(), name)) {
                     if (c.folders()) return Variant(makeRef<FolderObject>(p));
                     return Variant(makeRef<FileObject>(p));
                   }
                 }
                 raise(c.folders() ? kPathNotFound : kFileNotFound);
               })
          .method("Add",
                  [](C& c, const Variant& name) {
                    if (!c.folders()) raise(kErrNoSuchMember);
                    return Variant(createFolder((c.folder() / withSlashes(textArg(name))).string()));
                  })
          .defaultMember("Item")
          .build();
  return &info;
}

// ---- FileSystemObject

const ClassInfo* FileSystemObject::classInfo() const {
  using S = FileSystemObject;
  static const ClassInfo info =
      ClassBuilder<S>("FileSystemObject")
          .method("BuildPath",
                  [](S&, const Variant& path, const Variant& name) {
                    return Variant(buildPath(textArg(path), textArg(name)));
                  })
          .method("FileExists", [](S&, const Variant& p) { return isFile(resolve(textArg(p))); })
          .method("FolderExists", [](S&, const Variant& p) { return isDirectory(resolve(textArg(p))); })
          .method("DriveExists", [](S&, const Variant&) { return false; })
          .method("GetFile", [](S&, const Variant& p) { return Variant(getFile(textArg(p))); })
          .method("GetFolder", [](S&, const Variant& p) { return Variant(getFolder(textArg(p))); })
          .method("CreateFolder", [](S&, const Variant& p) { return Variant(createFolder(textArg(p))); })
          .method(
              "CreateTextFile",
              [](S&, Args a) {
                if (a.empty() || a.size() > 3) raise(kErrWrongArgCount);
                return Variant(createText(resolve(textArg(a[0])), boolArg(a, 1, true), boolArg(a, 2, false)));
              })
          .method("OpenTextFile",
                  [](S&, Args a) {
                    if (a.empty() || a.size() > 4) raise(kErrWrongArgCount);
                    return Variant(openText(resolve(textArg(a[0])), longArg(a, 1, 1), boolArg(a, 2, false),
                                            longArg(a, 3, 0)));
                  })
          .method("DeleteFile",
                  [](S&, Args a) {
                    if (a.empty() || a.size() > 2) raise(kErrWrongArgCount);
                    deleteEntries(textArg(a[0]), boolArg(a, 1, false), false);
                  })
          .method("DeleteFolder",
                  [](S&, Args a) {
                    if (a.empty() || a.size() > 2) raise(kErrWrongArgCount);
                    deleteEntries(textArg(a[0]), boolArg(a, 1, false), true);
                  })
          .method("CopyFile",
                  [](S&, Args a) {
                    if (a.size() < 2 || a.size() > 3) raise(kErrWrongArgCount);
                    copyFiles(textArg(a[0]), textArg(a[1]), boolArg(a, 2, true));
                  })
          .method("CopyFolder",
                  [](S&, Args a) {
                    if (a.size() < 2 || a.size() > 3) raise(kErrWrongArgCount);
                    copyFolders(textArg(a[0]), textArg(a[1]), boolArg(a, 2, true));
                  })
          .method("MoveFile",
                  [](S&, const Variant& s, const Variant& d) { moveEntries(textArg(s), textArg(d), false); })
          .method("MoveFolder",
                  [](S&, const Variant& s, const Variant& d) { moveEntries(textArg(s), textArg(d), true); })
          .method("GetFileName", [](S&, const Variant& p) { return Variant(lastPart(textArg(p))); })
          .method("GetBaseName",
                  [](S&, const Variant& p) {
                    std::string name(lastPart(textArg(p)));
                    size_t dot = name.rfind('.');
                    return Variant(dot == std::string::npos ? name : name.substr(0, dot));
                  })
          .method("GetExtensionName",
                  [](S&, const Variant& p) {
                    std::string name(lastPart(textArg(p)));
                    size_t dot = name.rfind('.');
                    return Variant(dot == std::string::npos ? std::string() : name.substr(dot + 1));
                  })
          .method("GetParentFolderName", [](S&, const Variant& p) { return Variant(parentPart(textArg(p))); })
          .method("GetDriveName", [](S&, const Variant&) { return Variant(""); })
          .method("GetAbsolutePathName",
                  [](S&, const Variant& p) {
                    std::string text = textArg(p);
                    return Variant(pathText(resolve(text.empty() ? std::string(".") : text)));
                  })
          .method("GetTempName", [](S&) { return Variant(tempName()); })
          .method("GetFileVersion", [](S&, const Variant&) { return Variant(""); })
          .method(
              "GetSpecialFolder",
              [](S&, const Variant& which) {
                int32_t n = longArg(which);
                if (n < 0 || n > 2) raise(kErrInvalidCall);
                if (n < 2) return Variant(makeRef<FolderObject>(fsys::path("/")));
                const char* tmp = std::getenv("TMPDIR");
                return Variant(makeRef<FolderObject>(absolutePath(fsys::path(tmp && *tmp ? tmp : "/tmp"))));
              })
          .build();
  return &info;
}

}  // namespace tw::vbs::lib
