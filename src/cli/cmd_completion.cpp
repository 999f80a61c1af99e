// tarnwick completion SHELL: shell completion for bash, zsh and fish. The
// scripts are small: on each Tab they ask the program itself (the hidden
// command __complete) what may come next, and the program answers from its
// command definitions and, for table, field and setting names, from the
// project named on the line. Nothing is listed twice, so nothing drifts.
#include <fstream>
#include <iostream>
#include <map>

#include "automation/text.h"
#include "cli/cli.h"
#include "cli/live_schema.h"
#include "model/chart.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "script/agscript.h"
#include "script/helper_reference.h"

namespace tw::cli {

namespace {

// What the scripts print when the shell should complete file names itself.
constexpr const char* kFiles = "__files__";

constexpr const char* kBash = R"SH(# bash completion for tarnwick
_tarnwick() {
  local cur=${COMP_WORDS[COMP_CWORD]} IFS=$'\n' out
  out=$(command tarnwick __complete -- "${COMP_WORDS[@]:1:COMP_CWORD}" 2>/dev/null) || return 0
  if [[ $out == __files__ ]]; then
    compopt -o default 2>/dev/null
    COMPREPLY=()
    return 0
  fi
  [[ $cur == *= ]] && cur=
  COMPREPLY=($(compgen -W "$out" -- "$cur"))
  # A setting name goes on with its value: no space after "NAME=".
  if [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]]; then compopt -o nospace 2>/dev/null; fi
  return 0
}
complete -F _tarnwick tarnwick
)SH";

