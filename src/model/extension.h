#pragma once
// Extensions of a project: add-on template archives, listed in order.
#include <cstdint>
#include <string>

#include "model/named_collection.h"
#include "model/settings.h"

namespace tw {

class AGPExtension : public SettingsOwner {
 public:
  static constexpr std::string_view kNameSetting = "Name";
  static constexpr std::string_view kSeqSetting = "Seq";

  AGPExtension();
  ~AGPExtension() override;

  int16_t Seq() const { return int16("Seq"); }
  std::string Name() const { return str("Name"); }
  std::string Template() const { return str("Template"); }
  void setTemplate(std::string_view t) { setSetting("Template", Variant(t)); }

  const ClassInfo* classInfo() const override;
};

class AGPExtensions : public NamedCollection<AGPExtension> {
 public:
  // Empty name: false. An existing name becomes current; a new one is
  // appended with the next sequence number and becomes current.
  bool AddExtension(std::string_view name);
  // By name or position; the later extensions move one place down.
  bool DeleteExtension(const Variant& index);
  bool ExtensionExist(const Variant& index) const { return Exist(index); }

  const ClassInfo* classInfo() const override;

 protected:
  Ref<AGPExtension> create() override { return makeRef<AGPExtension>(); }
};

}  // namespace tw
