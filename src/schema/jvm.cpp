#include "schema/jvm.h"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>

#include "schema/jni_env.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TW_JVM_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TW_JVM_UNDER_ASAN 1
#endif

namespace fs = std::filesystem;

namespace tw::jvm {

namespace {

struct State {
  std::mutex mutex;
  void* library = nullptr;
#ifdef TARNWICK_HAVE_JNI
  JavaVM* vm = nullptr;
#endif
  std::vector<std::string> classPath;
  std::string failure;  // why the last start failed for good
};

State& state() {
  static State* s = new State();  // never destroyed: the runtime outlives static destruction
  return *s;
}

bool isFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

}  // namespace

bool supported(std::string* why) {
#if !defined(TARNWICK_HAVE_JNI)
  if (why) *why = "Java connections are not available in this build (it was made without the JNI headers)";
  return false;
#elif defined(TW_JVM_UNDER_ASAN)
  if (why)
    *why =
        "Java connections are not available in a build with AddressSanitizer (the Java runtime's signal "
        "handling conflicts with it)";
  return false;
#else
  (void)why;
  return true;
#endif
}

std::string findRuntime(std::string_view setting) {
  auto inHome = [](const fs::path& home) -> std::string {
    for (const char* rel : {"lib/server/libjvm.so", "jre/lib/server/libjvm.so", "lib/client/libjvm.so",
                            "jre/lib/amd64/server/libjvm.so", "libjvm.so"})
      if (isFile(home / rel)) return (home / rel).string();
    return {};
  };
  if (!setting.empty()) {
    fs::path p{std::string(setting)};
    if (isFile(p)) return p.string();
    std::error_code ec;
    if (fs::is_directory(p, ec)) return inHome(p);
    return {};
  }
  if (isFile(fs::path(kDefaultRuntimeLib))) return std::string(kDefaultRuntimeLib);
  if (const char* home = std::getenv("JAVA_HOME"); home && *home)
    if (std::string found = inHome(home); !found.empty()) return found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/usr/lib/jvm", ec))
    if (std::string found = inHome(entry.path()); !found.empty()) return found;
  return {};
}

#ifdef TARNWICK_HAVE_JNI

std::string start(std::string_view runtimeSetting, const std::vector<std::string>& classPath) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  if (s.vm) return {};
  if (std::string why; !supported(&why)) return why;
  if (!s.failure.empty()) return s.failure;
  const std::string lib = findRuntime(runtimeSetting);
  if (lib.empty()) {
    if (!runtimeSetting.empty())
      return "The Java runtime \"" + std::string(runtimeSetting) +
             "\" (setting JavaRuntimeLib) is neither libjvm.so nor a Java home folder holding it";
    return "No Java runtime is installed: install the package " + std::string(kRuntimePackage) +
           " or name libjvm.so in the setting JavaRuntimeLib";
  }
  void* handle = dlopen(lib.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (!handle) {
    const char* e = dlerror();
    return "Cannot load the Java runtime " + lib + ": " + (e ? e : "unknown error");
  }
  using CreateFn = jint(JNICALL*)(JavaVM**, void**, void*);
  using CreatedFn = jint(JNICALL*)(JavaVM**, jsize, jsize*);
  auto create = reinterpret_cast<CreateFn>(dlsym(handle, "JNI_CreateJavaVM"));
  auto created = reinterpret_cast<CreatedFn>(dlsym(handle, "JNI_GetCreatedJavaVMs"));
  if (!create || !created) return lib + " is not a Java runtime library (it has no JNI_CreateJavaVM)";
  // A runtime some other part of the process started is used as it is.
  JavaVM* existing = nullptr;
  jsize count = 0;
  if (created(&existing, 1, &count) == JNI_OK && count > 0) {
    s.vm = existing;
    s.library = handle;
    s.classPath = classPath;
    return {};
  }
  std::string path = "-Djava.class.path=";
  for (size_t i = 0; i < classPath.size(); ++i) path += (i ? ":" : "") + classPath[i];
  std::vector<std::string> texts = {
      path,
      // Interrupts and termination stay the program's own business.
      "-Xrs",
      // No performance data files in /tmp; a small heap: metadata is small.
      "-XX:-UsePerfData",
      "-Xmx256m",
      // The work is a short burst of calls: the quick compiler suffices.
      "-XX:TieredStopAtLevel=1",
  };
  std::vector<JavaVMOption> options(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    options[i].optionString = texts[i].data();
    options[i].extraInfo = nullptr;
  }
  JavaVMInitArgs args{};
  args.version = JNI_VERSION_1_8;
  args.nOptions = static_cast<jint>(options.size());
  args.options = options.data();
  args.ignoreUnrecognized = JNI_TRUE;
  JavaVM* vm = nullptr;
  JNIEnv* env = nullptr;
  jint rc = create(&vm, reinterpret_cast<void**>(&env), &args);
  if (rc != JNI_OK) {
    // A failed creation cannot be retried in this process.
    s.failure = "The Java runtime " + lib + " did not start (JNI error " + std::to_string(rc) + ")";
    return s.failure;
  }
  s.vm = vm;
  s.library = handle;
  s.classPath = classPath;
  return {};
}

bool loaded() noexcept { return state().vm != nullptr; }

JNIEnv* currentEnv() {
  State& s = state();
  if (!s.vm) return nullptr;
  JNIEnv* env = nullptr;
  jint rc = s.vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_8);
  if (rc == JNI_EDETACHED) {
    if (s.vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) return nullptr;
  } else if (rc != JNI_OK) {
    return nullptr;
  }
  return env;
}

#else

std::string start(std::string_view, const std::vector<std::string>&) {
  std::string why;
  supported(&why);
  return why;
}

bool loaded() noexcept { return false; }

#endif

const std::vector<std::string>& classPath() noexcept { return state().classPath; }

}  // namespace tw::jvm
