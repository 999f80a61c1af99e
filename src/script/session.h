#pragma once
// AGPSession and AGPSessions: the named pieces of template text a control of
// the control file lists, in document order.
//
// A control element of control.xml may hold session elements:
//   <session type="..." value="header" ifile="common.php" cond="..." />
// "value" is the session identifier; the other attributes are kept as text.
// Extension control files are merged into the main one with AddSession,
// ChangeSession and DeleteSession, keyed by SessValue (compared exactly).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "automation/dispatch.h"
#include "script/source_map.h"

namespace tw {

class AGPSession : public Dispatch {
 public:
  std::string SessType;
  std::string SessValue;  // the session identifier
  std::string SessParm;
  std::string SessIFile;  // template file holding the session
  std::string SessCond;
  std::string SessExt;       // extension the session belongs to
  std::string SessAction;    // merge action of extension control files
  std::string SessLocation;  // where a merged session goes: SessValue of another
  std::string SessLocType;   // "after" places it after that session
  SourceOrigin origin;       // where the session element stands (for messages)

  // Fills the properties from the attributes of a session element (names
  // compared in lower case; unknown attributes are ignored).
  void Load(const pugi::xml_node& element);

  const ClassInfo* classInfo() const override;
};

class AGPSessions : public Dispatch {
 public:
  // Appends a session for every "session" child of a control element; the
  // sessions already held stay.
  void Load(const pugi::xml_node& element);

  // Adds a copy of `session` (type, value, input file, condition, extension
  // and action) at the place `loc` and `loctype` give:
  //   - at the position of the session whose value is `loc`;
  //   - one further when `loctype` is "after" and that is not the last;
  //   - at the end when that position is the last one, or no session has
  //     the value `loc`, or `loc` is empty.
  // False, changing nothing, when a session with the same value exists.
  bool AddSession(const AGPSession& session, std::string_view loc, std::string_view loctype);
  // Changes the first session with value `value`: input file and condition
  // when the new ones are not empty, extension and action always.
  bool ChangeSession(std::string_view value, const AGPSession& session);
  // Removes the first session with value `value`.
  bool DeleteSession(std::string_view value);
  bool SessionExist(std::string_view value) const;

  int32_t Count() const noexcept { return static_cast<int32_t>(items_.size()); }
  // The session at `index` (1..Count); null outside.
  AGPSession* Item(int32_t index) const;

  const ClassInfo* classInfo() const override;

 private:
  int32_t find(std::string_view value) const;  // 0-based, -1 when absent

  std::vector<Ref<AGPSession>> items_;
};

}  // namespace tw
