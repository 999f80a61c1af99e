#pragma once
// AGP: the root object. One AGP stands for one open project: its settings,
// its database, its extensions and the user-level values kept in the
// registry. Every public operation of the engine is one of its members.
#include <cstdint>
#include <string>
#include <string_view>

#include "model/database.h"
#include "model/extension.h"
#include "model/settings.h"

namespace tw {

class AGP : public SettingsOwner {
 public:
  AGP();
  ~AGP() override;

  // Owner window handle; hwnd is a second name for it.
  int32_t lhWnd() const noexcept { return hwnd_; }
  void setLhWnd(int32_t h) noexcept { hwnd_ = h; }
  bool ProjInit() const noexcept { return projInit_; }
  // The current database (the database collection's Item of the current
  // database name, which makes it the collection's current one); raises the
  // keyed collection's error when there is none of that name.
  AGPDatabase* db();
  int16_t DBCnt() const;
  // The database collection (not published to scripts).
  AGPDatabases& Databases() noexcept { return *databases_; }
  AGPExtensions& Extensions() noexcept { return *extensions_; }
  // The engine-wide last error text.
  static const std::string& ProjErr();
  static void setProjErr(std::string_view text);

  const std::string& EngineVersion() const noexcept { return engineVersion_; }
  const std::string& Language() const noexcept { return language_; }
  bool BackupFile() const noexcept { return backupFile_; }
  const std::string& UserCodeFile() const noexcept { return userCode_; }
  int16_t UnloadThreshold() const noexcept { return unloadThreshold_; }
  const std::string& currentDbName() const noexcept { return currentDb_; }
  void setCurrentDbName(std::string_view name) { currentDb_ = std::string(name); }

  // Starts a new project: ProjName, user defaults, ProjInit.
  void AddProj(std::string_view name);
  // Closes the project: every setting removed and registered again (empty),
  // the database removed, ProjInit false. Extensions stay.
  void DeleteProj();
  bool AddExtension(std::string_view name, std::string_view templ);
  bool DeleteExtension(std::string_view name);

  // Writes the project file: the project settings, the extensions, the
  // database and every table with its charts and fields. The file is
  // replaced only once the whole text is on disk; a failure raises the file
  // system's error and leaves an existing file as it was.
  void Save(std::string_view projFile);
  // Reads a project file into this project (it is not emptied first).
  // Failures are reported through ProjErr.
  void Load(std::string_view projFile);

  // Registry defaults (user branch) into the project settings and back.
  void LoadDefault();
  void SaveDefault();
  // Adds the extensions listed in the user's Extensions section.
  void LoadExtensionList();

  const ClassInfo* classInfo() const override;
  DispId memberId(std::string_view name) override;
  Variant invoke(DispId id, uint16_t kind, Args args) override;

  // The libraries above the project core (schema loading, synchronisation,
  // generation) publish their AGP members once at start-up with a table
  // built by ClassBuilder<AGP>. Adding the same table twice has no effect.
  static void addMembers(const ClassInfo* members);

  // The project settings in registration order.
  static const SettingTable& settings();

 private:
  void copyMachineDefaults();

  int32_t hwnd_ = 0;
  bool projInit_ = false;
  Ref<AGPExtensions> extensions_;
  Ref<AGPDatabases> databases_;
  std::string currentDb_;
  std::string engineVersion_;
  std::string language_;
  bool backupFile_ = false;
  std::string userCode_;
  int16_t unloadThreshold_ = 20;
};

}  // namespace tw
