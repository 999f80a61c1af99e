// Reading the project file back into the object model.
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "automation/text.h"
#include "core/agp.h"
#include "core/project_file.h"
#include "model/make_var_name.h"
#include "model/registry_defaults.h"
#include "platform/files.h"
#include "support/bulk_memory.h"
#include "support/convert.h"
#include "support/engine_context.h"
#include "support/helpers.h"
#include "support/status.h"

namespace tw {

namespace {

constexpr std::string_view kLoadFailed = ": Load Project File failed! Please check!";
constexpr std::string_view kInvalidFile = ": Invalid Project File!";
constexpr std::string_view kNoDatabase = ": No Database Information in Project File!";

// Attributes that are read differently from the rest.
enum class Special { None, Js, TagValues, Ext, DefaultPage };

Special specialOf(std::string_view name) {
  switch (name.size()) {
    case 2:
      return equalsNoCase(name, "js") ? Special::Js : Special::None;
    case 5:
      return equalsNoCase(name, "p_ext") ? Special::Ext : Special::None;
    case 12:
      return equalsNoCase(name, "fldtagvalues") ? Special::TagValues : Special::None;
    case 13:
      return equalsNoCase(name, "p_defaultpage") ? Special::DefaultPage : Special::None;
    default:
      return Special::None;
  }
}

// A whole number of at most `digits` digits with an optional minus sign.
bool parsePlainInteger(std::string_view text, size_t digits, int64_t& out) {
  size_t i = 0;
  bool negative = false;
  if (!text.empty() && text[0] == '-') {
    negative = true;
    i = 1;
  }
  if (i == text.size() || text.size() - i > digits) return false;
  int64_t n = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  out = negative ? -n : n;
  return true;
}

// Texts that repeat from object to object (colours, alignments, formats,
// often the same captions) are kept once and shared, copy-on-write. Each
// setting keeps remembering its texts only while that pays: once they turn
// out to be mostly different (names, captions) it stops.
class TextPool {
 public:
  Variant text(size_t setting, std::string_view value) {
    if (setting >= slots_.size()) slots_.resize(setting + 1);
    Slot& slot = slots_[setting];
    if (slot.off) return Variant(value);
    ++slot.lookups;
    auto it = slot.seen.find(value);
    if (it != slot.seen.end()) {
      ++slot.hits;
      return it->second;
    }
    if ((slot.lookups >= kTrial && slot.hits * 2 < slot.lookups) || slot.seen.size() >= kMaxTexts) {
      slot.off = true;
      slot.seen = {};
      return Variant(value);
    }
    Variant shared(value);
    slot.seen.emplace(shared.rawString(), shared);  // the key views the shared text itself
    return shared;
  }

 private:
  // A setting stops when, after this many texts, fewer than half were
  // repeats, or once it has seen this many different texts.
  static constexpr uint32_t kTrial = 256;
  static constexpr size_t kMaxTexts = 4096;
  struct Slot {
    std::unordered_map<std::string_view, Variant> seen;
    uint32_t lookups = 0;
    uint32_t hits = 0;
    bool off = false;
  };
  std::vector<Slot> slots_;
};

// The FileSave settings of a class by exact name, for stores that still have
// their class's registrations (in which every name occurs once).
class ClassAttributeIndex {
 public:
  explicit ClassAttributeIndex(const SettingTable& table)
      : table_(table), probe_(makeRef<AGProperties>(table.layout())) {
    auto defs = table.defs();
    next_.assign(defs.size() + 1, -1);
    int32_t following = -1;
    for (size_t i = defs.size(); i-- > 0;) {
      next_[i + 1] = following;
      if (defs[i].fileSave) following = static_cast<int32_t>(i);
    }
    next_[0] = following;
    for (size_t i = 0; i < defs.size(); ++i)
      if (defs[i].fileSave) byName_.emplace(defs[i].name, static_cast<int32_t>(i));
  }
  bool covers(const AGProperties& store) const { return store.sharesLayout(*probe_); }
  // The setting named `name`. Attributes usually come in registration order,
  // so the file setting after the previous one (-1 before the first) is
  // tried first.
  int32_t find(std::string_view name, int32_t previous) const {
    int32_t guess = next_[static_cast<size_t>(previous + 1)];
    if (guess >= 0 && table_.defs()[static_cast<size_t>(guess)].name == name) return guess;
    auto it = byName_.find(name);
    return it == byName_.end() ? -1 : it->second;
  }
  TextPool& texts() { return texts_; }

