// Template parsing speed. The parser must stay linear in the text: the
// throughput (bytes per second) of the 1 MB and 10 MB templates should be the
// same, and the worst cases below (one huge script block full of "Function"
// in comments, thousands of sessions) must not fall off a cliff.
#include <benchmark/benchmark.h>

#include <string>

#include "script/parser.h"
#include "support/engine_context.h"

namespace {

// A page template of about `bytes` bytes: HTML and PHP with expression,
// indented, phrase and script blocks, and some non-ASCII text.
std::string pageTemplate(size_t bytes) {
  const std::string unit =
      "<tr>\r\n"
      "    <td class=\"ewTableHeader\"><!--##@FieldCaption##--></td>\r\n"
      "    <td><?php echo $x_<!--##=gsFldVar##-->; ?> \xE2\x82\xAC caf\xC3\xA9</td>\r\n"
      "        <!--##~SYSTEMFUNCTIONS.FieldView()##-->\r\n"
      "<!--##\r\n"
      "  ' Function helper( is only mentioned in this comment\r\n"
      "  For Each f In TABLE.Fields\r\n"
      "    If f.FldList Then sOut = sOut & f.FldName\r\n"
      "  Next\r\n"
      "##-->\r\n"
      "<!--##$sPhraseId##--></tr>\r\n";
  std::string out;
  out.reserve(bytes + unit.size());
  while (out.size() < bytes) out += unit;
  return out;
}

void BM_ParsePage(benchmark::State& state) {
  const std::string text = pageTemplate(static_cast<size_t>(state.range(0)) << 20);
  tw::AGParser parser;
  for (auto _ : state) {
    parser.Parse(text);
    benchmark::DoNotOptimize(parser.Count());
  }
  if (!tw::engine().projErr.empty()) state.SkipWithError(tw::engine().projErr.c_str());
  state.counters["blocks"] = static_cast<double>(parser.Count());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParsePage)->Arg(1)->Arg(2)->Arg(5)->Arg(10)->Unit(benchmark::kMillisecond);

// As generation uses it: a new parser per template, so the block list is
// allocated (and released) every time.
void BM_ParsePageNewParser(benchmark::State& state) {
  const std::string text = pageTemplate(static_cast<size_t>(state.range(0)) << 20);
  for (auto _ : state) {
    tw::AGParser parser;
    parser.Parse(text);
    benchmark::DoNotOptimize(parser.Count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParsePageNewParser)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// One script block of `MB` megabytes whose lines all mention "Function " in
// comments or longer words: the function name search walks back through it.
void BM_ParseFunctionHeavyScript(benchmark::State& state) {
  std::string text = "<!--##\r\nFunction Real(a)\r\n";
  const size_t bytes = static_cast<size_t>(state.range(0)) << 20;
  while (text.size() < bytes)
    text += "  ' Function x( MyFunction ( Function y(\r\n  z = CallFunction (1)\r\n";
  text += "##-->";
  tw::AGParser parser;
  for (auto _ : state) {
    parser.Parse(text);
    benchmark::DoNotOptimize(parser.Count());
  }
  if (parser.Count() != 1 || parser.blocks()[0].Name != "Real") state.SkipWithError("wrong function name");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseFunctionHeavyScript)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// GetSession for the last of many sessions in a 10 MB file.
void BM_GetLastSession(benchmark::State& state) {
  std::string text;
  const size_t bytes = static_cast<size_t>(state.range(0)) << 20;
  int n = 0;
  const std::string body = pageTemplate(2000);
  while (text.size() < bytes)
    text += "<!--##session s" + std::to_string(n++) + "##-->" + body + "<!--##/session##-->\r\n";
  const std::string last = "S" + std::to_string(n - 1);
  for (auto _ : state) benchmark::DoNotOptimize(tw::AGParser::GetSession(text, last));
  if (tw::AGParser::GetSession(text, last) != body) state.SkipWithError("session not found");
  state.counters["sessions"] = n;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_GetLastSession)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
