// Inspection functions (Is..., TypeName, VarType), arrays, the engine's
// identity and locale, object creation, and the interactive functions.
#include <cstdio>

#include "automation/dispatch.h"
#include "vbs/lib/common.h"
#include "vbs/lib/tables.h"

namespace tw::vbs::lib {

namespace {

Variant fnIsArray(RuntimeState&, Args a) { return Variant(a[0].isArray()); }
Variant fnIsEmpty(RuntimeState&, Args a) { return Variant(a[0].isEmpty()); }
Variant fnIsNull(RuntimeState&, Args a) { return Variant(a[0].isNull()); }
Variant fnIsObject(RuntimeState&, Args a) { return Variant(a[0].isObject()); }

Variant fnIsDate(RuntimeState&, Args a) {
  const Variant& v = a[0];
  if (v.type() == vtDate) return Variant(true);
  if (!v.isString()) return Variant(false);
  double serial;
  return Variant(parseDate(v.rawString(), serial));
}

Variant fnIsNumeric(RuntimeState&, Args a) {
  Variant v;
  try {
    v = a[0].valueOf();
  } catch (const Error&) {
    return Variant(false);
  }
  switch (v.type()) {
    case vtEmpty:
    case vtBoolean:
    case vtByte:
    case vtInteger:
    case vtLong:
    case vtSingle:
    case vtDouble:
    case vtCurrency:
    case vtDecimal:
      return Variant(true);
    case vtString: {
      double d;
      return Variant(parseNumber(v.rawString(), d));
    }
    default:
      return Variant(false);
  }
}

std::string_view subtypeName(VarType t) {
  switch (t) {
    case vtEmpty:
      return "Empty";
    case vtNull:
      return "Null";
    case vtInteger:
      return "Integer";
    case vtLong:
      return "Long";
    case vtSingle:
      return "Single";
    case vtDouble:
      return "Double";
    case vtCurrency:
      return "Currency";
    case vtDate:
      return "Date";
    case vtString:
      return "String";
    case vtObject:
      return "Object";
    case vtError:
      return "Error";
    case vtBoolean:
      return "Boolean";
    case vtVariant:
      return "Variant";
    case vtDecimal:
      return "Decimal";
    case vtByte:
      return "Byte";
    default:
      return "Unknown";
  }
}

Variant fnTypeName(RuntimeState&, Args a) {
  const Variant& v = a[0];
  if (v.isObject()) {
    if (v.isNothing()) return Variant("Nothing");
    return Variant(v.rawObject()->typeName());
  }
  if (v.isArray()) return Variant(std::string(subtypeName(v.rawArray()->elemType)) + "()");
  return Variant(subtypeName(v.type()));
}

// An object with a default member reports the type of its default value.
Variant fnVarType(RuntimeState&, Args a) {
  const Variant& v = a[0];
  uint16_t type = v.varType();
  if (v.isObject() && !v.isNothing()) {
    try {
      type = v.valueOf().varType();
    } catch (const Error&) {
      type = vtObject;
    }
  }
  return Variant::integer(static_cast<int16_t>(type));
}

// ---- Arrays

Variant fnArray(RuntimeState&, Args a) { return Variant::array(std::vector<Variant>(a.begin(), a.end())); }

const SafeArray& arrayArg(const Variant& v) {
  if (!v.isArray()) raise(kErrTypeMismatch);
  return *v.rawArray();
}

Variant fnLBound(RuntimeState&, Args a) {
  const SafeArray& arr = arrayArg(a[0]);
  return Variant::long_(arr.lbound(longArg(a, 1, 1)));
}

Variant fnUBound(RuntimeState&, Args a) {
  const SafeArray& arr = arrayArg(a[0]);
  return Variant::long_(arr.ubound(longArg(a, 1, 1)));
}

// ---- Engine identity and locale

Variant fnScriptEngine(RuntimeState&, Args) { return Variant("VBScript"); }
Variant fnScriptEngineMajorVersion(RuntimeState&, Args) { return Variant::long_(5); }
Variant fnScriptEngineMinorVersion(RuntimeState&, Args) { return Variant::long_(8); }
Variant fnScriptEngineBuildVersion(RuntimeState&, Args) { return Variant::long_(16384); }

constexpr int32_t kSystemLocale = 1033;

struct LocaleName {
  std::string_view name;
  int32_t lcid;
};

constexpr LocaleName kLocaleNames[] = {
    {"da-dk", 1030}, {"de-at", 3079}, {"de-ch", 2055}, {"de-de", 1031}, {"en-au", 3081}, {"en-ca", 4105},
    {"en-gb", 2057}, {"en-ie", 6153}, {"en-nz", 5129}, {"en-us", 1033}, {"es-es", 3082}, {"es-mx", 2058},
    {"fi-fi", 1035}, {"fr-be", 2060}, {"fr-ca", 3084}, {"fr-ch", 4108}, {"fr-fr", 1036}, {"it-it", 1040},
    {"ja-jp", 1041}, {"ko-kr", 1042}, {"nb-no", 1044}, {"nl-be", 2067}, {"nl-nl", 1043}, {"pl-pl", 1045},
    {"pt-br", 1046}, {"pt-pt", 2070}, {"ru-ru", 1049}, {"sv-se", 1053}, {"tr-tr", 1055}, {"zh-cn", 2052},
    {"zh-tw", 1028},
};

// SetLocale takes a locale id or a name such as "en-gb"; 0 or Empty means the
// system locale. Every locale formats as en-US here; the id is kept for
// GetLocale.
Variant fnSetLocale(RuntimeState& st, Args a) {
  int32_t previous = st.locale;
  int32_t lcid = kSystemLocale;
  if (given(a, 0)) {
    ArgValue v(a[0]);
    if (v->isNull()) raise(kErrInvalidNull);
    if (v->isString()) {
      std::string_view name = trimBlanks(v->rawString());
      double number;
      if (name.empty()) {
        lcid = kSystemLocale;
      } else if (parseNumber(name, number)) {
        lcid = v->toLong();
      } else {
        lcid = 0;
        for (const LocaleName& l : kLocaleNames)
          if (equalsNoCase(l.name, name)) lcid = l.lcid;
        if (lcid == 0) raise(kErrInvalidCall);
      }
    } else if (!v->isEmpty()) {
      lcid = v->toLong();
    }
    if (lcid < 0) raise(kErrInvalidCall);
    if (lcid == 0) lcid = kSystemLocale;
  }
  st.locale = lcid;
  return Variant::long_(previous);
}

Variant fnGetLocale(RuntimeState& st, Args) { return Variant::long_(st.locale); }

// ---- Objects

Variant fnCreateObject(RuntimeState&, Args a) {
  ArgText progId(a[0]);
  if (given(a, 1)) {
    ArgText server(a[1]);
    if (!server.isNull() && !server.view().empty()) raise(kErrCantCreateObject);
  }
  return Variant(createObject(progId.require()));
}

Variant fnGetObject(RuntimeState&, Args) { raise(kErrCantCreateObject); }

Variant fnLoadPicture(RuntimeState&, Args) { raise(481); }

// ---- Interaction: the engine runs without a user, so MsgBox writes its
// prompt to standard error and answers OK, and InputBox answers as if the
// user cancelled (an empty string).

Variant fnMsgBox(RuntimeState&, Args a) {
  ArgText prompt(a[0]);
  std::fprintf(stderr, "%.*s\n", static_cast<int>(prompt.require().size()), prompt.view().data());
  return Variant::integer(1);
}

Variant fnInputBox(RuntimeState&, Args a) {
  ArgText prompt(a[0]);
  std::fprintf(stderr, "%.*s\n", static_cast<int>(prompt.require().size()), prompt.view().data());
  return Variant("");
}

constexpr BuiltinFunction kFunctions[] = {
    {"Array", 0, -1, fnArray},
    {"CreateObject", 1, 2, fnCreateObject},
    {"GetLocale", 0, 0, fnGetLocale},
    {"GetObject", 0, 2, fnGetObject},
    {"InputBox", 1, 7, fnInputBox},
    {"IsArray", 1, 1, fnIsArray},
    {"IsDate", 1, 1, fnIsDate},
    {"IsEmpty", 1, 1, fnIsEmpty},
    {"IsNull", 1, 1, fnIsNull},
    {"IsNumeric", 1, 1, fnIsNumeric},
    {"IsObject", 1, 1, fnIsObject},
    {"LBound", 1, 2, fnLBound},
    {"LoadPicture", 1, 1, fnLoadPicture},
    {"MsgBox", 1, 5, fnMsgBox},
    {"ScriptEngine", 0, 0, fnScriptEngine},
    {"ScriptEngineBuildVersion", 0, 0, fnScriptEngineBuildVersion},
    {"ScriptEngineMajorVersion", 0, 0, fnScriptEngineMajorVersion},
    {"ScriptEngineMinorVersion", 0, 0, fnScriptEngineMinorVersion},
    {"SetLocale", 0, 1, fnSetLocale},
    {"TypeName", 1, 1, fnTypeName},
    {"UBound", 1, 2, fnUBound},
    {"VarType", 1, 1, fnVarType},
};

}  // namespace

std::span<const BuiltinFunction> inspectionFunctions() { return kFunctions; }

}  // namespace tw::vbs::lib
