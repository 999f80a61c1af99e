// CreateObject: the objects a script can create by ProgID.
#include "automation/text.h"
#include "vbs/builtins.h"
#include "vbs/lib/dictionary.h"
#include "vbs/lib/filesystem.h"
#include "vbs/lib/regexp.h"

namespace tw::vbs {

Ref<Dispatch> createObject(std::string_view progId) {
  std::string_view id = trimBlanks(progId);
  if (equalsNoCase(id, "Scripting.Dictionary")) return makeRef<lib::Dictionary>();
  if (equalsNoCase(id, "VBScript.RegExp")) return makeRef<lib::RegExpObject>();
  if (equalsNoCase(id, "Scripting.FileSystemObject")) return makeRef<lib::FileSystemObject>();
  raise(kErrCantCreateObject);
}

}  // namespace tw::vbs