 private:
  const SettingTable& table_;
  Ref<AGProperties> probe_;
  std::vector<int32_t> next_;  // next_[i + 1]: the first file setting after i
  std::unordered_map<std::string_view, int32_t> byName_;
  TextPool texts_;
};

// The first FileSave property of the store whose Name is exactly `name`.
int32_t findFileProperty(const AGProperties& store, std::string_view name) {
  for (int32_t i = 0, n = store.Count(); i < n; ++i) {
    const PropertyMeta& m = store.meta(i);
    if (m.fileSave && m.name == name) return i;
  }
  return -1;
}

class AttributeReader {
 public:
  AttributeReader() : emptyText_(std::string_view()) {}

  void read(const pugi::xml_node& element, AGProperties& store, ClassAttributeIndex* index = nullptr) {
    if (index && !index->covers(store)) index = nullptr;
    TextPool* texts = index ? &index->texts() : nullptr;
    // The writer ends an element that holds escaped settings with the list
    // of their names.
    escaped_.clear();
    pugi::xml_attribute last = element.last_attribute();
    if (last && std::string_view(last.name()) == kEscapedSettingsAttribute) {
      std::string_view names = last.value();
      for (size_t start = 0; start < names.size();) {
        size_t blank = names.find(' ', start);
        if (blank == std::string_view::npos) blank = names.size();
        if (blank > start) escaped_.emplace_back(names.substr(start, blank - start));
        start = blank + 1;
      }
    }
    int32_t previous = -1;
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
      std::string_view name = a.name();
      int32_t i = index ? index->find(name, previous) : findFileProperty(store, name);
      if (i < 0) continue;
      previous = i;
      if (!escaped_.empty() && std::find(escaped_.begin(), escaped_.end(), name) != escaped_.end()) {
        bool tagValues = specialOf(name) == Special::TagValues;
        std::string value = UnescapeSettingValue(a.value(), tagValues);
        if (tagValues)
          store.valueAt(i) = Variant(std::move(value));
        else
          assign(store, i, name, value, nullptr);
        continue;
      }
      assign(store, i, name, a.value(), texts);
    }
  }

 private:
  void assign(AGProperties& store, int32_t i, std::string_view name, std::string_view value,
              TextPool* texts) {
    const std::string& dataType = store.meta(i).dataType;
    switch (specialOf(name)) {
      case Special::None:
        store.valueAt(i) = convert(value, dataType, texts, i);
        return;
      case Special::Js:
        if (!value.empty() && fileExists(value)) store.valueAt(i) = convert(value, dataType, nullptr, i);
        return;
      case Special::TagValues: {
        std::string lines;
        lines.reserve(value.size());
        for (char c : value) {
          if (c == '|')
            lines += "\r\n";
          else
            lines += c;
        }
        store.valueAt(i) = Variant(std::move(lines));
        return;
      }
      case Special::Ext:
        store.valueAt(i) = value.empty() ? Variant("php") : Variant(value);
        return;
      case Special::DefaultPage:
        store.valueAt(i) = value.empty() ? Variant("index.php") : Variant(value);
        return;
    }
  }

  // ConvertByDataType, with the common cases taken directly.
  Variant convert(std::string_view value, const std::string& dataType, TextPool* texts, int32_t setting) {
    int64_t n;
    if (dataType == "Boolean") {
      if (value == "1") return Variant(true);
      if (value == "0") return Variant(false);
    } else if (dataType == "Integer") {
      if (parsePlainInteger(value, 5, n) && n >= -32768 && n <= 32767)
        return Variant::integer(static_cast<int16_t>(n));
    } else if (dataType == "Long") {
      if (parsePlainInteger(value, 10, n) && n >= INT32_MIN && n <= INT32_MAX)
        return Variant::long_(static_cast<int32_t>(n));
    } else {
      // Texts stay texts; the many empty ones share one value.
      if (value.empty()) return emptyText_;
      return texts ? texts->text(static_cast<size_t>(setting), value) : Variant(value);
    }
    return ConvertByDataType(Variant(value), dataType);
  }

  Variant emptyText_;
  std::vector<std::string_view> escaped_;  // the escaped settings of the element being read
};

// Walks the elements of a project file into the project.
class ProjectReader {
 public:
  ProjectReader(AGP& proj, int32_t progressRange)
      : proj_(proj),
        status_(engine().status()),
        range_(progressRange),
        databaseIndex_(AGPDatabase::settings()),
        tableIndex_(AGPTable::settings()),
        fieldIndex_(AGPField::settings()),
        chartIndex_(AGPChart::settings()) {}

  void readAttributes(const pugi::xml_node& element, AGProperties& store) {
    attributes_.read(element, store);
  }

