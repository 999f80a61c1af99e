#pragma once
// tarnwick studio: the project editor in the browser. A Session holds the
// open project and carries out the page's requests on the engine's thread;
// studio_server.cpp serves the page and the JSON API on 127.0.0.1 and hands
// every request that touches the project to that thread.
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "cli/live_schema.h"
#include "cli/objects.h"
#include "core/agp.h"

namespace tw::cli::studio {

// The request's parameters (query and form), in the order given.
using Params = std::multimap<std::string, std::string>;

struct Reply {
  int status = 200;
  std::string body;  // JSON
};

// What a generation run reports while it runs and when it ended; read by
// the server's threads without going through the engine's thread.
struct Progress {
  std::mutex mutex;
  bool running = false;
  std::string target;  // "destination" or "preview"
  std::string caption, info;
  int position = 0;  // 0..100
  std::string result;  // JSON of the last run that ended (written, skipped, warnings), or of its failure
  int runs = 0;         // runs ended so far
  int previewRuns = 0;  // preview runs that ended well, with the preview served
  std::atomic<bool> cancel{false};
};

// The key of a table, field or chart in the record of what the preview's
// files read ("project" and "database" for those two).
std::string objectKey(const std::string& kind, const std::string& table, const std::string& name);

class Session {
 public:
  Session(std::string projectFile, std::string previewFolder, Progress& progress);
  ~Session();

  // The API; each runs on the engine's thread.
  Reply tree();
  Reply settings(const Params& p);
  Reply set(const Params& p);
  Reply reorder(const Params& p);
  Reply addView(const Params& p);
  Reply addReport(const Params& p);
  Reply addChart(const Params& p);
  Reply remove(const Params& p);
  Reply undo();
  Reply save();
  Reply check();
  Reply sync(const Params& p);
  // A generation run into the destination or the preview folder; its
  // progress and result go to the Progress.
  void generate(bool preview);

  bool dirty() const { return !undo_.empty() || changedSinceSave_; }
  // The preview is older than the project in memory.
  bool previewStale() const { return previewStale_; }
  bool hasPreview() const { return !previewFolder_.empty(); }
  // A private folder of this session (undo snapshots, logs).
  const std::string& scratchFolder() const { return scratch_; }

 private:
  struct UndoStep {
    std::string what;
    // A project file holding the state before the step, written without its
    // passwords (they stay in `secrets`, in memory only), or
    std::string snapshot;
    std::vector<std::pair<std::string, Variant>> secrets;  // "Project"/"Database" setting -> value
    std::set<std::string> leftOut;  // the tables left out before the step
    std::string table, field, chart;  // the object whose settings `old` holds
    bool database = false;
    std::vector<std::pair<std::string, Variant>> old;
  };
  void snapshot(const std::string& what);
  // Fills the step's snapshot, secrets and left-out list from the project now.
  void takeSnapshot(UndoStep& step);
  void restoreSnapshot(const UndoStep& step);
  // Marks the project changed; `object` (as objectKey makes it) is the one
  // object whose settings changed, empty when more changed (the whole
  // preview is made again).
  void changed(const std::string& object = {});
  std::string fileHash() const;
  LeftOut unsavedLeftOut() const;

  std::string file_;
  std::string previewFolder_;
  std::string scratch_;
  Progress& progress_;
  Ref<AGP> proj_;
  std::string savedHash_;
  // The tables and views left out of the project as the unsaved project has
  // them; written beside the project file on save.
  std::set<std::string> leftOut_;
  std::vector<UndoStep> undo_;
  int snapshots_ = 0;
  bool changedSinceSave_ = false;
  bool previewStale_ = true;
  // What the preview's files depend on: output file -> the objects whose
  // settings its page read; the objects changed since the last preview run,
  // and whether everything is to be made again.
  std::map<std::string, std::set<std::string>> previewReads_;
  std::set<std::string> changedObjects_;
  bool previewAll_ = true;
  std::string templateHash_;  // of the packed template folder of the last preview run
  bool templateExtracted_ = false;
};

}  // namespace tw::cli::studio
