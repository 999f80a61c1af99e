// The vb... constants. Their subtypes are VBScript's: Integer for most, Long
// for colours, vbObjectError and the message box flags above 32767, String for
// the character constants.
#include <unordered_map>

#include "automation/text.h"
#include "vbs/builtins.h"

namespace tw::vbs {

namespace {

template <int16_t N>
Variant integer() {
  return Variant::integer(N);
}

template <int32_t N>
Variant long_() {
  return Variant::long_(N);
}

Variant crLf() { return Variant("\r\n"); }
Variant cr() { return Variant("\r"); }
Variant lf() { return Variant("\n"); }
Variant tab() { return Variant("\t"); }
Variant nullChar() { return Variant(std::string_view("\0", 1)); }
Variant emptyText() { return Variant(""); }
Variant formFeed() { return Variant("\f"); }
Variant verticalTab() { return Variant("\v"); }

constexpr BuiltinConstant kConstants[] = {
    // Text
    {"vbCr", cr},
    {"vbCrLf", crLf},
    {"vbFormFeed", formFeed},
    {"vbLf", lf},
    {"vbNewLine", crLf},
    {"vbNullChar", nullChar},
    {"vbNullString", emptyText},
    {"vbTab", tab},
    {"vbVerticalTab", verticalTab},
    // Comparison
    {"vbBinaryCompare", integer<0>},
    {"vbTextCompare", integer<1>},
    {"vbDatabaseCompare", integer<2>},
    // Days of the week and first week of the year
    {"vbUseSystemDayOfWeek", integer<0>},
    {"vbSunday", integer<1>},
    {"vbMonday", integer<2>},
    {"vbTuesday", integer<3>},
    {"vbWednesday", integer<4>},
    {"vbThursday", integer<5>},
    {"vbFriday", integer<6>},
    {"vbSaturday", integer<7>},
    {"vbUseSystem", integer<0>},
    {"vbFirstJan1", integer<1>},
    {"vbFirstFourDays", integer<2>},
    {"vbFirstFullWeek", integer<3>},
    // Date formats
    {"vbGeneralDate", integer<0>},
    {"vbLongDate", integer<1>},
    {"vbShortDate", integer<2>},
    {"vbLongTime", integer<3>},
    {"vbShortTime", integer<4>},
    // Tristate
    {"vbTrue", integer<-1>},
    {"vbFalse", integer<0>},
    {"vbUseDefault", integer<-2>},
    // VarType
    {"vbEmpty", integer<0>},
    {"vbNull", integer<1>},
    {"vbInteger", integer<2>},
    {"vbLong", integer<3>},
    {"vbSingle", integer<4>},
    {"vbDouble", integer<5>},
    {"vbCurrency", integer<6>},
    {"vbDate", integer<7>},
    {"vbString", integer<8>},
    {"vbObject", integer<9>},
    {"vbError", integer<10>},
    {"vbBoolean", integer<11>},
    {"vbVariant", integer<12>},
    {"vbDataObject", integer<13>},
    {"vbDecimal", integer<14>},
    {"vbByte", integer<17>},
    {"vbArray", integer<8192>},
    // Errors
    {"vbObjectError", long_<static_cast<int32_t>(0x80040000u)>},
    // Colours
    {"vbBlack", long_<0x000000>},
    {"vbRed", long_<0x0000FF>},
    {"vbGreen", long_<0x00FF00>},
    {"vbYellow", long_<0x00FFFF>},
    {"vbBlue", long_<0xFF0000>},
    {"vbMagenta", long_<0xFF00FF>},
    {"vbCyan", long_<0xFFFF00>},
    {"vbWhite", long_<0xFFFFFF>},
    // MsgBox buttons, icons, defaults and modality
    {"vbOKOnly", integer<0>},
    {"vbOKCancel", integer<1>},
    {"vbAbortRetryIgnore", integer<2>},
    {"vbYesNoCancel", integer<3>},
    {"vbYesNo", integer<4>},
    {"vbRetryCancel", integer<5>},
    {"vbCritical", integer<16>},
    {"vbQuestion", integer<32>},
    {"vbExclamation", integer<48>},
    {"vbInformation", integer<64>},
    {"vbDefaultButton1", integer<0>},
    {"vbDefaultButton2", integer<256>},
    {"vbDefaultButton3", integer<512>},
    {"vbDefaultButton4", integer<768>},
    {"vbApplicationModal", integer<0>},
    {"vbSystemModal", integer<4096>},
    {"vbMsgBoxHelpButton", long_<16384>},
    {"vbMsgBoxSetForeground", long_<65536>},
    {"vbMsgBoxRight", long_<524288>},
    {"vbMsgBoxRtlReading", long_<1048576>},
    // MsgBox results
    {"vbOK", integer<1>},
    {"vbCancel", integer<2>},
    {"vbAbort", integer<3>},
    {"vbRetry", integer<4>},
    {"vbIgnore", integer<5>},
    {"vbYes", integer<6>},
    {"vbNo", integer<7>},
};

}  // namespace

std::span<const BuiltinConstant> builtinConstants() { return kConstants; }

const BuiltinConstant* findConstant(std::string_view name) {
  static const auto index = [] {
    std::unordered_map<std::string_view, const BuiltinConstant*, NoCaseHash, NoCaseEqual> m;
    for (const BuiltinConstant& c : kConstants) m.emplace(c.name, &c);
    return m;
  }();
  auto it = index.find(name);
  return it == index.end() ? nullptr : it->second;
}

}  // namespace tw::vbs
