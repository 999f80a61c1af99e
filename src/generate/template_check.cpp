#include "generate/template_check.h"

#include <pugixml.hpp>

#include <set>

#include "automation/error.h"
#include "automation/text.h"
#include "core/agp.h"
#include "core/project_file.h"
#include "generate/generator.h"
#include "generate/text_util.h"
#include "model/database.h"
#include "platform/files.h"
#include "script/agscript.h"
#include "script/control.h"
#include "script/filter.h"
#include "script/language.h"
#include "script/parser.h"
#include "script/template_diagnostics.h"
#include "support/engine_context.h"
#include "support/helpers.h"
#include "support/registry.h"
#include "vbs/host.h"

namespace tw {

namespace {

class Collector {
 public:
  void add(std::string line) {
    if (seen_.insert(line).second) lines_.push_back(std::move(line));
  }
  std::vector<std::string> take() { return std::move(lines_); }
  size_t size() const { return lines_.size(); }

 private:
  std::set<std::string> seen_;
  std::vector<std::string> lines_;
};

// Line and column of a byte offset of a text.
SourceOrigin originIn(const std::string& file, std::string_view text, size_t offset) {
  MappedText mapped{std::string(text), file};
  return mapped.originAt(offset);
}

// An XML file that does not parse, as a problem line; empty when it parses.
std::string xmlProblem(const std::string& path, const std::string& shown) {
  std::optional<std::string> text = readTextFile(path);
  if (!text) return shown + ": cannot be read";
  pugi::xml_document doc;
  pugi::xml_parse_result r = doc.load_buffer(text->data(), text->size());
  if (r) return {};
  SourceOrigin at = originIn(shown, *text, static_cast<size_t>(std::max<ptrdiff_t>(r.offset, 0)));
  return formatOrigin(at) + ": XML error: " + r.description();
}

// The files below a folder, as paths relative to it.
void filesBelow(const std::string& folder, const std::string& prefix, std::vector<std::string>& out, int depth = 0) {
  if (depth > 16) return;
  for (const std::string& f : listFiles(folder)) out.push_back(prefix + f);
  for (const std::string& d : listFolders(folder)) filesBelow(joinPath(folder, d), prefix + d + "\\", out, depth + 1);
}

}  // namespace

TemplateCheckResult CheckTemplate(AGP& proj, const std::string& archive, const std::string& asGiven, bool runPages) {
  EngineContext& ctx = engine();
  TemplateCheckResult result;
  Collector found;
  GenerationState& state = generationState();
  state.options = OutputOptions{};
  state.options.templateAsGiven = asGiven;
  proj.setSetting("Template", Variant(archive));
  Generator gen(proj);
  TemplateDiagnostics& diagnostics = templateDiagnostics();
  diagnostics.clear();
  ctx.projErr.clear();

  // The check's own work folders: a fresh copy of the template every time.
  state.templateFileName = "check-" + lastPathComponent(archive);
  gen.PrepareWorkFolders("Script");
  const std::vector<std::pair<std::string, std::string>> folders = gen.shownFolders();
  auto shown = [&](std::string_view path) { return shownSourcePath(folders, path); };
  diagnostics.shownPath = [folders](std::string_view path) { return shownSourcePath(folders, path); };
  Generator::DeleteFolderIfExists(state.templateFolder);
  createFolders(state.templateFolder);
  Generator::DeleteFilesByExtension(state.tempFolder, "tmp");
  Generator::DeleteFilesByExtension(state.tempFolder, "map");
  if (!gen.ExtractArchive(archive, state.templateFolder)) {
    found.add(gen::shownPath(asGiven) + ": " + std::string(trimBlanks(ctx.projErr.substr(ctx.productName.size() + 1))));
    result.problems = found.take();
    return result;
  }

  // The control file and the language file.
  const std::string controlFile = state.templateFolder + "\\control.xml";
  if (!fileExists(controlFile)) {
    found.add(shown(controlFile) + ": control file not found");
  } else if (std::string p = xmlProblem(controlFile, shown(controlFile)); !p.empty()) {
    found.add(p);
  } else if (!gen.controls().LoadControls(controlFile)) {
    found.add(shown(controlFile) + ":1:1: " + ctx.projErr.substr(ctx.productName.size() + 2));
  } else {
    bool tooOld;
    try {
      tooOld = VersionIsGreater("1.0", gen.controls().ProdVersion());
    } catch (const Error&) {
      tooOld = true;
    }
    if (tooOld)
      found.add(shown(controlFile) + ":1:1: template version \"" + gen.controls().ProdVersion() +
                "\" is older than the minimum 1.0 (the version attribute of the document element)");
  }
  ctx.projErr.clear();
  std::string languageFile = state.templateFolder + "\\lang.xml";
  if (fileExists(languageFile)) {
    if (std::string p = xmlProblem(languageFile, shown(languageFile)); !p.empty()) found.add(p);
  } else {
    languageFile = RegRead("HKCU", ctx.regGeneral, "Language").toString();
  }
  Ref<AGPLanguage> language = makeRef<AGPLanguage>();
  if (!languageFile.empty() && fileExists(languageFile) && !language->Load(languageFile))
    found.add(shown(languageFile) + ":1:1: not a language file (its document element must be tarnwick.language)");
  ctx.language = language;

  // Every template file's blocks, used by a control or not (included ones).
  std::vector<std::string> names;
  filesBelow(state.templateFolder, "", names);
  for (const std::string& name : names) {
    const std::string path = joinPath(state.templateFolder, name);
    std::optional<std::string> text = readTextFile(path);
    if (!text || text->find("<!--##") == std::string::npos) continue;
    AGParser parser;
    parser.Parse(*text);
    if (!ctx.projErr.empty()) found.add(shown(path) + ": " + ctx.projErr);
    // Without ":LINE:COLUMN:" the parser's message has them in its words.
    ctx.projErr.clear();
  }

  if (gen.controls().Count() == 0) {
    result.problems = found.take();
    return result;
  }

  // Every control compiled, its script's syntax checked.
  Ref<AGScript> eng = makeRef<AGScript>();
  ctx.scriptEngine = eng;
  Ref<AGPFilter> filter = makeRef<AGPFilter>();
  filter->Load();
  ctx.filters = filter;
  Variant db;
  if (proj.DBCnt() > 0) db = Variant(proj.db());
  eng->Initialize(Variant(&proj), db, Variant(&gen.controls()), Variant(ctx.language), Variant(filter));
  if (!ctx.projErr.empty()) {
    found.add(gen::shownPath(asGiven) + ": " + ctx.projErr);
    ctx.projErr.clear();
  }
  AGPControls& controls = gen.controls();
  for (int32_t i = 1; i <= controls.Count(); ++i) {
    AGPControl* c = controls.Item(i);
    if (c->CtrlType == "copy") continue;
    const std::string at = formatOrigin({shown(c->origin.file), c->origin.line, c->origin.column});
    const std::string script = gen.GetControlScriptFile(*c);
    try {
      gen.CheckControlStale(*c);
      gen.BuildControlScript(*c, script);
    } catch (const Error&) {
      std::string message = ctx.projErr;
      // Messages that name their place start with the file.
      const bool placed = message.find(':') != std::string::npos && message.rfind(gen::shownPath(asGiven), 0) == 0;
      found.add(placed ? message : at + ": control \"" + c->CtrlID + "\": " + message);
      ctx.projErr.clear();
      continue;
    }
    ++result.controlsCompiled;
    std::optional<std::string> code = readTextFile(script);
    std::optional<std::string> mapText = readTextFile(Generator::LineMapFile(script));
    const LineMap map = LineMap::parse(mapText ? *mapText : "");
    diagnostics.addProblems(map, c->CtrlID);
    vbs::ScriptHost host;
    try {
      host.addModule("check").addCode(code ? *code : "", kPageScriptName);
    } catch (const Error&) {
      const vbs::ScriptErrorInfo& e = host.error();
      SourceOrigin place = map.at(e.line);
      const bool atEnd = !place.known();
      if (atEnd) place = map.end;
      place.file = shown(place.file);
      found.add((place.file.empty() ? at : formatOrigin(place)) + ": VBScript syntax error: " + e.description +
                (atEnd ? " (at the end of the template: is a block such as If, For, Do, Select or While left open?)"
                       : "") +
                " (control " + c->CtrlID + ")");
    }
  }
  eng->Reset();
  ctx.scriptEngine.reset();

  for (const TemplateIssue& issue : diagnostics.issues()) found.add(diagnostics.describe(issue));

  // With a project: every page, into a scratch folder (not when a script
  // does not even compile: the pages would stop at it).
  if (runPages && found.size() == 0) {
    const std::string scratch = state.workFolder + "\\Check\\" + KeyName(state.templateFileName);
    Generator::DeleteFolderIfExists(scratch);
    createFolders(scratch);
    proj.setSetting("Destination", Variant(scratch));
    proj.setSetting("PromptOnOverwrite", Variant(false));
    state.options = OutputOptions{};
    state.options.templateAsGiven = asGiven;
    // The check's work folder gets the template again as a run would.
    state.templateFileName = "check-" + lastPathComponent(archive);
    try {
      Generator(proj).GenScript();
    } catch (const Error&) {
    }
    for (const TemplateIssue& issue : diagnostics.issues()) found.add(diagnostics.describe(issue));
    if (!ctx.projErr.empty()) {
      std::string message = ctx.projErr;
      // "Tarnwick: Generate Table X list page error" CR LF and the cause.
      size_t cut = message.find("\r\n");
      if (cut != std::string::npos && message.rfind(ctx.productName + ": Generate", 0) == 0) {
        std::string cause = message.substr(cut + 2);
        found.add(cause.rfind(gen::shownPath(asGiven), 0) == 0 ? cause : message.substr(ctx.productName.size() + 2, cut - ctx.productName.size() - 2) + ": " + cause);
      } else {
        found.add(gen::shownPath(asGiven) + ": " + message);
      }
      ctx.projErr.clear();
    }
    result.pagesRun = lastGenerationSummary().pagesWritten;
    Generator::DeleteFolderIfExists(scratch);
  }
  result.problems = found.take();
  return result;
}

}  // namespace tw