  // Reads the elements below `element` in document order. Database and
  // Table elements are entered; the walk keeps its own list of the elements
  // it is in, so however deep a file nests them, the reader's stack does not
  // grow with it.
  void readNodes(const pugi::xml_node& element) {
    std::vector<pugi::xml_node> resume;  // the next sibling of each element entered
    pugi::xml_node child = element.first_child();
    for (;;) {
      while (!child && !resume.empty()) {
        child = resume.back();
        resume.pop_back();
      }
      if (!child) return;
      pugi::xml_node next = child.next_sibling();
      if (child.type() == pugi::node_element && readElement(child) && child.first_child()) {
        resume.push_back(next);
        next = child.first_child();
      }
      child = next;
    }
  }

 private:
  // Reads one element; true when its children are to be read too.
  bool readElement(const pugi::xml_node& element) {
    std::string_view name = element.name();
    if (name == "Database") return readDatabase(element);
    if (name == "Table") return readTable(element);
    if (name == "Chart")
      readChart(element);
    else if (name == "Field")
      readField(element);
    // Extension lines are not read back: the extension list comes from the
    // user's registry. Other elements are not ours.
    return false;
  }

  bool readDatabase(const pugi::xml_node& element) {
    std::string name = element.attribute("DBName").value();
    if (name.empty()) name = "zb_db";
    proj_.setCurrentDbName(name);
    proj_.Databases().Add(name);
    AGPDatabase* database = proj_.Databases().Item(Variant(name));
    attributes_.read(element, database->Properties(), &databaseIndex_);
    database_ = database;
    databaseName_ = name;
    return true;
  }

  // The current database (AGP::db), which only a Database element changes.
  AGPDatabase* currentDatabase() {
    if (database_ && databaseName_ == proj_.currentDbName()) {
      proj_.Databases().setCurrent(*database_);
      return database_;
    }
    return proj_.db();
  }

  bool readTable(const pugi::xml_node& element) {
    std::string_view name = element.attribute("TblName").value();
    if (name.empty()) return false;
    if (range_ > 0) {
      status_.DispStatus("Loading TABLE/VIEW \"" + std::string(name) + "\"...");
      ++counter_;
      status_.SetStatus(Variant::integer(PercentOf(counter_, range_)));
    }
    AGPTables& tables = currentDatabase()->tables();
    AGPTable* table = tables.Add(name);
    if (!table) return false;  // a repeated table: it and its children are skipped
    attributes_.read(element, table->Properties(), &tableIndex_);
    table->setSetting(AGPTable::kVarSetting, Variant(MakeVarName(table->TblName(), "")));
    lastTables_ = &tables;
    lastTable_ = table;
    return true;
  }

  // The table charts and fields attach to: the current table of the current
  // database, which is the table most recently added.
  AGPTable* currentTable() {
    AGPTables& tables = currentDatabase()->tables();
    const std::string& name = tables.curName();
    if (name.empty()) return nullptr;
    if (lastTable_ && lastTables_ == &tables &&
        settingTextEquals(lastTable_->Properties().value(AGPTable::kNameSetting), name)) {
      tables.setCurrent(*lastTable_);
      return lastTable_;
    }
    return tables.Item(Variant(name));
  }

  void readChart(const pugi::xml_node& element) {
    std::string_view name = element.attribute("ChartName").value();
    AGPTable* table = currentTable();
    if (!table || name.empty()) return;
    AGPChart* chart = table->Charts().Add(name);
    if (!chart) return;
    attributes_.read(element, chart->Properties(), &chartIndex_);
    chart->setSetting(AGPChart::kVarSetting, Variant(MakeVarName(chart->ChartName(), "")));
  }

  void readField(const pugi::xml_node& element) {
    std::string_view name = element.attribute("FldName").value();
    AGPTable* table = currentTable();
    if (!table || name.empty()) return;
    AGPField* field = table->Fields().Add(name);
    if (!field) return;
    attributes_.read(element, field->Properties(), &fieldIndex_);
    field->setSetting(AGPField::kVarSetting, Variant(MakeVarName(field->FldName(), AGPField::kVarPrefix)));
    setValueQuotes(*field);
    if (field->flag("FldAutoIncrement")) field->setSetting("FldAdd", Variant(false));
  }

  // Value quotes by column type, for Access-style databases and the others.
  void setValueQuotes(AGPField& field) {
    const Variant& dbms = currentDatabase()->Properties().value("DBDBMSName");
    if (dbKind_ == 0 || !settingTextEquals(dbms, dbmsName_)) {
      dbmsName_ = dbms.toString();
      dbKind_ = DBKindOf(dbmsName_);
    }
    const Variant* quote = nullptr;
    switch (field.int16("FldType")) {
      case 2:
      case 3:
      case 4:
      case 5:
      case 6:
      case 11:
      case 14:
      case 16:
      case 17:
      case 18:
      case 19:
      case 20:
      case 21:
      case 131:
      case 139:
        quote = &noQuote_;
        break;
      case 7:
      case 133:
      case 134:
      case 135:
        quote = dbKind_ == 1 ? &hash_ : &apostrophe_;
        break;
      case 8:
      case 72:
      case 129:
      case 130:
      case 200:
      case 201:
      case 202:
      case 203:
      case 205:
        quote = &apostrophe_;
        break;
      default:
        return;  // other types keep the quotes read from the file
    }
    field.setSetting("FldQuoteS", *quote);
    field.setSetting("FldQuoteE", *quote);
  }

