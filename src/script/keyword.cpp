#include "script/keyword.h"

#include <pugixml.hpp>

#include "automation/text.h"
#include "platform/files.h"
#include "support/engine_context.h"

namespace tw {

namespace {

std::string_view localName(const pugi::xml_node& node) {
  std::string_view name = node.name();
  size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string foldedKey(std::string_view language, std::string_view word) {
  std::string key = toLower(language);
  key += '\0';
  key += toLower(word);
  return key;
}

}  // namespace

bool AGPKeyword::Load(std::string_view file) {
  auto bytes = readFile(file);
  return bytes && LoadFromBytes(*bytes);
}

bool AGPKeyword::LoadFromBytes(std::string_view bytes) {
  const std::string text = decodeText(bytes);
  pugi::xml_document doc;
  if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8)) return false;
  const pugi::xml_node root = doc.document_element();
  if (!root || toLower(localName(root)) != toLower(engine().productKey) + ".keyword") return false;
  for (const pugi::xml_node& child : root.children()) {
    if (child.type() != pugi::node_element || toLower(child.name()) != "keyword") continue;
    std::string language, word;
    for (const pugi::xml_attribute& attr : child.attributes()) {
      const std::string name = toLower(attr.name());
      if (name == "lang")
        language = attr.value();
      else if (name == "value")
        word = attr.value();
    }
    std::string key = foldedKey(language, word);
    auto found = index_.find(key);
    if (found != index_.end()) {
      pairs_[found->second] = {std::move(language), std::move(word)};
    } else {
      index_.emplace(std::move(key), pairs_.size());
      pairs_.emplace_back(std::move(language), std::move(word));
    }
  }
  return true;
}

bool AGPKeyword::IsKeyword(std::string_view language, std::string_view word) const {
  return index_.count(foldedKey(language, word)) > 0;
}

const ClassInfo* AGPKeyword::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGPKeyword>("AGPKeyword")
          .method("Load", [](AGPKeyword& k, const Variant& file) { return k.Load(file.toString()); })
          .method("IsKeyword",
                  [](AGPKeyword& k, const Variant& language, const Variant& word) {
                    return k.IsKeyword(language.toString(), word.toString());
                  })
          .get("Count", [](AGPKeyword& k) { return k.Count(); })
          .get("curIndex", [](AGPKeyword& k) { return k.curIndex(); })
          .build();
  return &info;
}

}  // namespace tw
