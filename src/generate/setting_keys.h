#pragma once
// Settings the generator reads again and again (for every page, table, field
// or control): keys found once per layout instead of by name at each read.
#include "model/property.h"

namespace tw::keys {

// The project's.
inline const SettingKey AppChartCssFile{"AppChartCssFile"};
inline const SettingKey AppCompat{"AppCompat"};
inline const SettingKey AppCssFolder{"AppCssFolder"};
inline const SettingKey AppRootFolder{"AppRootFolder"};
inline const SettingKey CSS{"CSS"};
inline const SettingKey CssStyles{"CssStyles"};
inline const SettingKey Destination{"Destination"};
inline const SettingKey OtherGen{"OtherGen"};
inline const SettingKey OtherOverwrite{"OtherOverwrite"};
inline const SettingKey OutputNameExt{"OutputNameExt"};
inline const SettingKey OutputNameLCase{"OutputNameLCase"};
inline const SettingKey OutputNameType{"OutputNameType"};
inline const SettingKey P_DefaultPage{"P_DefaultPage"};
inline const SettingKey P_Ext{"P_Ext"};
inline const SettingKey ProjName{"ProjName"};
inline const SettingKey PromptOnOverwrite{"PromptOnOverwrite"};
inline const SettingKey Template{"Template"};
inline const SettingKey UploadPath{"UploadPath"};

// A table's.
inline const SettingKey TblKey{"TblKey"};
inline const SettingKey TblBlob{"TblBlob"};
inline const SettingKey TblGen{"TblGen"};
inline const SettingKey TblSysGenUnits{"TblSysGenUnits"};
inline const SettingKey TblType{"TblType"};
inline const SettingKey TblOverwrite{"TblOverwrite"};
inline const SettingKey TblCustomError{"TblCustomError"};

// A field's.
inline const SettingKey FldHtmlTag{"FldHtmlTag"};
inline const SettingKey FldGenerate{"FldGenerate"};

// A chart's.
inline const SettingKey ShowChart{"ShowChart"};
inline const SettingKey ChartUseGlobalCss{"ChartUseGlobalCss"};

}  // namespace tw::keys
