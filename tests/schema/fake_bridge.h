#pragma once
// Stand-ins for the bridge and its objects, reached by member name like the
// real ones: a FakeObject answers the members it was given, its default
// member indexes its items (from 0), and it records every call it receives.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "automation/dispatch.h"
#include "automation/text.h"

namespace tw::testing {

class FakeObject : public Dispatch {
 public:
  using Handler = std::function<Variant(Args)>;

  FakeObject& set(const std::string& name, Variant value) {
    values_[toLower(name)] = {name, std::move(value)};
    return *this;
  }
  FakeObject& on(const std::string& name, Handler h) {
    handlers_[toLower(name)] = {name, std::move(h)};
    return *this;
  }
  FakeObject& add(Variant item) {
    items_.push_back(std::move(item));
    return *this;
  }
  const std::vector<std::string>& calls() const { return calls_; }
  // The calls made to a member, with their arguments as texts.
  std::vector<std::vector<std::string>> callsOf(const std::string& name) const {
    std::vector<std::vector<std::string>> out;
    for (const auto& c : log_)
      if (equalsNoCase(c.first, name)) out.push_back(c.second);
    return out;
  }

  DispId memberId(std::string_view name) override {
    std::string key = toLower(name);
    if (key == "count" && values_.find("count") == values_.end()) return kCount;
    for (size_t i = 0; i < order().size(); ++i)
      if (order()[i] == key) return static_cast<DispId>(i + 1);
    if (values_.count(key) || handlers_.count(key)) {
      order().push_back(key);
      return static_cast<DispId>(order().size());
    }
    return kDispIdUnknown;
  }

  Variant invoke(DispId id, uint16_t kind, Args args) override {
    if (id == kDispIdValue) {
      calls_.push_back("(item)");
      if (args.size() != 1) raise(kErrWrongArgCount);
      int32_t i = args[0].toLong();
      if (i < 0 || static_cast<size_t>(i) >= items_.size()) raise(kErrSubscript);
      return items_[static_cast<size_t>(i)];
    }
    if (id == kCount) {
      calls_.push_back("Count");
      return Variant::long_(static_cast<int32_t>(items_.size()));
    }
    if (id < 1 || static_cast<size_t>(id) > order().size()) raise(kErrNoSuchMember);
    const std::string& key = order()[static_cast<size_t>(id - 1)];
    std::vector<std::string> texts;
    for (const Variant& a : args) texts.push_back(a.isObject() ? std::string("<object>") : a.toString());
    if (auto h = handlers_.find(key); h != handlers_.end()) {
      calls_.push_back(h->second.first);
      log_.emplace_back(h->second.first, texts);
      return h->second.second(args);
    }
    auto v = values_.find(key);
    if (v == values_.end()) raise(kErrNoSuchMember);
    calls_.push_back(v->second.first);
    log_.emplace_back(v->second.first, texts);
    (void)kind;
    return v->second.second;
  }

 private:
  static constexpr DispId kCount = 0x7000;
  std::vector<std::string>& order() { return order_; }

  std::map<std::string, std::pair<std::string, Variant>> values_;
  std::map<std::string, std::pair<std::string, Handler>> handlers_;
  std::vector<std::string> order_;
  std::vector<Variant> items_;
  std::vector<std::string> calls_;
  std::vector<std::pair<std::string, std::vector<std::string>>> log_;
};

// A column with the given name and ADO type; other members are plain.
inline Ref<FakeObject> fakeColumn(const std::string& name, int16_t adoType) {
  auto f = makeRef<FakeObject>();
  f->set("Name", Variant(name))
      .set("DataTypeName", Variant("t" + std::to_string(adoType)))
      .set("NativeDataType", Variant::integer(0))
      .set("IsEnum", Variant(false))
      .set("IsSet", Variant(false))
      .set("ADODataType", Variant::integer(adoType))
      .set("size", Variant::long_(10))
      .set("Required", Variant(false))
      .set("Unique", Variant(false))
      .set("AutoIncrement", Variant(false))
      .set("ADOAttributes", Variant::long_(0))
      .set("DefaultValue", Variant())
      .set("FieldTagValues", Variant(""));
  return f;
}

inline Ref<FakeObject> fakeTable(const std::string& name, const std::string& type,
                                 std::vector<Ref<FakeObject>> columns, const std::string& pk = "") {
  auto fields = makeRef<FakeObject>();
  for (auto& c : columns) fields->add(Variant(c));
  auto t = makeRef<FakeObject>();
  t->set("Name", Variant(name))
      .set("TableType", Variant(type))
      .set("Fields", Variant(fields))
      .set("PKField", Variant(pk));
  return t;
}

// A bridge that connects without error and returns the given tables; a
// custom view returns `view`.
inline Ref<FakeObject> fakeBridge(std::vector<Ref<FakeObject>> tables, Ref<FakeObject> view = nullptr,
                                  std::string connectError = "") {
  auto all = makeRef<FakeObject>();
  for (auto& t : tables) all->add(Variant(t));
  auto b = makeRef<FakeObject>();
  auto lastError = std::make_shared<std::string>();
  b->on("Initialize",
        [lastError](Args) {
          lastError->clear();
          return Variant();
        })
      .on("SetDBType", [](Args) { return Variant(); })
      .on("SetSettingsKey", [](Args) { return Variant(); })
      .on("SetOracleSID", [](Args) { return Variant(); })
      .on("Connect",
          [lastError, connectError](Args) {
            *lastError = connectError;
            return Variant();
          })
      .on("GetTables", [all](Args) { return Variant(all); })
      .on("GetLastError", [lastError](Args) { return Variant(*lastError); })
      .on("IsJVMLoaded", [](Args) { return Variant(false); })
      .on("GetQuoteChar", [](Args) { return Variant("`"); })
      .on("GetDatabaseNames", [](Args) { return Variant("one\r\ntwo"); })
      .on("OpenCustomView", [view](Args) { return view ? Variant(view) : Variant::nothing(); });
  return b;
}

}  // namespace tw::testing
