#pragma once
// The property model: every configurable object keeps its settings as named
// AGProperty records in its own AGProperties store. The project file, the
// registry defaults and the object copier work on the stores by their flags.
#include <cstdint>
#include <string>
#include <string_view>

#include "automation/dispatch.h"
#include "support/super_collection.h"

namespace tw {

class AGProperty : public Dispatch {
 public:
  AGProperty() = default;
  AGProperty(std::string name, std::string dataType, bool regSave, int32_t regFormat, bool fileSave, bool sync)
      : name_(std::move(name)),
        dataType_(std::move(dataType)),
        regSave_(regSave),
        regFormat_(regFormat),
        fileSave_(fileSave),
        sync_(sync) {}

  // Key is a second name for Name: writing it renames the property, while its
  // key in the owning store stays the name it was added under.
  const std::string& Name() const noexcept { return name_; }
  void setName(std::string_view name) { name_ = std::string(name); }
  const std::string& DataType() const noexcept { return dataType_; }
  void setDataType(std::string_view t) { dataType_ = std::string(t); }
  const Variant& Value() const noexcept { return value_; }
  Variant& value() noexcept { return value_; }
  void setValue(const Variant& v) { value_ = v; }
  bool RegSave() const noexcept { return regSave_; }
  void setRegSave(bool b) noexcept { regSave_ = b; }
  int32_t RegFormat() const noexcept { return regFormat_; }
  void setRegFormat(int32_t f) noexcept { regFormat_ = f; }
  bool FileSave() const noexcept { return fileSave_; }
  void setFileSave(bool b) noexcept { fileSave_ = b; }
  bool Sync() const noexcept { return sync_; }
  void setSync(bool b) noexcept { sync_ = b; }

  const ClassInfo* classInfo() const override;

 private:
  std::string name_;
  std::string dataType_ = "String";
  Variant value_;
  bool regSave_ = false;
  int32_t regFormat_ = 0;
  bool fileSave_ = true;
  bool sync_ = true;
};

class AGProperties : public Dispatch {
 public:
  AGProperties();

  // False for an empty name, for a name already present, and for a name that
  // differs from a present one only in letter case.
  bool Add(std::string_view name, std::string_view dataType = "String", bool regSave = false,
           int32_t regFormat = 0, bool fileSave = true, bool sync = true);
  int32_t Count() const noexcept { return items_->count(); }
  // False for an empty or absent name; otherwise removes the property.
  bool Delete(const Variant& index);
  // Exact (case-sensitive) match of a property's Name.
  bool PropertyExist(const Variant& index) const;
  // A name (any letter case) or a 1-based position; raises the keyed
  // collection's errors ("Key not found.", 9) when absent.
  AGProperty& Item(const Variant& index) const;
  AGProperty& Item(std::string_view name) const;
  AGProperty& Item(const char* name) const { return Item(std::string_view(name)); }
  AGProperty& Item(const std::string& name) const { return Item(std::string_view(name)); }
  // The property at a 0-based index in registration order.
  AGProperty& at(int32_t index) const;
  void Clear() { items_->clear(); }

  Ref<Enumerator> newEnum() override;
  const ClassInfo* classInfo() const override;

 private:
  Ref<CSuperCollection> items_;
};

// Carries every Sync property of `from` over to the property of the same name
// in `to` (both stores of the same class).
void CopySyncProperties(const AGProperties& from, AGProperties& to);

}  // namespace tw
