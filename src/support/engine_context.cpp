#include "support/engine_context.h"

#include <memory>

#include "support/prompt.h"
#include "support/registry.h"
#include "support/registry_store.h"
#include "support/status.h"

namespace tw {

namespace {
thread_local std::unique_ptr<EngineContext> tlsEngine;
}

EngineContext::EngineContext() { composeRegistryPaths(); }

EngineContext::~EngineContext() = default;

void EngineContext::composeRegistryPaths() {
  regBase = "Software\\" + productKey + "\\" + productVersion;
  regGeneral = regBase + "\\Settings\\General";
  regProject = regBase + "\\Settings\\Project";
  regDatabase = regBase + "\\Settings\\Database";
  regTable = regBase + "\\Settings\\Table";
  regChart = regBase + "\\Settings\\Chart";
  regField = regBase + "\\Settings\\Field";
  regAdvancedFilters = regBase + "\\AdvancedFilters";
  regExtensions = regBase + "\\Extensions";
}

AGPStatus& EngineContext::status() {
  if (!status_) status_ = makeRef<AGPStatus>();
  return *status_;
}

PromptHandler& EngineContext::prompts() {
  if (!prompts_) prompts_ = defaultPromptHandler();
  return *prompts_;
}

void EngineContext::setPrompts(std::unique_ptr<PromptHandler> handler) { prompts_ = std::move(handler); }

EngineContext& engine() {
  if (!tlsEngine) tlsEngine = std::make_unique<EngineContext>();
  return *tlsEngine;
}

void resetEngine() { tlsEngine.reset(); }

void setProjErr(std::string_view message) { engine().projErr = engine().productName + std::string(message); }

}  // namespace tw
