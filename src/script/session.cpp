#include "script/session.h"

#include "automation/text.h"

namespace tw {

namespace {

AGPSession& sessionArg(const Variant& v) {
  auto* session = dynamic_cast<AGPSession*>(v.toObject());
  if (!session) raise(kErrTypeMismatch);
  return *session;
}

}  // namespace

// ---- AGPSession

void AGPSession::Load(const pugi::xml_node& element) {
  for (const pugi::xml_attribute& attr : element.attributes()) {
    const std::string name = toLower(attr.name());
    const char* value = attr.value();
    if (name == "type")
      SessType = value;
    else if (name == "value")
      SessValue = value;
    else if (name == "parm")
      SessParm = value;
    else if (name == "ifile")
      SessIFile = value;
    else if (name == "cond")
      SessCond = value;
    else if (name == "extension")
      SessExt = value;
    else if (name == "action")
      SessAction = value;
    else if (name == "location")
      SessLocation = value;
    else if (name == "loctype")
      SessLocType = value;
  }
}

const ClassInfo* AGPSession::classInfo() const {
  using S = AGPSession;
  auto text = [](std::string S::*field) {
    return std::pair{[field](S& s) { return s.*field; },
                     [field](S& s, const Variant& v) { s.*field = v.toString(); }};
  };
  static const ClassInfo info = [&] {
    ClassBuilder<S> b("AGPSession");
    for (auto [name, field] :
         {std::pair{"SessType", &S::SessType}, std::pair{"SessValue", &S::SessValue},
          std::pair{"SessParm", &S::SessParm}, std::pair{"SessIFile", &S::SessIFile},
          std::pair{"SessCond", &S::SessCond}, std::pair{"SessExt", &S::SessExt},
          std::pair{"SessAction", &S::SessAction}, std::pair{"SessLocation", &S::SessLocation},
          std::pair{"SessLocType", &S::SessLocType}}) {
      auto [get, put] = text(field);
      b.prop(name, get, put);
    }
    return b.build();
  }();
  return &info;
}

// ---- AGPSessions

void AGPSessions::Load(const pugi::xml_node& element) {
  for (const pugi::xml_node& child : element.children()) {
    if (child.type() != pugi::node_element || toLower(child.name()) != "session") continue;
    auto session = makeRef<AGPSession>();
    session->Load(child);
    items_.push_back(std::move(session));
  }
}

int32_t AGPSessions::find(std::string_view value) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i]->SessValue == value) return static_cast<int32_t>(i);
  return -1;
}

bool AGPSessions::SessionExist(std::string_view value) const { return find(value) >= 0; }

bool AGPSessions::AddSession(const AGPSession& session, std::string_view loc, std::string_view loctype) {
  if (SessionExist(session.SessValue)) return false;
  const int32_t count = Count();
  // Positions are 1-based here, as in the control file's own terms.
  int32_t at = count + 1;
  if (!loc.empty()) {
    int32_t found = find(loc);
    if (found >= 0) at = found + 1;
  }
  if (loctype == "after" && at < count) ++at;
  if (at == count) ++at;

  auto copy = makeRef<AGPSession>();
  copy->SessType = session.SessType;
  copy->SessValue = session.SessValue;
  // An include session's parameter names the session of the file it
  // includes: without it the whole file would come in.
  copy->SessParm = session.SessParm;
  copy->SessIFile = session.SessIFile;
  copy->SessCond = session.SessCond;
  copy->SessExt = session.SessExt;
  copy->SessAction = session.SessAction;
  copy->origin = session.origin;
  items_.insert(items_.begin() + (at - 1), std::move(copy));
  return true;
}

bool AGPSessions::ChangeSession(std::string_view value, const AGPSession& session) {
  int32_t i = find(value);
  if (i < 0) return false;
  AGPSession& target = *items_[i];
  if (!session.SessIFile.empty()) target.SessIFile = session.SessIFile;
  if (!session.SessCond.empty()) target.SessCond = session.SessCond;
  target.SessExt = session.SessExt;
  target.SessAction = session.SessAction;
  return true;
}

bool AGPSessions::DeleteSession(std::string_view value) {
  int32_t i = find(value);
  if (i < 0) return false;
  items_.erase(items_.begin() + i);
  return true;
}

AGPSession* AGPSessions::Item(int32_t index) const {
  if (index < 1 || index > Count()) return nullptr;
  return items_[index - 1].get();
}

const ClassInfo* AGPSessions::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGPSessions>("AGPSessions")
          .method("Item",
                  [](AGPSessions& s, const Variant& index) {
                    AGPSession* item = s.Item(index.toLong());
                    return item ? Variant(item) : Variant::nothing();
                  })
          .method("Count", [](AGPSessions& s) { return s.Count(); })
          .method("AddSession",
                  [](AGPSessions& s, const Variant& session, const Variant& loc, const Variant& loctype) {
                    return s.AddSession(sessionArg(session), loc.toString(), loctype.toString());
                  })
          .method("ChangeSession",
                  [](AGPSessions& s, const Variant& value, const Variant& session) {
                    return s.ChangeSession(value.toString(), sessionArg(session));
                  })
          .method("DeleteSession",
                  [](AGPSessions& s, const Variant& value) { return s.DeleteSession(value.toString()); })
          .method("SessionExist",
                  [](AGPSessions& s, const Variant& value) { return s.SessionExist(value.toString()); })
          .defaultMember("Item")
          .build();
  return &info;
}

}  // namespace tw
