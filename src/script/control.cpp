#include "script/control.h"

#include <algorithm>

#include "automation/text.h"
#include "platform/files.h"
#include "support/engine_context.h"

namespace tw {

namespace {

// A Boolean attribute as the host converts text: True/False in any case, or a
// number where 0 is false. Anything else keeps the current value.
void readBoolean(const char* text, bool& field) {
  try {
    field = Variant(text).toBool();
  } catch (const Error&) {
  }
}

AGPControl& controlArg(const Variant& v) {
  auto* control = dynamic_cast<AGPControl*>(v.toObject());
  if (!control) raise(kErrTypeMismatch);
  return *control;
}

}  // namespace

// ---- AGPControl

AGPSessions& AGPControl::Sessions() {
  if (!sessions_) sessions_ = makeRef<AGPSessions>();
  return *sessions_;
}

std::string AGPControl::FolderForm(std::string_view value) {
  std::string out(value);
  for (char& c : out)
    if (c == '/') c = '\\';
  if (!out.empty() && out.front() == '\\') out.erase(0, 1);
  if (!out.empty() && out.back() != '\\') out += '\\';
  return out;
}

void AGPControl::Load(const pugi::xml_node& element) {
  CtrlCond.clear();
  CtrlSpace = true;
  CtrlOverwrite = true;
  for (const pugi::xml_attribute& attr : element.attributes()) {
    const std::string name = toLower(attr.name());
    const char* value = attr.value();
    if (name == "id")
      CtrlID = value;
    else if (name == "type")
      CtrlType = value;
    else if (name == "ofile")
      CtrlOFile = value;
    else if (name == "ofilecompat")
      CtrlOFileCompat = value;
    else if (name == "oext")
      CtrlOExt = value;
    else if (name == "ofolder")
      CtrlOFolder = FolderForm(value);
    else if (name == "ifiles")
      CtrlIFiles = value;
    else if (name == "ifolder")
      CtrlIFolder = FolderForm(value);
    else if (name == "cond")
      CtrlCond = value;
    else if (name == "tagext")
      CtrlTagExt = value;
    else if (name == "parm")
      CtrlParm = value;
    else if (name == "space")
      readBoolean(value, CtrlSpace);
    else if (name == "extension")
      CtrlExt = value;
    else if (name == "action")
      CtrlAction = value;
    else if (name == "overwrite")
      readBoolean(value, CtrlOverwrite);
  }
  Sessions().Load(element);
}

const ClassInfo* AGPControl::classInfo() const {
  using C = AGPControl;
  static const ClassInfo info = [] {
    ClassBuilder<C> b("AGPControl");
    auto text = [&b](const char* name, std::string C::*field) {
      b.prop(
          name, [field](C& c) { return c.*field; },
          [field](C& c, const Variant& v) { c.*field = v.toString(); });
    };
    auto flag = [&b](const char* name, bool C::*field) {
      b.prop(
          name, [field](C& c) { return c.*field; },
          [field](C& c, const Variant& v) { c.*field = v.toBool(); });
    };
    text("CtrlID", &C::CtrlID);
    text("CtrlType", &C::CtrlType);
    text("CtrlOFile", &C::CtrlOFile);
    text("CtrlOFileCompat", &C::CtrlOFileCompat);
    text("CtrlOExt", &C::CtrlOExt);
    text("CtrlOFolder", &C::CtrlOFolder);
    text("CtrlIFiles", &C::CtrlIFiles);
    text("CtrlIFolder", &C::CtrlIFolder);
    text("CtrlCond", &C::CtrlCond);
    text("CtrlTagExt", &C::CtrlTagExt);
    text("CtrlParm", &C::CtrlParm);
    flag("CtrlSpace", &C::CtrlSpace);
    flag("CtrlGen", &C::CtrlGen);
    text("CtrlExt", &C::CtrlExt);
    text("CtrlAction", &C::CtrlAction);
    flag("CtrlOverwrite", &C::CtrlOverwrite);
    b.get("Sessions", [](C& c) { return Variant(&c.Sessions()); });
    return b.build();
  }();
  return &info;
}

// ---- AGPControls

bool AGPControls::LoadControls(std::string_view file) {
  auto bytes = readFile(file);
  if (!bytes) {
    setProjErr(": Load control file failed! Please check if the correct template file is in use!");
    return false;
  }
  return LoadControlsFromBytes(*bytes, file);
}

bool AGPControls::LoadControlsFromBytes(std::string_view bytes, std::string_view file) {
  const std::string text = decodeText(bytes);
  pugi::xml_document doc;
  if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8)) {
    setProjErr(": Load control file failed! Please check if the correct template file is in use!");
    return false;
  }
  items_.clear();
  const pugi::xml_node root = doc.document_element();
  const std::string_view key = engine().productKey;
  const std::string_view name = root.name();
  if (!root || name.size() < key.size() || !equalsNoCase(name.substr(0, key.size()), key)) {
    setProjErr(": Control file is invalid! Please check if the correct template file is in use!");
    return false;
  }
  // A missing attribute reads as empty; a control file without a version is
  // then refused by generation's version check.
  prodDate_ = root.attribute("date").value();
  prodVersion_ = root.attribute("version").value();
  prodDesc_ = root.attribute("desc").value();
  prodAuthor_ = root.attribute("author").value();
  for (const pugi::xml_node& child : root.children()) {
    if (child.type() != pugi::node_element || toLower(child.name()) != "control") continue;
    auto control = makeRef<AGPControl>();
    control->Load(child);
    if (!file.empty()) {
      // Line and column of an element: the "<" in front of its name.
      auto originOf = [&](const pugi::xml_node& node) {
        ptrdiff_t at = node.offset_debug();
        if (at <= 0 || static_cast<size_t>(at) > text.size()) return SourceOrigin{std::string(file), 0, 0};
        std::string_view head = std::string_view(text).substr(0, static_cast<size_t>(at) - 1);
        size_t lineStart = head.rfind('\n');
        lineStart = lineStart == std::string_view::npos ? 0 : lineStart + 1;
        return SourceOrigin{std::string(file), static_cast<int32_t>(std::count(head.begin(), head.end(), '\n')) + 1,
                            static_cast<int32_t>(codePointCount(head.substr(lineStart))) + 1};
      };
      control->origin = originOf(child);
      int32_t n = 0;
      for (const pugi::xml_node& s : child.children()) {
        if (s.type() != pugi::node_element || toLower(s.name()) != "session") continue;
        if (AGPSession* session = control->Sessions().Item(++n)) session->origin = originOf(s);
      }
    }
    items_.push_back(std::move(control));
  }
  return true;
}

