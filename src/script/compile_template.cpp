#include "script/compile_template.h"

#include "automation/error.h"
#include "automation/text.h"
#include "platform/files.h"
#include "core/agp.h"
#include "script/agscript.h"
#include "script/control.h"
#include "script/filter.h"
#include "script/language.h"
#include "script/parser.h"
#include "script/script_literal.h"
#include "support/convert.h"
#include "support/engine_context.h"
#include "support/registry.h"

namespace tw {

namespace {

constexpr std::string_view kCrLf = "\r\n";

}  // namespace

void TemplateCompiler::Reset() {
  count_ = 0;
  arrayInit_.clear();
  pending_.clear();
  code_.clear();
}

void TemplateCompiler::Flush() {
  if (pending_.empty()) return;
  code_ += "zbOut = zbOut";
  code_ += pending_;
  code_ += kCrLf;
  pending_.clear();
}

bool TemplateCompiler::CompileTemplate(std::string_view text) {
  AGParser parser;
  parser.Parse(text);
  if (!engine().projErr.empty()) return false;

  AGScript* eng = engine_ ? engine_ : currentScriptEngine();
  AGPLanguage* lang = language_ ? language_ : dynamic_cast<AGPLanguage*>(engine().language.get());

  const std::vector<BlockRec>& blocks = parser.blocks();
  for (size_t i = 0; i < blocks.size(); ++i) {
    const BlockRec& b = blocks[i];
    switch (b.Type) {
      case agc_Block_Content: {
        std::string literal = scriptLiteral(parser.blockValue(static_cast<int32_t>(i + 1)));
        if (literal.empty()) break;
        ++count_;
        const std::string n = std::to_string(count_);
        arrayInit_ += "zbAr(" + n + ") = " + literal + std::string(kCrLf);
        pending_ += " & zbAr(" + n + ")";
        break;
      }
      case agc_Block_Script:
        Flush();
        code_ += parser.blockValue(static_cast<int32_t>(i + 1));
        code_ += kCrLf;
        break;
      case agc_Block_FunctionIndent:
        Flush();
        code_ += "zbIndentWrk = \"" + b.Indent + "\"" + std::string(kCrLf);
        [[fallthrough]];
      case agc_Block_Function: {
        std::string e = b.Name;
        if (eng) {
          std::string u = e;
          for (char& c : u)
            if (c == '.') c = '_';
          if (!eng->ModuleExist(u) && eng->UserModuleExist("USER_" + u)) e = "USER_" + u + "(" + e + ")";
        }
        pending_ += " & " + e;
        break;
      }
      case agc_Block_Language: {
        std::string phrase = lang ? lang->Phrase(b.Name) : std::string();
        // The phrase becomes a literal: quotes doubled, line ends spelled out.
        pending_ += " & " + (phrase.empty() ? std::string("\"\"") : scriptLiteral(phrase));
        break;
      }
      case agc_Block_LanguageDynamic:
        pending_ += " & LANG.Phrase(" + b.Name + ")";
        break;
      default:
        break;
    }
  }
  return true;
}

std::string TemplateCompiler::FunctionText(bool forScriptFile, std::string_view name) {
  Flush();
  std::string out;
  out.reserve(arrayInit_.size() + code_.size() + 128);
  out += "Function " + std::string(name) + "()\r\n";
  out += forScriptFile ? "On Error Resume Next\r\n" : "'On Error Resume Next\r\n";
  out += "Dim zbAr(" + std::to_string(count_) + ")\r\n";
  out += "Dim zbOut\r\n";
  out += arrayInit_;
  out += code_;
  out += std::string(name) + " = zbOut\r\n";
  out += "End Function\r\n";
  return out;
}

std::string CompileIncludedTemplate(std::string_view file, std::string_view session, std::string_view name) {
  const std::string shown = std::string(file) + (session.empty() ? "" : "/" + std::string(session));
  const std::string path = joinPath(engine().templateFolder, trimBlanks(file));
  std::optional<std::string> text = fileExists(path) ? readTextFile(path) : std::nullopt;
  if (!text) throw Error(kErrFileNotFound, "Include_File: template file \"" + std::string(file) + "\" not found");
  std::string source;
  if (session.empty()) {
    source = AGParser::ExpandIncludes(*text);
  } else {
    source = AGParser::GetSession(*text, trimBlanks(session));
  }
  const std::string before = engine().projErr;
  TemplateCompiler compiler(currentScriptEngine(), dynamic_cast<AGPLanguage*>(engine().language.get()));
  compiler.Reset();
  if (!compiler.CompileTemplate(source) || engine().projErr != before) {
    std::string message = engine().projErr;
    engine().projErr = before;  // the page goes on; the include reports its own error
    throw Error(kErrInvalidCall, "Include_File: \"" + shown + "\": " + message);
  }
  return compiler.FunctionText(true, name);
}

std::string CompileAndRunTemplate(AGP& proj, std::string_view text, Dispatch* controls) {
  EngineContext& ctx = engine();
  Ref<AGScript> temporary;
  AGScript* eng = currentScriptEngine();
  if (!eng) {
    ctx.scriptTimeout =
        ConvertByTypeName(RegRead("HKCU", ctx.regGeneral, "ScriptEngineTimeout"), "Long").toLong();
    Ref<AGPFilter> filter = makeRef<AGPFilter>();
    filter->Load();
    ctx.filters = filter;
    Ref<Dispatch> lang = ctx.language ? ctx.language : Ref<Dispatch>(makeRef<AGPLanguage>());
    Ref<Dispatch> ctrls = controls ? Ref<Dispatch>(controls) : Ref<Dispatch>(makeRef<AGPControls>());
    Variant db;
    if (proj.DBCnt() > 0) {
      try {
        db = Variant(proj.db());
      } catch (const Error&) {
        // No database of the current name: scripts see no DB.
      }
    }
    temporary = makeRef<AGScript>();
    ctx.scriptEngine = temporary;
    temporary->Initialize(Variant(&proj), db, Variant(ctrls), Variant(lang), Variant(filter));
    eng = temporary.get();
  }

  TemplateCompiler compiler(eng);
  std::string result;
  if (!compiler.CompileTemplate(text) || !engine().projErr.empty())
    result = std::string(text);
  else
    result = eng->BuildNewCode(compiler.FunctionText(false), 0, engine().scriptTimeout);

  if (temporary) {
    temporary->Reset();
    if (engine().scriptEngine == Ref<Dispatch>(temporary)) engine().scriptEngine.reset();
  }
  return result;
}

}  // namespace tw
