#pragma once
// Calling Java from the bridge: the current thread's JNI environment, text
// in both directions (UTF-16 in Java, UTF-8 here), and Java exceptions
// turned into C++ ones. Every helper checks for a pending Java exception
// after its call; one that is found is cleared and thrown as JavaError
// with the exception's message (its getMessage(), else its class name).
#ifdef TARNWICK_HAVE_JNI
#include <jni.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::jvm {

// The calling thread's environment (attached on first use); null when the
// virtual machine does not run.
JNIEnv* currentEnv();

struct JavaError {
  std::string message;
};

// UTF-8 and Java text.
std::string toUtf8(JNIEnv* env, jstring s);
jstring toJava(JNIEnv* env, std::string_view utf8);

// Throws JavaError when an exception is pending (and clears it).
void check(JNIEnv* env);
// The message of a pending exception (cleared), or "" when none is pending.
std::string takeException(JNIEnv* env);

// A class by its JNI name ("java/sql/DriverManager") as a global reference
// kept for the process.
jclass globalClass(JNIEnv* env, const char* name);
jmethodID method(JNIEnv* env, jclass c, const char* name, const char* signature);
jmethodID staticMethod(JNIEnv* env, jclass c, const char* name, const char* signature);

// Local references made inside the scope are freed when it ends.
class LocalFrame {
 public:
  explicit LocalFrame(JNIEnv* env, jint capacity = 32) : env_(env) { env_->PushLocalFrame(capacity); }
  ~LocalFrame() { env_->PopLocalFrame(nullptr); }
  LocalFrame(const LocalFrame&) = delete;
  LocalFrame& operator=(const LocalFrame&) = delete;

 private:
  JNIEnv* env_;
};

// A global reference owned by the holder.
class GlobalRef {
 public:
  GlobalRef() = default;
  GlobalRef(JNIEnv* env, jobject local) : obj_(local ? env->NewGlobalRef(local) : nullptr) {}
  ~GlobalRef() { reset(); }
  GlobalRef(GlobalRef&& o) noexcept : obj_(o.obj_) { o.obj_ = nullptr; }
  GlobalRef& operator=(GlobalRef&& o) noexcept {
    if (this != &o) {
      reset();
      obj_ = o.obj_;
      o.obj_ = nullptr;
    }
    return *this;
  }
  jobject get() const noexcept { return obj_; }
  void reset() {
    if (obj_)
      if (JNIEnv* env = currentEnv()) env->DeleteGlobalRef(obj_);
    obj_ = nullptr;
  }

 private:
  jobject obj_ = nullptr;
};

}  // namespace tw::jvm
#endif
