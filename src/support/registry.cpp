#include "support/registry.h"

#include <cmath>
#include <cstdlib>

#include "automation/error.h"
#include "support/engine_context.h"

namespace tw {

namespace {

const char* const kRegistrySource = "tarnwick.cRegistry";

bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9'); }

Variant bytesOf(std::string_view s) {
  std::vector<Variant> items;
  items.reserve(s.size());
  for (char c : s) items.push_back(Variant::byte(static_cast<uint8_t>(c)));
  return Variant::array(std::move(items), vtByte);
}

// The text of a value for the error message; values without one give "".
std::string describe(const Variant& v) {
  try {
    return v.isString() ? std::string(v.rawString()) : v.toString();
  } catch (const Error&) {
    return {};
  }
}

uint32_t rootArgument(const Variant& v) {
  if (v.type() == vtDouble || v.type() == vtSingle || v.type() == vtCurrency) {
    double d = v.toDouble();
    if (d >= 0 && d <= 4294967295.0) return static_cast<uint32_t>(std::nearbyint(d));
  }
  return static_cast<uint32_t>(v.toLong());
}

Variant nameArray(const std::vector<std::string>& names) {
  std::vector<Variant> items;
  items.reserve(names.size());
  for (const std::string& n : names) items.emplace_back(n);
  return Variant::array(std::move(items));
}

}  // namespace

std::string expandEnvironment(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '%') {
      size_t close = text.find('%', i + 1);
      if (close != std::string_view::npos && close > i + 1) {
        std::string name(text.substr(i + 1, close - i - 1));
        if (const char* value = std::getenv(name.c_str())) {
          out += value;
          i = close + 1;
          continue;
        }
      }
    } else if (c == '$' && i + 1 < text.size()) {
      size_t start, end, next;
      if (text[i + 1] == '{') {
        start = i + 2;
        end = text.find('}', start);
        next = end == std::string_view::npos ? end : end + 1;
      } else {
        start = end = i + 1;
        if (isNameStart(text[start]))
          while (end < text.size() && isNameChar(text[end])) ++end;
        next = end;
      }
      if (end != std::string_view::npos && end > start) {
        std::string name(text.substr(start, end - start));
        if (const char* value = std::getenv(name.c_str())) {
          out += value;
          i = next;
          continue;
        }
      }
    }
    out += c;
    ++i;
  }
  return out;
}

cRegistry::cRegistry() = default;

cRegistry::cRegistry(RegistryStore& store) : store_(&store) {}

RegistryStore& cRegistry::store() { return store_ ? *store_ : engine().registryStore(); }

Variant cRegistry::value() {
  std::optional<RegValue> found;
  try {
    found = store().readValue(classKey_, section_, valueName_);
  } catch (const Error&) {
    return default_;
  }
  if (!found) return default_;
  valueType_ = found->type;
  switch (found->type) {
    case kRegString:
    case kRegMultiString:
      if (found->value.isString()) return found->value;
      break;
    case kRegExpandString:
      if (found->value.isString()) return Variant(expandEnvironment(found->value.rawString()));
      break;
    case kRegDword:
    case kRegDwordBigEndian:
      if (found->value.type() == vtLong) return found->value;
      break;
    default:
      break;
  }
  // Binary and every other type: the bytes.
  if (found->value.isArray()) return found->value;
  if (found->value.isString()) return bytesOf(found->value.rawString());
  return found->value;
}

void cRegistry::raiseWriteError(const Variant& v) const {
  raise(kErrRegistryWrite,
        "Failed to set registry value Key: '" + std::to_string(static_cast<int32_t>(classKey_)) +
            "',Section: '" + section_ + "',Key: '" + valueName_ + "' to value: '" + describe(v) + "'",
        kRegistrySource);
}

void cRegistry::setValue(const Variant& v) {
  bool accepted = false;
  switch (valueType_) {
    case kRegString:
    case kRegExpandString:
      accepted = !v.isArray() && !v.isNull() && !v.isNothing() && v.type() != vtError;
      break;
    case kRegBinary:
      accepted = v.isArray() && v.rawArray()->elemType == vtByte && v.rawArray()->dims() == 1;
      break;
    case kRegDword:
    case kRegDwordBigEndian:
      accepted = v.type() == vtInteger || v.type() == vtLong;
      break;
    default:
      break;
  }
  if (!accepted) raiseWriteError(v);
  try {
    store().writeValue(classKey_, section_, valueName_, valueType_, v);
  } catch (const Error& e) {
    // A failing user store says which file it is.
    if (e.description().rfind("Registry ", 0) == 0)
      raise(kErrRegistryWrite,
            "Failed to set registry value Key: '" + std::to_string(static_cast<int32_t>(classKey_)) +
                "',Section: '" + section_ + "',Key: '" + valueName_ + "' to value: '" + describe(v) +
                "': " + e.description(),
            kRegistrySource);
    raiseWriteError(v);
  }
  current_ = v;
}

