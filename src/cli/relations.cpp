// The schema step after `new` and `sync`: foreign keys, value lists, yes/no
// and date columns and readable captions (see relations.h).
#include "cli/relations.h"

#include <algorithm>
#include <vector>

#include "automation/text.h"
#include "cli/cli.h"
#include "model/database.h"
#include "model/field.h"
#include "schema/defaults.h"
#include "schema/schema.h"

namespace tw::cli {

namespace {

bool isShortText(int32_t type) {
  return type == 200 || type == 202 || type == 129 || type == 130 || type == 8;
}
bool isLongText(int32_t type) { return type == 201 || type == 203; }
bool isDateOrTime(int32_t type) { return type == 7 || type == 133 || type == 134 || type == 135; }

// The words of a name in lower case: "CategoryName" and "category_name" both
// give category, name.
std::vector<std::string> lowerWords(std::string_view name) {
  std::vector<std::string> words;
  std::string caption = NameToCaption(name);
  size_t start = 0;
  while (start < caption.size()) {
    size_t blank = caption.find(' ', start);
    if (blank == std::string::npos) blank = caption.size();
    if (blank > start) words.push_back(toLower(std::string_view(caption).substr(start, blank - start)));
    start = blank + 1;
  }
  return words;
}

// The caption of a lookup: the title without a trailing "ID".
std::string lookupCaption(std::string_view name) {
  std::string title = titleCaption(name);
  size_t blank = title.rfind(' ');
  if (blank != std::string::npos && title.substr(blank + 1) == "ID") title.erase(blank);
  return title;
}

// Sets `name` to `value` while it still holds `engineValue`.
bool replaceDefault(SettingsOwner& object, std::string_view name, const Variant& engineValue, const Variant& value) {
  Variant current = object.setting(name);
  bool same = engineValue.type() == vtBoolean ? current.toBool() == engineValue.toBool()
                                   : current.toString() == engineValue.toString();
  if (!same || current.toString() == value.toString()) return false;
  object.setSetting(name, value);
  return true;
}

std::string joined(const std::vector<std::string>& items, std::string_view separator) {
  std::string out;
  for (const std::string& item : items) {
    if (!out.empty()) out += separator;
    out += item;
  }
  return out;
}

int valueCount(const std::string& lines) {
  if (lines.empty()) return 0;
  int n = 1;
  for (size_t i = lines.find("\r\n"); i != std::string::npos; i = lines.find("\r\n", i + 2)) ++n;
  return n;
}

class RelationStep {
 public:
  RelationStep(AGP& proj, const RelationScope& scope) : db_(database(proj)), scope_(scope) {}

  RelationCounts run() {
    for (AGPTable* t : db_.tables().inSequence()) {
      if (!t->flag("TblLoaded")) continue;
      std::string type = t->str("TblType");
      if (type != "TABLE" && type != "VIEW") continue;
      auto info = bridgeReadTable(t->TblName());
      bool wholeTable = scope_.everything || scope_.tables.count(t->TblName()) > 0;
      if (wholeTable) {
        if (replaceDefault(*t, "TblCaption", Variant(NameToCaption(t->TblName())),
                           Variant(titleCaption(t->TblName()))))
          ++counts_.captions;
        if (info) masterLinks(*t, *info);
      }
      for (AGPField* f : t->Fields().inSequence()) {
        if (!wholeTable && scope_.fields.count({t->TblName(), f->str("FldName")}) == 0) continue;
        field(*f, info.get());
      }
    }
    return counts_;
  }

 private:
  // A loaded table of the project with that name.
  AGPTable* loaded(const std::string& name) {
    AGPTable* t = db_.tables().Item(Variant(name));
    return t && t->flag("TblLoaded") ? t : nullptr;
  }

  bool hasFields(AGPTable& t, const std::vector<std::string>& names) {
    for (const std::string& n : names)
      if (!t.Fields().Item(Variant(n))) return false;
    return true;
  }

