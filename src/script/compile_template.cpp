#include "script/compile_template.h"

#include <algorithm>
#include <cstdlib>

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
#include "script/template_diagnostics.h"
#include "support/convert.h"
#include "support/engine_context.h"
#include "support/registry.h"

namespace tw {

namespace {

constexpr std::string_view kCrLf = "\r\n";

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The text of the VBScript string literal at `at` (a double quote), or false
// when the literal does not end on its line. `end` is set past it.
bool readLiteral(std::string_view code, size_t at, std::string& text, size_t& end) {
  text.clear();
  for (size_t i = at + 1; i < code.size() && code[i] != '\n' && code[i] != '\r'; ++i) {
    if (code[i] != '"') {
      text += code[i];
    } else if (i + 1 < code.size() && code[i + 1] == '"') {
      text += '"';
      ++i;
    } else {
      end = i + 1;
      return true;
    }
  }
  return false;
}

size_t skipBlanks(std::string_view code, size_t at) {
  while (at < code.size() && (code[at] == ' ' || code[at] == '\t')) ++at;
  return at;
}

// The phrase identifiers code names as literal texts, LANG.Phrase("id"),
// each with its offset in the code; comments are passed over.
std::vector<std::pair<size_t, std::string>> literalPhraseCalls(std::string_view code) {
  std::vector<std::pair<size_t, std::string>> out;
  bool inString = false;
  std::string id;
  for (size_t i = 0; i < code.size(); ++i) {
    char c = code[i];
    if (c == '\n' || c == '\r') {
      inString = false;
    } else if (c == '"') {
      inString = !inString;
    } else if (!inString && c == '\'') {
      while (i + 1 < code.size() && code[i + 1] != '\n') ++i;  // a comment to the line's end
    } else if (!inString && lowerAscii(c) == 'l' && (i == 0 || !isNameChar(code[i - 1])) &&
               code.size() - i >= 4 && lowerAscii(code[i + 1]) == 'a' && lowerAscii(code[i + 2]) == 'n' &&
               lowerAscii(code[i + 3]) == 'g') {
      size_t at = skipBlanks(code, i + 4);
      if (at >= code.size() || code[at] != '.') continue;
      at = skipBlanks(code, at + 1);
      const std::string_view word = "phrase";
      size_t k = 0;
      while (k < word.size() && at + k < code.size() && lowerAscii(code[at + k]) == word[k]) ++k;
      if (k < word.size() || (at + k < code.size() && isNameChar(code[at + k]))) continue;
      at = skipBlanks(code, at + k);
      if (at >= code.size() || code[at] != '(') continue;
      at = skipBlanks(code, at + 1);
      size_t end = 0;
      if (at >= code.size() || code[at] != '"' || !readLiteral(code, at, id, end)) continue;
      end = skipBlanks(code, end);
      if (end < code.size() && code[end] == ')') out.emplace_back(i, id);
    }
  }
  return out;
}

// The identifier of a $ block that is one literal text ($"title"); false
// for any other expression.
bool literalPhraseId(std::string_view expression, std::string& id) {
  size_t end = 0;
  if (expression.empty() || expression[0] != '"' || !readLiteral(expression, 0, id, end)) return false;
  return skipBlanks(expression, end) == expression.size();
}

}  // namespace

void TemplateCompiler::Reset() {
  count_ = 0;
  arrayInit_.clear();
  pending_.clear();
  code_.clear();
  codeOrigins_.clear();
  pendingOrigin_ = {};
  pendingExpressionOrigin_ = {};
  map_ = {};
}

void TemplateCompiler::addCode(std::string_view code, const SourceOrigin& origin, bool continueLines) {
  code_ += code;
  code_ += kCrLf;
  SourceOrigin o = origin;
  codeOrigins_.push_back(o);
  for (char c : code) {
    if (c != '\n') continue;
    if (continueLines && o.known()) {
      ++o.line;
      o.column = 1;
    }
    codeOrigins_.push_back(o);
  }
}

void TemplateCompiler::addPending(std::string_view item, const SourceOrigin& origin, bool expression) {
  if (pending_.empty()) pendingOrigin_ = origin;
  if (expression && !pendingExpressionOrigin_.known()) pendingExpressionOrigin_ = origin;
  pending_ += item;
}

void TemplateCompiler::Flush() {
  if (pending_.empty()) return;
  // Literals cannot fail: the line is placed at its first expression.
  addCode("zbOut = zbOut" + pending_, pendingExpressionOrigin_.known() ? pendingExpressionOrigin_ : pendingOrigin_);
  pending_.clear();
  pendingOrigin_ = {};
  pendingExpressionOrigin_ = {};
}

bool TemplateCompiler::CompileTemplate(std::string_view text) { return compile(text, nullptr); }

bool TemplateCompiler::CompileTemplate(const MappedText& text) { return compile(text.text(), &text); }

bool TemplateCompiler::compile(std::string_view text, const MappedText* mapped) {
  AGParser parser;
  parser.Parse(text);
  parseError_ = {};
  if (!engine().projErr.empty()) {
    if (mapped) {
      // The parser counts from the start of the text it was given; the
      // author's file and line are those of the composed text's origin.
      const std::string& message = engine().projErr;
      size_t at = message.find(" at line ");
      size_t col = message.find(" column ", at == std::string::npos ? 0 : at);
      if (at != std::string::npos && col != std::string::npos) {
        int32_t line = std::atoi(message.c_str() + at + 9);
        int32_t column = std::atoi(message.c_str() + col + 8);
        // Back from line and column to a byte offset of the text.
        size_t offset = 0;
        for (int32_t l = 1; l < line && offset < text.size(); ++l) {
          size_t nl = text.find('\n', offset);
          offset = nl == std::string_view::npos ? text.size() : nl + 1;
        }
        for (int32_t c = 1; c < column && offset < text.size(); ++c) {
          ++offset;
          while (offset < text.size() && (static_cast<unsigned char>(text[offset]) & 0xC0) == 0x80) ++offset;
        }
        const SourceOrigin origin = mapped->originAt(offset);
        if (origin.known()) parseError_ = origin;
      }
    }
    return false;
  }

  AGScript* eng = engine_ ? engine_ : currentScriptEngine();
  AGPLanguage* lang = language_ ? language_ : dynamic_cast<AGPLanguage*>(engine().language.get());
  auto originOf = [&](size_t offset) { return mapped ? mapped->originAt(offset) : SourceOrigin{}; };
  // A phrase named by a literal text is looked up now, so that an unknown
  // one is reported where it is written (the page's run can only name its
  // control).
  auto checkPhrase = [&](const std::string& id, size_t offset) {
    if (lang && mapped && !lang->HasPhrase(id))
      addProblem({originOf(offset), "unknown phrase \"" + id + "\" (not in the language file)",
                  ProblemKind::UnknownPhrase});
  };
  auto checkPhraseCalls = [&](std::string_view code, size_t offset) {
    if (!lang || !mapped) return;
    for (const auto& [at, id] : literalPhraseCalls(code)) checkPhrase(id, offset + at);
  };

  const std::vector<BlockRec>& blocks = parser.blocks();
  for (size_t i = 0; i < blocks.size(); ++i) {
    const BlockRec& b = blocks[i];
    const int32_t index = static_cast<int32_t>(i + 1);
    const size_t offset = parser.blockOffset(index);
    // Expressions and phrases are placed at their opening marker.
    const size_t marker = offset >= 7 ? offset - 7 : 0;
    switch (b.Type) {
      case agc_Block_Content: {
        std::string literal = scriptLiteral(parser.blockValue(index));
        if (literal.empty()) break;
        ++count_;
        const std::string n = std::to_string(count_);
        arrayInit_ += "zbAr(" + n + ") = " + literal + std::string(kCrLf);
        addPending(" & zbAr(" + n + ")", originOf(offset), false);
        break;
      }
      case agc_Block_Script:
        Flush();
        addCode(parser.blockValue(index), originOf(offset), true);
        checkPhraseCalls(parser.blockValue(index), offset);
        break;
      case agc_Block_FunctionIndent:
        Flush();
        addCode("zbIndentWrk = \"" + b.Indent + "\"", originOf(marker));
        [[fallthrough]];
      case agc_Block_Function: {
        checkPhraseCalls(parser.blockValue(index), offset);
        std::string e = b.Name;
        if (eng) {
          std::string u = e;
          for (char& c : u)
            if (c == '.') c = '_';
          if (!eng->ModuleExist(u) && eng->UserModuleExist("USER_" + u)) e = "USER_" + u + "(" + e + ")";
        }
        if (statementPerExpression_) {
          Flush();
          addCode("zbOut = zbOut & " + e, originOf(marker));
        } else {
          addPending(" & " + e, originOf(marker), true);
        }
        break;
      }
      case agc_Block_Language: {
        const bool known = lang && lang->HasPhrase(b.Name);
        std::string phrase = known ? lang->Phrase(b.Name) : std::string();
        if (!known && mapped)
          addProblem({originOf(marker), "unknown phrase \"" + b.Name + "\" (not in the language file)",
                      ProblemKind::UnknownPhrase});
        // The phrase becomes a literal: quotes doubled, line ends spelled out.
        addPending(" & " + (phrase.empty() ? std::string("\"\"") : scriptLiteral(phrase)), originOf(marker),
                   false);
        break;
      }
      case agc_Block_LanguageDynamic:
        if (std::string id; literalPhraseId(b.Name, id)) checkPhrase(id, marker);
        checkPhraseCalls(parser.blockValue(index), offset);
        if (statementPerExpression_) {
          Flush();
          addCode("zbOut = zbOut & LANG.Phrase(" + b.Name + ")", originOf(marker));
        } else {
          addPending(" & LANG.Phrase(" + b.Name + ")", originOf(marker), true);
        }
        break;
      default:
        break;
    }
  }
  if (mapped && mapped->size() > 0) map_.end = mapped->originAt(mapped->size() - 1);
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
  // Header and array lines have no place in a template; code lines do.
  map_.lines.assign(4 + static_cast<size_t>(std::count(arrayInit_.begin(), arrayInit_.end(), '\n')), SourceOrigin{});
  map_.lines.insert(map_.lines.end(), codeOrigins_.begin(), codeOrigins_.end());
  return out;
}

std::string CompileIncludedTemplate(std::string_view file, std::string_view session, std::string_view name) {
  const std::string shown = std::string(file) + (session.empty() ? "" : "/" + std::string(session));
  const std::string path = joinPath(engine().templateFolder, trimBlanks(file));
  std::optional<std::string> text = fileExists(path) ? readTextFile(path) : std::nullopt;
  if (!text) throw Error(kErrFileNotFound, "Include_File: template file \"" + std::string(file) + "\" not found");
  const MappedText whole(std::move(*text), path);
  std::vector<SourceProblem> problems;
  MappedText source;
  if (session.empty()) {
    source = AGParser::ExpandIncludes(whole, &problems);
  } else {
    bool found = false;
    source = AGParser::GetSession(whole, trimBlanks(session), &problems, &found);
    if (!found)
      problems.push_back({{path, 1, 1},
                          "session \"" + std::string(trimBlanks(session)) + "\" not found (Include_File)",
                          ProblemKind::MissingSession});
  }
  const std::string before = engine().projErr;
  TemplateCompiler compiler(currentScriptEngine(), dynamic_cast<AGPLanguage*>(engine().language.get()));
  compiler.Reset();
  compiler.setStatementPerExpression(true);
  if (!compiler.CompileTemplate(source) || engine().projErr != before) {
    std::string message = engine().projErr;
    engine().projErr = before;  // the page goes on; the include reports its own error
    const SourceOrigin& at = compiler.parseErrorOrigin();
    throw Error(kErrInvalidCall, "Include_File: \"" + shown + "\": " +
                                     (at.known() ? formatOrigin(at) + ": " : std::string()) + message);
  }
  std::string function = compiler.FunctionText(true, name);
  for (SourceProblem& p : problems) compiler.addProblem(std::move(p));
  TemplateDiagnostics& diagnostics = templateDiagnostics();
  diagnostics.addProblems(compiler.lineMap(), {});
  diagnostics.addInclude(std::string(name), compiler.lineMap());
  return function;
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
