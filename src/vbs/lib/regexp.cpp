#include "vbs/lib/regexp.h"

#include <algorithm>

#include "vbs/lib/common.h"

namespace tw::vbs::lib {

namespace {

std::u32string toUtf32(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) out += decodeUtf8(s, i);
  return out;
}

std::string fromUtf32(std::u32string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char32_t c : s) appendUtf8(out, c);
  return out;
}

// Texts passed to RegExp members convert the way COM converts a Variant to a
// string: Booleans become "-1" and "0", Null is a type mismatch.
std::string regexpText(const Variant& v) {
  ArgValue value(v);
  if (value->isNull()) raise(kErrTypeMismatch);
  if (value->type() == vtBoolean) return value->rawBool() ? "-1" : "0";
  if (value->isString()) return std::string(value->rawString());
  return value->toString();
}

size_t indexArg(const Variant& v, size_t count) {
  int32_t i = longArg(v);
  if (i < 0 || static_cast<size_t>(i) >= count) raise(kErrInvalidCall);
  return static_cast<size_t>(i);
}

// Runs the pattern over the text: each match in turn, one only unless global.
// An empty match moves the next search on by one character.
template <class F>
void eachMatch(const Regex& re, std::u32string_view text, bool global, F&& f) {
  size_t pos = 0;
  Regex::Match m;
  while (pos <= text.size() && re.search(text, pos, m)) {
    f(m);
    if (!global) break;
    pos = m.end == m.start ? m.end + 1 : m.end;
  }
}

}  // namespace

// ---- SubMatches

Variant SubMatches::item(const Variant& index) const { return items_[indexArg(index, items_.size())]; }

Ref<Enumerator> SubMatches::newEnum() { return makeRef<VectorEnumerator>(items_); }

const ClassInfo* SubMatches::classInfo() const {
  static const ClassInfo info = ClassBuilder<SubMatches>("ISubMatches")
                                    .get("Item", [](SubMatches& s, const Variant& i) { return s.item(i); })
                                    .get("Count", [](SubMatches& s) { return s.count(); })
                                    .defaultMember("Item")
                                    .build();
  return &info;
}

// ---- Match

const ClassInfo* MatchObject::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<MatchObject>("IMatch2")
          .get("Value", [](MatchObject& m) { return Variant(m.value()); })
          .get("FirstIndex", [](MatchObject& m) { return m.firstIndex(); })
          .get("Length", [](MatchObject& m) { return m.length(); })
          .get("SubMatches", [](MatchObject& m, Args a) { return applyArgs(Variant(m.subMatches()), a); })
          .defaultMember("Value")
          .build();
  return &info;
}

// ---- Matches

Ref<MatchObject> MatchCollection::item(const Variant& index) const {
  return items_[indexArg(index, items_.size())];
}

Ref<Enumerator> MatchCollection::newEnum() {
  std::vector<Variant> all(items_.begin(), items_.end());
  return makeRef<VectorEnumerator>(std::move(all));
}

const ClassInfo* MatchCollection::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<MatchCollection>("IMatchCollection2")
          .get("Item", [](MatchCollection& c, const Variant& i) { return Variant(c.item(i)); })
          .get("Count", [](MatchCollection& c) { return c.count(); })
          .defaultMember("Item")
          .build();
  return &info;
}

// ---- RegExp

void RegExpObject::setPattern(std::string pattern) {
  pattern_ = std::move(pattern);
  compiled_.reset();
}

void RegExpObject::setIgnoreCase(bool v) {
  if (v != ignoreCase_) compiled_.reset();
  ignoreCase_ = v;
}

void RegExpObject::setMultiline(bool v) {
  if (v != multiline_) compiled_.reset();
  multiline_ = v;
}

const Regex& RegExpObject::regex() {
  if (!compiled_) compiled_ = std::make_unique<Regex>(toUtf32(pattern_), ignoreCase_, multiline_);
  return *compiled_;
}

bool RegExpObject::test(std::string_view text) {
  Regex::Match m;
  return regex().search(toUtf32(text), 0, m);
}