  void masterLinks(AGPTable& t, const BridgeTableInfo& info) {
    if (!t.str("TblMasterTbl").empty() || !t.str("TblMasterFld").empty() || !t.str("TblDetailFld").empty())
      return;
    // Links in the order of their first columns in the table.
    std::vector<const BridgeForeignKey*> keys;
    for (const BridgeForeignKey& fk : info.foreignKeys) keys.push_back(&fk);
    auto position = [&](const BridgeForeignKey* fk) {
      AGPField* f = fk->columns.empty() ? nullptr : t.Fields().Item(Variant(fk->columns[0]));
      return f ? f->int32("FldSeq") : 0;
    };
    std::stable_sort(keys.begin(), keys.end(),
                     [&](const BridgeForeignKey* a, const BridgeForeignKey* b) { return position(a) < position(b); });
    std::vector<std::string> masters, masterFields, detailFields;
    for (const BridgeForeignKey* key : keys) {
      const BridgeForeignKey& fk = *key;
      AGPTable* master = loaded(fk.refTable);
      if (!master || !hasFields(*master, fk.refColumns) || !hasFields(t, fk.columns)) continue;
      masters.push_back(master->TblName());
      masterFields.push_back(joined(fk.refColumns, "+"));
      detailFields.push_back(joined(fk.columns, "+"));
    }
    if (masters.empty()) return;
    t.setSetting("TblMasterTbl", Variant(joined(masters, ",")));
    t.setSetting("TblMasterFld", Variant(joined(masterFields, ",")));
    t.setSetting("TblDetailFld", Variant(joined(detailFields, ",")));
    counts_.links += static_cast<int>(masters.size());
  }

  // The one-column foreign key of a column into a loaded table.
  const BridgeForeignKey* lookupKey(const BridgeTableInfo* info, const std::string& column) {
    if (!info) return nullptr;
    for (const BridgeForeignKey& fk : info->foreignKeys) {
      if (fk.columns.size() != 1 || fk.columns[0] != column) continue;
      AGPTable* target = loaded(fk.refTable);
      if (target && target->Fields().Item(Variant(fk.refColumns[0]))) return &fk;
    }
    return nullptr;
  }

  const BridgeColumn* columnOf(const BridgeTableInfo* info, const std::string& name) {
    if (!info) return nullptr;
    for (const BridgeColumn& c : info->columns)
      if (c.name == name) return &c;
    return nullptr;
  }

  // Fewer choices than this are radio buttons; more make a drop-down list.
  static constexpr int kMostRadios = 5;

  void field(AGPField& f, const BridgeTableInfo* info) {
    const std::string name = f.str("FldName");
    const int32_t type = f.int32("FldType");
    const Variant engineCaption(NameToCaption(name));
    if (const BridgeForeignKey* fk = lookupKey(info, name); fk && f.str("FldHtmlTag") == "TEXT" &&
                                                              f.str("FldTagLnkTbl").empty() &&
                                                              f.str("FldTagValues").empty()) {
      AGPTable& target = *loaded(fk->refTable);
      const std::string& key = fk->refColumns[0];
      f.setSetting("FldHtmlTag", Variant("SELECT"));
      f.setSetting("FldTagLnkTbl", Variant(target.TblName()));
      f.setSetting("FldTagLnkFld", Variant(key));
      if (f.str("FldTagLnkDisplay").empty()) f.setSetting("FldTagLnkDisplay", Variant(displayColumn(target, key)));
      replaceDefault(f, "FldSrchOpr", Variant("LIKE"), Variant("="));
      replaceDefault(f, "FldBasicSearch", Variant(true), Variant(false));
      ++counts_.lookups;
      if (replaceDefault(f, "FldCaption", engineCaption, Variant(lookupCaption(name)))) ++counts_.captions;
      return;
    }
    if (replaceDefault(f, "FldCaption", engineCaption, Variant(titleCaption(name)))) ++counts_.captions;
    if (type == 11) {
      if (replaceDefault(f, "FldHtmlTag", Variant("RADIO"), Variant("CHECKBOX"))) ++counts_.checkboxes;
      return;
    }
    if (isDateOrTime(type)) {
      if (replaceDefault(f, "FldPopCalendar", Variant(false), Variant(true))) ++counts_.dateInputs;
      return;
    }
    const int16_t native = static_cast<int16_t>(f.int32("NativeDataType"));
    if (native == 248) {  // a set: one checkbox per member
      if (f.str("FldHtmlTag") == "CHECKBOX" &&
          replaceDefault(f, "FldSelectMultiple", Variant(false), Variant(true)))
        ++counts_.choices;
      return;
    }
    if (native == 247) {  // an enumeration: radio buttons, a list when long
      if (valueCount(f.str("FldTagValues")) > kMostRadios &&
          replaceDefault(f, "FldHtmlTag", Variant("RADIO"), Variant("SELECT")))
        ++counts_.choices;
      replaceDefault(f, "FldBasicSearch", Variant(true), Variant(false));
      return;
    }
    const BridgeColumn* column = columnOf(info, name);
    const std::string tag = f.str("FldHtmlTag");
    if (column && !column->checkValues.empty() && f.str("FldTagValues").empty() &&
        (tag == "TEXT" || tag == "TEXTAREA")) {
      const std::string& values = column->checkValues;
      // Y and N alone are a yes/no box, as for an enumeration.
      const bool yesNo = values == "\"Y\",\"Y\"\r\n\"N\",\"N\"" || values == "\"N\",\"N\"\r\n\"Y\",\"Y\"";
      f.setSetting("FldHtmlTag", Variant(yesNo ? "CHECKBOX" : valueCount(values) > kMostRadios ? "SELECT" : "RADIO"));
      f.setSetting("FldTagValues", Variant(yesNo ? "\"Y\",\"Y\"\r\n\"N\",\"N\"" : values));
      replaceDefault(f, "FldSrchOpr", Variant("LIKE"), Variant("="));
      replaceDefault(f, "FldBasicSearch", Variant(true), Variant(false));
      ++counts_.choices;
    }
  }

