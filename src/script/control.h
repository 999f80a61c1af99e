#pragma once
// AGPControl and AGPControls: the control file (control.xml) of a template,
// which lists the outputs a generation run produces.
//
//   <TarnwickTemplate date="..." version="1.0" desc="..." author="...">
//     <control id="list" type="table" ofile="x_list" oext="php" ofolder="/"
//              ifiles="list.php" cond="..." space="true" overwrite="true">
//       <session type="..." value="header" ifile="common.php" />
//     </control>
//   </TarnwickTemplate>
//
// The document element's name starts with the product key (any suffix, any
// letter case). Each "control" child becomes an AGPControl in document order;
// attribute names are compared in lower case, values taken as written.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "automation/dispatch.h"
#include "script/source_map.h"
#include "script/session.h"

namespace tw {

class AGPControl : public Dispatch {
 public:
  std::string CtrlID;           // identifier, unique within the file
  std::string CtrlType;         // kind of control
  std::string CtrlOFile;        // output file name
  std::string CtrlOFileCompat;  // output file name in compatibility mode
  std::string CtrlOExt;         // output file extension
  std::string CtrlOFolder;      // output sub-folder, folder form ("a\b\")
  std::string CtrlIFiles;       // input (template) file(s)
  std::string CtrlIFolder;      // input sub-folder, folder form
  std::string CtrlCond;         // condition
  std::string CtrlTagExt;
  std::string CtrlParm;  // parameter text
  bool CtrlSpace = true;
  bool CtrlGen = false;    // set by generation, never read from the file
  std::string CtrlExt;     // extension the control belongs to
  std::string CtrlAction;  // merge action of extension control files
  bool CtrlOverwrite = true;
  // Where the control element stands in its control file (for messages).
  SourceOrigin origin;

  // The control's sessions, created on first use.
  AGPSessions& Sessions();

  // Fills the control from a control element: condition emptied, space and
  // overwrite back to True, then the attributes, then the sessions.
  void Load(const pugi::xml_node& element);

  // A folder attribute in folder form: "/" becomes "\", one leading "\" goes,
  // and a "\" ends the result ("/images" -> "images\"). An empty value, or
  // one that is only a separator, stays empty.
  static std::string FolderForm(std::string_view value);

  const ClassInfo* classInfo() const override;

 private:
  Ref<AGPSessions> sessions_;
};

class AGPControls : public Dispatch {
 public:
  // Loads a control file. On a file that cannot be read or parsed, or whose
  // document element is not the product's, ProjErr gets the reason and the
  // result is false.
  bool LoadControls(std::string_view file);
  // The same from the file's bytes.
  // `file` names the file for the origins of the controls and sessions.
  bool LoadControlsFromBytes(std::string_view bytes, std::string_view file = {});

  const std::string& ProdDate() const noexcept { return prodDate_; }
  const std::string& ProdVersion() const noexcept { return prodVersion_; }  // the template version
  const std::string& ProdDesc() const noexcept { return prodDesc_; }
  const std::string& ProdAuthor() const noexcept { return prodAuthor_; }

  int32_t Count() const noexcept { return static_cast<int32_t>(items_.size()); }
  // The control at `index` (1..Count), which becomes the current one; null
  // outside, leaving the current index as it was.
  AGPControl* Item(int32_t index);
  // Index of the control Item handed out last; 0 before the first.
  int16_t curIndex() const noexcept { return curIndex_; }

  // True when a control has this CtrlID (compared exactly).
  bool ControlExist(std::string_view id) const;
  // Appends a copy of `ctrl` with copies of its sessions (which take the
  // control's extension name). False when the id exists already.
  bool AddControl(AGPControl& ctrl);
  // Removes the first control with this id.
  bool DeleteControl(std::string_view id);

  const ClassInfo* classInfo() const override;

 private:
  std::vector<Ref<AGPControl>> items_;
  int16_t curIndex_ = 0;
  std::string prodDate_;
  std::string prodVersion_;
  std::string prodDesc_;
  std::string prodAuthor_;
};

}  // namespace tw