Ref<MatchCollection> RegExpObject::execute(std::string_view text) {
  const Regex& re = regex();
  std::u32string t = toUtf32(text);
  std::vector<Ref<MatchObject>> matches;
  eachMatch(re, t, global_, [&](const Regex::Match& m) {
    std::vector<Variant> groups;
    groups.reserve(re.groupCount());
    for (size_t g = 0; g < re.groupCount(); ++g) {
      int64_t s = m.groups[2 * g], e = m.groups[2 * g + 1];
      if (s < 0 || e < 0) {
        groups.emplace_back();
      } else {
        groups.emplace_back(
            fromUtf32(std::u32string_view(t).substr(static_cast<size_t>(s), static_cast<size_t>(e - s))));
      }
    }
    matches.push_back(makeRef<MatchObject>(
        fromUtf32(std::u32string_view(t).substr(m.start, m.end - m.start)), static_cast<int32_t>(m.start),
        static_cast<int32_t>(m.end - m.start), makeRef<SubMatches>(std::move(groups))));
  });
  return makeRef<MatchCollection>(std::move(matches));
}

std::string RegExpObject::replace(std::string_view text, std::string_view replacement) {
  const Regex& re = regex();
  std::u32string t = toUtf32(text);
  std::u32string rep = toUtf32(replacement);
  std::u32string_view tv = t;
  std::u32string out;
  size_t last = 0;
  const size_t groups = re.groupCount();
  eachMatch(re, t, global_, [&](const Regex::Match& m) {
    out.append(tv.substr(last, m.start - last));
    auto group = [&](size_t g) {
      int64_t s = m.groups[2 * (g - 1)], e = m.groups[2 * (g - 1) + 1];
      if (s >= 0 && e >= 0) out.append(tv.substr(static_cast<size_t>(s), static_cast<size_t>(e - s)));
    };
    for (size_t i = 0; i < rep.size(); ++i) {
      char32_t c = rep[i];
      if (c != '$' || i + 1 >= rep.size()) {
        out += c;
        continue;
      }
      char32_t next = rep[i + 1];
      if (next == '$') {
        out += '$';
        ++i;
      } else if (next == '&') {
        out.append(tv.substr(m.start, m.end - m.start));
        ++i;
      } else if (next == '`') {
        out.append(tv.substr(0, m.start));
        ++i;
      } else if (next == '\'') {
        out.append(tv.substr(m.end));
        ++i;
      } else if (next >= '0' && next <= '9') {
        size_t one = next - '0';
        size_t two =
            i + 2 < rep.size() && rep[i + 2] >= '0' && rep[i + 2] <= '9' ? one * 10 + (rep[i + 2] - '0') : 0;
        if (two >= 1 && two <= groups) {
          group(two);
          i += 2;
        } else if (one >= 1 && one <= groups) {
          group(one);
          i += 1;
        } else {
          out += c;
        }
      } else {
        out += c;
      }
    }
    last = m.end;
  });
  out.append(tv.substr(std::min(last, tv.size())));
  return fromUtf32(out);
}

const ClassInfo* RegExpObject::classInfo() const {
  using R = RegExpObject;
  static const ClassInfo info =
      ClassBuilder<R>("IRegExp2")
          .prop(
              "Pattern", [](R& r) { return Variant(r.pattern()); },
              [](R& r, const Variant& v) { r.setPattern(regexpText(v)); })
          .prop(
              "Global", [](R& r) { return r.global(); },
              [](R& r, const Variant& v) { r.setGlobal(v.toBool()); })
          .prop(
              "IgnoreCase", [](R& r) { return r.ignoreCase(); },
              [](R& r, const Variant& v) { r.setIgnoreCase(v.toBool()); })
          .prop(
              "Multiline", [](R& r) { return r.multiline(); },
              [](R& r, const Variant& v) { r.setMultiline(v.toBool()); })
          .method("Test", [](R& r, const Variant& text) { return r.test(regexpText(text)); })
          .method("Execute", [](R& r, const Variant& text) { return Variant(r.execute(regexpText(text))); })
          .method("Replace",
                  [](R& r, const Variant& text, const Variant& with) {
                    return Variant(r.replace(regexpText(text), regexpText(with)));
                  })
          .build();
  return &info;
}

}  // namespace tw::vbs::lib
