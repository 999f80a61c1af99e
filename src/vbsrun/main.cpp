// vbsrun: runs a VBScript file with a WScript object, like Windows Script
// Host's cscript with //nologo.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "automation/dispatch.h"
#include "automation/text.h"
#include "vbs/builtins.h"
#include "vbs/host.h"

namespace {

using tw::Args;
using tw::ClassBuilder;
using tw::ClassInfo;
using tw::Dispatch;
using tw::Ref;
using tw::Variant;

const char* kUsage =
    "usage: vbsrun [--timeout MS] [--include FILE]... FILE.vbs [ARGS...]\n"
    "\n"
    "Runs a VBScript file as cscript //nologo does. The script sees a WScript\n"
    "object (Echo, Arguments, Quit, ScriptName, ScriptFullName, StdOut,\n"
    "StdErr, Sleep, CreateObject).\n"
    "\n"
    "  --timeout MS    stop the script after MS milliseconds\n"
    "  --include FILE  run FILE before the script (repeatable); its procedures\n"
    "                  and variables are the script's own\n"
    "\n"
    "An error the script does not handle is printed to stderr as\n"
    "  FILE(line, column) runtime error 800A000B: Division by zero\n"
    "  FILE(line, column) compilation error 800A03EA: Syntax error\n"
    "with the error number as hexadecimal HRESULT (VBScript numbers n are\n"
    "800A0000 + n), and vbsrun exits with code 1; a script stopped by\n"
    "--timeout reports 80004004 \"The script timed out\". WScript.Quit n exits\n"
    "with n.\n";

// WScript.Quit: unwinds the script without any handler seeing it.
struct QuitRequest {
  int code;
};

void writeOut(FILE* f, std::string_view s) { fwrite(s.data(), 1, s.size(), f); }

std::string textOf(const Variant& v) {
  if (v.isNull()) return "Null";
  if (v.isEmpty()) return {};
  return v.toString();
}

class TextStream final : public Dispatch {
 public:
  explicit TextStream(FILE* f) : f_(f) {}
  const ClassInfo* classInfo() const override {
    static const ClassInfo info =
        ClassBuilder<TextStream>("TextStream")
            .method("Write", [](TextStream& s, const Variant& v) { s.write(textOf(v)); })
            .method("WriteLine",
                    [](TextStream& s, Args a) {
                      if (a.size() > 1) tw::raise(tw::kErrWrongArgCount);
                      s.write((a.empty() ? std::string() : textOf(a[0])) + "\n");
                    })
            .method("WriteBlankLines",
                    [](TextStream& s, const Variant& n) {
                      for (int32_t i = 0; i < n.toLong(); ++i) s.write("\n");
                    })
            .build();
    return &info;
  }
  void write(std::string_view s) {
    writeOut(f_, s);
    if (f_ == stderr) fflush(f_);
  }

 private:
  FILE* f_;
};

class ArgumentsObject final : public Dispatch {
 public:
  explicit ArgumentsObject(std::vector<std::string> args) : args_(std::move(args)) {}
  const ClassInfo* classInfo() const override {
    static const ClassInfo info =
        ClassBuilder<ArgumentsObject>("Object")
            .get("Count", [](ArgumentsObject& a) { return a.count(); })
            .get("Length", [](ArgumentsObject& a) { return a.count(); })
            .get("Item", [](ArgumentsObject& a, const Variant& i) { return a.item(i); })
            .defaultMember("Item")
            .build();
    return &info;
  }
  tw::Ref<tw::Enumerator> newEnum() override {
    std::vector<Variant> items(args_.begin(), args_.end());
    return tw::makeRef<tw::VectorEnumerator>(std::move(items));
  }
  int32_t count() const { return static_cast<int32_t>(args_.size()); }
  std::string item(const Variant& i) const {
    int32_t n = i.toLong();
    if (n < 0 || n >= count()) tw::raise(tw::kErrSubscript);
    return args_[static_cast<size_t>(n)];
  }

 private:
  std::vector<std::string> args_;
};

class WScriptObject final : public Dispatch {
 public:
  WScriptObject(std::string name, std::string fullName, std::vector<std::string> args)
      : name_(std::move(name)),
        fullName_(std::move(fullName)),
        args_(tw::makeRef<ArgumentsObject>(std::move(args))),
        out_(tw::makeRef<TextStream>(stdout)),
        err_(tw::makeRef<TextStream>(stderr)) {}