  AGPDatabase& db_;
  const RelationScope& scope_;
  RelationCounts counts_;
};

}  // namespace

std::string titleCaption(std::string_view name) {
  std::string caption = NameToCaption(name);
  std::string out;
  size_t start = 0;
  while (start <= caption.size()) {
    size_t blank = caption.find(' ', start);
    if (blank == std::string::npos) blank = caption.size();
    std::string word = caption.substr(start, blank - start);
    if (!word.empty()) {
      if (equalsNoCase(word, "id")) {
        word = "ID";
      } else {
        size_t pos = 0;
        char32_t first = decodeUtf8(word, pos);
        std::string upper;
        appendUtf8(upper, upperCodePoint(first));
        word = upper + word.substr(pos);
      }
      if (!out.empty()) out += ' ';
      out += word;
    }
    start = blank + 1;
  }
  return out;
}

std::string displayColumn(AGPTable& table, const std::string& key) {
  static const char* const kWords[] = {"name", "title", "label", "description", "code"};
  std::vector<AGPField*> fields = table.Fields().inSequence();
  auto candidate = [&](AGPField* f) { return f->str("FldName") != key; };
  for (const char* word : kWords) {
    for (AGPField* f : fields) {
      int32_t type = f->int32("FldType");
      if (!candidate(f) || !(isShortText(type) || isLongText(type))) continue;
      if (!f->flag("FldUniqueIdx") && !f->flag("FldReq")) continue;
      std::vector<std::string> words = lowerWords(f->str("FldName"));
      if (std::find(words.begin(), words.end(), word) != words.end()) return f->str("FldName");
    }
  }
  for (AGPField* f : fields)
    if (candidate(f) && isShortText(f->int32("FldType"))) return f->str("FldName");
  for (AGPField* f : fields)
    if (candidate(f) && isLongText(f->int32("FldType"))) return f->str("FldName");
  return key;
}

RelationCounts applyRelations(AGP& proj, const RelationScope& scope) {
  return RelationStep(proj, scope).run();
}

void reportRelations(const RelationCounts& c) {
  std::string text;
  auto add = [&](int n, const char* one, const char* many) {
    if (n == 0) return;
    text += (text.empty() ? "" : ", ") + std::to_string(n) + " " + (n == 1 ? one : many);
  };
  add(c.lookups, "lookup", "lookups");
  add(c.links, "master/detail link", "master/detail links");
  add(c.choices, "choice list", "choice lists");
  add(c.checkboxes, "checkbox", "checkboxes");
  add(c.dateInputs, "date input", "date inputs");
  add(c.captions, "caption", "captions");
  if (!text.empty()) info("From the schema: " + text);
}

}  // namespace tw::cli
