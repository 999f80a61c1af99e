#pragma once
// The flags that answer the synchronisation's questions in advance, shared
// by `sync` and by `generate --sync update`.
#include <optional>
#include <string>

#include "cli/cli.h"

namespace tw::cli {

struct SyncFlags {
  std::string map;
  bool keepKeys = false;
};

void addSyncFlags(CLI::App& sub, SyncFlags& flags);
// Installs the answers as the engine's prompt handler: key questions by
// --keep-keys, renamed objects by the map file (complete when one is given),
// and the keep/update question when `update` is set.
void installSyncAnswers(const SyncFlags& flags, std::optional<bool> update);
// The names of the map file installed above checked against the project:
// before synchronisation every old name (or its new name) must be in it,
// afterwards every new name. Throws a usage error naming each line at fault.
void checkMapBeforeSync(AGP& proj);
void checkMapAfterSync(AGP& proj);

}  // namespace tw::cli
