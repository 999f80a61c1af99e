#pragma once
// Table and field settings the page pass reads for every table, field and
// control: keys found once per layout instead of by name at each read.
#include "model/property.h"

namespace tw::keys {

inline const SettingKey TblKey{"TblKey"};
inline const SettingKey TblBlob{"TblBlob"};
inline const SettingKey TblGen{"TblGen"};
inline const SettingKey TblSysGenUnits{"TblSysGenUnits"};
inline const SettingKey TblType{"TblType"};
inline const SettingKey TblOverwrite{"TblOverwrite"};
inline const SettingKey TblCustomError{"TblCustomError"};
inline const SettingKey FldHtmlTag{"FldHtmlTag"};
inline const SettingKey FldGenerate{"FldGenerate"};

}  // namespace tw::keys
