#include "script/user_script.h"

#include "automation/text.h"

namespace tw {

bool AGUserScript::UserModuleExist(std::string_view name) const {
  for (const std::string& n : names_)
    if (equalsNoCase(n, name)) return true;
  return false;
}

const ClassInfo* AGUserScript::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGUserScript>("AGUserScript")
          .method("AddUserModule",
                  [](AGUserScript& s, const Variant& name) { s.AddUserModule(name.toString()); })
          .method("UserModuleExist",
                  [](AGUserScript& s, const Variant& name) { return s.UserModuleExist(name.toString()); })
          .build();
  return &info;
}

}  // namespace tw
