// tarnwick help and tarnwick man: the command's help texts, and the same
// texts as a manual page.
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>

#include "cli/cli.h"
#include "tarnwick/version.h"

namespace tw::cli {

namespace {

CLI::App* findCommand(CLI::App& app, const std::vector<std::string>& words) {
  CLI::App* at = &app;
  for (const std::string& w : words) {
    CLI::App* next = nullptr;
    std::vector<std::string> names;
    for (CLI::App* sub : at->get_subcommands({})) {
      names.push_back(sub->get_name());
      if (sub->get_name() == w) next = sub;
    }
    if (!next) throw usageError("no command \"" + w + "\"" + suggestion(w, names));
    at = next;
  }
  return at;
}

// Text for troff: leading dots and quotes guarded, backslashes doubled.
std::string roff(std::string_view text) {
  std::string out;
  bool lineStart = true;
  for (char c : text) {
    if (lineStart && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
    lineStart = c == '\n';
  }
  return out;
}

// A footer's lines: prose as paragraphs, indented lines kept as they are.
void roffFooter(std::ostream& out, const std::string& footer) {
  std::istringstream lines(footer);
  std::string line;
  bool literal = false;
  while (std::getline(lines, line)) {
    bool indented = line.rfind("  ", 0) == 0;
    if (indented && !literal) {
      out << ".nf\n";
      literal = true;
    } else if (!indented && literal) {
      out << ".fi\n";
      literal = false;
    }
    if (line.empty())
      out << ".PP\n";
    else
      out << roff(line) << '\n';
  }
  if (literal) out << ".fi\n";
}

void roffOptions(std::ostream& out, const CLI::App& app) {
  for (const CLI::Option* opt : app.get_options()) {
    if (opt->get_name() == "--help") continue;
    std::string names = opt->get_name(false, true);
    if (opt->get_positional())
      names = opt->get_name();
    else if (opt->get_type_size() != 0 && !opt->get_type_name().empty())
      names += " " + opt->get_type_name();
    out << ".TP\n.B " << roff(names) << '\n' << roff(opt->get_description()) << '\n';
  }
}

int runMan(CLI::App& app, const std::string& file) {
  std::ofstream toFile;
  if (!file.empty()) {
    toFile.open(file, std::ios::binary | std::ios::trunc);
    if (!toFile) throw CliError(file + ": cannot write the manual page");
  }
  std::ostream& out = file.empty() ? std::cout : toFile;
  out << ".TH TARNWICK 1 \"\" \"tarnwick " << TARNWICK_VERSION << "\" \"User Commands\"\n";
  out << ".SH NAME\ntarnwick \\- " << roff(app.get_description()) << '\n';
  out << ".SH SYNOPSIS\n.B tarnwick\n[\\fIOPTIONS\\fR] \\fICOMMAND\\fR [\\fIARGS\\fR]\n";
  out << ".SH OPTIONS\n";
  roffOptions(out, app);
  out << ".SH COMMANDS\n";
  std::function<void(const CLI::App&, const std::string&)> command = [&](const CLI::App& sub,
                                                                         const std::string& prefix) {
    std::string name = prefix + sub.get_name();
    if (!sub.get_subcommands({}).empty()) {
      out << ".SS " << roff(name) << '\n' << roff(sub.get_description()) << "\n.PP\n";
      roffFooter(out, sub.get_footer());
      for (const CLI::App* s : const_cast<CLI::App&>(sub).get_subcommands({})) command(*s, name + " ");
      return;
    }
    out << ".SS " << roff(name) << '\n' << roff(sub.get_description()) << '\n';
    roffOptions(out, sub);
    // A command of a group without a text of its own shows the group's.
    const CLI::App* parent = sub.get_parent();
    bool inherited = parent && parent->get_parent() && parent->get_footer() == sub.get_footer();
    if (!sub.get_footer().empty() && !inherited) {
      out << ".PP\n";
      roffFooter(out, sub.get_footer());
    }
  };
  for (const CLI::App* sub : app.get_subcommands({}))
    if (!sub->get_group().empty()) command(*sub, "");
  out << ".SH NOTES\n";
  roffFooter(out, app.get_footer());
  if (!file.empty() && !toFile.flush()) throw CliError(file + ": cannot write the manual page");
  return kExitOk;
}

}  // namespace

void addHelpCommands(CLI::App& app, Commands& out) {
  {
    auto words = std::make_shared<std::vector<std::string>>();
    CLI::App* sub = app.add_subcommand("help", "Show the help of tarnwick or of one command");
    sub->add_option("COMMAND", *words, "A command (config commands as: config set)");
    sub->footer("Examples:\n  tarnwick help new\n  tarnwick help config set");
    out.push_back({sub, [&app, words] {
                     CLI::App* target = findCommand(app, *words);
                     std::string name = "tarnwick";
                     for (const std::string& w : *words) name += " " + w;
                     std::cout << target->get_formatter()->make_help(target, name,
                                                                     CLI::AppFormatMode::Normal);
                     return kExitOk;
                   }});
  }
  {
    auto file = std::make_shared<std::string>();
    CLI::App* sub = app.add_subcommand("man", "Write the manual page (troff) to stdout");
    sub->add_option("-o,--output", *file, "Write it to this file instead");
    sub->footer("Example:\n  tarnwick man | man -l -");
    out.push_back({sub, [&app, file] { return runMan(app, *file); }});
  }
}

}  // namespace tw::cli