AGPControl* AGPControls::Item(int32_t index) {
  if (index < 1 || index > Count()) return nullptr;
  curIndex_ = static_cast<int16_t>(index);
  return items_[index - 1].get();
}

bool AGPControls::ControlExist(std::string_view id) const {
  for (const auto& control : items_)
    if (control->CtrlID == id) return true;
  return false;
}

bool AGPControls::AddControl(AGPControl& ctrl) {
  if (ControlExist(ctrl.CtrlID)) return false;
  auto copy = makeRef<AGPControl>();
  copy->CtrlID = ctrl.CtrlID;
  copy->CtrlType = ctrl.CtrlType;
  copy->CtrlIFiles = ctrl.CtrlIFiles;
  copy->CtrlIFolder = ctrl.CtrlIFolder;
  copy->CtrlOFile = ctrl.CtrlOFile;
  copy->CtrlOFileCompat = ctrl.CtrlOFileCompat;
  copy->CtrlOExt = ctrl.CtrlOExt;
  copy->CtrlOFolder = ctrl.CtrlOFolder;
  copy->CtrlCond = ctrl.CtrlCond;
  copy->CtrlTagExt = ctrl.CtrlTagExt;
  copy->CtrlParm = ctrl.CtrlParm;
  copy->CtrlSpace = ctrl.CtrlSpace;
  copy->CtrlExt = ctrl.CtrlExt;
  copy->CtrlAction = ctrl.CtrlAction;
  copy->CtrlOverwrite = ctrl.CtrlOverwrite;
  copy->origin = ctrl.origin;
  AGPSessions& from = ctrl.Sessions();
  AGPSessions& to = copy->Sessions();
  for (int32_t i = 1; i <= from.Count(); ++i) {
    AGPSession* session = from.Item(i);
    session->SessExt = ctrl.CtrlExt;
    to.AddSession(*session, "", "");
  }
  items_.push_back(std::move(copy));
  return true;
}

bool AGPControls::DeleteControl(std::string_view id) {
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if ((*it)->CtrlID == id) {
      items_.erase(it);
      return true;
    }
  }
  return false;
}

const ClassInfo* AGPControls::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGPControls>("AGPControls")
          .method("LoadControls",
                  [](AGPControls& c, const Variant& file) { return c.LoadControls(file.toString()); })
          .get("ProdDate", [](AGPControls& c) { return c.ProdDate(); })
          .get("ProdVersion", [](AGPControls& c) { return c.ProdVersion(); })
          .get("ProdDesc", [](AGPControls& c) { return c.ProdDesc(); })
          .get("ProdAuthor", [](AGPControls& c) { return c.ProdAuthor(); })
          .method("Count", [](AGPControls& c) { return c.Count(); })
          .method("Item",
                  [](AGPControls& c, const Variant& index) {
                    AGPControl* item = c.Item(index.toLong());
                    return item ? Variant(item) : Variant::nothing();
                  })
          .get("curIndex", [](AGPControls& c) { return c.curIndex(); })
          .method("ControlExist",
                  [](AGPControls& c, const Variant& id) { return c.ControlExist(id.toString()); })
          .method("AddControl",
                  [](AGPControls& c, const Variant& ctrl) { return c.AddControl(controlArg(ctrl)); })
          .method("DeleteControl",
                  [](AGPControls& c, const Variant& id) { return c.DeleteControl(id.toString()); })
          .defaultMember("Item")
          .build();
  return &info;
}

}  // namespace tw
