#include "schema/jni_env.h"

#include "automation/text.h"

#ifdef TARNWICK_HAVE_JNI
#include <mutex>
#include <unordered_map>
#include <vector>

namespace tw::jvm {

std::string toUtf8(JNIEnv* env, jstring s) {
  if (!s) return {};
  const jsize n = env->GetStringLength(s);
  const jchar* chars = env->GetStringChars(s, nullptr);
  if (!chars) {
    check(env);
    return {};
  }
  std::string out;
  out.reserve(static_cast<size_t>(n));
  for (jsize i = 0; i < n; ++i) {
    uint32_t c = chars[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && chars[i + 1] >= 0xDC00 && chars[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (chars[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate
    }
    appendUtf8(out, static_cast<char32_t>(c));
  }
  env->ReleaseStringChars(s, chars);
  return out;
}

jstring toJava(JNIEnv* env, std::string_view utf8) {
  std::vector<jchar> units;
  units.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    uint32_t c = 0xFFFD;
    size_t len = 1;
    if (b < 0x80) {
      c = b;
    } else if ((b >> 5) == 6 && i + 1 < utf8.size()) {
      c = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
      len = 2;
    } else if ((b >> 4) == 14 && i + 2 < utf8.size()) {
      c = ((b & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
          (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
      len = 3;
    } else if ((b >> 3) == 30 && i + 3 < utf8.size()) {
      c = ((b & 0x07u) << 18) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 12) |
          ((static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu) << 6) |
          (static_cast<unsigned char>(utf8[i + 3]) & 0x3Fu);
      len = 4;
    }
    i += len;
    if (c >= 0x10000) {
      c -= 0x10000;
      units.push_back(static_cast<jchar>(0xD800 + (c >> 10)));
      units.push_back(static_cast<jchar>(0xDC00 + (c & 0x3FF)));
    } else {
      units.push_back(static_cast<jchar>(c));
    }
  }
  jstring s = env->NewString(units.data(), static_cast<jsize>(units.size()));
  check(env);
  return s;
}

std::string takeException(JNIEnv* env) {
  jthrowable t = env->ExceptionOccurred();
  if (!t) return {};
  env->ExceptionClear();
  std::string message;
  jclass throwable = env->FindClass("java/lang/Throwable");
  if (throwable) {
    jmethodID getMessage = env->GetMethodID(throwable, "getMessage", "()Ljava/lang/String;");
    jmethodID toString = env->GetMethodID(throwable, "toString", "()Ljava/lang/String;");
    auto text = [&](jmethodID m) {
      if (!m) return std::string();
      auto s = static_cast<jstring>(env->CallObjectMethod(t, m));
      if (env->ExceptionCheck()) {
        env->ExceptionClear();
        return std::string();
      }
      std::string out = toUtf8(env, s);
      env->DeleteLocalRef(s);
      return out;
    };
    message = text(getMessage);
    if (message.empty()) message = text(toString);
    env->DeleteLocalRef(throwable);
  } else {
    env->ExceptionClear();
  }
  env->DeleteLocalRef(t);
  if (message.empty()) message = "A Java exception without a message";
  return message;
}

void check(JNIEnv* env) {
  if (env->ExceptionCheck()) throw JavaError{takeException(env)};
}

jclass globalClass(JNIEnv* env, const char* name) {
  static std::mutex mutex;
  static auto* cache = new std::unordered_map<std::string, jclass>();
  std::lock_guard lock(mutex);
  auto it = cache->find(name);
  if (it != cache->end()) return it->second;
  jclass local = env->FindClass(name);
  check(env);
  auto global = static_cast<jclass>(env->NewGlobalRef(local));
  env->DeleteLocalRef(local);
  cache->emplace(name, global);
  return global;
}

jmethodID method(JNIEnv* env, jclass c, const char* name, const char* signature) {
  jmethodID m = env->GetMethodID(c, name, signature);
  check(env);
  return m;
}

jmethodID staticMethod(JNIEnv* env, jclass c, const char* name, const char* signature) {
  jmethodID m = env->GetStaticMethodID(c, name, signature);
  check(env);
  return m;
}

}  // namespace tw::jvm
#endif
