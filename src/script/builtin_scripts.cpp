// The built-in system and validation code: script files in src/script/syscode
// compiled into the program (see syscode/scripts.cmake).
#include "script/agscript.h"
#include "support/status.h"

namespace tw {

namespace builtin_scripts {
extern const char* const kSystemCode;
extern const char* const kValidateCode;
}  // namespace builtin_scripts

const std::string& builtinSystemCode() {
  static const std::string text(builtin_scripts::kSystemCode);
  return text;
}

const std::string& builtinValidateCode() {
  static const std::string text(builtin_scripts::kValidateCode);
  return text;
}

void registerBuiltinScripts() {
  setSystemCode("VB", builtinSystemCode());
  setSystemCode("VL", builtinValidateCode());
}

}  // namespace tw
