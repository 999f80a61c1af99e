#pragma once
// The engine's modal questions and message boxes. On a terminal they are
// asked on stderr/stdin; without one, scripted answers (command-line flags,
// tests) or each question's default answer are used and messages go to
// stderr. The engine context holds the handler in use.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

enum class MessageIcon { None, Information, Exclamation, Critical, Question };

struct PromptRequest {
  std::string id;     // which dialog: "sync", "template", "overwrite", ...
  std::string title;  // caption
  std::string text;
  std::vector<std::string> buttons;  // labels in display order
  std::string checkLabel;            // a check box ("All"), or empty for none
  int defaultButton = 0;             // chosen when nobody can answer
};

struct PromptAnswer {
  int button = 0;
  bool checked = false;
};

// The dialog that pairs objects that got other names (tables or fields).
struct MappingRequest {
  std::string title;
  std::string message;
  std::string newLabel;  // column heading of the new names
  std::string oldLabel;
  std::vector<std::string> newNames;
  std::vector<std::string> oldNames;
};

class PromptHandler {
 public:
  virtual ~PromptHandler() = default;
  virtual void message(std::string_view title, std::string_view text, MessageIcon icon) = 0;
  virtual PromptAnswer ask(const PromptRequest& request) = 0;
  // For each new name, the old name paired with it, or empty for none.
  virtual std::vector<std::string> pairNames(const MappingRequest& request) = 0;
};

// Answers with each question's default and pairs nothing; messages go to
// stderr as "title: text".
class NonInteractivePrompt : public PromptHandler {
 public:
  void message(std::string_view title, std::string_view text, MessageIcon icon) override;
  PromptAnswer ask(const PromptRequest& request) override;
  std::vector<std::string> pairNames(const MappingRequest& request) override;
};

// Asks on the terminal: the text, then the buttons numbered; the user types a
// number, a label or its first letter. Pairing lists the old names numbered
// and asks for each new name which old one it was.
class TerminalPrompt : public PromptHandler {
 public:
  TerminalPrompt(std::FILE* in, std::FILE* out) : in_(in), out_(out) {}
  void message(std::string_view title, std::string_view text, MessageIcon icon) override;
  PromptAnswer ask(const PromptRequest& request) override;
  std::vector<std::string> pairNames(const MappingRequest& request) override;

 private:
  std::string readLine();
  std::FILE* in_;
  std::FILE* out_;
};

// Answers given in advance: per dialog id, a queue of answers (a button label,
// optionally followed by "+" for a ticked check box, as in "Overwrite+");
// pairings as a map from new name to old name. Unanswered questions take their
// default. Everything shown is recorded.
class ScriptedPrompt : public PromptHandler {
 public:
  void answer(std::string_view id, std::string_view label) {
    answers_[std::string(id)].push_back(std::string(label));
  }
  void pair(std::string_view newName, std::string_view oldName) {
    pairs_[std::string(newName)] = std::string(oldName);
  }
  void message(std::string_view title, std::string_view text, MessageIcon icon) override;
  PromptAnswer ask(const PromptRequest& request) override;
  std::vector<std::string> pairNames(const MappingRequest& request) override;

  struct Shown {
    std::string kind;  // "message", "ask", "pair"
    std::string title;
    std::string text;
    std::string answer;
  };
  const std::vector<Shown>& shown() const noexcept { return shown_; }

 private:
  std::map<std::string, std::vector<std::string>> answers_;
  std::map<std::string, std::string> pairs_;
  std::vector<Shown> shown_;
};

// A terminal prompt when stdin and stderr are terminals, else non-interactive.
std::unique_ptr<PromptHandler> defaultPromptHandler();

// Index of the button a typed answer names: a 1-based number, a label (any
// letter case) or a label's first letter when that is unambiguous; -1 when
// it names none.
int matchButton(const std::vector<std::string>& buttons, std::string_view typed);

}  // namespace tw
