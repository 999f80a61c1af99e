// Fuzzes the template parser: Parse on any text, then GetSession with an
// identifier taken from the input. Besides crashes it checks that a parse
// without an error accounts for every character of the text: writing the
// blocks back with their markers gives the input again.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "automation/text.h"
#include "script/parser.h"
#include "support/engine_context.h"

namespace {

std::string g_templateFolder;

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A template folder of its own with files that include each other, so the
  // include path (and its cycle guard) is reached without touching anything
  // else on disk.
  auto dir = std::filesystem::temp_directory_path() / ("tarnwick-fuzz-parse-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "a.php") << "<!--##session s##-->A<!--##include b.php/t##--><!--##/session##-->";
  std::ofstream(dir / "b.php") << "<!--##session t##-->B<!--##include a.php/s##--><!--##include b.php/u##-->"
                                  "<!--##/session##--><!--##session u##-->U<!--##/session##-->";
  g_templateFolder = dir.string();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tw::EngineContext& ctx = tw::engine();
  ctx.templateFolder = g_templateFolder;
  ctx.projErr.clear();

  tw::AGParser parser;
  parser.Parse(text);
  const bool failed = !ctx.projErr.empty();
  check(parser.BlockID() == parser.Count());

  std::string rebuilt;
  int32_t nextStart = 1;
  const int32_t total = static_cast<int32_t>(tw::codePointCount(text));
  for (int32_t i = 1; i <= parser.Count(); ++i) {
    const tw::BlockRec& rec = parser.blocks()[i - 1];
    const std::string_view value = parser.blockValue(i);
    check(rec.Length >= 0);
    check(rec.Start >= nextStart);
    check(rec.Start + rec.Length - 1 <= total);
    check(static_cast<int32_t>(tw::codePointCount(value)) == rec.Length);
    nextStart = rec.Start + rec.Length;
    switch (rec.Type) {
      case tw::agc_Block_Content:
        check(!value.empty());
        rebuilt += value;
        break;
      case tw::agc_Block_Script:
        rebuilt += "<!--##" + std::string(value) + "##-->";
        break;
      case tw::agc_Block_Function:
        rebuilt += "<!--##=" + std::string(value) + "##-->";
        break;
      case tw::agc_Block_FunctionIndent:
        rebuilt += "<!--##~" + std::string(value) + "##-->";
        break;
      case tw::agc_Block_Language:
        rebuilt += "<!--##@" + std::string(value) + "##-->";
        break;
      case tw::agc_Block_LanguageDynamic:
        rebuilt += "<!--##$" + std::string(value) + "##-->";
        break;
      default:
        check(false);
    }
  }
  if (!failed) check(rebuilt == text);

  // The identifier: the first line of the input, at most 32 bytes.
  std::string_view id = text.substr(0, std::min<size_t>(32, text.find('\n')));
  (void)tw::AGParser::GetSession(text, id);
  (void)tw::AGParser::GetSession(text, "s");
  (void)tw::AGParser::GetFunctionName(text);
  ctx.projErr.clear();
  return 0;
}
