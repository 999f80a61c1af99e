// Synchronisation as members of AGP, and the check Load runs.
#include "core/agp.h"
#include "core/project_file.h"
#include "sync/sync.h"

namespace tw {

namespace {

const ClassInfo& projectMembers() {
  static const ClassInfo info =
      ClassBuilder<AGP>("AGP")
          .method("CheckDB", [](AGP& p) { return CheckDB(p); })
          .method("SynchronizeDB", [](AGP& p) { SynchronizeDB(p); })
          .method("SyncCustom", [](AGP& p, const Variant& name) { SyncCustom(p, name.toString()); })
          .method("SyncReport", [](AGP& p, const Variant& name) { SyncReport(p, name.toString()); })
          .build();
  return info;
}

}  // namespace

void installSyncMembers() {
  AGP::addMembers(&projectMembers());
  setLoadSyncCheck(&SyncCheckOnLoad);
}

}  // namespace tw
