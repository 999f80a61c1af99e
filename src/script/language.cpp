#include "script/language.h"

#include <pugixml.hpp>

#include "platform/files.h"
#include "script/template_diagnostics.h"
#include "support/engine_context.h"

namespace tw {

namespace {

// The local name of an element (the part after a namespace prefix).
std::string_view localName(const pugi::xml_node& node) {
  std::string_view name = node.name();
  size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

}  // namespace

bool AGPLanguage::Load(std::string_view file) {
  auto bytes = readFile(file);
  return bytes && LoadFromBytes(*bytes);
}

bool AGPLanguage::LoadFromBytes(std::string_view bytes) {
  const std::string text = decodeText(bytes);
  pugi::xml_document doc;
  if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8)) return false;
  const pugi::xml_node root = doc.document_element();
  if (!root || toLower(localName(root)) != toLower(engine().productKey) + ".language") return false;
  for (const pugi::xml_node& child : root.children()) {
    if (child.type() != pugi::node_element || toLower(child.name()) != "phrase") continue;
    std::string id, value;
    for (const pugi::xml_attribute& attr : child.attributes()) {
      const std::string name = toLower(attr.name());
      if (name == "id")
        id = attr.value();
      else if (name == "value")
        value = attr.value();
    }
    auto found = index_.find(id);
    if (found != index_.end()) {
      phrases_[found->second].second = std::move(value);
    } else {
      index_.emplace(id, phrases_.size());
      phrases_.emplace_back(std::move(id), std::move(value));
    }
  }
  return true;
}

std::string AGPLanguage::Phrase(std::string_view id) const {
  auto found = index_.find(id);
  return found == index_.end() ? std::string() : phrases_[found->second].second;
}

const ClassInfo* AGPLanguage::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGPLanguage>("AGPLanguage")
          .method("Load", [](AGPLanguage& l, const Variant& file) { return l.Load(file.toString()); })
          .method("Phrase",
                  [](AGPLanguage& l, const Variant& id) {
                    const std::string name = id.toString();
                    // A script that asks for a phrase the file lacks gets "" and goes on; the
                    // run's report names it.
                    if (!l.HasPhrase(name)) templateDiagnostics().unknownPhrase(name);
                    return l.Phrase(name);
                  })
          .get("Count", [](AGPLanguage& l) { return l.Count(); })
          .get("curIndex", [](AGPLanguage& l) { return l.curIndex(); })
          .build();
  return &info;
}

}  // namespace tw