  const ClassInfo* classInfo() const override {
    static const ClassInfo info =
        ClassBuilder<WScriptObject>("Object")
            .method("Echo",
                    [](WScriptObject& w, Args a) {
                      std::string line;
                      for (size_t i = 0; i < a.size(); ++i) {
                        if (i) line += ' ';
                        line += textOf(a[i]);
                      }
                      line += '\n';
                      writeOut(stdout, line);
                      (void)w;
                    })
            .method("Quit",
                    [](WScriptObject&, Args a) {
                      if (a.size() > 1) tw::raise(tw::kErrWrongArgCount);
                      throw QuitRequest{tw::hasArg(a, 0) ? a[0].toLong() : 0};
                    })
            .method("Sleep",
                    [](WScriptObject&, const Variant& ms) {
                      std::this_thread::sleep_for(std::chrono::milliseconds(ms.toLong()));
                    })
            .method("CreateObject",
                    [](WScriptObject&, Args a) -> Variant {
                      if (a.empty() || a.size() > 2) tw::raise(tw::kErrWrongArgCount);
                      return Variant(tw::vbs::createObject(a[0].toString()));
                    })
            .get("Arguments", [](WScriptObject& w) { return Variant(w.args_); })
            .get("ScriptName", [](WScriptObject& w) { return w.name_; })
            .get("ScriptFullName", [](WScriptObject& w) { return w.fullName_; })
            .get("Name", [](WScriptObject&) { return std::string("Windows Script Host"); })
            .get("Version", [](WScriptObject&) { return std::string("5.8"); })
            .get("Interactive", [](WScriptObject&) { return false; })
            .get("StdOut", [](WScriptObject& w) { return Variant(w.out_); })
            .get("StdErr", [](WScriptObject& w) { return Variant(w.err_); })
            .defaultMember("Name")
            .build();
    return &info;
  }

 private:
  std::string name_, fullName_;
  Ref<ArgumentsObject> args_;
  Ref<TextStream> out_, err_;
};

bool readFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  // Scripts saved as UTF-16 (with a byte order mark) become UTF-8.
  if (out.size() >= 2 && static_cast<unsigned char>(out[0]) == 0xFF &&
      static_cast<unsigned char>(out[1]) == 0xFE) {
    std::string utf8;
    for (size_t i = 2; i + 1 < out.size(); i += 2) {
      char32_t c = static_cast<unsigned char>(out[i]) | (static_cast<unsigned char>(out[i + 1]) << 8);
      if (c >= 0xD800 && c < 0xDC00 && i + 3 < out.size()) {
        char32_t lo = static_cast<unsigned char>(out[i + 2]) | (static_cast<unsigned char>(out[i + 3]) << 8);
        if (lo >= 0xDC00 && lo < 0xE000) {
          c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
          i += 2;
        }
      }
      tw::appendUtf8(utf8, c);
    }
    out = std::move(utf8);
  }
  return true;
}

std::string hresult(int32_t number) {
  uint32_t code = number >= 0 && number <= 0xFFFF ? 0x800A0000u | static_cast<uint32_t>(number)
                                                  : static_cast<uint32_t>(number);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", code);
  return buf;
}

std::string baseName(const std::string& path) {
  size_t p = path.find_last_of("/\\");
  return p == std::string::npos ? path : path.substr(p + 1);
}

std::string fullPath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char buf[4096];
  if (getcwd(buf, sizeof buf)) return std::string(buf) + "/" + path;
  return path;
}

void report(const tw::vbs::ScriptErrorInfo& e, const std::string& fallbackName) {
  std::string where = e.sourceName.empty() ? fallbackName : e.sourceName;
  std::string msg = where + "(" + std::to_string(e.line) + ", " + std::to_string(e.column) + ") " +
                    (e.compilation ? "compilation" : "runtime") + " error " + hresult(e.number) + ": " +
                    e.description + "\n";
  fflush(stdout);
  writeOut(stderr, msg);
}

}  // namespace

#include <unistd.h>

int main(int argc, char** argv) {
  int32_t timeout = -1;
  std::vector<std::string> includes;
  int i = 1;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      writeOut(stdout, kUsage);
      return 0;
    }
    if (a == "--timeout" && i + 1 < argc) {
      timeout = std::atoi(argv[++i]);
    } else if (a == "--include" && i + 1 < argc) {
      includes.push_back(argv[++i]);
    } else if (a.rfind("--", 0) == 0) {
      writeOut(stderr, "vbsrun: unknown option " + a + "\n" + kUsage);
      return 2;
    } else {
      break;
    }
  }
  if (i >= argc) {
    writeOut(stderr, kUsage);
    return 2;
  }
  std::string script = argv[i++];
  std::vector<std::string> scriptArgs(argv + i, argv + argc);

  std::vector<std::pair<std::string, std::string>> sources;
  for (const std::string& path : includes) {
    std::string text;
    if (!readFile(path, text)) {
      writeOut(stderr, "vbsrun: cannot read " + path + "\n");
      return 2;
    }
    sources.emplace_back(path, std::move(text));
  }
  std::string text;
  if (!readFile(script, text)) {
    writeOut(stderr, "vbsrun: cannot read " + script + "\n");
    return 2;
  }
  sources.emplace_back(script, std::move(text));

  int exitCode = 0;
  {
    tw::vbs::ScriptHost host;
    host.setTimeout(timeout);
    host.addObject("WScript", tw::makeRef<WScriptObject>(baseName(script), fullPath(script), scriptArgs));
    std::string current;
    try {
      for (auto& [path, code] : sources) {
        current = path;
        host.globalModule().addCode(code, path);
      }
    } catch (const QuitRequest& q) {
      exitCode = q.code;
    } catch (const tw::vbs::ScriptError& e) {
      report(e.info(), current);
      exitCode = 1;
    } catch (const tw::Error& e) {
      writeOut(stderr, current + ": error " + hresult(e.number()) + ": " + e.message() + "\n");
      exitCode = 1;
    }
    fflush(stdout);
  }
  return exitCode;
}
