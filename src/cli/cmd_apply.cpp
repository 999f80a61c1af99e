// tarnwick apply: a project description (description.h) applied to a
// project, all of it or nothing, so that a project's settings can be kept
// as text beside the code and applied again after `new` or a change.
#include "cli/cli.h"
#include "cli/objects.h"
#include "core/project_file.h"

namespace tw::cli {

namespace {

struct ApplyOptions {
  std::string project;
  std::string file;
  bool check = false;
};

int runApply(const ApplyOptions& o) {
  startEngine();
  Ref<AGP> proj = loadProject(o.project, !o.check);
  const std::string storedPassword = proj->str("SecPasswd");
  int lines = 0;
  try {
    lines = applyDescription(*proj, o.file);
  } catch (const CliError& e) {
    throw CliError(std::string(e.what()) + "\n" + o.project + " was not changed", e.code());
  }
  // The login password the project holds (as a hash) stays as it is when the
  // description gives it again in plain text.
  if (loginPasswordMatches(proj->str("SecPasswd"), storedPassword))
    proj->setSetting("SecPasswd", Variant(storedPassword));
  // Key lists as loading the project rebuilds them (a new report's among
  // them), so that the file saved now is the file a later save keeps.
  RebuildTableKeys(*proj);
  const std::string count = std::to_string(lines) + (lines == 1 ? " line" : " lines");
  if (o.check) {
    info(o.file + ": " + count + ", every one applies to " + o.project + " (nothing was saved)");
    return kExitOk;
  }
  saveProject(*proj, o.project);
  info("Applied " + count + " of " + o.file + " to " + o.project);
  return kExitOk;
}

}  // namespace

void addApplyCommands(CLI::App& app, Commands& out) {
  auto o = std::make_shared<ApplyOptions>();
  CLI::App* sub = app.add_subcommand("apply", "Apply a project description: settings, views, reports, charts");
  sub->add_option("PROJECT", o->project, "Project file")->required();
  sub->add_option("FILE", o->file, "The description")->required();
  sub->add_flag("--check", o->check, "Only check that every line applies; save nothing");
  sub->footer(
      "A description holds one change a line, its words quoted as in a shell; blank lines and\n"
      "text from a # on are left out:\n"
      "  name NAME                        the project's name\n"
      "  project NAME=VALUE...            project settings (as tarnwick set PROJECT)\n"
      "  database NAME=VALUE...           connection settings (set PROJECT --database)\n"
      "  table TABLE NAME=VALUE...        table settings\n"
      "  field TABLE FIELD NAME=VALUE...  field settings\n"
      "  view NAME SQL                    a custom view, its fields taken over (add-view --copy-fields)\n"
      "  report NAME SOURCE               a report of a table or view (add-report)\n"
      "  chart TABLE NAME NAME=VALUE...   a chart (added the first time) and its settings\n"
      "\n"
      "Either every line applies and the project is saved, or nothing is saved and every wrong\n"
      "line is named as FILE:LINE: reason. Applying a description again changes nothing more:\n"
      "views, reports and charts that exist as described are kept.\n"
      "\n"
      "Examples:\n"
      "  tarnwick apply shop.xml shop-settings.txt\n"
      "  tarnwick apply shop.xml shop-settings.txt --check");
  out.push_back({sub, [o] { return runApply(*o); }});
}

}  // namespace tw::cli
