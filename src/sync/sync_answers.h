#pragma once
// Answers to the synchronisation's questions decided before it runs, for
// callers that cannot or do not want to ask (command-line flags, a mapping
// file). Installed as the engine's prompt handler, it answers what it was
// told and passes every other question, message and pairing to the handler
// it wraps.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/prompt.h"

namespace tw {

class SyncAnswers : public PromptHandler {
 public:
  explicit SyncAnswers(std::unique_ptr<PromptHandler> next);

  // The answer to "Database has been modified...": true for Update.
  void setUpdate(bool update) { update_ = update; }
  // The answer to every primary key question: true for Update.
  void setUpdateKeys(bool update) { updateKeys_ = update; }
  // A table or view that was `oldName` in the project and is `newName` in
  // the database.
  void pairTable(std::string_view newName, std::string_view oldName);
  // A field of a table (named as in the database) that got another name.
  void pairField(std::string_view table, std::string_view newName, std::string_view oldName);
  // When set, names without a pair given here stay unpaired instead of
  // being asked about.
  void setPairsComplete(bool complete) { complete_ = complete; }

  void message(std::string_view title, std::string_view text, MessageIcon icon) override;
  PromptAnswer ask(const PromptRequest& request) override;
  std::vector<std::string> pairNames(const MappingRequest& request) override;

  // Pairs the names of one mapping request: the pairs given above first;
  // the names left over (when pairs are not complete) go to the wrapped
  // handler. `table` is empty when tables or views are paired. For each new
  // name the old name, or empty for none.
  std::vector<std::string> pairFor(const MappingRequest& request, std::string_view table);

 private:
  std::unique_ptr<PromptHandler> next_;
  std::optional<bool> update_;
  std::optional<bool> updateKeys_;
  std::map<std::string, std::string> tablePairs_;
  std::map<std::string, std::map<std::string, std::string>> fieldPairs_;
  bool complete_ = false;
};

}  // namespace tw
