// tarnwick template init, check and helpers: for template authors.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/cli.h"
#include "cli/terminal.h"
#include "generate/generator.h"
#include "generate/template_check.h"
#include "platform/archive.h"
#include "script/agscript.h"
#include "script/helper_reference.h"
#include "automation/text.h"
#include "support/engine_context.h"

namespace fs = std::filesystem;

namespace tw::cli {

namespace {

struct InitOptions {
  std::string dir;
};

int runInit(const InitOptions& o) {
  std::error_code ec;
  if (fs::exists(o.dir, ec) && !(fs::is_directory(o.dir, ec) && fs::is_empty(o.dir, ec)))
    throw usageError(o.dir + ": exists and is not an empty folder; name a new folder");
  const std::string zip = dataFolder("templates/default.zip", false);
  const std::string folder = dataFolder("templates/default");
  if (!zip.empty()) {
    fs::create_directories(o.dir, ec);
    ArchiveResult r = extractArchive(zip, o.dir);
    if (!r.ok) throw CliError(zip + ": " + r.error);
  } else if (!folder.empty() && fs::exists(fs::path(folder) / "control.xml", ec)) {
    fs::copy(folder, o.dir, fs::copy_options::recursive, ec);
    if (ec) throw CliError(o.dir + ": " + ec.message());
    fs::remove(fs::path(o.dir) / "CMakeLists.txt", ec);  // the build's, not the template's
  } else {
    throw CliError("the default template was not found (no templates/default.zip beside the program)");
  }
  size_t files = 0;
  for (auto it = fs::recursive_directory_iterator(o.dir, ec); it != fs::recursive_directory_iterator(); ++it)
    if (it->is_regular_file()) ++files;
  info("Wrote the default template into " + o.dir + " (" + std::to_string(files) + " files)");
  info("Use it for a project with: tarnwick set PROJECT Template=" + o.dir +
       "\nCheck it after a change with: tarnwick template check " + o.dir + " [PROJECT]");
  return kExitOk;
}

struct CheckOptions {
  std::string templ;
  std::string project;
};

int runCheck(const CheckOptions& o) {
  startEngine();
  std::error_code ec;
  std::string archive;
  if (fs::is_directory(o.templ, ec))
    archive = packTemplateFolder(absolutePath(o.templ));
  else if (fs::exists(o.templ, ec))
    archive = absolutePath(o.templ);
  else
    throw usageError(o.templ + ": no such template folder or archive");
  Ref<AGP> proj;
  if (!o.project.empty()) {
    proj = loadProject(o.project);
  } else {
    proj = makeRef<AGP>();
    proj->AddProj("check");
  }
  engine().setPrompts(std::make_unique<GenerationPrompt>(makeCliPrompt(), GenerationPrompt::TemplateAnswer::Overwrite,
                                                         GenerationPrompt::OverwriteAnswer::OverwriteAll));
  TemplateCheckResult r = CheckTemplate(*proj, archive, o.templ, !o.project.empty());
  for (const std::string& p : r.problems) std::cout << p << '\n';
  std::string done = std::to_string(r.controlsCompiled) + (r.controlsCompiled == 1 ? " control" : " controls") +
                     " compiled";
  if (!o.project.empty())
    done += ", " + std::to_string(r.pagesRun) + (r.pagesRun == 1 ? " page" : " pages") + " run for " + o.project;
  if (!r.problems.empty()) {
    std::cerr << r.problems.size() << (r.problems.size() == 1 ? " problem" : " problems") << " found (" << done
              << ")\n";
    return kExitFailed;
  }
  if (!globals().quiet) std::cerr << "No problems found (" << done << ")\n";
  return kExitOk;
}

struct HelpersOptions {
  std::string name;
  bool markdown = false;
  std::string guide;
};

std::string readWhole(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw CliError(file + ": cannot read it");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int runHelpers(const HelpersOptions& o) {
  HelperReference ref = readHelperReference(builtinSystemCode());
  if (!o.guide.empty()) {
    std::string guide = readWhole(o.guide);
    std::string error;
    if (!replaceHelperSection(guide, helperReferenceMarkdown(ref), error)) throw CliError(o.guide + ": " + error);
    if (guide == readWhole(o.guide)) {
      info(o.guide + ": the helper functions are up to date");
      return kExitOk;
    }
    std::ofstream out(o.guide, std::ios::binary | std::ios::trunc);
    if (!(out << guide) || !out.flush()) throw CliError(o.guide + ": cannot write it");
    info(o.guide + ": wrote " + std::to_string(ref.helpers.size()) + " helper functions");
    return kExitOk;
  }
  if (o.markdown) {
    std::cout << helperReferenceMarkdown(ref);
    return kExitOk;
  }
  if (o.name.empty()) {
    for (const HelperDoc& h : ref.helpers) {
      std::string summary = h.text.empty() ? "" : h.text.front();
      size_t stop = summary.find(". ");
      if (stop != std::string::npos) summary = summary.substr(0, stop + 1);
      std::cout << h.name << "(" << h.params << ")\n    " << summary << '\n';
    }
    return kExitOk;
  }
  std::vector<std::string> names;
  for (const HelperDoc& h : ref.helpers) {
    names.push_back(h.name);
    if (toLower(h.name) != toLower(o.name)) continue;
    std::cout << h.kind << ' ' << h.name << "(" << h.params << ")\n";
    for (const std::string& p : h.text) std::cout << '\n' << p << '\n';
    if (!h.examples.empty()) std::cout << '\n';
    for (const std::string& e : h.examples) std::cout << "  " << e << '\n';
    return kExitOk;
  }
  throw usageError("no helper function \"" + o.name + "\"" + suggestion(o.name, names));
}

}  // namespace

void addTemplateCommands(CLI::App& app, Commands& out) {
  CLI::App* tmpl = app.add_subcommand("template", "Start a template of your own, check one");
  tmpl->require_subcommand(1);
  {
    auto o = std::make_shared<InitOptions>();
    CLI::App* sub = tmpl->add_subcommand("init", "Unpack the default template into a new folder to start from");
    sub->add_option("DIR", o->dir, "The new folder")->required();
    sub->footer(
        "The folder can be named as a project's template at once (tarnwick set PROJECT\n"
        "Template=DIR); generate reads a folder as it reads an archive. The template author's\n"
        "guide (doc/template-guide.md, installed to share/doc/tarnwick) describes its files.\n"
        "\n"
        "Example:\n"
        "  tarnwick template init mytemplate && tarnwick set shop.xml Template=mytemplate");
    out.push_back({sub, [o] { return runInit(*o); }});
  }
  {
    auto o = std::make_shared<CheckOptions>();
    CLI::App* sub = tmpl->add_subcommand(
        "check", "Parse and compile every file and control of a template; with a project, run its pages");
    sub->add_option("TEMPLATE", o->templ, "Template folder or .zip archive")->required();
    sub->add_option("PROJECT", o->project, "Project file whose pages are run into a scratch folder");
    sub->footer(
        "Reads control.xml and lang.xml, parses the blocks of every template file, compiles\n"
        "every control into its script and checks the script's VBScript syntax. With a\n"
        "project, it also runs every page into a scratch folder (the project's destination\n"
        "is not touched) and reports what the scripts let pass: errors On Error Resume Next\n"
        "skipped, unknown phrases, missing sessions, empty pages.\n"
        "\n"
        "Each problem is one line FILE:LINE:COLUMN: message on stdout; the exit code is 1\n"
        "when there is one, 0 when there is none.\n"
        "\n"
        "Examples:\n"
        "  tarnwick template check mytemplate\n"
        "  tarnwick template check mytemplate shop.xml");
    out.push_back({sub, [o] { return runCheck(*o); }});
  }
  {
    auto o = std::make_shared<HelpersOptions>();
    CLI::App* sub = tmpl->add_subcommand("helpers", "The helper functions of the built-in system code, described");
    sub->add_option("NAME", o->name, "One helper, described in full");
    sub->add_flag("--markdown", o->markdown, "All of them as the Markdown section of the template author's guide");
    sub->add_option("--guide", o->guide, "Write that section into this guide, between its marker lines");
    sub->footer(
        "Every page script and user function of a template can call these helpers. Their\n"
        "descriptions are the comments above them in the system code, so this text and the\n"
        "code cannot disagree. Without NAME, each helper with the first sentence of its\n"
        "description.\n"
        "\n"
        "Examples:\n"
        "  tarnwick template helpers\n"
        "  tarnwick template helpers PhpString\n"
        "  tarnwick template helpers --guide doc/template-guide.md");
    out.push_back({sub, [o] { return runHelpers(*o); }});
  }
}

}  // namespace tw::cli
