// tarnwick: the command-line front end of the engine.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "automation/error.h"
#include "cli/cli.h"
#include "cli/terminal.h"
#include "tarnwick/version.h"

using namespace tw::cli;

namespace {

bool colourAllowed(int fd) {
  const char* noColor = std::getenv("NO_COLOR");
  if (noColor && *noColor) return false;
  const char* term = std::getenv("TERM");
  if (term && std::strcmp(term, "dumb") == 0) return false;
  return isatty(fd) == 1;
}

constexpr const char* kFooter =
    "Exit codes:\n"
    "  0    success\n"
    "  1    the operation failed (tarnwick check: the project differs from the database)\n"
    "  2    the command line is wrong: unknown option, setting, table or value, a decision\n"
    "       that needs a flag without a terminal (tarnwick check: any error)\n"
    "  130  cancelled with Ctrl-C\n"
    "\n"
    "Environment:\n"
    "  TARNWICK_CONFIG_HOME       folder of the user's registry.sqlite (user defaults)\n"
    "  TARNWICK_MACHINE_REGISTRY  the shipped machine defaults file\n"
    "  TARNWICK_DOCUMENTS         folder below which generation keeps its work folders\n"
    "  TARNWICK_DB_PASSWORD       database password when a mysql:// or postgresql:// URL has none\n"
    "  TARNWICK_LOCK_WAIT         seconds to wait for a project another run is changing (10)\n"
    "  TARNWICK_EXTENSIONS        folder of extension archives\n"
    "  TARNWICK_TEMPLATES         folder of the shipped templates (default: beside the program)\n"
    "  TARNWICK_DATA_DIR          folder holding templates/ and samples/ (for demo)\n"
    "  NO_COLOR                   no colour even on a terminal\n"
    "\n"
    "Run 'tarnwick help COMMAND' for a command's options and examples. Template authors:\n"
    "the template author's guide, template-guide.md, is installed in share/doc/tarnwick\n"
    "(doc/template-guide.md in the source); tarnwick template helpers describes the helper\n"
    "functions template scripts can call.";

int fail(const std::string& message, int code) {
  std::cerr << "tarnwick: " << red("error:") << ' ' << displayPaths(message) << '\n';
  return code;
}

// What a run without arguments prints: the commands, one a line, and where
// the rest of the help is.
int shortHelp(const CLI::App& app) {
  std::cout << "Usage: tarnwick [OPTIONS] COMMAND [ARGS]\n\n" << app.get_description() << "\n\nCommands:\n";
  for (const CLI::App* sub : const_cast<CLI::App&>(app).get_subcommands({})) {
    if (sub->get_group().empty()) continue;  // for the completion scripts only
    std::string name = sub->get_name();
    name.resize(std::max<size_t>(name.size() + 2, 14), ' ');
    std::cout << "  " << name << sub->get_description() << '\n';
  }
  std::cout << "\nRun 'tarnwick help COMMAND' for a command's options and examples, 'tarnwick --help'\n"
               "for the global options, exit codes and environment.\n";
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  Globals& g = globals();
  g.colorOut = colourAllowed(STDOUT_FILENO);
  g.colorErr = colourAllowed(STDERR_FILENO);
  g.interactive = isatty(STDIN_FILENO) == 1 && isatty(STDERR_FILENO) == 1;

  CLI::App app{"Tarnwick turns a MySQL/MariaDB, PostgreSQL or SQLite database and a template into a PHP web application.",
               "tarnwick"};
  app.set_version_flag("--version", std::string("tarnwick ") + TARNWICK_VERSION,
                       "Print the engine version and exit");
  app.add_flag("-q,--quiet", g.quiet, "Print only errors and what was asked for");
  app.add_flag("-v,--verbose", g.verbose, "Say what is being done, on stderr");
  app.footer(kFooter);
  // One command a run: later words that look like command names are
  // arguments (a table may be called "remove").
  app.require_subcommand(0, 1);
  app.get_formatter()->column_width(34);

  Commands commands;
  addProjectCommands(app, commands);
  addInspectCommands(app, commands);
  addEditCommands(app, commands);
  addAddCommands(app, commands);
  addApplyCommands(app, commands);
  addSyncCommands(app, commands);
  addGenerateCommands(app, commands);
  addServeCommands(app, commands);
  addTemplateCommands(app, commands);
  addSettingsCommands(app, commands);
  addStudioCommands(app, commands);
  addConfigCommands(app, commands);
  addExtensionCommands(app, commands);
  addHelpCommands(app, commands);
  addCompletionCommands(app, commands);
  // The global flags are accepted after the command as well. (Falling
  // through to the main parser instead would read a table named like a
  // command as that command.)
  for (Command& c : commands) {
    c.app->add_flag("-q,--quiet", g.quiet, "Print only errors and what was asked for");
    c.app->add_flag("-v,--verbose", g.verbose, "Say what is being done, on stderr");
  }

  if (argc <= 1) return shortHelp(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::string hint = " (see tarnwick --help)";
    for (const CLI::App* sub : app.get_subcommands()) hint = " (see tarnwick help " + sub->get_name() + ")";
    if (app.get_subcommands().empty()) {
      // The first word that is no option names the command.
      for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') continue;
        std::vector<std::string> names;
        for (const CLI::App* sub : app.get_subcommands({})) names.push_back(sub->get_name());
        return fail("unknown command \"" + std::string(argv[i]) + "\"" + suggestion(argv[i], names) + hint,
                    kExitUsage);
      }
    }
    return fail(e.what() + hint, kExitUsage);
  }
  if (g.quiet && g.verbose) return fail("--quiet and --verbose exclude each other", kExitUsage);

  const Command* chosen = nullptr;
  for (const Command& c : commands)
    if (c.app->parsed()) chosen = &c;
  if (!chosen) return fail("no command given (see tarnwick --help)", kExitUsage);
  for (const CLI::App* a = chosen->app; a && a != &app; a = a->get_parent())
    g.command = g.command.empty() ? a->get_name() : a->get_name() + " " + g.command;

  installInterruptHandler();
  try {
    return chosen->run();
  } catch (const CliError& e) {
    return fail(e.what(), e.code());
  } catch (const tw::Error& e) {
    if (interrupted() || e.description() == "Generation cancelled by user!")
      return fail("cancelled", kExitCancelled);
    if (e.source() == "tarnwick.Registry" || e.description().find(": Registry ") != std::string::npos)
      return fail(e.description() + " (tarnwick config reset --yes rebuilds it, keeping a copy)", kExitFailed);
    return fail(e.description(), kExitFailed);
  } catch (const std::exception& e) {
    return fail(e.what(), kExitFailed);
  }
}
