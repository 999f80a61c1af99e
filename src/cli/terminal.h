#pragma once
// The terminal side of the command: the engine's questions, its progress
// window and Ctrl-C.
#include <memory>
#include <string>
#include <string_view>

#include "support/progress.h"
#include "support/prompt.h"

namespace tw::cli {

// Questions go to the terminal when there is one. Without one, a question
// that a command-line flag answers ends the command with a message naming
// that flag (see requireFlagFor); any other question takes its default.
// Engine messages go to stderr.
std::unique_ptr<PromptHandler> makeCliPrompt();
// Names the flag that decides the questions of one dialog ("overwrite",
// "template", "sync", "sync-key", or "pairing" for renamed objects) when
// nobody can be asked.
void requireFlagFor(std::string_view promptId, std::string_view flagText);

// Progress on one line of stderr when it is a terminal (nothing with
// --quiet); --verbose writes each caption and status as a line instead when
// stderr is no terminal. Ctrl-C marks the run cancelled.
std::unique_ptr<ProgressSink> makeCliProgressSink();

// Ctrl-C ends the program (see CleanCancel for the runs that stop cleanly
// at their next step instead); nothing is saved afterwards.
void installInterruptHandler();
bool interrupted() noexcept;
// While one lives (a generation run), the first Ctrl-C only asks the run to
// stop at its next step (interrupted()) and the second ends the process.
// Otherwise the first Ctrl-C ends the process at once with exit code 130.
class CleanCancel {
 public:
  CleanCancel();
  ~CleanCancel();
  CleanCancel(const CleanCancel&) = delete;
  CleanCancel& operator=(const CleanCancel&) = delete;
};

}  // namespace tw::cli