constexpr const char* kZsh = R"SH(#compdef tarnwick
# zsh completion for tarnwick
_tarnwick() {
  local -a items plain settings
  items=(${(f)"$(command tarnwick __complete -- "${(@)words[2,CURRENT]}" 2>/dev/null)"})
  if [[ ${items[1]} == __files__ ]]; then
    _files
    return
  fi
  local item
  for item in $items; do
    if [[ $item == *= ]]; then settings+=${item%=}; else plain+=$item; fi
  done
  (( $#plain )) && compadd -- $plain
  (( $#settings )) && compadd -S '=' -- $settings
  return 0
}
if [[ $funcstack[1] == _tarnwick ]]; then _tarnwick "$@"; else compdef _tarnwick tarnwick; fi
)SH";

constexpr const char* kFish = R"SH(# fish completion for tarnwick
function __tarnwick_complete
    set -l words (commandline -opc) (commandline -ct)
    set -e words[1]
    set -l out (command tarnwick __complete -- $words 2>/dev/null)
    if test "$out[1]" = __files__
        __fish_complete_path (commandline -ct)
        return
    end
    printf '%s\n' $out
end
complete -c tarnwick -f -a '(__tarnwick_complete)'
)SH";

bool visible(const CLI::App* sub) { return !sub->get_group().empty(); }

std::vector<std::string> commandNames(CLI::App& app) {
  std::vector<std::string> names;
  for (CLI::App* sub : app.get_subcommands({}))
    if (visible(sub)) names.push_back(sub->get_name());
  return names;
}

bool takesValue(const CLI::Option* opt) { return opt->get_expected_max() > 0 && !opt->get_positional(); }

const CLI::Option* optionNamed(CLI::App& app, const std::string& word) {
  std::string name = word.substr(0, word.find('='));
  for (const CLI::Option* opt : app.get_options()) {
    if (opt->get_positional()) continue;
    for (const std::string& l : opt->get_lnames())
      if (name == "--" + l) return opt;
    for (const std::string& s : opt->get_snames())
      if (name == "-" + s) return opt;
  }
  return nullptr;
}

// The choices a {a,b,c} validator allows.
std::vector<std::string> choicesOf(const CLI::Option* opt) {
  std::string type = opt->get_type_name();
  size_t open = type.find('{'), close = type.rfind('}');
  std::vector<std::string> out;
  if (open == std::string::npos || close == std::string::npos || close < open) return out;
  std::string inner = type.substr(open + 1, close - open - 1);
  size_t start = 0;
  while (start <= inner.size()) {
    size_t comma = inner.find(',', start);
    std::string item(
        trimBlanks(inner.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
    if (!item.empty()) out.push_back(item);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

std::vector<std::string> settingNames(const SettingTable& table) {
  std::vector<std::string> out;
  for (const SettingDef& d : table.defs())
    if (d.fileSave && !d.readOnly) out.push_back(std::string(d.name) + "=");
  return out;
}

// The project named on the line, when it can be read.
struct Project {
  Ref<AGP> proj;
  std::string path;
  AGPTable* table(const std::string& name) {
    if (!proj || proj->DBCnt() == 0) return nullptr;
    AGPTable* t = proj->db()->tables().Item(Variant(name));
    return t && equalsNoCase(t->TblName(), name) ? t : nullptr;
  }
  std::vector<std::string> tables() {
    std::vector<std::string> out;
    if (proj && proj->DBCnt() > 0)
      for (AGPTable* t : proj->db()->tables().inSequence()) out.push_back(t->TblName());
    return out;
  }
  std::vector<std::string> fields(const std::string& tableName) {
    std::vector<std::string> out;
    if (AGPTable* t = table(tableName); t && t->hasFields())
      for (AGPField* f : t->Fields().inSequence()) out.push_back(f->FldName());
    return out;
  }
  std::vector<std::string> charts(const std::string& tableName) {
    std::vector<std::string> out;
    if (AGPTable* t = table(tableName))
      for (AGPChart* c : t->Charts().inSequence()) out.push_back(c->ChartName());
    return out;
  }
};

Project openProject(const std::string& path) {
  Project p;
  p.path = path;
  if (path.empty()) return p;
  try {
    startEngine();
    p.proj = loadProject(path);
  } catch (...) {
    p.proj = nullptr;
  }
  return p;
}

void append(std::vector<std::string>& to, const std::vector<std::string>& from) {
  to.insert(to.end(), from.begin(), from.end());
}

// Bash splits NAME=VALUE at "=": the pieces are joined again.
std::vector<std::string> joinAssignments(const std::vector<std::string>& words) {
  std::vector<std::string> out;
  bool joinNext = false;
  for (const std::string& w : words) {
    if (w == "=" && !out.empty()) {
      out.back() += w;
      joinNext = true;
    } else if (joinNext) {
      out.back() += w;
      joinNext = false;
    } else {
      out.push_back(w);
    }
  }
  return out;
}

// What may follow the words; the last word is the one being completed.
std::vector<std::string> candidates(CLI::App& app, std::vector<std::string> words) {
  if (words.empty()) words.push_back("");
  words = joinAssignments(words);
  if (words.empty()) words.push_back("");
  const std::string current = words.back();
  words.pop_back();
  // A value after NAME= is the user's own.
  if (current.find('=') != std::string::npos) return {};

  std::vector<std::string> out;
  // The command, and the command of a group.
  CLI::App* command = &app;
  size_t i = 0;
  auto nextWord = [&]() -> const std::string* {
    for (; i < words.size(); ++i)
      if (words[i].empty() || words[i][0] != '-') return &words[i++];
    return nullptr;
  };
  while (!command->get_subcommands({}).empty()) {
    const std::string* name = nextWord();
    if (!name) {
      if (!current.empty() && current[0] == '-') {
        for (const CLI::Option* opt : command->get_options())
          for (const std::string& l : opt->get_lnames()) out.push_back("--" + l);
        return out;
      }
      return commandNames(*command);
    }
    CLI::App* sub = nullptr;
    for (CLI::App* s : command->get_subcommands({}))
      if (s->get_name() == *name) sub = s;
    if (!sub) return out;
    command = sub;
  }
  const std::string commandName = command->get_name();

  // Positional words and option values after the command.
  std::vector<std::string> positionals;
  std::map<std::string, std::string> values;
  const CLI::Option* pending = nullptr;
  for (; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (pending) {
      values[pending->get_name()] = w;
      pending = nullptr;
    } else if (w.size() > 1 && w[0] == '-') {
      const CLI::Option* opt = optionNamed(*command, w);
      if (opt && takesValue(opt) && w.find('=') == std::string::npos) pending = opt;
      if (opt) values.emplace(opt->get_name(), "");
    } else {
      positionals.push_back(w);
    }
  }
  const std::string projectPath = positionals.empty() ? std::string() : positionals[0];

  if (pending) {
    std::string name = pending->get_name();
    std::vector<std::string> choices = choicesOf(pending);
    if (!choices.empty()) return choices;
    if (name == "--chart" && positionals.size() >= 2) return openProject(projectPath).charts(positionals[1]);
    if (name == "--from") return openProject(projectPath).tables();
    return {kFiles};
  }
  if (!current.empty() && current[0] == '-') {
    for (const CLI::Option* opt : command->get_options()) {
      if (opt->get_positional()) continue;
      for (const std::string& l : opt->get_lnames()) out.push_back("--" + l);
    }
    return out;
  }

  // The positional the current word fills.
  std::string slot;
  size_t filled = positionals.size();
  for (const CLI::Option* opt : command->get_options()) {
    if (!opt->get_positional()) continue;
    int many = opt->get_items_expected_max();
    if (many >= 1 && filled >= static_cast<size_t>(many) && many < (1 << 20)) {
      filled -= static_cast<size_t>(many);
      continue;
    }
    slot = opt->get_name();
    break;
  }
  if (slot.empty()) return out;
  if (slot == "PROJECT") return {kFiles};
  if (slot == "DIR") return {kFiles};
  if (slot == "SHELL") return {"bash", "zsh", "fish"};
  if (slot == "COMMAND") {
    // help COMMAND [SUBCOMMAND]
    if (positionals.empty()) return commandNames(app);
    for (CLI::App* s : app.get_subcommands({}))
      if (s->get_name() == positionals[0]) return commandNames(*s);
    return out;
  }
  if (slot == "SECTION") return configNames({});
  const std::string group = command->get_parent() ? command->get_parent()->get_name() : std::string();
  if (group == "extension" && slot == "NAME") {
    startEngine();
    return extensionNames();
  }
  if (group == "extension" && slot == "ARCHIVE") return {kFiles};
  if (group == "template" && slot == "NAME") {
    for (const HelperDoc& h : readHelperReference(builtinSystemCode()).helpers) out.push_back(h.name);
    return out;
  }
  if (group == "template") return {kFiles};
  if (command->get_parent() && command->get_parent()->get_name() == "config" && slot == "NAME")
    return positionals.empty() ? out : configNames(positionals[0]);

  Project p = openProject(projectPath);
  // Words after PROJECT.
  std::vector<std::string> after(positionals.size() > 1 ? positionals.begin() + 1 : positionals.end(),
                                 positionals.end());
  if (slot == "TABLE") {
    if (commandName == "add") {
      const LeftOut leftOut(projectPath);
      append(out, std::vector<std::string>(leftOut.names().begin(), leftOut.names().end()));
      for (const std::string& t : p.tables())
        if (AGPTable* table = p.table(t); table && !table->flag("TblLoaded")) out.push_back(t);
      return out;
    }
    return p.tables();
  }
  if (slot == "FIELD") return after.empty() ? out : p.fields(after[0]);
  if (slot == "ARGS" && commandName == "reorder") {
    if (values.count("--chart")) return after.empty() ? p.tables() : out;
    if (after.empty()) return p.tables();
    if (after.size() == 1) return p.fields(after[0]);
    return out;
  }
  if (slot == "ARGS") {
    // set: [TABLE [FIELD]] NAME=VALUE...
    std::vector<std::string> path;
    for (const std::string& a : after)
      if (a.find('=') == std::string::npos) path.push_back(a);
    const bool assigning = path.size() < after.size();
    if (values.count("--database")) return settingNames(AGPDatabase::settings());
    if (values.count("--chart")) return settingNames(AGPChart::settings());
    if (path.empty()) {
      if (!assigning) append(out, p.tables());
      append(out, settingNames(AGP::settings()));
    } else if (path.size() == 1) {
      if (!assigning) append(out, p.fields(path[0]));
      append(out, settingNames(AGPTable::settings()));
    } else {
      append(out, settingNames(AGPField::settings()));
    }
    return out;
  }
  return out;
}

struct CompletionOptions {
  std::string shell;
  std::string output;
  std::vector<std::string> words;
};

int runCompletion(const CompletionOptions& o) {
  const char* script = o.shell == "bash" ? kBash : o.shell == "zsh" ? kZsh : kFish;
  if (o.output.empty()) {
    std::cout << script;
    return kExitOk;
  }
  std::ofstream out(o.output, std::ios::binary | std::ios::trunc);
  if (!(out << script) || !out.flush()) throw CliError(o.output + ": cannot write the completion script");
  return kExitOk;
}

}  // namespace

void addCompletionCommands(CLI::App& app, Commands& out) {
  {
    auto o = std::make_shared<CompletionOptions>();
    CLI::App* sub =
        app.add_subcommand("completion", "Print the shell completion script for bash, zsh or fish");
    sub->add_option("SHELL", o->shell, "bash, zsh or fish")
        ->required()
        ->check(CLI::IsMember({"bash", "zsh", "fish"}));
    sub->add_option("-o,--output", o->output, "Write it to this file instead");
    sub->footer(
        "Completes commands, options, setting names and the table and field names of the\n"
        "project given on the line. An installation puts the scripts where each shell looks\n"
        "for them; to try one in the running shell:\n"
        "\n"
        "Examples:\n"
        "  source <(tarnwick completion bash)\n"
        "  tarnwick completion zsh > ~/.zfunc/_tarnwick\n"
        "  tarnwick completion fish > ~/.config/fish/completions/tarnwick.fish");
    out.push_back({sub, [o] { return runCompletion(*o); }});
  }
  {
    auto o = std::make_shared<CompletionOptions>();
    CLI::App* sub =
        app.add_subcommand("__complete", "What may come next on a command line (for the scripts)");
    sub->group("");
    sub->add_option("WORDS", o->words, "The words after tarnwick; the last one is being completed");
    out.push_back({sub, [&app, o] {
                     globals().quiet = true;
                     for (const std::string& c : candidates(app, o->words)) std::cout << c << '\n';
                     return kExitOk;
                   }});
  }
}

}  // namespace tw::cli
