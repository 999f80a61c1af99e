#include "schema/defaults.h"

#include "automation/text.h"
#include "core/project_file.h"
#include "model/database.h"
#include "model/field.h"
#include "model/make_var_name.h"
#include "model/table.h"
#include "schema/ado_types.h"
#include "schema/sql_parser.h"
#include "support/engine_context.h"

namespace tw {

namespace {

bool isIntegerType(int16_t t) {
  switch (t) {
    case 20:
    case 3:
    case 2:
    case 16:
    case 21:
    case 19:
    case 18:
    case 17:
      return true;
    default:
      return false;
  }
}

bool isDateStamp(int16_t t) { return t == 7 || t == 133 || t == 135; }

Variant integer(int v) { return Variant::integer(static_cast<int16_t>(v)); }

// The value line of a stored value and its display text.
std::string tagLine(std::string_view value, std::string_view display) {
  return "\"" + std::string(value) + "\",\"" + std::string(display) + "\"";
}

void SetTagDefaults(AGPField& f, int16_t type) {
  if (f.flag("FldAutoIncrement")) {
    f.setSetting("FldHtmlTag", Variant("NO"));
    return;
  }
  switch (type) {
    case 11:
      f.setSetting("FldHtmlTag", Variant("RADIO"));
      if (DBKindOf(engine().dbmsName) == 1)
        f.setSetting("FldTagValues", Variant(tagLine("Yes", "Yes") + "\r\n" + tagLine("No", "No")));
      else
        f.setSetting("FldTagValues", Variant(tagLine("1", "Yes") + "\r\n" + tagLine("0", "No")));
      return;
    case 201:
    case 203:
      f.setSetting("FldHtmlTag", Variant("TEXTAREA"));
      f.setSetting("FldTagCols", integer(35));
      f.setSetting("FldTagRows", integer(4));
      return;
    case 200:
    case 202:
      f.setSetting("FldHtmlTag", Variant("TEXT"));
      f.setSetting("FldTagSize", integer(30));
      f.setSetting("FldTagMaxLength", Variant::long_(f.int32("FldSize")));
      return;
    case 7:
    case 133:
    case 135: {
      f.setSetting("FldHtmlTag", Variant("TEXT"));
      int32_t d = engine().dateFormat;
      if (d == 5 || d == 6 || d == 7) {
        f.setSetting("FldFmtType", Variant("Date/Time"));
        f.setSetting("FldDtFormat", integer(d));
      }
      return;
    }
    case 72:
      f.setSetting("FldHtmlTag", Variant("TEXT"));
      f.setSetting("FldTagSize", integer(38));
      f.setSetting("FldTagMaxLength", Variant::long_(38));
      return;
    case 205:
      f.setSetting("FldHtmlTag", Variant("FILE"));
      f.setSetting("FldTagSize", integer(30));
      f.setSetting("FldHrefFld", Variant(f.FldName()));
      return;
    default:
      f.setSetting("FldHtmlTag", Variant("TEXT"));
      f.setSetting("FldTagSize", integer(30));
      return;
  }
}

// A column the database fills in when a new record leaves it out: any
// default, the empty text included; DEFAULT NULL and none are no default.
bool hasDatabaseDefault(const AGPField& f) {
  Variant value = f.setting("FldDefault");
  return !value.isEmpty() && !value.isNull();
}

void SetValidateDefaults(AGPField& f, int16_t type) {
  // A NOT NULL column with a default may be left empty on a form.
  if (f.flag("FldReq") && !hasDatabaseDefault(f)) f.setSetting("FldRequired", Variant(true));
  const char* validate = nullptr;
  if (isIntegerType(type))
    validate = "INTEGER";
  else if (type == 6 || type == 14 || type == 5 || type == 131 || type == 4)
    validate = "FLOAT";
  else if (type == 134)
    validate = "TIME";
  else if (type == 72)
    validate = "GUID";
  else if (isDateStamp(type)) {
    switch (engine().dateFormat) {
      case 5:
        validate = "DATE";
        break;
      case 6:
        validate = "USDATE";
        break;
      case 7:
        validate = "EURODATE";
        break;
      default:
        break;
    }
  }
  if (validate) f.setSetting("FldValidate", Variant(validate));
}

void SetSearchOprDefaults(AGPField& f, int16_t type, int16_t native) {
  bool like = false;
  if (native != 247 && native != 248) {
    switch (type) {
      case 8:
      case 129:
      case 201:
      case 203:
      case 200:
      case 202:
      case 130:
        like = true;
        break;
      default:
        break;
    }
  }
  f.setSetting("FldSrchOpr", Variant(like ? "LIKE" : "="));
}

void SetSearchDefaults(AGPField& f) { f.setSetting("FldSearch", Variant(false)); }

void SetBasicSearchDefault(AGPField& f, int16_t type) {
  bool basic = false;
  if (f.flag("FldSupport")) {
    switch (type) {
      case 201:
      case 203:
      case 200:
      case 202:
      case 129:
      case 130: {
        std::string tag = f.str("FldHtmlTag");
        basic = !(tag == "SELECT" || tag == "RADIO" || tag == "CHECKBOX");
        break;
      }
      default:
        break;
    }
  }
  f.setSetting("FldBasicSearch", Variant(basic));
}

}  // namespace

std::string NameToCaption(std::string_view name) {
  std::string out;
  bool previousUpper = true;
  bool previousSeparator = true;
  size_t pos = 0;
  while (pos < name.size()) {
    size_t start = pos;
    char32_t c = decodeUtf8(name, pos);
    bool separator = c == U' ' || c == U'-' || c == U'_';
    bool startsWord = false;
    if (separator) {
      previousUpper = true;
    } else {
      bool upper = upperCodePoint(c) == c;
      startsWord = upper && !previousUpper;
      previousUpper = upper;
    }
    if ((separator || startsWord) && !previousSeparator) out += ' ';
    if (!separator) out.append(name.substr(start, pos - start));
    previousSeparator = separator || startsWord;
  }
  return out;
}

void SetFieldType(AGPField& f, int16_t type) {
  f.setSetting("FldType", Variant::integer(type));
  if (ado::isNumericType(type)) {
    f.setSetting("FldSupport", Variant(true));
    f.setSetting("FldQuoteS", Variant(""));
    f.setSetting("FldQuoteE", Variant(""));
  } else if (ado::isQuotedType(type)) {
    f.setSetting("FldSupport", Variant(type != 205));
    const char* quote = "'";
    if (DBKindOf(engine().dbmsName) == 1 && (type == 7 || type == 133 || type == 134 || type == 135))
      quote = "#";
    f.setSetting("FldQuoteS", Variant(quote));
    f.setSetting("FldQuoteE", Variant(quote));
  } else {
    f.setSetting("FldSupport", Variant(false));
  }
}

void LoadFldDefault(AGPField& f) {
  // 1. Fixed values.
  f.setSetting("FldFmtType", Variant("None"));
  f.setSetting("FldIncLeadDigit", integer(-2));
  f.setSetting("FldUseParen", integer(-2));
  f.setSetting("FldGpDigits", integer(-2));
  f.setSetting("FldSelectType", Variant("Values"));
  f.setSetting("FldViewTag", Variant("FORMATTED TEXT"));
  f.setSetting("FldTagAPrefix", Variant("None"));
  f.setSetting("FldRequired", Variant(false));
  f.setSetting("FldPopCalendar", Variant(false));
  f.setSetting("FldHtmlTagReadOnly", Variant(false));
  f.setSetting("FldSrchOpr2", Variant(""));
  f.setSetting("FldOrderBy", integer(0));
  f.setSetting("FldOrder", Variant(""));
  f.setSetting("FldGroupBy", integer(0));
  f.setSetting("FldGroupByType", Variant(""));
  f.setSetting("FldGroupByInterval", Variant::long_(0));
  f.setSetting("FldRowID", integer(0));
  f.setSetting("FldColumnID", integer(0));
  f.setSetting("FldColumnDateType", Variant(""));
  f.setSetting("FldColumnDateSelect", Variant(false));
  f.setSetting("FldSummaryID", integer(0));
  f.setSetting("FldSummaryType", Variant(""));

  bool support = f.flag("FldSupport");
  int16_t type = f.int16("FldType");
  // 2.-7. What is generated and shown.
  f.setSetting("FldGenerate", Variant(support));
  f.setSetting("FldVar", Variant(MakeVarName(f.FldName(), AGPField::kVarPrefix)));
  f.setSetting("FldList", Variant(support && type != 201 && type != 203 && type != 205));
  f.setSetting("FldEdit", Variant(support));
  f.setSetting("FldAdd", Variant(f.flag("FldAutoIncrement") ? false : support));
  f.setSetting("FldView", Variant(support));

  // 8. Control, validation and search.
  int16_t native = f.int16("NativeDataType");
  SetTagDefaults(f, type);
  SetValidateDefaults(f, type);
  SetSearchOprDefaults(f, type, native);
  SetSearchDefaults(f);
  SetBasicSearchDefault(f, type);

  // 9. Caption.
  if (f.str("FldCaption").empty()) f.setSetting("FldCaption", Variant(NameToCaption(f.FldName())));

  // 10. Enumerations of Y and N are check boxes, other enumerations radio
  // buttons; sets always check boxes.
  if (native == 247) {
    const std::string yes = tagLine("Y", "Y");
    const std::string no = tagLine("N", "N");
    const std::string values = f.str("FldTagValues");
    bool yesNo = values == yes + "\r\n" + no || values == yes + "\r\n" + no + "\r\n" ||
                 values == no + "\r\n" + yes || values == no + "\r\n" + yes + "\r\n";
    f.setSetting("FldHtmlTag", Variant(yesNo ? "CHECKBOX" : "RADIO"));
  } else if (native == 248) {
    f.setSetting("FldHtmlTag", Variant("CHECKBOX"));
  }
}

void LoadTableDefault(AGPTable& t) {
  std::string name = t.TblName();
  std::string type = t.str("TblType");
  t.setSetting("TblCaption", Variant(NameToCaption(name)));
  t.setSetting(AGPTable::kVarSetting, Variant(MakeVarName(name, "")));
  t.setSetting("TblDefault", Variant(false));
  t.setSetting("TblList", Variant(true));
  bool isTable = type == "TABLE";
  for (const char* page : {"TblAdd", "TblView", "TblEdit", "TblDelete", "TblCopy"})
    t.setSetting(page, Variant(isTable));
  bool isReport = type == "REPORT";
  t.setSetting("TblSrchType", Variant(isReport ? "NONE" : "BASIC"));
  t.setSetting("TblSecurity", engine().secDefault);
  if (!isReport) {
    t.setSetting("TblGen", Variant(false));
    t.setSetting("TblRptSrc", Variant(name));
    t.setSetting("TblReportType", Variant("list"));
  }
}

void ParseCustomSql(AGPTable& t, const AGPDatabase* database) {
  auto parser = makeRef<SQLParser>();
  if (database && database->hasTables()) {
    AGPTables& tables = const_cast<AGPDatabase*>(database)->tables();
    parser->setColumnLookup([&tables](std::string_view table, std::string_view column) {
      for (int32_t i = 0; i < tables.Count(); ++i) {
        AGPTable* candidate = tables.at(i);
        if (candidate->TblName() != table || !candidate->hasFields()) continue;
        AGPFields& fields = candidate->Fields();
        for (int32_t j = 0; j < fields.Count(); ++j)
          if (equalsNoCase(fields.at(j)->FldName(), column)) return true;
      }
      return false;
    });
  }
  if (!parser->Parse(t.str("TblCustomSQL"), 3)) return;
  AGPFields& fields = t.Fields();
  for (int32_t i = 0; i < fields.Count(); ++i) {
    AGPField& f = *fields.at(i);
    SQLParser::FieldInfo info;
    parser->GetFieldInfo(f.FldName(), info);
    f.setSetting("FldAlias", Variant(info.alias));
    f.setSetting("FldSourceName", Variant(info.sourceName));
    f.setSetting("FldSourceTable", Variant(info.sourceTable));
    f.setSetting("FldSourceField", Variant(info.sourceField));
  }
}

}  // namespace tw
