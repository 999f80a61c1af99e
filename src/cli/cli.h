#pragma once
// The `tarnwick` command: shared pieces of the sub-commands. Each command
// file registers one or more sub-commands on the CLI11 application; main()
// parses the line, runs the chosen command and turns what it throws into one
// line on stderr and an exit code.
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "automation/dispatch.h"
#include "core/agp.h"

namespace tw::cli {

// Exit codes, documented in `tarnwick --help`.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;       // the operation failed (check: the project differs)
inline constexpr int kExitUsage = 2;        // the command line is wrong (check: any error)
inline constexpr int kExitCancelled = 130;  // cancelled with Ctrl-C

// What a command throws to end with a message on stderr and an exit code.
// Nothing has been written to the project file when it is thrown.
class CliError : public std::runtime_error {
 public:
  explicit CliError(std::string message, int code = kExitFailed)
      : std::runtime_error(std::move(message)), code_(code) {}
  int code() const noexcept { return code_; }

 private:
  int code_;
};

// A usage mistake: unknown setting, bad value, bad URL, unknown table.
inline CliError usageError(std::string message) { return CliError(std::move(message), kExitUsage); }

// Options every command sees.
struct Globals {
  bool quiet = false;
  bool verbose = false;
  bool colorOut = false;     // stdout is a terminal and colour is allowed
  bool colorErr = false;     // the same for stderr
  bool interactive = false;  // stdin and stderr are terminals: questions can be asked
  std::string command;       // the sub-command being run ("set"), for the project lock
};
Globals& globals();

// One sub-command: its CLI11 app and what runs when it was chosen.
struct Command {
  CLI::App* app = nullptr;
  std::function<int()> run;
};
using Commands = std::vector<Command>;

void addProjectCommands(CLI::App& app, Commands& out);  // new
void addInspectCommands(CLI::App& app, Commands& out);  // tables, show
void addEditCommands(CLI::App& app, Commands& out);  // set, add-view, add-report, add-chart, reorder, remove
void addAddCommands(CLI::App& app, Commands& out);   // add
void addConfigCommands(CLI::App& app, Commands& out);      // config
void addSyncCommands(CLI::App& app, Commands& out);        // check, sync
void addGenerateCommands(CLI::App& app, Commands& out);    // generate, demo
void addHelpCommands(CLI::App& app, Commands& out);        // help, man
void addCompletionCommands(CLI::App& app, Commands& out);  // completion, __complete
void addServeCommands(CLI::App& app, Commands& out);       // serve
void addTemplateCommands(CLI::App& app, Commands& out);    // template init, template check

void addSettingsCommands(CLI::App& app, Commands& out);    // settings
void addStudioCommands(CLI::App& app, Commands& out);      // studio
void addExtensionCommands(CLI::App& app, Commands& out);   // extension add, remove, list
void addApplyCommands(CLI::App& app, Commands& out);       // apply

// The config sections, or the setting names of one section (empty when
// there is no such section).
std::vector<std::string> configNames(const std::string& section);

// ---- Output

// Informational lines on stdout (left out with --quiet).
void info(std::string_view text);
// Lines shown only with --verbose (stderr).
void detail(std::string_view text);
void warn(std::string_view text);
// The warnings shown so far in this run, as shown.
const std::vector<std::string>& warningsShown();
// A message as shown: paths the engine joined with backslashes ("/srv/x\\a.php",
// a word that starts with "/", "~" or "." and holds a "/") take "/" instead.
// Error and warning lines pass through it.
std::string displayPaths(std::string_view text);
// Text wrapped in an ANSI attribute when colour is on for that stream.
std::string bold(std::string_view text, bool forStdout = true);
std::string red(std::string_view text, bool forStdout = false);
std::string green(std::string_view text, bool forStdout = true);
std::string yellow(std::string_view text, bool forStdout = true);

// A value as one line of text: line breaks and tabs as \r \n \t.
std::string displayValue(const Variant& value);
// A value as JSON: Empty and Null as null, Booleans and numbers as such.
std::string jsonValue(const Variant& value);
std::string jsonString(std::string_view text);
// Texts as a JSON array of strings.
std::string jsonList(const std::vector<std::string>& texts);

// Rows under a heading, columns padded to their widest cell; the heading
// in bold.
void printTable(const std::vector<std::string>& heading, const std::vector<std::vector<std::string>>& rows);

// ---- Engine

// Starts the engine for one run of the command: the libraries' members, the
// prompt handler and, with --quiet or no terminal, a silent progress sink.
void startEngine();

// The ProjErr text without the product name in front of it.
std::string engineMessage();
// Throws CliError with the engine's message when ProjErr is not empty;
// `context` starts the message when given.
void throwOnEngineError(std::string_view context = {});

// Loads a project file without comparing it with its database. Throws when
// the file is missing or cannot be read. A project whose database password
// is empty takes TARNWICK_DB_PASSWORD for the run, when that is set.
// `forChange`: the project is locked first (lockProject), so that no other
// command changes it between this load and the save.
Ref<AGP> loadProject(const std::string& path, bool forChange = false);
// Saves a project (never with a password taken from the environment). The
// file is replaced only once it is written whole; temporary copies that
// killed runs left beside it are removed. Locks the project when it is not
// locked yet. A static login password given in plain text (SecPasswd) is
// replaced by its hash first: no project file holds it.
void saveProject(AGP& proj, const std::string& path);
// A password_hash()-compatible hash of a password (SHA-256 crypt, computed
// once, checked by PHP's password_verify()); a text that already is such a
// hash is returned as it is.
std::string loginPasswordHash(const std::string& password);
// Whether `password` is the one `hash` (as loginPasswordHash makes it) was
// made from.
bool loginPasswordMatches(const std::string& password, const std::string& hash);
// Takes the lock of a project file ("<file>.lock" beside it) for the rest of
// the run. A run that finds it taken waits up to TARNWICK_LOCK_WAIT seconds
// (10 by default; Ctrl-C ends the wait), then fails naming the holder. A
// folder where no lock file can be made is not locked (saving there fails
// on its own).
void lockProject(const std::string& path);
// Ends the lock early (a long generation does not keep others waiting).
void unlockProject();

// A template or extension given as a folder, zipped below the work folder
// (the same archive, untouched, while the folder's content stays the same).
std::string packTemplateFolder(const std::string& folder);
// Gives the project the user's extensions (the Extensions section of the
// user defaults) for a generation run; folders are packed, and an archive
// that is not there ends the command with what to do about it.
void useUserExtensions(AGP& proj);

AGPDatabase& database(AGP& proj);
// Marks every loaded table and view for generation (TblGen).
void markLoadedForGeneration(AGP& proj);
AGPTable& findTable(AGP& proj, const std::string& name);
AGPField& findField(AGPTable& table, const std::string& name);
AGPChart& findChart(AGPTable& table, const std::string& name);

// Names close to `name` (letter case ignored): small edit distance or
// containing it. At most `limit`, best first.
std::vector<std::string> closeMatches(std::string_view name, const std::vector<std::string>& candidates,
                                      size_t limit = 5);
// "; did you mean A, B or C?" or empty.
std::string suggestion(std::string_view name, const std::vector<std::string>& candidates);
// The names in the user's list of extensions, in the order listed.
std::vector<std::string> extensionNames();

// A path made absolute against the current folder (texts that are empty stay
// empty).
std::string absolutePath(const std::string& path);

// Reads a line from the terminal without echo (for passwords).
std::string readHidden(const std::string& promptText);

// A folder or file of the data shipped with the program (templates,
// samples, extensions): below TARNWICK_DATA_DIR when that is set, else below
// share/tarnwick beside the program (an installation or the build tree), the
// configured prefix's share/tarnwick or, when `sourceTree`, the source tree.
// Empty when none exists.
std::string dataFolder(std::string_view what, bool sourceTree = true);

}  // namespace tw::cli
