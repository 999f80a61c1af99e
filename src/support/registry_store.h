#pragma once
// The persistent registry: the current user's branch is a SQLite database,
// the local machine's branch a read-only text file shipped with the program.
// Section paths and value names compare without regard to case, as the
// registry does; names keep the case they were created with.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "automation/text.h"
#include "automation/variant.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tw {

// Root key handles.
inline constexpr uint32_t kRootCurrentUser = 0x80000001u;
inline constexpr uint32_t kRootLocalMachine = 0x80000002u;

// Registry value types.
enum RegType : int32_t {
  kRegNone = 0,
  kRegString = 1,
  kRegExpandString = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegDwordBigEndian = 5,
  kRegMultiString = 7,
};

struct RegValue {
  int32_t type = kRegNone;
  Variant value;  // text, Long, or an array of Byte (binary)
};

// One key of the machine branch as parsed from the text file.
struct MachineKey {
  std::string path;                                      // full path in its stored case
  std::string name;                                      // last part of the path
  std::vector<std::pair<std::string, RegValue>> values;  // in file order
  std::vector<size_t> children;                          // indexes of direct sub-keys
};

// The machine branch: keys by case-folded path. keys[0] is the root.
struct MachineBranch {
  MachineBranch();
  std::vector<MachineKey> keys;
  std::unordered_map<std::string, size_t> index;  // folded path -> keys[i]
  // Adds the key and its ancestors when missing; returns its index.
  size_t ensureKey(std::string_view path);
  const MachineKey* find(std::string_view path) const;
};

// Parses the machine registry text. Lines that cannot be read are skipped and
// described in `problems` (when given); parsing never fails as a whole.
MachineBranch parseMachineRegistry(std::string_view text, std::vector<std::string>* problems = nullptr);

// Writes a section path in the normal form: parts separated by one "\", no
// empty parts, no leading or trailing "\". ("/" is an ordinary character in
// key names.)
std::string normalizeSectionPath(std::string_view path);
// Splits a normalised section path into its parent path and last part (an
// empty parent for a key at the root).
std::pair<std::string_view, std::string_view> splitSectionPath(std::string_view path);
// A binary value as the registry hands it out: an array of Byte.
Variant binaryValue(const std::vector<uint8_t>& bytes);

class RegistryStore {
 public:
  // Paths from the environment, opened on first use.
  RegistryStore();
  // Explicit paths (tests): the user database file and the machine text file.
  RegistryStore(std::string userDatabase, std::string machineFile);
  ~RegistryStore();
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  // The files in use (resolved on first use when default-constructed).
  const std::string& userDatabasePath();
  const std::string& machineFilePath();

  std::optional<RegValue> readValue(uint32_t root, std::string_view section, std::string_view name);
  // Creates the key and its ancestors when missing. Raises tw::Error when the
  // write fails or the branch is read-only (the machine branch); the stored
  // value is then unchanged.
  void writeValue(uint32_t root, std::string_view section, std::string_view name, int32_t type,
                  const Variant& value);
  // Direct sub-keys in their stored case, sorted without regard to case.
  std::vector<std::string> enumerateSubKeys(uint32_t root, std::string_view section);
  // Value names in their stored case, in creation order.
  std::vector<std::string> enumerateValues(uint32_t root, std::string_view section);
  bool keyExists(uint32_t root, std::string_view section);
  void createKey(uint32_t root, std::string_view section);
  // Deletes the key with all its sub-keys and values; false when absent.
  bool deleteKey(uint32_t root, std::string_view section);
  // False when the value was absent.
  bool deleteValue(uint32_t root, std::string_view section, std::string_view name);

  // Closes the database (it reopens on the next use).
  void close();
  // Why the user database cannot be used (it cannot be opened, or its
  // check finds damage), naming the file; empty when it is sound.
  std::string problem();
  // Closes the user database and renames its file (with its journal files)
  // to "<file>.damaged" (or "<file>.damaged-N" when that exists), so that
  // the next use starts a new one. Returns the copy's path.
  std::string setAside();
  // How long a write waits for another process's write to finish.
  void setBusyTimeout(int milliseconds);
  // Runs inside every write transaction just before it commits (tests use it
  // to fail or end the process half-way through a write).
  void setCommitHook(std::function<void()> hook) { commitHook_ = std::move(hook); }

  // The open user database (defined with the store).
  struct Db;

 private:
  void resolvePaths();
  Db& db();
  const MachineBranch& machine();
  bool isMachine(uint32_t root) const { return root == kRootLocalMachine; }

  std::string userPath_;
  std::string machinePath_;
  bool pathsResolved_ = false;
  std::unique_ptr<Db> db_;
  std::unique_ptr<MachineBranch> machine_;
  int busyTimeout_ = 30000;
  std::function<void()> commitHook_;
};

// The default places: the user database below the configuration folder and
// the machine file (environment, installed copy, source tree copy).
std::string defaultUserRegistryPath();
std::string defaultMachineRegistryPath();

}  // namespace tw