  AGP& proj_;
  AGPStatus& status_;
  int32_t range_;
  int32_t counter_ = 0;
  AttributeReader attributes_;
  ClassAttributeIndex databaseIndex_;
  ClassAttributeIndex tableIndex_;
  ClassAttributeIndex fieldIndex_;
  ClassAttributeIndex chartIndex_;
  AGPTables* lastTables_ = nullptr;
  AGPTable* lastTable_ = nullptr;
  AGPDatabase* database_ = nullptr;
  std::string databaseName_;
  std::string dbmsName_;
  int16_t dbKind_ = 0;
  const Variant noQuote_{""};
  const Variant hash_{"#"};
  const Variant apostrophe_{"'"};
};

bool isNumericValue(const Variant& v) {
  double number;
  return v.isNumeric() || (v.isString() && parseNumber(v.rawString(), number));
}

}  // namespace

void ReadXmlAttributes(const pugi::xml_node& element, AGProperties& store) {
  AttributeReader reader;
  reader.read(element, store);
}

void AGP::Load(std::string_view projFile) {
  EngineContext& ctx = engine();
  AGPStatus& status = ctx.status();
  ctx.projErr.clear();
  bool progressOpen = false;
  try {
    LoadDefault();

    // The file and its document live only while the project is read.
    std::string_view failure = [&]() -> std::string_view {
      pugi::xml_document doc;
      std::optional<std::string> bytes = readFile(projFile);
      if (!bytes) return kLoadFailed;
      {
        BulkMemoryScope bulk;
        if (!ParseProjectXml(doc, *bytes)) return kLoadFailed;
      }
      pugi::xml_node root = doc.document_element();
      pugi::xml_attribute version = root.attribute("Version");
      // A file of a format older than this engine's needs the project
      // converter, which this platform does not have.
      if (!version || VersionIsGreater(ctx.productVersion, version.value())) return kLoadFailed;
      if (std::string_view(root.name()) != "Project") return kInvalidFile;

      int32_t range = 0;
      for (pugi::xml_node child = root.child("Database").first_child(); child; child = child.next_sibling())
        ++range;
      if (range > 0) {
        status.ShowStatus(lhWnd(), "Loading Project File...");
        progressOpen = true;
      }
      // Tens of thousands of objects may arrive; they share their registry
      // defaults instead of each reading the registry.
      RegistryDefaultsBatch batch;
      ProjectReader reader(*this, range);
      reader.readAttributes(root, Properties());
      Variant smtp = setting("SmtpServer");
      if (smtp.isEmpty() || (smtp.isString() && smtp.rawString().empty())) {
        setSetting("SmtpServer", Variant("localhost"));
        setSetting("SmtpServerPort", Variant::long_(25));
      }
      reader.readNodes(root);
      return {};
    }();
#ifdef __GLIBC__
    // The document was several times the size of the model it leaves; give
    // that memory back rather than keep it for the life of the project.
    malloc_trim(0);
#endif
    if (!failure.empty()) {
      tw::setProjErr(failure);
      return;
    }

    if (progressOpen) {
      status.CloseStatus();
      progressOpen = false;
    }

    ctx.sqlQuote = str("SQLQuote");
    Variant dateFormat = setting("defaultDateFormat");
    ctx.dateFormat = isNumericValue(dateFormat) ? dateFormat.toInteger() : 0;
    if (DBCnt() > 0) {
      AGPDatabase* database = db();
      ctx.dbmsName = database->str("DBDBMSName");
      ctx.dbQuoteS = database->str("DBQuoteS");
      ctx.dbQuoteE = database->str("DBQuoteE");
      ctx.secDefault = database->setting("SecDefault");
    }

    if (DBCnt() == 0) {
      tw::setProjErr(kNoDatabase);
      return;
    }
    if (flag("AutoSync")) {
      if (LoadSyncCheck check = loadSyncCheck()) check(*this);
    }
    RebuildTableKeys(*this);
  } catch (const std::exception&) {
    if (progressOpen) status.CloseStatus();
    tw::setProjErr(kLoadFailed);
  }
}

}  // namespace tw
