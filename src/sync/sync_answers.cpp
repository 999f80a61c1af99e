#include "sync/sync_answers.h"

#include <algorithm>

#include "sync/sync.h"

namespace tw {

SyncAnswers::SyncAnswers(std::unique_ptr<PromptHandler> next) : next_(std::move(next)) {
  if (!next_) next_ = std::make_unique<NonInteractivePrompt>();
}

void SyncAnswers::pairTable(std::string_view newName, std::string_view oldName) {
  tablePairs_[std::string(newName)] = std::string(oldName);
}

void SyncAnswers::pairField(std::string_view table, std::string_view newName, std::string_view oldName) {
  fieldPairs_[std::string(table)][std::string(newName)] = std::string(oldName);
}

void SyncAnswers::message(std::string_view title, std::string_view text, MessageIcon icon) {
  next_->message(title, text, icon);
}

PromptAnswer SyncAnswers::ask(const PromptRequest& request) {
  std::optional<bool> given;
  if (request.id == kSyncPromptId)
    given = update_;
  else if (request.id == kSyncKeyPromptId)
    given = updateKeys_;
  if (given) {
    int button = matchButton(request.buttons, *given ? "Update" : "Keep");
    if (button >= 0) return {button, false};
  }
  return next_->ask(request);
}

std::vector<std::string> SyncAnswers::pairNames(const MappingRequest& request) {
  return next_->pairNames(request);
}

std::vector<std::string> SyncAnswers::pairFor(const MappingRequest& request, std::string_view table) {
  const std::map<std::string, std::string>* pairs = &tablePairs_;
  if (!table.empty()) {
    auto it = fieldPairs_.find(std::string(table));
    pairs = it == fieldPairs_.end() ? nullptr : &it->second;
  }
  std::vector<std::string> result(request.newNames.size());
  std::vector<bool> oldUsed(request.oldNames.size(), false);
  std::vector<size_t> open;
  for (size_t i = 0; i < request.newNames.size(); ++i) {
    if (pairs) {
      auto it = pairs->find(request.newNames[i]);
      if (it != pairs->end()) {
        // Only an old name the request offers, and only once.
        auto old = std::find(request.oldNames.begin(), request.oldNames.end(), it->second);
        size_t k = static_cast<size_t>(old - request.oldNames.begin());
        if (old != request.oldNames.end() && !oldUsed[k]) {
          oldUsed[k] = true;
          result[i] = it->second;
        }
        continue;
      }
    }
    open.push_back(i);
  }
  if (complete_ || open.empty()) return result;
  MappingRequest rest = request;
  rest.newNames.clear();
  rest.oldNames.clear();
  for (size_t i : open) rest.newNames.push_back(request.newNames[i]);
  for (size_t k = 0; k < request.oldNames.size(); ++k)
    if (!oldUsed[k]) rest.oldNames.push_back(request.oldNames[k]);
  if (rest.oldNames.empty()) return result;
  std::vector<std::string> answered = next_->pairNames(rest);
  for (size_t j = 0; j < open.size() && j < answered.size(); ++j) result[open[j]] = answered[j];
  return result;
}

}  // namespace tw
