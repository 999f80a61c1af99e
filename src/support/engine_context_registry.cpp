// The registry objects of the engine context, created on first use.
#include "support/engine_context.h"
#include "support/registry.h"
#include "support/registry_store.h"

namespace tw {

RegistryStore& EngineContext::registryStore() {
  if (!store_) store_ = std::make_unique<RegistryStore>();
  return *store_;
}

cRegistry& EngineContext::registry() {
  if (!registry_) registry_ = makeRef<cRegistry>();
  return *registry_;
}

}  // namespace tw