int32_t cRegistry::enumerateSections(std::vector<std::string>& out) {
  try {
    out = store().enumerateSubKeys(classKey_, section_);
  } catch (const Error&) {
    out.clear();
  }
  return static_cast<int32_t>(out.size());
}

int32_t cRegistry::enumerateValues(std::vector<std::string>& out) {
  try {
    out = store().enumerateValues(classKey_, section_);
  } catch (const Error&) {
    out.clear();
  }
  return static_cast<int32_t>(out.size());
}

bool cRegistry::keyExists() {
  try {
    return store().keyExists(classKey_, section_);
  } catch (const Error&) {
    return false;
  }
}

bool cRegistry::createKey() {
  try {
    store().createKey(classKey_, section_);
    return true;
  } catch (const Error&) {
    return false;
  }
}

bool cRegistry::deleteKey() {
  try {
    return store().deleteKey(classKey_, section_);
  } catch (const Error&) {
    return false;
  }
}

bool cRegistry::deleteValue() {
  try {
    return store().deleteValue(classKey_, section_, valueName_);
  } catch (const Error&) {
    return false;
  }
}

const ClassInfo* cRegistry::classInfo() const {
  using R = cRegistry;
  static const ClassInfo info =
      ClassBuilder<R>("cRegistry")
          .prop(
              "ClassKey", [](R& r) { return static_cast<int32_t>(r.classKey()); },
              [](R& r, const Variant& v) { r.setClassKey(rootArgument(v)); })
          .prop(
              "SectionKey", [](R& r) { return r.sectionKey(); },
              [](R& r, const Variant& v) { r.setSectionKey(v.toString()); })
          .prop(
              "ValueKey", [](R& r) { return r.valueKey(); },
              [](R& r, const Variant& v) { r.setValueKey(v.toString()); })
          .prop(
              "ValueType", [](R& r) { return r.valueType(); },
              [](R& r, const Variant& v) { r.setValueType(v.toLong()); })
          .prop(
              "Value", [](R& r) { return r.value(); }, [](R& r, const Variant& v) { r.setValue(v); })
          .prop(
              "Default", [](R& r) { return r.defaultValue(); },
              [](R& r, const Variant& v) { r.setDefault(v); })
          .putRef("Default", [](R& r, const Variant& v) { r.setDefault(v); })
          .method("EnumerateSections",
                  [](R& r, Args a) {
                    std::vector<std::string> names;
                    int32_t n = r.enumerateSections(names);
                    if (!a.empty()) a[0] = nameArray(names);
                    return n;
                  })
          .method("EnumerateValues",
                  [](R& r, Args a) {
                    std::vector<std::string> names;
                    int32_t n = r.enumerateValues(names);
                    if (!a.empty()) a[0] = nameArray(names);
                    return n;
                  })
          .method("KeyExists", [](R& r) { return r.keyExists(); })
          .method("CreateKey", [](R& r) { return r.createKey(); })
          .method("DeleteKey", [](R& r) { return r.deleteKey(); })
          .method("DeleteValue", [](R& r) { return r.deleteValue(); })
          .build();
  return &info;
}

namespace {

cRegistry& prepare(std::string_view root, std::string_view section, std::string_view valueName) {
  cRegistry& reg = engine().registry();
  reg.setClassKey(root == "HKLM" ? kRootLocalMachine : kRootCurrentUser);
  reg.setSectionKey(section);
  reg.setValueKey(valueName);
  return reg;
}

}  // namespace

Variant RegRead(std::string_view root, std::string_view section, std::string_view valueName) {
  cRegistry& reg = prepare(root, section, valueName);
  Variant v = reg.value();
  engine().lastRegType = static_cast<uint32_t>(reg.valueType());
  return v;
}

void RegWrite(std::string_view root, std::string_view section, std::string_view valueName, int32_t type,
              const Variant& value) {
  cRegistry& reg = prepare(root, section, valueName);
  reg.setValueType(type);
  reg.setValue(value);
}

}  // namespace tw
