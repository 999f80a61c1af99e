// Conditions of controls and sessions:
//
//   table/TblType/eq/TABLE|VIEW,proj/AppCompat/eq/true,custom:IsSecure/boolean/eq/true
//
// Items separated by "," must all hold. An item names an object ("ctrl",
// "proj", "db", "table", "field"), one of its settings, an operator and the
// values to compare with, separated by "|"; the item holds when one value
// satisfies the operator. "custom:" items run a system procedure of the
// template and compare its result converted to the given type.
#include <string>

#include "automation/text.h"
#include "automation/variant_ops.h"
#include "core/agp.h"
#include "generate/generator.h"
#include "generate/setting_keys.h"
#include "generate/text_util.h"
#include "model/field.h"
#include "model/table.h"
#include "script/agscript.h"
#include "script/control.h"
#include "support/convert.h"
#include "support/engine_context.h"

namespace tw {

namespace {

// The value of a control field named by a condition; Empty with `known`
// false for names that are not control fields.
Variant controlField(const AGPControl& c, std::string_view name, bool& known) {
  known = true;
  const std::string n = toLower(name);
  if (n == "ctrlid") return Variant(c.CtrlID);
  if (n == "ctrltype") return Variant(c.CtrlType);
  if (n == "ctrlofile") return Variant(c.CtrlOFile);
  if (n == "ctrlofilecompat") return Variant(c.CtrlOFileCompat);
  if (n == "ctrloext") return Variant(c.CtrlOExt);
  if (n == "ctrlofolder") return Variant(c.CtrlOFolder);
  if (n == "ctrlifiles") return Variant(c.CtrlIFiles);
  if (n == "ctrlifolder") return Variant(c.CtrlIFolder);
  if (n == "ctrlcond") return Variant(c.CtrlCond);
  if (n == "ctrltagext") return Variant(c.CtrlTagExt);
  if (n == "ctrlparm") return Variant(c.CtrlParm);
  if (n == "ctrlspace") return Variant(c.CtrlSpace);
  if (n == "ctrlgen") return Variant(c.CtrlGen);
  if (n == "ctrlext") return Variant(c.CtrlExt);
  if (n == "ctrlaction") return Variant(c.CtrlAction);
  if (n == "ctrloverwrite") return Variant(c.CtrlOverwrite);
  known = false;
  return Variant();
}

// Whether `actual` satisfies `op` against `value`. Unknown operators hold.
bool satisfies(const Variant& actual, std::string_view op, const Variant& value) {
  try {
    if (equalsNoCase(op, "in") || equalsNoCase(op, "ni")) {
      const std::string a = toLower(actual.toString());
      const std::string v = toLower(value.toString());
      const bool found = a.find(v) != std::string::npos;
      return equalsNoCase(op, "in") ? found : !found;
    }
    CompareResult r;
    if (equalsNoCase(op, "eq")) {
      r = compare(actual, value);
      return r == kCompareEqual;
    }
    if (equalsNoCase(op, "ne")) {
      r = compare(actual, value);
      return r != kCompareEqual && r != kCompareNull;
    }
    if (equalsNoCase(op, "gt")) return compare(actual, value) == kCompareGreater;
    if (equalsNoCase(op, "ge")) {
      r = compare(actual, value);
      return r == kCompareGreater || r == kCompareEqual;
    }
    if (equalsNoCase(op, "lt")) return compare(actual, value) == kCompareLess;
    if (equalsNoCase(op, "le")) {
      r = compare(actual, value);
      return r == kCompareLess || r == kCompareEqual;
    }
  } catch (const Error&) {
    // Values that cannot be compared (arrays, texts of objects) do not match.
    return false;
  }
  return true;
}

}  // namespace

Variant Generator::ResolveConditionValue(AGProperties& store, std::string_view text, std::string_view type) {
  std::string_view t = trimBlanks(text);
  Variant value;
  if (!t.empty() && t.front() == '%') {
    int32_t index = store.findKey(t.substr(1));
    if (index >= 0) value = store.valueAt(index);
  } else {
    value = Variant(t);
  }
  return ConvertByTypeName(value, type);
}

std::string Generator::EvaluateCustomCondition(std::string_view module) {
  AGScript* eng = currentScriptEngine();
  if (!eng) return {};
  Variant result = eng->BuildCode(Variant(module), Variant(""));
  if (!engine().projErr.empty()) return {};
  try {
    return result.toString();
  } catch (const Error&) {
    return {};
  }
}

bool Generator::EvaluateCondition(std::string_view cond) {
  if (cond.empty()) return true;
  for (std::string_view rawItem : gen::splitText(cond, ',')) {
    std::string_view item = trimBlanks(rawItem);
    const bool custom = gen::startsWithNoCase(item, "custom:");
    if (custom) item = trimBlanks(item.substr(7));
    std::vector<std::string_view> parts = gen::splitText(item, '/');
    if (parts.size() != 4) continue;
    const std::string_view object = trimBlanks(parts[0]);
    const std::string_view property = trimBlanks(parts[1]);
    const std::string_view op = trimBlanks(parts[2]);
    const std::vector<std::string_view> values = gen::splitText(parts[3], '|');

    Variant actual;
    // How each listed value becomes a comparison value.
    enum class Kind { Custom, Control, Store } kind;
    AGProperties* store = nullptr;
    std::string dataType;
    if (custom) {
      kind = Kind::Custom;
      dataType = std::string(property);
      actual = ConvertByTypeName(Variant(EvaluateCustomCondition(object)), dataType);
    } else if (equalsNoCase(object, "ctrl")) {
      kind = Kind::Control;
      AGPControls& all = controls();
      AGPControl* c = all.Item(all.curIndex());
      if (!c) continue;
      bool known = false;
      actual = controlField(*c, property, known);
      if (!known) continue;
    } else {
      kind = Kind::Store;
      if (equalsNoCase(object, "proj")) {
        store = &proj_.Properties();
      } else if (equalsNoCase(object, "db")) {
        if (proj_.DBCnt() == 0) continue;
        store = &proj_.db()->Properties();
      } else if (equalsNoCase(object, "table")) {
        if (!state_.currentTable) continue;
        store = &state_.currentTable->Properties();
      } else if (equalsNoCase(object, "field")) {
        if (!state_.currentField) continue;
        store = &state_.currentField->Properties();
      } else {
        continue;
      }
      // A setting the object does not have makes the item hold, as an
      // unknown object does.
      int32_t index = store->findKey(property);
      if (index < 0) continue;
      actual = store->valueAt(index);
      dataType = store->meta(index).dataType;
    }

    bool holds = false;
    for (std::string_view v : values) {
      Variant value;
      switch (kind) {
        case Kind::Custom:
          value = ConvertByTypeName(Variant(v), dataType);
          break;
        case Kind::Control:
          value = Variant(UnquoteString(v));
          // The Boolean fields compare with "true" and "false" as Booleans.
          if (actual.type() == vtBoolean) value = ConvertByTypeName(value, "boolean");
          break;
        case Kind::Store:
          value = ResolveConditionValue(*store, v, dataType);
          break;
      }
      if (satisfies(actual, op, value)) {
        holds = true;
        break;
      }
    }
    if (!holds) return false;
  }
  return true;
}

bool Generator::ControlAppliesToTable(AGPTable& table, std::string_view id, std::string_view type,
                                      std::string_view cond) {
  bool applies = table.flag(keys::TblGen);
  const std::string units = table.str(keys::TblSysGenUnits);
  if (!units.empty()) {
    for (std::string_view unit : gen::splitText(units, ','))
      if (unit == id) applies = true;
  }
  if (applies) {
    const std::string kind = table.str(keys::TblType);
    if ((kind == "CUSTOMVIEW" || kind == "VIEW" || kind == "TABLE") && type == "table")
      applies = true;
    else
      applies = kind == "REPORT" && type == "report";
  }
  if (applies) applies = EvaluateCondition(cond);
  return applies;
}

}  // namespace tw
