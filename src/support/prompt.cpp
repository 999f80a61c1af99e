#include "support/prompt.h"

#include <unistd.h>

#include <cstdio>

#include "automation/text.h"

namespace tw {

namespace {

std::string answerText(const PromptRequest& r, const PromptAnswer& a) {
  std::string s = a.button >= 0 && a.button < static_cast<int>(r.buttons.size()) ? r.buttons[a.button] : "";
  if (a.checked) s += "+";
  return s;
}

}  // namespace

int matchButton(const std::vector<std::string>& buttons, std::string_view typed) {
  std::string_view t = trimBlanks(typed);
  if (t.empty()) return -1;
  bool digits = true;
  for (char c : t) digits = digits && c >= '0' && c <= '9';
  if (digits && t.size() < 4) {
    int n = std::stoi(std::string(t));
    return n >= 1 && n <= static_cast<int>(buttons.size()) ? n - 1 : -1;
  }
  for (size_t i = 0; i < buttons.size(); ++i)
    if (equalsNoCase(buttons[i], t)) return static_cast<int>(i);
  if (t.size() == 1) {
    int found = -1;
    for (size_t i = 0; i < buttons.size(); ++i) {
      if (!buttons[i].empty() && equalsNoCase(buttons[i].substr(0, 1), t)) {
        if (found >= 0) return -1;
        found = static_cast<int>(i);
      }
    }
    return found;
  }
  return -1;
}

// ---- NonInteractivePrompt

void NonInteractivePrompt::message(std::string_view title, std::string_view text, MessageIcon) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
               static_cast<int>(text.size()), text.data());
}

PromptAnswer NonInteractivePrompt::ask(const PromptRequest& request) {
  PromptAnswer a{request.defaultButton, false};
  std::fprintf(stderr, "%s: %s [%s]\n", request.title.c_str(), request.text.c_str(),
               answerText(request, a).c_str());
  return a;
}

std::vector<std::string> NonInteractivePrompt::pairNames(const MappingRequest& request) {
  return std::vector<std::string>(request.newNames.size());
}

// ---- TerminalPrompt

std::string TerminalPrompt::readLine() {
  std::string line;
  int c;
  while ((c = std::fgetc(in_)) != EOF && c != '\n') line += static_cast<char>(c);
  if (c == EOF && line.empty()) return "\x04";  // end of input
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void TerminalPrompt::message(std::string_view title, std::string_view text, MessageIcon) {
  std::fprintf(out_, "\n== %.*s ==\n%.*s\n", static_cast<int>(title.size()), title.data(),
               static_cast<int>(text.size()), text.data());
  std::fflush(out_);
}

PromptAnswer TerminalPrompt::ask(const PromptRequest& request) {
  std::fprintf(out_, "\n== %s ==\n%s\n", request.title.c_str(), request.text.c_str());
  for (size_t i = 0; i < request.buttons.size(); ++i)
    std::fprintf(out_, "  %zu) %s%s\n", i + 1, request.buttons[i].c_str(),
                 static_cast<int>(i) == request.defaultButton ? " (default)" : "");
  PromptAnswer answer{request.defaultButton, false};
  for (;;) {
    std::fprintf(out_, "Choice: ");
    std::fflush(out_);
    std::string line = readLine();
    if (line == "\x04") return answer;
    if (trimBlanks(line).empty()) break;
    int b = matchButton(request.buttons, line);
    if (b >= 0) {
      answer.button = b;
      break;
    }
    std::fprintf(out_, "Please type a number from 1 to %zu.\n", request.buttons.size());
  }
  if (!request.checkLabel.empty()) {
    std::fprintf(out_, "%s? [y/N] ", request.checkLabel.c_str());
    std::fflush(out_);
    std::string line = readLine();
    answer.checked = !line.empty() && (line[0] == 'y' || line[0] == 'Y');
  }
  return answer;
}

std::vector<std::string> TerminalPrompt::pairNames(const MappingRequest& request) {
  std::vector<std::string> result(request.newNames.size());
  std::fprintf(out_, "\n== %s ==\n%s\n%s:\n", request.title.c_str(), request.message.c_str(),
               request.oldLabel.c_str());
  for (size_t i = 0; i < request.oldNames.size(); ++i)
    std::fprintf(out_, "  %zu) %s\n", i + 1, request.oldNames[i].c_str());
  std::vector<bool> used(request.oldNames.size());
  for (size_t n = 0; n < request.newNames.size(); ++n) {
    for (;;) {
      std::fprintf(out_, "%s \"%s\" was (number, empty for none): ", request.newLabel.c_str(),
                   request.newNames[n].c_str());
      std::fflush(out_);
      std::string line = readLine();
      if (line == "\x04") return result;
      std::string_view t = trimBlanks(line);
      if (t.empty()) break;
      int k = matchButton(request.oldNames, t);
      if (k >= 0 && !used[k]) {
        used[k] = true;
        result[n] = request.oldNames[k];
        break;
      }
      std::fprintf(out_, "Please type the number of an old name not paired yet.\n");
    }
  }
  return result;
}

// ---- ScriptedPrompt

void ScriptedPrompt::message(std::string_view title, std::string_view text, MessageIcon) {
  shown_.push_back({"message", std::string(title), std::string(text), {}});
}

PromptAnswer ScriptedPrompt::ask(const PromptRequest& request) {
  PromptAnswer a{request.defaultButton, false};
  auto it = answers_.find(request.id);
  if (it != answers_.end() && !it->second.empty()) {
    std::string label = it->second.front();
    it->second.erase(it->second.begin());
    if (!label.empty() && label.back() == '+') {
      a.checked = true;
      label.pop_back();
    }
    int b = matchButton(request.buttons, label);
    if (b >= 0) a.button = b;
  }
  shown_.push_back({"ask", request.title, request.text, answerText(request, a)});
  return a;
}

std::vector<std::string> ScriptedPrompt::pairNames(const MappingRequest& request) {
  std::vector<std::string> result;
  for (const std::string& n : request.newNames) {
    auto it = pairs_.find(n);
    result.push_back(it == pairs_.end() ? std::string() : it->second);
  }
  shown_.push_back({"pair", request.title, request.message, {}});
  return result;
}

std::unique_ptr<PromptHandler> defaultPromptHandler() {
  if (isatty(STDIN_FILENO) && isatty(STDERR_FILENO)) return std::make_unique<TerminalPrompt>(stdin, stderr);
  return std::make_unique<NonInteractivePrompt>();
}

}  // namespace tw
